#include "dekoderbereich.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "dekoder_dialog.h"
#include "logik/einheiten.h"
#include "logikanalysator.h"
#include "zeitdiagramm.h"

namespace dravel {
namespace {

constexpr int kAbholenMs = 100;
// The table is searched and built anew from all found so far: not on every
// fetch while decoding, which would also lose the selection each time.
constexpr int kTabelleMs = 1000;
constexpr int kSuchVerzugMs = 250;
// Beside the analyzer's other settings.
const char* const kSchlüssel = "dekoder";

// One colour per decoder of the session, far enough apart on the dark ground.
QColor farbe(int instanz) {
    static const QColor farben[] = {{0xF0, 0xC0, 0x50}, {0x70, 0xB8, 0xFF}, {0xE0, 0x80, 0xE0},
                                    {0x80, 0xE0, 0xD0}, {0xFF, 0x90, 0x60}, {0xB0, 0xE0, 0x60}};
    return farben[std::size_t(instanz) % std::size(farben)];
}

QString alsText(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

}  // namespace

// --- table -----------------------------------------------------------------

void Annotationsmodell::setze(std::shared_ptr<const dekoder::Annotationsliste> liste,
                              std::vector<std::uint32_t> zeilen, std::uint64_t nullpunktNs) {
    beginResetModel();
    liste_ = std::move(liste);
    zeilen_ = std::move(zeilen);
    nullpunktNs_ = nullpunktNs;
    endResetModel();
}

int Annotationsmodell::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(std::min<std::size_t>(zeilen_.size(), INT_MAX));
}

int Annotationsmodell::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant Annotationsmodell::data(const QModelIndex& index, int role) const {
    if (!liste_ || !index.isValid() || std::size_t(index.row()) >= zeilen_.size()) return {};
    const std::uint32_t i = zeilen_[std::size_t(index.row())];
    const auto& e = (*liste_)[i];
    if (role == Qt::TextAlignmentRole && index.column() == 0) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole && e.überLücke) {
        return QStringLiteral("Über einer Stelle, die die Aufnahme nicht gesehen hat: unsicher");
    }
    if (role == Qt::ForegroundRole && e.überLücke) return QColor(0x90, 0x90, 0x90);
    if (role != Qt::DisplayRole) return {};
    const auto& reihe = liste_->reihen()[e.reihe];
    switch (index.column()) {
        case 0:
            return analysator::dauerText(double(e.anfangNs) - double(nullpunktNs_));
        case 1:
            return QString::fromStdString(reihe.dekoder);
        case 2:
            return QString::fromStdString(reihe.name);
        default:
            return alsText(liste_->text(i)) +
                   (e.überLücke ? QStringLiteral(" (Lücke)") : QString());
    }
}

QVariant Annotationsmodell::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const namen[] = {"Zeit", "Dekoder", "Zeile", "Text"};
    return section >= 0 && section < 4 ? QString::fromUtf8(namen[section]) : QVariant();
}

// --- the decoders ------------------------------------------------------------

