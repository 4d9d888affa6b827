#pragma once

// moc cannot parse names with umlauts; it needs nothing from here.
#ifndef Q_MOC_RUN

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include "port/pin_map.h"

class QPainter;

// The connector picture: its measures, texts and drawing pieces, shared by
// the pin widgets and the legend. Measures are in pitches, the distance
// between two neighbouring pins of a row; the window scales one pitch to its
// size.
namespace dravel::stecker {

// Width of the picture; the 13 pins of the upper row span 12 pitches.
constexpr qreal kBreite = 13.7;
// Top of the upper row's cells.
constexpr qreal kOben = 0.1;
// One pin's cell: name, register bit, mark, hole and number.
constexpr qreal kZellenhöhe = 1.92;
// Within a lower-row cell, counted from its top (the upper row is mirrored):
// number, hole, the shell's edge, mark, register bit, name.
constexpr qreal kLoch = 0.5;         // centre of the hole
constexpr qreal kLochRadius = 0.24;  // the contact's ring
constexpr qreal kLedRadius = 0.18;
constexpr qreal kRand = 1.0;  // the shell's edge
constexpr qreal kMarkeVon = 1.08;
constexpr qreal kMarkeBis = 1.40;
constexpr qreal kRegisterBis = 1.63;
constexpr qreal kNummerBis = 0.23;
constexpr qreal kLegendeOben = kOben + 2 * kZellenhöhe + 0.2;
constexpr qreal kLegendenzeile = 0.34;
// The shell reaches this far beyond the outermost pins of its row.
constexpr qreal kÜberstand = 0.7;

// Height of the picture with that many legend lines.
constexpr qreal höhe(int legendenzeilen) {
    return kLegendeOben + legendenzeilen * kLegendenzeile + 0.1;
}
// The female socket seen from the front: pin 1 at the right of the upper
// row, 13 at its left; 14 to 25 below, offset by half a pitch.
qreal spalte(int pin);
bool obereReihe(int pin);
// The pin's cell, in pitches from the picture's top-left corner.
QRectF zelle(int pin);

// "Pin 2: D0, hoch", "Pin 18: Masse"; without a reading yet "Pin 2: D0".
QString pinText(const port::PinInfo& pin, bool bekannt, bool hoch);
// "C0=1": the register (D data, S status, C control), bit and its value.
QString registerText(const port::PinInfo& pin, bool bit);
// What a screen reader says beyond the tooltip: direction, register bit,
// inversion.
QString pinBeschreibung(const port::PinInfo& pin, port::PinDirection richtung,
                        bool richtungUngewiss);

// Every signal name, for fitting the font.
QStringList signalnamen();

// The largest font of `basis`'s family, at most `höchstens` pixels, in which
// every text is at most `breite` pixels wide.
QFont passendeSchrift(QFont basis, const QStringList& texte, qreal breite, int höchstens);

struct Farben {
    static QColor ausgang() { return {0x15, 0x65, 0xC0}; }
    static QColor eingang() { return {0xC0, 0x56, 0x00}; }
    static QColor gehäuse() { return {0x7E, 0x86, 0x8E}; }
    static QColor isolierung() { return {0x2E, 0x33, 0x38}; }
    static QColor kontakt() { return {0xC8, 0xCC, 0xD0}; }
    static QColor nummer() { return {0xE8, 0xEA, 0xEC}; }
    static QColor registertext() { return {0x5A, 0x60, 0x66}; }
    static QColor hervorhebung() { return {0xFF, 0xC1, 0x07}; }
};

enum class Led { Hoch, Tief, Unbekannt, Masse };

// The contact's ring and the LED inside it, `p` pixels per pitch.
void zeichneLoch(QPainter& maler, QPointF mitte, qreal p, Led led);
// The direction mark between the pin's side of the mark (`innen`) and the
// far side (`außen`): an arrow pointing away from the pin for an output,
// towards it for an input; hollow and dashed when the direction is not read
// back; an inverted line gets a bubble on the pin's side.
void zeichneRichtung(QPainter& maler, QPointF innen, QPointF außen, qreal p,
                     port::PinDirection richtung, bool ungewiss, bool invertiert);
// The shell around both rows, its top-left corner at `ursprung`.
void zeichneGehäuse(QPainter& maler, QPointF ursprung, qreal p);
// The ground symbol hanging from `oben`, `nachUnten` or upwards.
void zeichneMasse(QPainter& maler, QPointF oben, qreal p, bool nachUnten);

}  // namespace dravel::stecker

#endif  // Q_MOC_RUN
