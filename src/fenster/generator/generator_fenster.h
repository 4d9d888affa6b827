#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "fenster/gemeinsam/layout.h"
#include "logik/ausgabemaschine.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace dravel {

// The layout of the generator window as one table of controls.
std::span<const layout::Steuerelement> generatorSteuerelemente();

// The signal generator: clocks one or two bit strings out on chosen data
// lines of its own data register, one character per time-base step, once or
// in a loop. The output runs inside the start button's click handler and
// pumps events on every step and throughout its wait (the output engine of
// ausgabemaschine.h does the stepping and waiting), so every handler of
// both windows (a second click, Enter, "OK", the pass-mode keys) can run in
// the middle of a run. The button's caption is the run state.
//
// Handlers carry the names of the control and event they serve; plain member
// functions connected by pointer, and no Q_OBJECT (umlauts stay out of moc).
class GeneratorFenster final : public QWidget {
public:
    static constexpr int kClientBreite = 6450;  // twips
    static constexpr int kClientHöhe = 5265;

    explicit GeneratorFenster(QWidget* parent = nullptr);
    ~GeneratorFenster() override;

    // Settings in force (applied with "OK").
    std::int16_t GenAdresse = 888;
    float Zeitbasiswert = 0.1f;  // milliseconds per step
    QString GenFenstertitel;

    // Levels of the two channels for the current run; the last element of
    // each is low and never output.
    std::vector<std::int16_t> Bitfolge1;
    std::vector<std::int16_t> Bitfolge2;

    // Set by "Einzeltaktung"; nothing consumes it yet.
    std::int16_t EinzeltaktAngefordert = 0;

    // --- settings and window state ---
    void Form_Load();
    void Form_Unload();
    void Form_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    void Form_KeyPress(std::int16_t KeyAscii);
    void Adresse_Change();
    void Zeitbasis_Change();
    void Übernehmen_Click();
    void Kanal2En_Click();

    // --- output engine ---
    void StartStop_Click();

    // --- clock settings ---
    void TaktEn_Click();
    void Einzeltakt_Click();

    // How many output runs are on the stack (a run started inside another
    // one's wait nests); 0 when idle.
    [[nodiscard]] int laufTiefe() const { return laufTiefe_; }
    // Closed by the user: hidden, and gone as soon as no run is on the stack.
    [[nodiscard]] bool geschlossen() const { return geschlossen_; }
    // Timing of the last output run that ended.
    [[nodiscard]] const generator::Laufstatistik& laufstatistik() const { return statistik_; }

    // Controls, by their names in the layout.
    QLabel* Label1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QCheckBox* TaktEn = nullptr;
    QComboBox* TaktKanal = nullptr;
    QRadioButton* Syncron = nullptr;
    QRadioButton* Asyncron = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Binärstring = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* AusgabeKanal1 = nullptr;
    QLabel* Label3 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLineEdit* Adresse = nullptr;
    QLabel* Label4 = nullptr;
    QRadioButton* OptSingle = nullptr;
    QRadioButton* OptLoop = nullptr;
    QPushButton* StartStop = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Zeitbasis = nullptr;
    QPushButton* Einzeltakt = nullptr;
    QLabel* BasisAnz = nullptr;
    QPushButton* Übernehmen = nullptr;
    QLabel* Identisch = nullptr;
    QGroupBox* Frame4 = nullptr;
    QComboBox* AusgabeKanal2 = nullptr;
    QLineEdit* Binärstring2 = nullptr;
    QLabel* Identisch2 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* BasisAnz2 = nullptr;
    QCheckBox* Kanal2En = nullptr;
    QTimer* TaktTimer = nullptr;

    [[nodiscard]] const layout::ErzeugteObjekte& objekte() const { return objekte_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void baue();
    void verbinde();

    void Stoppen();
    void Starten();
    // Shows or hides the shared-line warning on both channels.
    void zeigeKollision(bool kollision);
    // The output engine's view of this window.
    class Fensterlauf;
    // The line number typed for one channel, converted again only when the
    // text changes (the conversion costs more than the rest of a step).
    struct GemerkteLeitung {
        QString text;
        std::optional<std::int16_t> bit;
    };
    static std::optional<std::int16_t> Leitung(const QComboBox* kanal, GemerkteLeitung& zeile);
    // A run must return at once: the window was closed or the program ends.
    [[nodiscard]] bool abbrechen() const;

    layout::ErzeugteObjekte objekte_;
    generator::Systemuhr uhr_;
    generator::Laufstatistik statistik_;
    GemerkteLeitung zeile1_;
    GemerkteLeitung zeile2_;
    int laufTiefe_ = 0;
    bool geschlossen_ = false;
    bool erstmalsGezeigt_ = false;
};

}  // namespace dravel