Dekoderbereich::Dekoderbereich(Zeitdiagramm* diagramm, QWidget* parent)
    : QWidget(parent), diagramm_(diagramm), liste_(std::make_shared<dekoder::Annotationsliste>()) {
    setObjectName(QStringLiteral("Dekoderbereich"));
    Hinzufuegen = new QPushButton(QStringLiteral("Dekoder hinzufügen…"), this);
    Hinzufuegen->setObjectName(QStringLiteral("Hinzufuegen"));
    Hinzufuegen->setToolTip(
        QStringLiteral("Ein Protokoll dekodieren (sigroks Dekoder): UART, SPI, I²C, …"));
    Entfernen = new QPushButton(QStringLiteral("Entfernen"), this);
    Entfernen->setObjectName(QStringLiteral("Entfernen"));
    Entfernen->setToolTip(QStringLiteral("Entfernt den gewählten Dekoder und die darauf"));
    Exportieren = new QPushButton(QStringLiteral("Exportieren…"), this);
    Exportieren->setObjectName(QStringLiteral("Exportieren"));
    Exportieren->setToolTip(QStringLiteral("Schreibt die gezeigten Annotationen als CSV-Datei"));
    Dekoderliste = new QListWidget(this);
    Dekoderliste->setObjectName(QStringLiteral("Dekoderliste"));
    Dekoderliste->setMaximumWidth(260);
    Suche = new QLineEdit(this);
    Suche->setObjectName(QStringLiteral("Suche"));
    Suche->setPlaceholderText(QStringLiteral("Annotationen durchsuchen"));
    Suche->setClearButtonEnabled(true);
    Abtastrate = new QComboBox(this);
    Abtastrate->setObjectName(QStringLiteral("Abtastrate"));
    Abtastrate->setToolTip(
        QStringLiteral("Mit wie vielen Proben je Sekunde die Dekoder die Aufnahme lesen; "
                       "„automatisch“ nimmt ihre Zeitauflösung"));
    Abtastrate->addItem(QStringLiteral("automatisch"), 0.0);
    for (const double hz : {1e5, 1e6, 1e7, 1e8, 1e9}) {
        Abtastrate->addItem(analysator::frequenzText(hz), hz);
    }
    Fortschritt = new QProgressBar(this);
    Fortschritt->setRange(0, 1000);
    Fortschritt->setTextVisible(false);
    Fortschritt->setMaximumWidth(120);
    Fortschritt->hide();
    Meldung = new QLabel(this);
    Meldung->setObjectName(QStringLiteral("Meldung"));
    Modell = new Annotationsmodell(this);
    Tabelle = new QTableView(this);
    Tabelle->setObjectName(QStringLiteral("Annotationen"));
    Tabelle->setModel(Modell);
    Tabelle->setSelectionBehavior(QAbstractItemView::SelectRows);
    Tabelle->setSelectionMode(QAbstractItemView::SingleSelection);
    Tabelle->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tabelle->verticalHeader()->hide();
    // Fixed heights: a million rows are not measured.
    Tabelle->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Tabelle->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    Tabelle->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Tabelle->horizontalHeader()->setStretchLastSection(true);
    Tabelle->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("-888,888 ms")) + 16);
    Abholtakt = new QTimer(this);
    Abholtakt->setInterval(kAbholenMs);
    auto* suchtakt = new QTimer(this);
    suchtakt->setSingleShot(true);
    suchtakt->setInterval(kSuchVerzugMs);

    auto* knöpfe = new QVBoxLayout;
    knöpfe->addWidget(Hinzufuegen);
    knöpfe->addWidget(Entfernen);
    knöpfe->addWidget(Dekoderliste, 1);
    auto* leiste = new QHBoxLayout;
    leiste->addWidget(Suche, 1);
    leiste->addWidget(Abtastrate);
    leiste->addWidget(Fortschritt);
    leiste->addWidget(Meldung);
    leiste->addWidget(Exportieren);
    auto* tabelle = new QVBoxLayout;
    tabelle->addLayout(leiste);
    tabelle->addWidget(Tabelle, 1);
    auto* ordnung = new QHBoxLayout(this);
    ordnung->setContentsMargins(0, 0, 0, 0);
    ordnung->addLayout(knöpfe);
    ordnung->addLayout(tabelle, 1);

    connect(Hinzufuegen, &QPushButton::clicked, this, [this] { Hinzufuegen_Click(); });
    connect(Entfernen, &QPushButton::clicked, this, [this] { Entfernen_Click(); });
    connect(Exportieren, &QPushButton::clicked, this, [this] { Exportieren_Click(); });
    connect(Abholtakt, &QTimer::timeout, this, [this] { hole(); });
    connect(Abtastrate, &QComboBox::currentIndexChanged, this, [this] { starteNeu(); });
    connect(Suche, &QLineEdit::textChanged, suchtakt, qOverload<>(&QTimer::start));
    connect(suchtakt, &QTimer::timeout, this, [this] { zeigeTabelle(); });
    connect(Tabelle, &QTableView::clicked, this,
            [this](const QModelIndex& i) { springeZu(i.row()); });
    connect(Tabelle, &QTableView::activated, this,
            [this](const QModelIndex& i) { springeZu(i.row()); });

    for (const QString& s :
         Logikanalysator::gespeichert()->value(QLatin1String(kSchlüssel)).toStringList()) {
        stapel_.push_back(s.toStdString());
    }
    zeigeListe();
    zeigeTabelle();
}

