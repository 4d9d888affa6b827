#pragma once

#include <QString>
#include <cstdint>

namespace dravel {

// The port mode is the three lowest bits of the control register, written
// as three characters with bit 2 first ("100").
QString modusCode(std::int16_t controlWert);

struct ModusText {
    QString beschriftung;
    QString tooltip;
};

// Caption and tooltip of the mode label for a three-character code; codes
// outside the table (001 and 101) read "Unbekannt".
ModusText modusText(const QString& code);

// One click on the mode label: the next mode of the cycle
// ECP -> EPP -> FIFO -> SPP -> Testmode -> Config -> ECP, where the unknown
// codes go to ECP like Config. Returns the new code.
QString nächsterModusCode(const QString& code);

// The control register with its three lowest bits replaced by a mode code;
// bits 3..7 stay as read, so the result lies in 0..255 for any register byte.
std::int16_t mitModus(std::int16_t controlWert, const QString& code);

// Captions of the control-bit labels: bit 5 (data direction) and bit 4
// (interrupt enable), by whether the bit is set.
QString controlBitText(int bit, bool gesetzt);

// The text of status bar panel 1, 2 or 3 (data, status, control register)
// for a register value: "Control: 1100 1010".
QString statusText(int panel, std::int16_t wert);

// A history slot's caption: "12.  255  um 14:03:22".
QString verlaufEintrag(std::int32_t nummer, const QString& wert, const QString& zeit);

}  // namespace dravel
