// The main window's controls and menus as data; layout::baue* turns them
// into widgets. Positions and sizes are twips from the container's top-left
// corner; rows are in creation order (a container before its controls).
#include <array>

#include "steuerung.h"

namespace dravel {
namespace {

using layout::Art;
using layout::MenüArt;
using namespace layout;  // Merkmal flags

constexpr unsigned kKlick = Klickbar;
constexpr unsigned kBitLabel = Klickbar | Rahmenlinie | Zentriert | FettSchrift;

constexpr std::array kSteuerelemente{
    // clang-format off
    Steuerelement{"Eingabefeld", Art::Rahmen, "", "Ausgeben", 120, 120, 2775, 2655, 0},
    Steuerelement{"Eingabe_dec", Art::Textfeld, "Eingabefeld", "Dec", 240, 600, 615, 285, 1,
                  "Dezimalzahl zwischen 0 und 255 eingeben."},
    Steuerelement{"Eingabe_hex", Art::Textfeld, "Eingabefeld", "Hex", 240, 1080, 615, 285, 2,
                  "Hexzahl zwischen 0 und FF eingeben."},
    Steuerelement{"Eingabe_bin", Art::Textfeld, "Eingabefeld", "Binär", 240, 1560, 855, 285, 3,
                  "8-stellige Binärzahl eingeben.", 0, 8},
    Steuerelement{"Einlesefeld", Art::Rahmen, "", "Einlesen", 3000, 120, 2295, 2655, 4},
    Steuerelement{"Einlesen_dec", Art::Textfeld, "Einlesefeld", "Dec", 240, 600, 615, 285, 5,
                  "Zeigt Daten am LPT1 als Dezimalzahl an.", Schreibgeschützt},
    Steuerelement{"Einlesen_hex", Art::Textfeld, "Einlesefeld", "Hex", 240, 1080, 615, 285, 6,
                  "Zeigt die Daten am LPT1 als Hexzahl an.", Schreibgeschützt},
    Steuerelement{"Einlesen_bin", Art::Textfeld, "Einlesefeld", "Binär", 240, 1560, 1095, 285, 7,
                  "Zeigt die Daten am LPT1 als 8-stellige Binärzahl an.", Schreibgeschützt},
    Steuerelement{"Einlesenknopf", Art::Knopf, "Einlesefeld", "Jetzt Einlesen", 120, 2040, 855, 495, 8,
                  "Daten an LPT1 (378) auslesen."},
    Steuerelement{"Perm_Einlesen", Art::Kontrollkästchen, "Einlesefeld", "permanent Einlesen",
                  1080, 2160, 1095, 375, 9, "Liest den LPT1 automatisch alle 100ms ein."},
    Steuerelement{"Ausgabeknopf", Art::Knopf, "Eingabefeld", "Daten Ausgeben", 120, 2040, 975, 495, 10,
                  "Eingegebene Daten an LPT1 (378) ausgeben."},
    Steuerelement{"Frame1", Art::Rahmen, "Eingabefeld", "Verschieben:", 1440, 1200, 1215, 855, 11},
    Steuerelement{"Links", Art::Bezeichnung, "Frame1", "  >  Links   <", 120, 240, 975, 255, 12,
                  "Schiebt die Daten an LPT1 nach links (mal 2).", kKlick},
    Steuerelement{"Rechts", Art::Bezeichnung, "Frame1", "  > Rechts <", 120, 480, 975, 255, 13,
                  "Schiebt die Daten an LPT1 nach rechts (geteilt durch 2).", kKlick},
    Steuerelement{"Frame2", Art::Rahmen, "Eingabefeld", "Inkr. u. Dekr.", 1440, 360, 1215, 855, 14},
    Steuerelement{"Inkr", Art::Bezeichnung, "Frame2", "  >  Plus 1  <", 120, 240, 975, 255, 15,
                  "Inkrementiert die Daten am LPT1.", kKlick},
    Steuerelement{"Dekr", Art::Bezeichnung, "Frame2", "  > Minus 1 <", 120, 480, 975, 255, 16,
                  "Dekrementiert die Daten am LPT1.", kKlick},
    Steuerelement{"Keine", Art::Bezeichnung, "Eingabefeld", "> 0 <", 960, 960, 375, 255, 17,
                  "Setzt alle Datenpins von LPT1 auf Low. ", kKlick},
    Steuerelement{"Alle", Art::Bezeichnung, "Eingabefeld", ">FF<", 960, 1200, 375, 255, 18,
                  "Setzt alle Datenpins von LPT1 auf High.", kKlick},
    Steuerelement{"bin_counter", Art::Bezeichnung, "Eingabefeld", "= 0 Bits.", 120, 1845, 975, 255, 19,
                  "", Rechtsbündig},
    Steuerelement{"C_Bit(4)", Art::Bezeichnung, "Einlesefeld", "C Bit4", 1080, 1200, 1095, 255, 20,
                  "Control Bit 4 ändern.  - Interrupt an/aus -", kBitLabel},
    Steuerelement{"C_Bit(5)", Art::Bezeichnung, "Einlesefeld", "C Bit5", 1080, 960, 1095, 255, 21,
                  "Control Bit 5 ändern.  - Datenrichtung - ", kBitLabel},
    Steuerelement{"StatusBar", Art::Statusleiste, "", "", 0, 2760, 5400, 285, 22,
                  "Zeigt Inhalte der Register an, jede Sekunde aktualisiert."},
    Steuerelement{"Modus", Art::Bezeichnung, "Einlesefeld", "Moduswahl!", 240, 240, 1095, 255, 23,
                  "Klicken, um Modus zu wechseln.", Klickbar | Rahmenlinie | FettSchrift},
    Steuerelement{"Label1", Art::Bezeichnung, "", "vom olvek", 4680, -15, 975, 255, 24, "",
                  KleineSchrift},
    Steuerelement{"Timer1", Art::Zeitgeber, "Einlesefeld", "", 0, 0, 0, 0, -1, "", 0, 0, 100},
    Steuerelement{"Timer2", Art::Zeitgeber, "Einlesefeld", "", 0, 0, 0, 0, -1, "", Läuft, 0, 1000},
    // clang-format on
};

constexpr std::array kMenüs{
    // clang-format off
    Menüeintrag{"Datei", MenüArt::Titel, "", "Allgemein"},
    Menüeintrag{"PortÄndern", MenüArt::Eintrag, "Datei", "Port ändern (888)"},
    Menüeintrag{"restart", MenüArt::Eintrag, "Datei", "Neu Laden"},
    Menüeintrag{"Unter_Datei", MenüArt::Trenner, "Datei", "-"},
    Menüeintrag{"Schließen", MenüArt::Eintrag, "Datei", "Schließen"},
    Menüeintrag{"Extras", MenüArt::Titel, "", "Extras"},
    Menüeintrag{"Unter_Extras(0)", MenüArt::Eintrag, "Extras", "Zeit"},
    Menüeintrag{"Unter_Extras(1)", MenüArt::Eintrag, "Extras", "Nummer"},
    Menüeintrag{"Unter_Extras(2)", MenüArt::Trenner, "Extras", "-"},
    Menüeintrag{"Unter_Extras(3)", MenüArt::Eintrag, "Extras", "Programm AUFHÄNGEN(!)"},
    Menüeintrag{"Unter_Extras(4)", MenüArt::Trenner, "Extras", "-", false},
    Menüeintrag{"Verlauf", MenüArt::Untermenü, "Extras", "Verlauf"},
    Menüeintrag{"Lesen(0)", MenüArt::Eintrag, "Verlauf", "> Verlauf löschen <"},
    Menüeintrag{"Lesen(1)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(2)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(3)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(4)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(5)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(6)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(7)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(8)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(9)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Lesen(10)", MenüArt::Eintrag, "Verlauf", "...", false},
    Menüeintrag{"Generator", MenüArt::Befehl, "", "Generatorkonsole"},
    Menüeintrag{"Ansicht", MenüArt::Titel, "", "Ansicht"},
    Menüeintrag{"Stecker", MenüArt::Eintrag, "Ansicht", "Steckerbelegung (DB-25)…"},
    Menüeintrag{"Analysator", MenüArt::Eintrag, "Ansicht", "Logikanalysator…"},
    Menüeintrag{"Portpruefung", MenüArt::Eintrag, "Ansicht", "Portprüfung…"},
    // clang-format on
};

}  // namespace

std::span<const layout::Steuerelement> steuerungSteuerelemente() { return kSteuerelemente; }
std::span<const layout::Menüeintrag> steuerungMenüs() { return kMenüs; }

}  // namespace dravel
