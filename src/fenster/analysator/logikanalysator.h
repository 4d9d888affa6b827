#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "logik/aufnahme.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace dravel {

class Zeitdiagramm;

// What the window asks of a capture: the controls' settings.
struct Aufnahmewunsch {
    enum class Auslöser { Keiner, Flanke, Muster };
    enum class Flanke { Steigend, Fallend, Beide };
    std::int16_t basis = 888;
    std::vector<int> pins;  // 1..17, ascending
    Auslöser auslöser = Auslöser::Keiner;
    int auslöserPin = 10;
    Flanke flanke = Flanke::Steigend;
    QString muster;  // "2=1, 15=0"
    int vorlaufProzent = 10;
    double dauerS = 1;
    bool wiederholen = false;
    std::size_t grenzeMiB = 256;
};

// The capture engine as the window sees it, so that the window can be
// driven by a scripted source in tests.
class Aufnahmequelle {
public:
    virtual ~Aufnahmequelle() = default;
    // Starts a capture; nullptr and a German reason when it cannot start.
    virtual std::shared_ptr<const analysator::Aufnahme> starte(const Aufnahmewunsch& wunsch,
                                                               QString& fehler) = 0;
    // Stops the capture and returns once nothing reads the port any more.
    virtual void halte() = 0;
    // Whether a capture (or a series of repeated ones) is under way.
    [[nodiscard]] virtual bool läuft() const = 0;
    // The recording being filled or last filled (a repeated capture brings
    // a new one each time).
    [[nodiscard]] virtual std::shared_ptr<const analysator::Aufnahme> aktuelle() const = 0;
    // One German line on the state ("Wartet auf Auslöser", "Dauer erreicht").
    [[nodiscard]] virtual QString zustand() const = 0;
};

// The logic analyzer: captures chosen lines of the port, shows them as a
// timing diagram that rolls while the capture runs, measures between two
// cursors and per line, and saves and opens VCD files. One per program
// (Module1); closing it stops a capture. While nothing is captured it
// neither reads the port nor runs a timer.
//
// Plain member functions connected by pointer; no Q_OBJECT.
class Logikanalysator final : public QWidget {
public:
    explicit Logikanalysator(QWidget* parent = nullptr);
    ~Logikanalysator() override;

    // Replaces the capture engine (tests); the window owns it.
    void setzeQuelle(std::unique_ptr<Aufnahmequelle> quelle);

    // The controls' settings.
    [[nodiscard]] Aufnahmewunsch wunsch() const;

    // Handlers of the buttons; the file ones ask for a name, then call the
    // functions below, which return a German reason on failure.
    void AufnahmeStartStop_Click();
    void Oeffnen_Click();
    void Speichern_Click();
    void BildSpeichern_Click();
    bool öffne(const QString& pfad, QString& fehler);
    bool speichere(const QString& pfad, QString& fehler) const;
    bool speichereBild(const QString& pfad, QString& fehler) const;

    // Shows a recording (a capture, or one opened), the whole of it.
    void zeige(std::shared_ptr<const analysator::Aufnahme> aufnahme);

    // Refreshes cursor readings and the table now.
    void messeJetzt();

    Zeitdiagramm* Diagramm = nullptr;
    QPushButton* AufnahmeStartStop = nullptr;
    QPushButton* Oeffnen = nullptr;
    QPushButton* Speichern = nullptr;
    QPushButton* BildSpeichern = nullptr;
    QPushButton* AllesZeigen = nullptr;
    QComboBox* Ausloeser = nullptr;
    QComboBox* AusloeserPin = nullptr;
    QComboBox* Flanke = nullptr;
    QLineEdit* Muster = nullptr;
    QSpinBox* Vorlauf = nullptr;
    QDoubleSpinBox* Dauer = nullptr;
    QComboBox* Betrieb = nullptr;
    QSpinBox* Grenze = nullptr;
    std::array<QCheckBox*, 18> Leitung{};  // elements 1..17
    QLabel* Zustand = nullptr;
    QLabel* CursorAnzeige = nullptr;
    QTableWidget* Messwerte = nullptr;
    QTimer* Anzeigetakt = nullptr;  // ~30 Hz, only while capturing
    QTimer* Messtakt = nullptr;     // once, shortly after the view settles

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* baueEinstellungen();
    void Anzeigetakt_Timer();
    void passeAuslöserAn();
    void zeigeZustand();
    void halteAufnahme();

    std::unique_ptr<Aufnahmequelle> quelle_;
    QString dateiname_;  // of the recording opened, for the title
};

// The one line of each pin as a capture names it: "10 /Ack".
std::vector<analysator::Leitung> pinLeitungen(const std::vector<int>& pins);

}  // namespace dravel
