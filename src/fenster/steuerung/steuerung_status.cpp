// The status bar, the control-bit labels and the port mode.
#include "fenster/module1.h"
#include "fenster/gemeinsam/klick_label.h"
#include "fenster/gemeinsam/statusleiste.h"
#include "port/port.h"
#include "logik/register_texte.h"
#include "steuerung.h"
#include "logik/umrechnung.h"

namespace dravel {

void Steuerung::StatusLeiste() {
    // Every item reads the register anew, so each shows the register as it
    // was at its own read.
    StatusBar->setzeText(1, statusText(1, Inp32(DatenPort)));
    StatusBar->setzeText(2, statusText(2, Inp32(StatusPort)));
    StatusBar->setzeText(3, statusText(3, Inp32(ControlPort)));
    for (int bit : {4, 5}) {
        const bool gesetzt = (Inp32(ControlPort) & (1 << bit)) != 0;
        C_Bit[bit]->setText(controlBitText(bit, gesetzt));
    }
    const ModusText modus = modusText(modusCode(Inp32(ControlPort)));
    Modus->setText(modus.beschriftung);
    Modus->setToolTip(modus.tooltip);
}

void Steuerung::Timer2_Timer() {
    StatusLeiste();
    setWindowTitle(Module1::Fenstertitel);
}

void Steuerung::C_Bit_Click(std::int16_t Index) {
    const int bit = Index;
    const int maske = 1 << bit;
    const bool gesetzt = (Inp32(ControlPort) & maske) > 0;
    // The bit is changed in a second read of the register; clearing or
    // setting it (rather than subtracting or adding) keeps the value a byte
    // even if the register changed between the two reads.
    const int wert = Inp32(ControlPort);
    Out32(ControlPort, static_cast<std::int16_t>(gesetzt ? (wert & ~maske) : (wert | maske)));
    C_Bit[bit]->setText(controlBitText(bit, !gesetzt));
}

void Steuerung::Modus_Click() {
    const QString code = modusCode(Inp32(ControlPort));
    const std::int16_t wert = Inp32(ControlPort);
    const QString neu = nächsterModusCode(code);
    Out32(ControlPort, mitModus(wert, neu));
    const ModusText modus = modusText(neu);
    Modus->setText(modus.beschriftung);
    Modus->setToolTip(modus.tooltip);
}

}  // namespace dravel
