// The write side: every byte reaches the data register through Ausgeben.
#include <QLineEdit>
#include <QLocale>

#include "fenster/module1.h"
#include "logik/zahlen.h"
#include "port/port.h"
#include "steuerung.h"
#include "logik/umrechnung.h"

namespace dravel {

void Steuerung::Ausgeben(std::int16_t& Daten) {
    if (Daten < 0) Daten = 255;
    if (Daten > 255) Daten = 0;
    Out32(DatenPort, Daten);
    Eingabefelder(Daten);
    Menüs();
}

void Steuerung::Ausgabeknopf_Click() {
    // The fields are tried in a fixed order; the first one not showing its
    // placeholder decides.
    if (Eingabe_dec->text() != kDec) {
        if (Eingabe_dec->text().isEmpty()) {
            Rücksetzen();
            return;
        }
        // A text that is no number, or none in 0..255, writes nothing and
        // falls through to the next field.
        const auto wert = zuGanzzahl16(Eingabe_dec->text(), QLocale());
        if (wert && *wert >= 0 && *wert <= 255) {
            Module1::Datenwert = *wert;
            Ausgeben(Module1::Datenwert);
            return;
        }
    }
    if (Eingabe_hex->text() != kHex) {
        if (Eingabe_hex->text().isEmpty()) {
            Rücksetzen();
            return;
        }
        const auto wert = hexWert(Eingabe_hex->text());
        if (!wert) return;
        // No range check: above FF, Ausgeben writes 0.
        Module1::Datenwert = *wert;
        Ausgeben(Module1::Datenwert);
        return;
    }
    if (Eingabe_bin->text() == kBinär) return;
    if (Eingabe_bin->text().isEmpty()) {
        Rücksetzen();
        return;
    }
    // A wrong character shows the message and writes nothing, like an
    // unreadable decimal or hexadecimal text: a typo must not switch every
    // line off.
    const std::int16_t wert = bin2dec(Eingabe_bin->text());
    if (!binärWert(Eingabe_bin->text())) return;
    Module1::Datenwert = wert;
    Ausgeben(Module1::Datenwert);
}

// The step operations start from the register itself, not from a variable:
// the generator or the hardware may have changed it in the meantime.

void Steuerung::Inkr_Click() {
    Module1::Datenwert = static_cast<std::int16_t>(Inp32(DatenPort) + 1);
    if (Module1::Datenwert == 256) Module1::Datenwert = 0;
    Ausgeben(Module1::Datenwert);
}

void Steuerung::Dekr_Click() {
    Module1::Datenwert = static_cast<std::int16_t>(Inp32(DatenPort) - 1);
    if (Module1::Datenwert == -1) Module1::Datenwert = 255;
    Ausgeben(Module1::Datenwert);
}

void Steuerung::Links_Click() {
    // Above 255 Ausgeben writes 0: the shift does not keep the low bits.
    Module1::Datenwert = static_cast<std::int16_t>(Inp32(DatenPort) * 2);
    Ausgeben(Module1::Datenwert);
}

void Steuerung::Rechts_Click() {
    Module1::Datenwert = static_cast<std::int16_t>(Inp32(DatenPort) / 2);
    Ausgeben(Module1::Datenwert);
}

void Steuerung::Alle_Click() {
    Eingabe_hex_GotFocus();
    Eingabe_hex->setText(QStringLiteral("FF"));
    Ausgabeknopf_Click();
}

void Steuerung::Keine_Click() {
    Eingabe_hex_GotFocus();
    Eingabe_hex->setText(QStringLiteral("0"));
    Ausgabeknopf_Click();
}

}  // namespace dravel
