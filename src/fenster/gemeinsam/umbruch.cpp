#include "umbruch.h"

#include <QStyleOptionButton>
#include <QPainter>
#include <QStylePainter>

namespace dravel {

void UmbruchKnopf::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QPalette::ColorGroup gruppe = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(palette().color(gruppe, QPalette::ButtonText));
    const int versatz = isDown() ? 1 : 0;
    painter.drawText(rect().adjusted(3 + versatz, 2 + versatz, -3 + versatz, -2 + versatz),
                     Qt::AlignCenter | Qt::TextWordWrap, text());
}

void UmbruchKästchen::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect kasten = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    QStyleOptionButton indikator = option;
    indikator.rect = QRect(kasten.left(), (height() - kasten.height()) / 2, kasten.width(),
                           kasten.height());
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indikator);
    const QRect textfeld(indikator.rect.right() + 5, 0, width() - indikator.rect.right() - 5,
                         height());
    const QPalette::ColorGroup gruppe = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(palette().color(gruppe, QPalette::WindowText));
    painter.drawText(textfeld, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text());
    if (hasFocus()) {
        QStyleOptionFocusRect fokus;
        fokus.initFrom(this);
        fokus.rect = painter.boundingRect(textfeld, Qt::AlignLeft | Qt::AlignVCenter |
                                                        Qt::TextWordWrap, text());
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, fokus);
    }
}

bool UmbruchKästchen::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void Rahmen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics fm(font());
    const int mitte = fm.height() / 2;
    const QPalette::ColorGroup gruppe = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(palette().color(gruppe, QPalette::Mid));
    painter.drawRect(QRect(0, mitte, width() - 1, height() - mitte - 1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(QRect(1, mitte + 1, width() - 3, height() - mitte - 3));
    if (title().isEmpty()) return;
    const QRect titel(6, 0, fm.horizontalAdvance(title()) + 4, fm.height());
    painter.fillRect(titel, palette().color(QPalette::Window));
    painter.setPen(palette().color(gruppe, QPalette::WindowText));
    painter.drawText(titel, Qt::AlignCenter, title());
}

}  // namespace dravel
