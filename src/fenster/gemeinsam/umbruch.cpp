#include "umbruch.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace dravel {
namespace {

constexpr int kUmbruch = Qt::TextWordWrap;
// The caption's margins inside a button.
constexpr QMargins kKnopfRand(3, 2, 3, 2);
// Between a check box's box and its caption.
constexpr int kTextAbstand = 5;

// The height of one line of wrapped text (the lines of a wrapped text stand
// this far apart, which may be more than the font's line spacing).
int zeilenhöhe(const QFontMetrics& fm) {
    return fm.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), kUmbruch, QStringLiteral("x")).height();
}

int zeilenIn(int höhe, const QFontMetrics& fm) {
    return std::max(1, qRound(double(höhe) / zeilenhöhe(fm)));
}

// The width `text` takes when wrapped as narrowly as possible onto at most
// `zeilen` lines (a word longer than the rest takes its own width).
int umbruchBreite(const QFontMetrics& fm, const QString& text, int zeilen) {
    const auto maß = [&](int breite) {
        return fm.boundingRect(QRect(0, 0, breite, 1 << 20), kUmbruch, text);
    };
    const int höchstens = zeilen * zeilenhöhe(fm);
    int schmal = 1;
    int breit = std::max(1, maß(1 << 20).width());
    while (schmal < breit) {
        const int mitte = (schmal + breit) / 2;
        if (maß(mitte).height() <= höchstens)
            breit = mitte;
        else
            schmal = mitte + 1;
    }
    return maß(schmal).width();
}

}  // namespace

int UmbruchKnopf::bedarf() const {
    const QRect feld = rect() - kKnopfRand;
    return kKnopfRand.left() + kKnopfRand.right() +
           umbruchBreite(fontMetrics(), text(), zeilenIn(feld.height(), fontMetrics()));
}

void UmbruchKnopf::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QPalette::ColorGroup gruppe = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(palette().color(gruppe, QPalette::ButtonText));
    const int versatz = isDown() ? 1 : 0;
    painter.drawText((rect() - kKnopfRand).translated(versatz, versatz), Qt::AlignCenter | kUmbruch,
                     text());
}

QRect UmbruchKästchen::indikator(const QStyleOptionButton& option) const {
    const QRect kasten = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    return {kasten.left(), (height() - kasten.height()) / 2, kasten.width(), kasten.height()};
}

QRect UmbruchKästchen::textfeld(const QRect& indikator) const {
    return {indikator.right() + kTextAbstand, 0, width() - indikator.right() - kTextAbstand,
            height()};
}

int UmbruchKästchen::bedarf() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect feld = textfeld(indikator(option));
    if (feld.width() <= 0) return 0;
    return feld.left() + umbruchBreite(fontMetrics(), text(), zeilenIn(height(), fontMetrics()));
}

void UmbruchKästchen::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    QStyleOptionButton box = option;
    box.rect = indikator(option);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
    const QRect feld = textfeld(box.rect);
    const QPalette::ColorGroup gruppe = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(palette().color(gruppe, QPalette::WindowText));
    painter.drawText(feld, Qt::AlignLeft | Qt::AlignVCenter | kUmbruch, text());
    if (hasFocus()) {
        QStyleOptionFocusRect fokus;
        fokus.initFrom(this);
        fokus.rect =
            painter.boundingRect(feld, Qt::AlignLeft | Qt::AlignVCenter | kUmbruch, text());
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, fokus);
    }
}

bool UmbruchKästchen::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

QRect Rahmen::titelfeld() const {
    const QFontMetrics fm(font());
    return {6, 0, fm.horizontalAdvance(title()) + 4, fm.height()};
}

// The title keeps as much room to the right border as it has to the left.
int Rahmen::bedarf() const {
    return title().isEmpty() ? 0 : titelfeld().right() + 1 + 6;
}

void Rahmen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int mitte = fontMetrics().height() / 2;
    const QPalette::ColorGroup gruppe = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(palette().color(gruppe, QPalette::Mid));
    painter.drawRect(QRect(0, mitte, width() - 1, height() - mitte - 1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(QRect(1, mitte + 1, width() - 3, height() - mitte - 3));
    if (title().isEmpty()) return;
    const QRect titel = titelfeld();
    painter.fillRect(titel, palette().color(QPalette::Window));
    painter.setPen(palette().color(gruppe, QPalette::WindowText));
    painter.drawText(titel, Qt::AlignCenter, title());
}

}  // namespace dravel
