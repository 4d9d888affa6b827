#pragma once

#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

namespace dravel {
class Steuerung;
class GeneratorFenster;
class Steckerfenster;
class Logikanalysator;
}  // namespace dravel

// Program-wide state and the start routine. One copy for the whole program.
namespace Module1 {

// The byte about to be shown in the main window's read fields.
inline std::int16_t Datenwert = 0;
// Running number of history entries, reads and writes together.
inline std::int32_t Lesezaehler = 0;
// Slot of the newest history entry (0..9 between entries).
inline std::int16_t Verlaufsindex = 0;
// The main window's caption, saved when it loads.
inline QString Fenstertitel;

// The start routine: creates the main window and shows it without blocking.
// Nothing touches the port here.
void Main();

// The program-wide main window, created (and loaded) on first use.
dravel::Steuerung* Hauptfenster();

// The program-wide generator window, created (and loaded) on first use and
// again after the user closed it; never two at a time.
dravel::GeneratorFenster* Generatorfenster();

// The program-wide connector view, created on first use and again after the
// user closed it; never two at a time.
dravel::Steckerfenster* Steckeransicht();

// The program-wide logic analyzer, created on first use and again after
// the user closed it; never two at a time.
dravel::Logikanalysator* Analysator();

// What the windows ask of each other goes through here, so that none of
// them includes another's header.
// Shows the generator window (created if need be) in front.
void ZeigeGenerator();
// Shows the connector view (created if need be) in front.
void ZeigeSteckeransicht();
// Shows the logic analyzer (created if need be) in front.
void ZeigeAnalysator();
// Where the main window is, for the other windows to place themselves by
// it: its frame and the free area of its screen; nullopt while it is not
// shown.
struct Lage {
    QRect rahmen;
    std::optional<QRect> bildschirm;
};
std::optional<Lage> HauptfensterLage();
// The base address the main window works on; nullopt without a main window.
std::optional<std::int16_t> Basisadresse();

// Ends the program at once: every window closes without its own closing
// steps and every timer stops. Code that runs a loop of its own inside an
// event handler checks ProgrammEndet() after pumping events and returns.
void Beenden();
bool ProgrammEndet();

// Puts the program-wide state back to program start (tests only): closes and
// deletes the windows and clears the variables.
void ZurücksetzenFürTest();

}  // namespace Module1
