#include "pin_anzeige.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "stecker_zeichnung.h"

namespace dravel {

using port::PinDirection;
using port::PinRegister;

PinAnzeige::PinAnzeige(const port::PinInfo& pin, QWidget* parent) : QWidget(parent), pin_(pin) {
    setObjectName(QStringLiteral("Pin(%1)").arg(pin.number));
    setAttribute(Qt::WA_Hover);
    const bool masse = pin.reg == PinRegister::Ground;
    zustand_.richtung = masse ? PinDirection::Ground : port::direction(pin, 0);
    // Signal pins take the focus, so that the keyboard reaches them and a
    // screen reader reads their level; ground has nothing to tell.
    setFocusPolicy(masse ? Qt::NoFocus : Qt::StrongFocus);
    const QString text = stecker::pinText(pin, false, false);
    setToolTip(text);
    setAccessibleName(text);
    setAccessibleDescription(stecker::pinBeschreibung(pin, zustand_.richtung, false));
}

void PinAnzeige::setzeMaße(const QRectF& zelle, qreal p, const PinSchriften& schriften) {
    const QRect ganz = zelle.toAlignedRect();
    setGeometry(ganz);
    versatz_ = zelle.topLeft() - QPointF(ganz.topLeft());
    p_ = p;
    schriften_ = schriften;
    update();
}

void PinAnzeige::zeige(const PinZustand& zustand) {
    if (zustand == zustand_) return;
    zustand_ = zustand;
    const QString text = stecker::pinText(pin_, zustand.bekannt, zustand.hoch);
    if (toolTip() != text) {
        setToolTip(text);
        setAccessibleName(text);
    }
    setAccessibleDescription(
        stecker::pinBeschreibung(pin_, zustand.richtung, zustand.richtungUngewiss));
    setCursor(schaltbar() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

bool PinAnzeige::schaltbar() const {
    return zustand_.bekannt && zustand_.richtung == PinDirection::Output;
}

qreal PinAnzeige::y(qreal zellenmaß) const {
    const qreal maß =
        stecker::obereReihe(pin_.number) ? stecker::kZellenhöhe - zellenmaß : zellenmaß;
    return versatz_.y() + maß * p_;
}

void PinAnzeige::paintEvent(QPaintEvent*) {
    using namespace stecker;
    QPainter maler(this);
    maler.setRenderHint(QPainter::Antialiasing);
    maler.setRenderHint(QPainter::TextAntialiasing);
    const qreal links = versatz_.x();
    const qreal mitteX = links + 0.5 * p_;
    // A text band between two heights of the cell, whichever row.
    const auto band = [&](qreal von, qreal bis) {
        const qreal a = y(von), b = y(bis);
        return QRectF(links, std::min(a, b), p_, std::abs(b - a));
    };

    const bool masse = zustand_.richtung == PinDirection::Ground;
    const QPointF loch(mitteX, y(kLoch));
    if (underMouse() && schaltbar()) {
        // The contact a click would switch.
        const qreal r = (kLochRadius + 0.035) * p_;
        maler.setPen(QPen(Farben::hervorhebung(), std::max(1.0, 0.04 * p_)));
        maler.setBrush(Qt::NoBrush);
        maler.drawEllipse(loch, r, r);
    }
    const Led led = masse               ? Led::Masse
                    : !zustand_.bekannt ? Led::Unbekannt
                    : zustand_.hoch     ? Led::Hoch
                                        : Led::Tief;
    zeichneLoch(maler, loch, p_, led);

    maler.setFont(schriften_.nummer);
    maler.setPen(Farben::nummer());
    maler.drawText(band(0.0, kNummerBis), Qt::AlignCenter, QString::number(pin_.number));

    if (masse) {
        zeichneMasse(maler, QPointF(mitteX, y(kMarkeVon)), p_, !obereReihe(pin_.number));
    } else {
        zeichneRichtung(maler, QPointF(mitteX, y(kMarkeVon)), QPointF(mitteX, y(kMarkeBis)), p_,
                        zustand_.richtung, zustand_.richtungUngewiss, pin_.inverted);
        if (zustand_.bekannt) {
            maler.setFont(schriften_.register_);
            maler.setPen(Farben::registertext());
            maler.drawText(band(kMarkeBis, kRegisterBis), Qt::AlignCenter,
                           registerText(pin_, zustand_.bit));
        }
    }
    const QRectF name = band(kRegisterBis, kZellenhöhe);
    maler.setFont(schriften_.name);
    maler.setPen(palette().color(QPalette::WindowText));
    maler.drawText(name, Qt::AlignCenter, QString::fromLatin1(pin_.signal));
    if (hasFocus()) {
        // The keyboard focus frames the name, outside the picture of the
        // socket where it hides nothing.
        const qreal rand = std::max(1.0, 0.03 * p_);
        maler.setPen(QPen(palette().color(QPalette::Highlight), rand, Qt::DotLine));
        maler.setBrush(Qt::NoBrush);
        maler.drawRoundedRect(name.adjusted(rand, rand / 2, -rand, -rand / 2), 0.06 * p_,
                              0.06 * p_);
    }
}

void PinAnzeige::mousePressEvent(QMouseEvent* event) {
    klick_.drücke(event);
}

void PinAnzeige::mouseReleaseEvent(QMouseEvent* event) {
    if (klick_.lasseLos(*this, event) && beiKlick) beiKlick();
}

void PinAnzeige::mouseDoubleClickEvent(QMouseEvent* event) {
    klick_.doppelklick(event);
}

void PinAnzeige::keyPressEvent(QKeyEvent* event) {
    const int taste = event->key();
    if ((taste == Qt::Key_Space || taste == Qt::Key_Return || taste == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (beiKlick) beiKlick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PinAnzeige::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    update();
}

void PinAnzeige::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    update();
}

}  // namespace dravel