Dekoderbereich::~Dekoderbereich() = default;

void Dekoderbereich::setzeStapel(std::vector<std::string> stapel, bool dekodieren) {
    stapel_ = std::move(stapel);
    QStringList texte;
    for (const std::string& s : stapel_) texte << QString::fromStdString(s);
    const auto einstellungen = Logikanalysator::gespeichert();
    if (texte.isEmpty()) {
        einstellungen->remove(QLatin1String(kSchlüssel));
    } else {
        einstellungen->setValue(QLatin1String(kSchlüssel), texte);
    }
    zeigeListe();
    if (dekodieren) starteNeu();
}

void Dekoderbereich::füge(const std::string& angabe, int ziel) {
    auto neu = stapel_;
    if (ziel >= 0 && std::size_t(ziel) < neu.size()) {
        neu[std::size_t(ziel)] += "," + angabe;
    } else {
        neu.push_back(angabe);
    }
    setzeStapel(std::move(neu));
}

void Dekoderbereich::entferne(int stapel, int stufe) {
    if (stapel < 0 || std::size_t(stapel) >= stapel_.size()) return;
    auto neu = stapel_;
    std::string& s = neu[std::size_t(stapel)];
    // The decoders above read this one: they go with it.
    std::size_t ende = 0;
    for (int k = 0; k < stufe && ende != std::string::npos; ++k) ende = s.find(',', ende + 1);
    if (stufe <= 0 || ende == std::string::npos) {
        neu.erase(neu.begin() + stapel);
    } else {
        s.resize(ende);
    }
    setzeStapel(std::move(neu));
}

void Dekoderbereich::zeigeListe() {
    Dekoderliste->clear();
    for (std::size_t s = 0; s < stapel_.size(); ++s) {
        std::string fehler;
        const auto stapel = dekoder::leseStapel(stapel_[s], fehler);
        if (!stapel) continue;
        for (std::size_t k = 0; k < stapel->size(); ++k) {
            const dekoder::Angabe& a = (*stapel)[k];
            QStringList werte;
            for (const auto& [schlüssel, wert] : a.werte) {
                werte << QString::fromStdString(schlüssel + "=" + wert);
            }
            auto* eintrag = new QListWidgetItem(
                QString(int(k) * 2, QLatin1Char(' ')) + (k > 0 ? QStringLiteral("↳ ") : QString()) +
                    QString::fromStdString(a.id) +
                    (werte.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(werte.join(", "))),
                Dekoderliste);
            eintrag->setData(Qt::UserRole, int(s));
            eintrag->setData(Qt::UserRole + 1, int(k));
            eintrag->setToolTip(QString::fromStdString(stapel_[s]));
        }
    }
    Entfernen->setEnabled(!stapel_.empty());
}

void Dekoderbereich::Hinzufuegen_Click() {
    if (alle_.empty()) {
        std::string fehler;
        alle_ = dekoder::alleDekoder(fehler);
        if (alle_.empty()) {
            QMessageBox::warning(this, QStringLiteral("Dekoder"), QString::fromStdString(fehler));
            return;
        }
    }
    // What each stack's top decoder gives, for stacking onto it.
    std::vector<DekoderDialog::Stapelziel> ziele;
    for (const std::string& s : stapel_) {
        DekoderDialog::Stapelziel ziel{QString::fromStdString(s), {}};
        std::string fehler;
        const auto stapel = dekoder::leseStapel(s, fehler);
        if (stapel && !stapel->empty()) {
            const auto b = std::find_if(alle_.begin(), alle_.end(),
                                        [&](const auto& d) { return d.id == stapel->back().id; });
            if (b != alle_.end()) ziel.ausgaben = b->ausgaben;
        }
        ziele.push_back(std::move(ziel));
    }
    DekoderDialog dialog(alle_, aufnahme_, std::move(ziele), this);
    if (dialog.exec() != QDialog::Accepted) return;
    füge(dialog.angabe(), dialog.ziel());
}

