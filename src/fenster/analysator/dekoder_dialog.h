#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "logik/aufnahme.h"
#include "logik/dekoder.h"

class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace dravel {

// "Dekoder hinzufügen…": one decoder from the list (searchable), its
// channels on the recording's lines, its options from their defaults, and
// where it goes: on the lines, or on top of a stack whose last decoder
// gives what it reads (uart → a protocol above it).
//
// No Q_OBJECT; connected by pointer.
class DekoderDialog final : public QDialog {
public:
    // A stack already chosen, as the list may stack onto it.
    struct Stapelziel {
        QString name;                       // "uart (rx=10)"
        std::vector<std::string> ausgaben;  // what its top decoder gives
    };
    DekoderDialog(std::vector<dekoder::Beschreibung> alle,
                  std::shared_ptr<const analysator::Aufnahme> aufnahme,
                  std::vector<Stapelziel> stapel, QWidget* parent = nullptr);

    // The choice as --dekoder spells one decoder ("uart:rx=10:baudrate=9600",
    // options only where they differ from the default), and the stack it
    // goes on (-1: a stack of its own on the lines).
    [[nodiscard]] std::string angabe() const;
    [[nodiscard]] int ziel() const;

    // Shows only decoders whose id, name or description holds `text`.
    void filtere(const QString& text);
    // Selects decoder `id` in the list (tests, and the list's first match).
    bool wähle(const std::string& id);

    QLineEdit* Suche = nullptr;
    QTreeWidget* Liste = nullptr;
    QComboBox* Stapeln = nullptr;
    QLabel* Beschreibung = nullptr;
    QDialogButtonBox* Knoepfe = nullptr;

private:
    void zeigeDekoder();
    [[nodiscard]] const dekoder::Beschreibung* gewählt() const;

    std::vector<dekoder::Beschreibung> alle_;
    std::shared_ptr<const analysator::Aufnahme> aufnahme_;
    std::vector<Stapelziel> stapel_;
    QFormLayout* form_ = nullptr;
    QWidget* formFeld_ = nullptr;
    std::vector<std::pair<std::string, QComboBox*>> kanäle_;
    std::vector<std::pair<const dekoder::Option*, QWidget*>> optionen_;
    std::vector<int> ziele_;  // per entry of Stapeln: a stack index, -1 for the lines
};

// The value a decoder's channel takes for line `leitung` of `aufnahme`:
// the pin number where the line is a pin, else its name.
std::string kanalwert(const analysator::Aufnahme& aufnahme, const analysator::Leitung& leitung);

}  // namespace dravel
