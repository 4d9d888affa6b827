// The generator window's controls as data; layout::baueSteuerelemente turns
// them into widgets. Positions and sizes are twips from the container's
// top-left corner; rows are in creation order (a container before its
// controls).
#include <array>

#include "generator_fenster.h"
#include "logik/generator_logik.h"

namespace dravel {
namespace {

using layout::Art;
using namespace layout;  // Merkmal flags

constexpr unsigned kWarnung = Verborgen | RoteSchrift | FettSchrift;
constexpr int kBits = generator::kMaxBitstringLänge;
constexpr std::string_view kPegelTipp =
    "0,L und [leerzeichen] = Low; 1, H, sonstige Zeichen = High";
constexpr std::string_view kZeichen = "Binärstring zum Ausgeben: Ein Zeichen = ";
constexpr std::string_view kGleich = "<--- Kanäle sind identisch!";

constexpr std::array kSteuerelemente{
    // clang-format off
    Steuerelement{"Kanal2En", Art::Kontrollkästchen, "", "Check1", 100, 2700, 255, 255, 30,
                  "2. Ausgabekanal aktivieren"},
    Steuerelement{"Frame4", Art::Rahmen, "", "Signal-/Datenausgang 2", 360, 2640, 5775, 1215, 23, "",
                  Gesperrt},
    Steuerelement{"Binärstring2", Art::Textfeld, "Frame4", "0", 120, 480, 5415, 285, 25, kPegelTipp,
                  0, kBits},
    Steuerelement{"AusgabeKanal2", Art::Kombifeld, "Frame4", "0", 720, 840, 495, 315, 24},
    Steuerelement{"BasisAnz2", Art::Bezeichnung, "Frame4", "0,1ms", 3075, 240, 1335, 255, 29},
    Steuerelement{"Label8", Art::Bezeichnung, "Frame4", kZeichen, 120, 240, 2975, 255, 28, "", Eng},
    Steuerelement{"Label7", Art::Bezeichnung, "Frame4", "Kanal:", 120, 840, 495, 255, 27},
    Steuerelement{"Identisch2", Art::Bezeichnung, "Frame4", kGleich, 1200, 885, 2535, 255, 26, "",
                  kWarnung},
    Steuerelement{"TaktTimer", Art::Zeitgeber, "", "", 0, 0, 0, 0, -1, "", 0, 0, 100},
    Steuerelement{"Einzeltakt", Art::Knopf, "", "Einzeltaktung", 1680, 4800, 1215, 375, 19},
    Steuerelement{"StartStop", Art::Knopf, "", "Start", 360, 4800, 1095, 375, 16},
    Steuerelement{"Frame3", Art::Rahmen, "", "Allgemeines", 360, 240, 5775, 975, 11},
    Steuerelement{"Übernehmen", Art::Knopf, "Frame3", "OK", 2640, 240, 495, 615, 21,
                  "Einstellungen übernehmen", Gesperrt},
    Steuerelement{"Zeitbasis", Art::Textfeld, "Frame3", "0.1", 1320, 600, 1215, 285, 18},
    Steuerelement{"OptLoop", Art::Optionsfeld, "Frame3", "Fortlaufend ([L]oop)", 3360, 480, 1935, 255, 15},
    Steuerelement{"OptSingle", Art::Optionsfeld, "Frame3", "Einzeldurchlauf ([S]ingle)", 3360, 240, 2295,
                  255, 14, "", Gewählt},
    Steuerelement{"Adresse", Art::Textfeld, "Frame3", "888", 1320, 240, 1215, 285, 12},
    Steuerelement{"Label5", Art::Bezeichnung, "Frame3", "Zeitbasis: (ms)", 120, 600, 1095, 255, 17},
    Steuerelement{"Label4", Art::Bezeichnung, "Frame3", "Adresse: (dec)", 120, 240, 1095, 375, 13},
    Steuerelement{"Frame2", Art::Rahmen, "", "Signal-/Datenausgang 1", 360, 1320, 5775, 1215, 6},
    Steuerelement{"AusgabeKanal1", Art::Kombifeld, "Frame2", "0", 720, 840, 495, 315, 9},
    Steuerelement{"Binärstring", Art::Textfeld, "Frame2", "0", 120, 480, 5415, 285, 7, kPegelTipp,
                  0, kBits},
    Steuerelement{"Identisch", Art::Bezeichnung, "Frame2", kGleich, 1200, 885, 2535, 255, 22, "",
                  kWarnung},
    Steuerelement{"Label3", Art::Bezeichnung, "Frame2", "Kanal:", 120, 840, 495, 255, 10},
    Steuerelement{"Label2", Art::Bezeichnung, "Frame2", kZeichen, 120, 240, 2975, 255, 8, "", Eng},
    Steuerelement{"BasisAnz", Art::Bezeichnung, "Frame2", "0,1ms", 3075, 240, 1335, 255, 20},
    Steuerelement{"Frame1", Art::Rahmen, "", "Taktausgang", 360, 3960, 5055, 735, 1},
    Steuerelement{"Asyncron", Art::Optionsfeld, "Frame1", "Asyncron (Phi = 90°)", 2280, 360, 2535, 255, 5,
                  "", Gesperrt},
    Steuerelement{"Syncron", Art::Optionsfeld, "Frame1", "Syncron zu den Daten (Phi = 0°)", 2280, 120,
                  2655, 255, 4, "", Gesperrt | Gewählt},
    Steuerelement{"TaktKanal", Art::Kombifeld, "Frame1", "0", 1560, 240, 495, 315, 3, "", Gesperrt},
    Steuerelement{"TaktEn", Art::Kontrollkästchen, "Frame1", "Takt auf Kanal", 120, 240, 1455, 255, 2},
    Steuerelement{"Label1", Art::Bezeichnung, "", "vom olvek", 5710, 0, 975, 255, 0,
                  "Der Signalgenerator ist ein integraler Bestandteil von Kavrin.exe", KleineSchrift},
    // clang-format on
};

}  // namespace

std::span<const layout::Steuerelement> generatorSteuerelemente() {
    return kSteuerelemente;
}

}  // namespace dravel
