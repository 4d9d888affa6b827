#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <span>

#include "fenster/gemeinsam/layout.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace dravel {

class KlickLabel;
class Statusleiste;

// The layout of the main window: one table of controls, one of menus.
std::span<const layout::Steuerelement> steuerungSteuerelemente();
std::span<const layout::Menüeintrag> steuerungMenüs();

// The main window: writes and reads the data register byte by byte, keeps a
// ten-entry history, shows the three registers in its status bar and lets the
// user flip control bits 4 and 5 and step through the port modes.
//
// Handlers carry the names of the control and event they serve; they are
// plain member functions connected by pointer (umlauts stay out of moc).
// No Q_OBJECT: moc would have to parse the umlaut names of this header.
class Steuerung final : public QMainWindow {
public:
    static constexpr int kClientBreite = 5400;  // twips
    static constexpr int kClientHöhe = 3045;

    explicit Steuerung(QWidget* parent = nullptr);
    ~Steuerung() override;

    // Register addresses: base and its two followers, 16-bit signed.
    std::int16_t DatenPort = 0;
    std::int16_t StatusPort = 0;
    std::int16_t ControlPort = 0;

    // --- start, window state and menus ---
    void Form_Load();
    void Rücksetzen();
    void PortÄndern_Click();
    void restart_Click();
    void Schließen_Click();
    void Generator_Click();
    void Stecker_Click();
    void Analysator_Click();
    void Portprüfung_Click();

    // --- number entry and conversion ---
    void Eingabe_dec_GotFocus();
    void Eingabe_hex_GotFocus();
    void Eingabe_bin_GotFocus();
    void Eingabe_bin_Change();
    std::int16_t bin2dec(const QString& bin_in);
    void Eingabefelder(std::int16_t Daten);

    // --- output ---
    void Ausgabeknopf_Click();
    void Ausgeben(std::int16_t& Daten);
    void Inkr_Click();
    void Dekr_Click();
    void Links_Click();
    void Rechts_Click();
    void Alle_Click();
    void Keine_Click();

    // --- input and history ---
    void Einlesenknopf_Click();
    void Timer1_Timer();
    void Perm_Einlesen_Click();
    void Menüs();
    void Lesen_Click(std::int16_t Index);

    // --- status bar, control bits, modes ---
    void StatusLeiste();
    void Timer2_Timer();
    void C_Bit_Click(std::int16_t Index);
    void Modus_Click();

    // --- extras ---
    void Unter_Extras_Click(std::int16_t Index);

    // Controls, by their names in the layout.
    QGroupBox* Eingabefeld = nullptr;
    QGroupBox* Einlesefeld = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Eingabe_dec = nullptr;
    QLineEdit* Eingabe_hex = nullptr;
    QLineEdit* Eingabe_bin = nullptr;
    QLineEdit* Einlesen_dec = nullptr;
    QLineEdit* Einlesen_hex = nullptr;
    QLineEdit* Einlesen_bin = nullptr;
    QPushButton* Einlesenknopf = nullptr;
    QPushButton* Ausgabeknopf = nullptr;
    QCheckBox* Perm_Einlesen = nullptr;
    KlickLabel* Links = nullptr;
    KlickLabel* Rechts = nullptr;
    KlickLabel* Inkr = nullptr;
    KlickLabel* Dekr = nullptr;
    KlickLabel* Keine = nullptr;
    KlickLabel* Alle = nullptr;
    KlickLabel* Modus = nullptr;
    std::array<KlickLabel*, 6> C_Bit{};  // elements 4 and 5 only
    QLabel* bin_counter = nullptr;
    QLabel* Label1 = nullptr;
    Statusleiste* StatusBar = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;

    QAction* Datei = nullptr;
    QAction* PortÄndern = nullptr;
    QAction* restart = nullptr;
    QAction* Unter_Datei = nullptr;
    QAction* Schließen = nullptr;
    QAction* Extras = nullptr;
    std::array<QAction*, 5> Unter_Extras{};
    QAction* Verlauf = nullptr;  // the submenu's own item
    std::array<QAction*, 11> Lesen{};
    QAction* Generator = nullptr;
    QAction* Ansicht = nullptr;
    QAction* Stecker = nullptr;
    QAction* Analysator = nullptr;
    QAction* Portpruefung = nullptr;

    [[nodiscard]] const layout::ErzeugteObjekte& objekte() const { return objekte_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // What the entry and read fields show while they hold no value; an
    // entry field showing its own is not asked for a value.
    static inline const QString kDec = QStringLiteral("Dec");
    static inline const QString kHex = QStringLiteral("Hex");
    static inline const QString kBinär = QStringLiteral("Binär");

    void baue();
    void verbinde();
    void verbindeBehandlung();  // output, input, status and extras handlers

    layout::ErzeugteObjekte objekte_;
    // The entry field that lost the focus because the whole window lost it
    // (another window, a menu, a dialog): getting it back that way is no new
    // focus and does not empty the field.
    QPointer<QObject> geparkt_;
    bool erstmalsGezeigt_ = false;
};

}  // namespace dravel
