#pragma once

// moc cannot parse enumerators with umlauts; it needs nothing from here.
#ifndef Q_MOC_RUN

#include <QHash>
#include <QString>
#include <span>
#include <string_view>

class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QWidget;

namespace dravel::layout {

// Positions and sizes are in twips; 15 twips make one pixel at 96 dpi.
constexpr int inPixel(int twipsWert) { return (twipsWert * 2 + (twipsWert >= 0 ? 15 : -15)) / 30; }

enum class Art {
    Rahmen,           // frame with a caption (QGroupBox)
    Textfeld,         // single-line text box (QLineEdit)
    Knopf,            // command button (QPushButton)
    Kontrollkästchen, // check box (QCheckBox)
    Optionsfeld,      // option button, grouped per container (QRadioButton)
    Bezeichnung,      // label (QLabel, or KlickLabel with Klickbar)
    Kombifeld,        // editable combo box with a drop-down list
    Zeitgeber,        // periodic timer (QTimer), no visible presence
    Statusleiste,     // status bar with four panels, the fourth a clock
};

// Details beyond kind, text and place.
enum Merkmal : unsigned {
    Gesperrt = 1u << 0,          // disabled
    Verborgen = 1u << 1,         // hidden
    Schreibgeschützt = 1u << 2,  // read-only text box
    Gewählt = 1u << 3,           // check box ticked / option button selected
    FettSchrift = 1u << 4,       // "MS Sans Serif" 8.25 pt bold
    KleineSchrift = 1u << 5,     // "Arial" 6.75 pt regular
    Zentriert = 1u << 6,
    Rechtsbündig = 1u << 7,
    Rahmenlinie = 1u << 8,       // single-line border around a label
    RoteSchrift = 1u << 9,       // pure red text
    Klickbar = 1u << 10,         // label that reacts to a mouse click
    Läuft = 1u << 11,            // timer enabled from the start
    Eng = 1u << 12,              // label whose letters move closer (up to 1 px) before it grows
};

struct Steuerelement {
    std::string_view name;       // objectName, e.g. "C_Bit(4)"
    Art art;
    std::string_view container;  // "" = the window's client area
    std::string_view text;       // caption or text at start
    int links, oben, breite, höhe;  // twips, from the container's top-left corner
    int tab;                     // tab index; -1 for timers
    std::string_view tooltip = {};
    unsigned merkmale = 0;
    int maxLänge = 0;            // text boxes: most characters accepted, 0 = no limit
    int intervall = 0;           // timers: milliseconds
};

enum class MenüArt {
    Titel,        // menu-bar title with a drop-down menu
    Befehl,       // menu-bar title that is itself a command
    Untermenü,    // item that opens a submenu
    Eintrag,      // ordinary item
    Trenner,      // separator line ("-"), cannot be chosen
};

struct Menüeintrag {
    std::string_view name;    // objectName, e.g. "Unter_Extras(3)"
    MenüArt art;
    std::string_view eltern;  // parent menu; "" for menu-bar entries
    std::string_view text;
    bool sichtbar = true;
};

inline QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Everything a builder made, by name.
struct ErzeugteObjekte {
    QHash<QString, QObject*> nachName;

    // The control or menu item of that name, as the kind the window expects
    // (a wrong name or kind is a fault in the window's own table).
    template <typename T>
    T* finde(const char* name) const {
        auto* objekt = dynamic_cast<T*>(nachName.value(QString::fromUtf8(name)));
        Q_ASSERT_X(objekt, "layout::ErzeugteObjekte::finde", name);
        return objekt;
    }
    template <typename T>
    T* finde(const QString& name) const {
        return finde<T>(name.toUtf8().constData());
    }
};

// Builds the controls of one table onto a client widget: containers first
// resolved by name, geometry in pixels, tab order by tab index, fonts,
// tooltips and initial states. The rows' order is their creation order.
// Where the font in use needs more room for a caption than the table gives,
// controls, their containers and the client (whose size is set before)
// grow as much as needed.
void baueSteuerelemente(QWidget* client, std::span<const Steuerelement> tabelle,
                        ErzeugteObjekte& objekte);

// Builds a menu bar from a table; items become QActions (submenus QMenus
// whose menuAction carries the same name).
void baueMenüs(QMenuBar* leiste, std::span<const Menüeintrag> tabelle, ErzeugteObjekte& objekte);

}  // namespace dravel::layout

#endif  // Q_MOC_RUN
