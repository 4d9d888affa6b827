// Draws the loopback plug's wiring in the connector view's style, for the
// README: pruefstecker_bild docs/pruefstecker.png
#include <QColor>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cstdio>

#include "fenster/stecker/stecker_zeichnung.h"
#include "port/pin_map.h"

using namespace dravel;
using namespace dravel::stecker;

namespace {
constexpr qreal kPitch = 56;
// Above the connector: the wires between the upper row's pins; below: the
// lower row's names and the key.
constexpr qreal kDarüber = 1.75;
constexpr qreal kZeile = 0.42;
const std::array<QColor, 5> kFarben{QColor(0x15, 0x65, 0xC0), QColor(0xC0, 0x56, 0x00),
                                    QColor(0x2E, 0x7D, 0x32), QColor(0x8E, 0x24, 0xAA),
                                    QColor(0xC6, 0x28, 0x28)};

QPointF loch(int pin) {
    const QRectF z = zelle(pin);
    return {z.center().x(), obereReihe(pin) ? z.bottom() - kLoch : z.top() + kLoch};
}
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: pruefstecker_bild DATEI.png\n");
        return 2;
    }
    const qreal schaleOben = kOben + kZellenhöhe - kRand;
    const qreal schaleUnten = kOben + kZellenhöhe + kRand;
    const qreal legendeOben = schaleUnten + 0.75;
    const qreal höhe = kDarüber + legendeOben + 7 * kZeile;
    QImage bild(int(kBreite * kPitch), int(höhe * kPitch), QImage::Format_ARGB32_Premultiplied);
    bild.fill(Qt::white);
    QPainter maler(&bild);
    maler.setRenderHint(QPainter::Antialiasing);
    maler.setRenderHint(QPainter::TextAntialiasing);
    const QPointF ursprung(0, kDarüber * kPitch);
    const auto px = [&](QPointF inPitches) { return ursprung + inPitches * kPitch; };

    zeichneGehäuse(maler, ursprung, kPitch);
    QFont nummer(QStringLiteral("DejaVu Sans"));
    nummer.setPixelSize(int(0.2 * kPitch));
    maler.setFont(nummer);
    for (const auto& pin : port::pinMap()) {
        zeichneLoch(maler, px(loch(pin.number)), kPitch, Led::Masse);
        const qreal y =
            obereReihe(pin.number) ? loch(pin.number).y() + 0.38 : loch(pin.number).y() - 0.38;
        maler.setPen(Farben::nummer());
        maler.drawText(
            QRectF(px({spalte(pin.number) - 0.5, y - 0.13}), QSizeF(kPitch, 0.26 * kPitch)),
            Qt::AlignCenter, QString::number(pin.number));
    }

    // Each wire leaves its pins outwards, the upper row's over the shell at
    // its own height so that the four nest; D0 to pin 15 crosses the face.
    // A white casing under each wire shows which one passes over another.
    const auto weg = [&](std::size_t k) {
        const port::Wire& draht = port::kLoopbackPlug[k];
        QPainterPath pfad(px(loch(draht.from)));
        if (!obereReihe(draht.to)) {
            pfad.lineTo(px(loch(draht.to)));
            return pfad;
        }
        const qreal y = schaleOben - 0.55 - 0.38 * qreal(5 - k);
        const QPointF a = loch(draht.from), b = loch(draht.to);
        const qreal r = 0.25, richtung = b.x() < a.x() ? -1 : 1;
        pfad.lineTo(px({a.x(), y + r}));
        pfad.quadTo(px({a.x(), y}), px({a.x() + richtung * r, y}));
        pfad.lineTo(px({b.x() - richtung * r, y}));
        pfad.quadTo(px({b.x(), y}), px({b.x(), y + r}));
        pfad.lineTo(px(b));
        return pfad;
    };
    for (std::size_t k = 0; k < port::kLoopbackPlug.size(); ++k) {
        maler.setBrush(Qt::NoBrush);
        maler.setPen(QPen(Qt::white, 0.14 * kPitch, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        maler.drawPath(weg(k));
        maler.setPen(QPen(kFarben[k], 0.06 * kPitch, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        maler.drawPath(weg(k));
        for (int ende : {port::kLoopbackPlug[k].from, port::kLoopbackPlug[k].to}) {
            maler.setBrush(kFarben[k]);
            maler.setPen(Qt::NoPen);
            maler.drawEllipse(px(loch(ende)), 0.1 * kPitch, 0.1 * kPitch);
        }
    }

    // The wired pins' names outside the shell, on a white tag over the wire.
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(int(0.2 * kPitch));
    maler.setFont(name);
    for (std::size_t k = 0; k < port::kLoopbackPlug.size(); ++k) {
        for (int ende : {port::kLoopbackPlug[k].from, port::kLoopbackPlug[k].to}) {
            const qreal y = obereReihe(ende) ? schaleOben - 0.3 : schaleUnten + 0.3;
            const QString text = QString::fromLatin1(port::pin(ende).signal);
            const qreal breite =
                std::max(0.9 * kPitch, QFontMetricsF(name).horizontalAdvance(text) + 8);
            const QRectF feld(px({spalte(ende), y - 0.15}) - QPointF(breite / 2, 0),
                              QSizeF(breite, 0.3 * kPitch));
            maler.setPen(QPen(kFarben[k], 1.5));
            maler.setBrush(Qt::white);
            maler.drawRoundedRect(feld, 4, 4);
            maler.setPen(kFarben[k]);
            maler.drawText(feld, Qt::AlignCenter, text);
        }
    }

    // The key: one line a wire, and what the picture shows.
    for (std::size_t k = 0; k < port::kLoopbackPlug.size(); ++k) {
        const port::Wire& draht = port::kLoopbackPlug[k];
        const QPointF links = px({1.0, legendeOben + kZeile * qreal(k)});
        maler.setPen(QPen(kFarben[k], 0.06 * kPitch, Qt::SolidLine, Qt::RoundCap));
        maler.drawLine(links, links + QPointF(0.6 * kPitch, 0));
        maler.setPen(Qt::black);
        maler.drawText(
            QRectF(links + QPointF(0.8 * kPitch, -0.2 * kPitch), QSizeF(8 * kPitch, 0.4 * kPitch)),
            Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("Pin %1 %2  →  Pin %3 %4")
                .arg(draht.from)
                .arg(QString::fromLatin1(port::pin(draht.from).signal))
                .arg(draht.to)
                .arg(QString::fromLatin1(port::pin(draht.to).signal)));
    }
    maler.setPen(Farben::registertext());
    maler.drawText(QRectF(px({1.0, legendeOben + 5.3 * kZeile}), QSizeF(12 * kPitch, 0.5 * kPitch)),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("DB-25-Stecker von der Lötseite (wie die Buchse von vorn)"));
    maler.end();
    return bild.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
