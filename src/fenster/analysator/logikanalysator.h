#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "logik/aufnahme.h"
#include "logik/aufnahmemaschine.h"
#include "logik/messung.h"
#include "port/pin_map.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QSpinBox;
class QTableWidget;
class QThread;
class QTimer;

namespace dravel {

class Dekoderbereich;
class Zeitdiagramm;

// The capture engine as the window sees it, so that the window can be
// driven by a scripted source in tests.
class Aufnahmequelle {
public:
    virtual ~Aufnahmequelle() = default;
    // Starts a run (its capture begins at the trigger); false and a German
    // reason when it cannot start.
    virtual bool starte(const analysator::Aufnahmeeinstellungen& einstellungen,
                        QString& fehler) = 0;
    // Stops the capture and returns once nothing reads the port any more.
    virtual void halte() = 0;
    // Whether a capture (or a series of repeated ones) is under way.
    [[nodiscard]] virtual bool läuft() const = 0;
    // The recording being filled or last filled, nullptr while the first
    // trigger is awaited (a repeated capture brings a new one each time).
    [[nodiscard]] virtual std::shared_ptr<const analysator::Aufnahme> aktuelle() const = 0;
    // One German line on the state ("Wartet auf Auslöser", "Läuft").
    [[nodiscard]] virtual QString zustand() const = 0;
};

// The logic analyzer: captures chosen lines of the port, shows them as a
// timing diagram that rolls while the capture runs, measures between two
// cursors and per line, and saves and opens VCD files. One per program
// (Module1); closing it stops a capture. While nothing is captured it
// neither reads the port nor runs a timer. Its settings and geometry are
// remembered from one window to the next.
//
// Plain member functions connected by pointer; no Q_OBJECT.
class Logikanalysator final : public QWidget {
public:
    explicit Logikanalysator(QWidget* parent = nullptr);
    ~Logikanalysator() override;

    // Where the window keeps its settings.
    static std::unique_ptr<QSettings> gespeichert();

    // Replaces the capture engine (tests); the window owns it.
    void setzeQuelle(std::unique_ptr<Aufnahmequelle> quelle);

    // The controls' settings; nullopt and a German reason for a trigger
    // that cannot be read or no line chosen.
    [[nodiscard]] std::optional<analysator::Aufnahmeeinstellungen> einstellungen(
        QString& fehler) const;

    // Handlers of the buttons; the file ones ask for a name, then call the
    // functions below, which return a German reason on failure (speichere
    // also on success, when the GTKWave save file is left out).
    void AufnahmeStartStop_Click();
    void Oeffnen_Click();
    void Speichern_Click();
    void BildSpeichern_Click();
    bool öffne(const QString& pfad, QString& fehler);
    bool speichere(const QString& pfad, QString& fehler) const;
    bool speichereBild(const QString& pfad, QString& fehler) const;

    // Shows a recording (a capture, or one opened), the whole of it.
    void zeige(std::shared_ptr<const analysator::Aufnahme> aufnahme);

    // Refreshes cursor readings and the table now; a stretch of more than
    // kSofortMessenBis changes is measured in a worker and shown when done.
    void messeJetzt();
    static constexpr std::size_t kSofortMessenBis = 2'000'000;
    // Whether such a measurement is still running.
    [[nodiscard]] bool misst() const { return messfaden_ != nullptr; }

    Zeitdiagramm* Diagramm = nullptr;
    Dekoderbereich* Dekoder = nullptr;  // decoders, their rows and table
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
    QComboBox* Pulspegel = nullptr;
    QLineEdit* Pulsbreite = nullptr;
    QComboBox* Betriebsart = nullptr;  // Einzeln, Normal, Auto, Rollen
    QSpinBox* Grenze = nullptr;
    QCheckBox* Echtzeit = nullptr;
    QCheckBox* Abtasten = nullptr;
    std::array<QCheckBox*, port::kSignalPinCount + 1> Leitung{};  // elements 1..17
    QLabel* Zustand = nullptr;
    QLabel* CursorAnzeige = nullptr;
    QLabel* Messbereich = nullptr;  // over which stretch the table measures
    QTableWidget* Messwerte = nullptr;
    QTimer* Anzeigetakt = nullptr;  // ~30 Hz, only while capturing
    QTimer* Messtakt = nullptr;     // once, shortly after the view settles

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* baueEinstellungen();
    void Anzeigetakt_Timer();
    void passeAuslöserAn();
    void passeSchalterAn();
    void merkeEinstellungen() const;
    void ladeEinstellungen();
    void passeGrößeAn(QSize gewünscht);
    void zeigeZustand();
    // Stops a capture; `dekodieren`: decodes what it took.
    void halteAufnahme(bool dekodieren = true);
    // Shows a recording loaded from `pfad`.
    void zeigeDatei(const QString& pfad, std::shared_ptr<const analysator::Aufnahme> aufnahme,
                    const QString& hinweis);

    // The table's worker: one at a time; the newest request waits, a
    // result for an older one is dropped.
    struct Messauftrag;
    void starteMessung(std::shared_ptr<Messauftrag> auftrag);
    void zeigeMesswerte(const QString& bereich, const std::vector<analysator::Messwerte>& alle);

    std::unique_ptr<Aufnahmequelle> quelle_;
    std::shared_ptr<const analysator::Aufnahme> gezeigt_;  // what Diagramm shows, for the worker
    std::unique_ptr<QThread> messfaden_;
    std::shared_ptr<Messauftrag> wartend_;
    unsigned messrunde_ = 0;   // counts requests; a result of an older one is stale
    QString dateiname_;        // of the recording opened, for the title
    QString dateihinweis_;     // what the opened file holds that is not shown as it is
    double laufSpanneNs_ = 0;  // the view's width while a capture rolls
    QString hinweis_;          // said at the start, shown while it runs
    int takte_ = 0;            // of the live display
};

}  // namespace dravel
