#include "symbol.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "schrift.h"

namespace dravel {

QImage fenstersymbolBild() {
    QImage bild(50, 50, QImage::Format_RGB888);
    bild.fill(Qt::white);
    QPainter p(&bild);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));

    schrift::richteErsatzschriftenEin();
    QFont oben("Arial");
    oben.setPixelSize(10);
    oben.setBold(true);
    p.setFont(oben);
    p.drawText(QRectF(0, 0, 50, 12), Qt::AlignCenter, QStringLiteral("LPT1"));

    // The connector shell: a trapezoid, wider at the top row of 13 pins.
    QPainterPath schale;
    schale.moveTo(3, 15);
    schale.lineTo(47, 15);
    schale.lineTo(43, 31);
    schale.lineTo(7, 31);
    schale.closeSubpath();
    p.drawPath(schale);
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 13; ++i) p.drawEllipse(QPointF(7.0 + i * 3.0, 20.0), 0.9, 0.9);
    for (int i = 0; i < 12; ++i) p.drawEllipse(QPointF(8.5 + i * 3.0, 26.0), 0.9, 0.9);

    QFont unten("Arial");
    unten.setPixelSize(13);
    unten.setWeight(QFont::Black);
    p.setFont(unten);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 33, 50, 17), Qt::AlignCenter, QStringLiteral("Dravel"));
    return bild;
}

QIcon fenstersymbol() { return QIcon(QPixmap::fromImage(fenstersymbolBild())); }

}  // namespace dravel
