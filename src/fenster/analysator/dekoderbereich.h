#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "logik/annotationen.h"
#include "logik/aufnahme.h"
#include "logik/dekoder.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace dravel {

class Zeitdiagramm;

// The annotations as a table (time, decoder, row, text): a model over the
// list, so a million rows cost what is on screen. Shows those `setze` found.
class Annotationsmodell final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setze(std::shared_ptr<const dekoder::Annotationsliste> liste,
               std::vector<std::uint32_t> zeilen, std::uint64_t nullpunktNs);
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    // The annotation shown in row `zeile`.
    [[nodiscard]] std::uint32_t annotation(int zeile) const { return zeilen_[std::size_t(zeile)]; }
    [[nodiscard]] const std::vector<std::uint32_t>& zeilen() const { return zeilen_; }

private:
    std::shared_ptr<const dekoder::Annotationsliste> liste_;
    std::vector<std::uint32_t> zeilen_;
    std::uint64_t nullpunktNs_ = 0;
};

// The analyzer's decoders: which are chosen (added with "Dekoder
// hinzufügen…", stacked, removed), decoding the recording shown in a
// worker, their rows in the timing diagram and the table of what they
// found, searchable, a click shows it in the diagram, "Exportieren…"
// writes CSV. The decoders chosen are remembered in the settings.
//
// No Q_OBJECT; connected by pointer.
class Dekoderbereich final : public QWidget {
public:
    explicit Dekoderbereich(Zeitdiagramm* diagramm, QWidget* parent = nullptr);
    ~Dekoderbereich() override;

    // Decodes `aufnahme` (a finished capture or a file; nullptr: none, as
    // while a capture runs), dropping what was found before.
    void dekodiere(std::shared_ptr<const analysator::Aufnahme> aufnahme);
    // The decoders as stacks, each as --dekoder spells one
    // ("uart:rx=10,midi"). Setting them remembers them and, with
    // `dekodieren`, decodes again (without: the next `dekodiere` does).
    [[nodiscard]] const std::vector<std::string>& stapel() const { return stapel_; }
    void setzeStapel(std::vector<std::string> stapel, bool dekodieren = true);
    // Adds decoder `angabe` ("uart:rx=10") on top of stack `ziel`, or as a
    // stack of its own (-1); removes one with those above it.
    void füge(const std::string& angabe, int ziel);
    void entferne(int stapel, int stufe);

    void Hinzufuegen_Click();
    void Entfernen_Click();
    void Exportieren_Click();
    bool exportiere(const QString& pfad, QString& fehler) const;
    // Shows the annotation of table row `zeile` in the middle of the diagram.
    void springeZu(int zeile);
    // Waits for the decoding under way (tests); false when it failed.
    bool warte();
    [[nodiscard]] const dekoder::Annotationsliste* annotationen() const { return liste_.get(); }

    QPushButton* Hinzufuegen = nullptr;
    QPushButton* Entfernen = nullptr;
    QPushButton* Exportieren = nullptr;
    QListWidget* Dekoderliste = nullptr;
    QLineEdit* Suche = nullptr;
    QTableView* Tabelle = nullptr;
    QComboBox* Abtastrate = nullptr;  // the decoders' sample rate; 0 (first): from the capture
    QProgressBar* Fortschritt = nullptr;
    QLabel* Meldung = nullptr;
    QTimer* Abholtakt = nullptr;  // runs only while decoding
    Annotationsmodell* Modell = nullptr;

private:
    void starteNeu();
    void hole();
    void zeigeListe();
    void zeigeTabelle();
    void zeigeZeilen();
    void zeigeFehler(const std::string& fehler);
    [[nodiscard]] std::size_t reihenMitAnnotationen() const;

    Zeitdiagramm* diagramm_;
    std::shared_ptr<const analysator::Aufnahme> aufnahme_;
    std::vector<std::string> stapel_;
    std::vector<dekoder::Beschreibung> alle_;  // read on the first "hinzufügen"
    std::shared_ptr<dekoder::Annotationsliste> liste_;
    std::unique_ptr<dekoder::Dekodierung> dekodierung_;
    std::map<std::string, QString> namen_;  // "uart" → "UART", for the rows' labels
    std::size_t reihenGezeigt_ = 0;         // rows with annotations when last shown
    bool tabelleAlt_ = false;               // found more since the table was built
    QElapsedTimer tabelleGebaut_;
};

}  // namespace dravel