void Dekoderbereich::Entfernen_Click() {
    const QListWidgetItem* e = Dekoderliste->currentItem();
    if (!e && Dekoderliste->count() > 0) e = Dekoderliste->item(Dekoderliste->count() - 1);
    if (!e) return;
    entferne(e->data(Qt::UserRole).toInt(), e->data(Qt::UserRole + 1).toInt());
}

// --- decoding ------------------------------------------------------------------

void Dekoderbereich::dekodiere(std::shared_ptr<const analysator::Aufnahme> aufnahme) {
    aufnahme_ = std::move(aufnahme);
    starteNeu();
}

void Dekoderbereich::starteNeu() {
    Abholtakt->stop();
    dekodierung_.reset();  // stops and waits for the last one
    liste_ = std::make_shared<dekoder::Annotationsliste>();
    reihenGezeigt_ = 0;
    Fortschritt->hide();
    Meldung->clear();
    Meldung->setToolTip({});
    const auto fertig = [this] {
        zeigeZeilen();
        zeigeTabelle();
    };
    if (!aufnahme_ || stapel_.empty() || aufnahme_->anzahl() == 0) return fertig();

    std::vector<dekoder::Stapel> stapel;
    std::string fehler;
    for (const std::string& s : stapel_) {
        auto gelesen = dekoder::leseStapel(s, fehler);
        if (!gelesen) break;
        stapel.push_back(std::move(*gelesen));
    }
    if (fehler.empty()) {
        dekodierung_ = dekoder::Dekodierung::bereite(
            aufnahme_, stapel, std::uint64_t(Abtastrate->currentData().toDouble()), fehler);
    }
    if (!dekodierung_) {
        zeigeFehler(fehler);
        return fertig();
    }
    // Every row each decoder declares, so that they show in its order as
    // they fill, and the decoders' names for the labels.
    int instanz = 0;
    for (const dekoder::Stapel& s : stapel) {
        for (const dekoder::Angabe& a : s) {
            std::string grund;
            const auto b = dekoder::dekoder(a.id, grund);
            if (b) {
                namen_[a.id] = QString::fromStdString(b->name);
                for (const dekoder::Zeile& z : b->zeilen) {
                    liste_->reihe(instanz, a.id, z.id, z.beschreibung);
                }
                if (b->zeilen.empty()) {
                    for (const auto& [id, beschreibung] : b->klassen) {
                        liste_->reihe(instanz, a.id, id, beschreibung);
                    }
                }
            }
            ++instanz;
        }
    }
    fertig();
    dekodierung_->starte();
    Fortschritt->setValue(0);
    Fortschritt->show();
    Meldung->setText(QStringLiteral("Dekodiert …"));
    Abholtakt->start();
}

void Dekoderbereich::hole() {
    if (!dekodierung_) return;
    const bool fertig = dekodierung_->fertig();  // before: nothing is missed
    const std::vector<dekoder::Annotation> neu = dekodierung_->abholen();
    for (const dekoder::Annotation& a : neu) liste_->füge(a);
    liste_->ordne();
    Fortschritt->setValue(int(dekodierung_->fortschritt() * 1000));
    if (reihenMitAnnotationen() != reihenGezeigt_) zeigeZeilen();
    if (!neu.empty()) {
        tabelleAlt_ = true;
        diagramm_->viewport()->update();
    }
    if (tabelleAlt_ && (fertig || tabelleGebaut_.hasExpired(kTabelleMs))) zeigeTabelle();
    if (!fertig) return;
    Abholtakt->stop();
    Fortschritt->hide();
    const bool gut = dekodierung_->warte();
    const QString anzahl = QLocale().toString(qulonglong(liste_->anzahl()));
    if (gut) {
        Meldung->setText(
            QStringLiteral("%1 Annotationen bei %2")
                .arg(anzahl, analysator::frequenzText(double(dekodierung_->abtastrate()), 3)));
        Meldung->setToolTip({});
    } else {
        zeigeFehler(dekodierung_->fehler());
    }
}

void Dekoderbereich::zeigeFehler(const std::string& fehler) {
    // The start of it beside the search, all of it when pointed at.
    const QString text = QStringLiteral("Dekoder: %1").arg(QString::fromStdString(fehler));
    Meldung->setText(Meldung->fontMetrics().elidedText(text, Qt::ElideRight, 360));
    Meldung->setToolTip(text);
}

bool Dekoderbereich::warte() {
    if (!dekodierung_) return false;
    const bool gut = dekodierung_->warte();
    hole();
    return gut;
}

std::size_t Dekoderbereich::reihenMitAnnotationen() const {
    std::size_t n = 0;
    for (std::uint32_t r = 0; r < liste_->reihen().size(); ++r) n += liste_->anzahlIn(r) > 0;
    return n;
}

void Dekoderbereich::zeigeZeilen() {
    // The rows with something in them, in the order the decoders declare
    // them (a uart reading rx only leaves its tx rows empty); all while
    // nothing is found, so the decoders chosen still show.
    std::vector<Zeitdiagramm::Zusatzzeile> zeilen;
    const auto& reihen = liste_->reihen();
    reihenGezeigt_ = reihenMitAnnotationen();
    for (std::uint32_t r = 0; r < reihen.size(); ++r) {
        if (reihenGezeigt_ > 0 && liste_->anzahlIn(r) == 0) continue;
        const auto bekannt = namen_.find(reihen[r].dekoder);
        const QString name =
            bekannt != namen_.end() ? bekannt->second : QString::fromStdString(reihen[r].dekoder);
        zeilen.push_back(
            {QStringLiteral("%1: %2").arg(name, QString::fromStdString(reihen[r].name)), liste_, r,
             farbe(reihen[r].instanz)});
    }
    diagramm_->setzeZusatzzeilen(std::move(zeilen));
}

void Dekoderbereich::zeigeTabelle() {
    tabelleAlt_ = false;
    tabelleGebaut_.start();
    Modell->setze(liste_, liste_->suche(Suche->text().toStdString()),
                  aufnahme_ ? aufnahme_->nullpunktNs : 0);
    Exportieren->setEnabled(Modell->rowCount() > 0);
}

void Dekoderbereich::springeZu(int zeile) {
    if (zeile < 0 || zeile >= Modell->rowCount()) return;
    const auto& e = (*liste_)[Modell->annotation(zeile)];
    diagramm_->zeigeBereich(double(e.anfangNs), double(e.endeNs));
}

// --- export ------------------------------------------------------------------

bool Dekoderbereich::exportiere(const QString& pfad, QString& fehler) const {
    const std::string csv =
        dekoder::alsCsv(*liste_, Modell->zeilen(), aufnahme_ ? aufnahme_->nullpunktNs : 0);
    QFile datei(pfad);
    if (!datei.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        datei.write(csv.data(), qint64(csv.size())) != qint64(csv.size()) || !datei.flush()) {
        fehler =
            QStringLiteral("„%1“ lässt sich nicht schreiben: %2.").arg(pfad, datei.errorString());
        return false;
    }
    return true;
}

void Dekoderbereich::Exportieren_Click() {
    const QString pfad = QFileDialog::getSaveFileName(
        this, QStringLiteral("Annotationen exportieren"), QStringLiteral("annotationen.csv"),
        QStringLiteral("CSV-Dateien (*.csv)"));
    if (pfad.isEmpty()) return;
    QString fehler;
    if (!exportiere(pfad, fehler))
        QMessageBox::warning(this, QStringLiteral("Exportieren"), fehler);
}

}  // namespace dravel
