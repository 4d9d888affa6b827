#include "logikanalysator.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

#include "dekoderbereich.h"
#include "fenster/gemeinsam/symbol.h"
#include "fenster/module1.h"
#include "logik/aufnahme_vcd.h"
#include "logik/ausloeser.h"
#include "logik/einheiten.h"
#include "logik/messung.h"
#include "logik/vcd_laden.h"
#include "port/pin_map.h"
#include "port/port.h"
#include "zeitdiagramm.h"

namespace dravel {
namespace {

using analysator::Aufnahme;

constexpr int kAnzeigeMs = 33;  // the live diagram's refresh, about 30 per second
constexpr int kMessVerzugMs = 120;
constexpr int kTakteJeMessung = 15;
constexpr int kSpalten = 7;

// The capture engine on the bound port, beneath the session trace.
class Maschinenquelle final : public Aufnahmequelle {
public:
    bool starte(const analysator::Aufnahmeeinstellungen& e, QString&) override {
        // Made on the thread of the port calls at every start, so that a run
        // reads the port bound now; an idle window has not touched the port.
        maschine_.reset();  // ends the last run before its reader goes
        leser_ = std::make_unique<analysator::PortOhneMitschnitt>();
        maschine_ = std::make_unique<analysator::Aufnahmemaschine>(*leser_, uhr_);
        maschine_->starte(e);
        return true;
    }
    void halte() override {
        if (maschine_) maschine_->halte();
    }
    bool läuft() const override { return maschine_ && maschine_->läuft(); }
    std::shared_ptr<const Aufnahme> aktuelle() const override {
        return maschine_ ? maschine_->aktuelle() : nullptr;
    }
    QString zustand() const override {
        if (!maschine_) return {};
        if (maschine_->wartetAufAuslöser()) return QStringLiteral("Wartet auf Auslöser");
        const QString rate = QLocale().toString(maschine_->probenJeSekunde(), 'f', 0);
        if (maschine_->läuft()) return QStringLiteral("Läuft · %1 Proben/s").arg(rate);
        const auto a = maschine_->aktuelle();
        if (!a) return QStringLiteral("Angehalten vor dem Auslöser");
        const QString grund = QString::fromUtf8(analysator::endeText(a->ende()));
        return QStringLiteral("Beendet: %1 · %2 Proben/s").arg(grund, rate);
    }

private:
    analysator::Programmuhr uhr_;
    std::unique_ptr<analysator::PortOhneMitschnitt> leser_;
    std::unique_ptr<analysator::Aufnahmemaschine> maschine_;  // after leser_: goes first
};

QString pinText(int pin) {
    return QString::fromStdString(port::label(port::pin(pin)));
}

}  // namespace

Logikanalysator::Logikanalysator(QWidget* parent)
    : QWidget(parent, Qt::Window), quelle_(std::make_unique<Maschinenquelle>()) {
    setObjectName(QStringLiteral("Logikanalysator"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(fenstersymbol());
    setWindowTitle(QStringLiteral("Logikanalysator"));

    const auto knopf = [this](const char* name, const QString& text, const QString& hilfe) {
        auto* k = new QPushButton(text, this);
        k->setObjectName(QString::fromUtf8(name));
        k->setToolTip(hilfe);
        return k;
    };
    AufnahmeStartStop = knopf("AufnahmeStartStop", QStringLiteral("Start"),
                              QStringLiteral("Startet oder beendet die Aufnahme"));
    AufnahmeStartStop->setMinimumWidth(
        AufnahmeStartStop->fontMetrics().horizontalAdvance(QStringLiteral("Stopp")) * 3);
    Oeffnen =
        knopf("Oeffnen", QStringLiteral("Öffnen…"),
              QStringLiteral(
                  "Zeigt eine VCD-Datei: Aufnahme, Mitschnitt oder die eines anderen Programms"));
    Speichern = knopf("Speichern", QStringLiteral("Speichern…"),
                      QStringLiteral("Schreibt die Aufnahme als VCD-Datei (PulseView, GTKWave)"));
    BildSpeichern = knopf("BildSpeichern", QStringLiteral("Bild speichern…"),
                          QStringLiteral("Schreibt das Zeitdiagramm als PNG-Bild"));
    AllesZeigen = knopf("AllesZeigen", QStringLiteral("Alles zeigen"),
                        QStringLiteral("Zeigt die ganze Aufnahme (Taste Pos1)"));
    auto* näher =
        knopf("Vergroessern", QStringLiteral("+"), QStringLiteral("Vergrößern (Taste +)"));
    auto* weiter =
        knopf("Verkleinern", QStringLiteral("−"), QStringLiteral("Verkleinern (Taste −)"));
    for (QPushButton* k : {näher, weiter}) k->setFixedWidth(k->sizeHint().height() + 6);
    Zustand = new QLabel(QStringLiteral("Bereit"), this);
    Zustand->setObjectName(QStringLiteral("Zustand"));
    Zustand->setWordWrap(true);

    auto* leiste = new QHBoxLayout;
    leiste->addWidget(AufnahmeStartStop);
    leiste->addSpacing(12);
    for (QWidget* w : {static_cast<QWidget*>(Oeffnen), static_cast<QWidget*>(Speichern),
                       static_cast<QWidget*>(BildSpeichern)}) {
        leiste->addWidget(w);
    }
    leiste->addSpacing(12);
    leiste->addWidget(AllesZeigen);
    leiste->addWidget(näher);
    leiste->addWidget(weiter);
    leiste->addSpacing(12);
    leiste->addWidget(Zustand, 1);

    Diagramm = new Zeitdiagramm(this);
    CursorAnzeige = new QLabel(this);
    CursorAnzeige->setObjectName(QStringLiteral("CursorAnzeige"));
    CursorAnzeige->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Messwerte = new QTableWidget(0, kSpalten, this);
    Messwerte->setObjectName(QStringLiteral("Messwerte"));
    Messwerte->setHorizontalHeaderLabels(
        {QStringLiteral("Leitung"), QStringLiteral("Flanken"), QStringLiteral("Frequenz"),
         QStringLiteral("Periode"), QStringLiteral("Tastgrad"), QStringLiteral("kürzester Puls"),
         QStringLiteral("längster Puls")});
    Messwerte->verticalHeader()->hide();
    Messwerte->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Messwerte->setSelectionMode(QAbstractItemView::NoSelection);
    Messwerte->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Messwerte->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    auto* unten = new QWidget(this);
    auto* untenOrdnung = new QVBoxLayout(unten);
    untenOrdnung->setContentsMargins(0, 0, 0, 0);
    untenOrdnung->addWidget(CursorAnzeige);
    untenOrdnung->addWidget(Messwerte);
    auto* rechts = new QSplitter(Qt::Vertical, this);
    rechts->addWidget(Diagramm);
    rechts->addWidget(unten);
    Dekoder = new Dekoderbereich(Diagramm, this);
    rechts->addWidget(Dekoder);
    rechts->setStretchFactor(0, 3);
    rechts->setStretchFactor(1, 1);
    rechts->setChildrenCollapsible(false);
    // Room for the 17 rows and for seven lines of the table below them.
    rechts->setSizes({470, 230, 140});

    auto* mitte = new QHBoxLayout;
    mitte->addWidget(baueEinstellungen());
    mitte->addWidget(rechts, 1);
    auto* ordnung = new QVBoxLayout(this);
    ordnung->setContentsMargins(8, 8, 8, 8);
    ordnung->addLayout(leiste);
    ordnung->addLayout(mitte, 1);

    Anzeigetakt = new QTimer(this);
    Anzeigetakt->setObjectName(QStringLiteral("Anzeigetakt"));
    Anzeigetakt->setInterval(kAnzeigeMs);
    Messtakt = new QTimer(this);
    Messtakt->setObjectName(QStringLiteral("Messtakt"));
    Messtakt->setSingleShot(true);
    Messtakt->setInterval(kMessVerzugMs);

    connect(AufnahmeStartStop, &QPushButton::clicked, this, [this] { AufnahmeStartStop_Click(); });
    connect(Oeffnen, &QPushButton::clicked, this, [this] { Oeffnen_Click(); });
    connect(Speichern, &QPushButton::clicked, this, [this] { Speichern_Click(); });
    connect(BildSpeichern, &QPushButton::clicked, this, [this] { BildSpeichern_Click(); });
    connect(AllesZeigen, &QPushButton::clicked, Diagramm, [this] { Diagramm->allesZeigen(); });
    connect(näher, &QPushButton::clicked, Diagramm, [this] { Diagramm->zoome(2); });
    connect(weiter, &QPushButton::clicked, Diagramm, [this] { Diagramm->zoome(0.5); });
    connect(Anzeigetakt, &QTimer::timeout, this, [this] { Anzeigetakt_Timer(); });
    connect(Messtakt, &QTimer::timeout, this, [this] { messeJetzt(); });
    // Ending the program closes no window: the capture's thread must not
    // outlive the port it reads.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { halteAufnahme(); });
    Diagramm->beiÄnderung = [this] {
        // The table waits until the view settles: measuring a long view
        // reads every change in it.
        Messtakt->start();
    };

    zeige(nullptr);
    resize(1180, 760);
}

Logikanalysator::~Logikanalysator() {
    halteAufnahme();
}

QWidget* Logikanalysator::baueEinstellungen() {
    auto* feld = new QGroupBox(QStringLiteral("Aufnahme"), this);
    feld->setObjectName(QStringLiteral("Einstellungen"));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    Ausloeser = new QComboBox(feld);
    Ausloeser->setObjectName(QStringLiteral("Ausloeser"));
    Ausloeser->addItems(
        {QStringLiteral("keiner (sofort)"), QStringLiteral("Flanke"), QStringLiteral("Muster")});
    AusloeserPin = new QComboBox(feld);
    AusloeserPin->setObjectName(QStringLiteral("AusloeserPin"));
    for (int pin = 1; pin <= port::kSignalPinCount; ++pin) {
        AusloeserPin->addItem(pinText(pin), pin);
    }
    AusloeserPin->setCurrentIndex(9);  // /Ack, the usual input
    Flanke = new QComboBox(feld);
    Flanke->setObjectName(QStringLiteral("Flanke"));
    for (const auto richtung : analysator::kRichtungen) {
        Flanke->addItem(QString::fromUtf8(analysator::wort(richtung)), int(richtung));
    }
    Muster = new QLineEdit(feld);
    Muster->setObjectName(QStringLiteral("Muster"));
    Muster->setPlaceholderText(QStringLiteral("2=1, 15=0"));
    Muster->setToolTip(QStringLiteral("Pins und ihre Pegel, z. B. „2=1, 15=0“"));
    Vorlauf = new QSpinBox(feld);
    Vorlauf->setObjectName(QStringLiteral("Vorlauf"));
    Vorlauf->setRange(0, 100);
    Vorlauf->setValue(10);
    Vorlauf->setSuffix(QStringLiteral(" %"));
    Vorlauf->setToolTip(QStringLiteral("Anteil der Aufnahme vor dem Auslöser"));
    Dauer = new QDoubleSpinBox(feld);
    Dauer->setObjectName(QStringLiteral("Dauer"));
    Dauer->setDecimals(3);
    Dauer->setRange(0, 86400);
    Dauer->setSpecialValueText(QStringLiteral("bis Stopp"));
    Dauer->setValue(1);
    Dauer->setSuffix(QStringLiteral(" s"));
    Betrieb = new QComboBox(feld);
    Betrieb->setObjectName(QStringLiteral("Betrieb"));
    Betrieb->addItems({QStringLiteral("einmal"), QStringLiteral("wiederholt")});
    Grenze = new QSpinBox(feld);
    Grenze->setObjectName(QStringLiteral("Grenze"));
    // The command's rule: no more than the machine has.
    Grenze->setRange(
        1, static_cast<int>(std::min<std::size_t>(analysator::größteGrenze().mib, INT_MAX)));
    Grenze->setValue(256);
    Grenze->setSuffix(QStringLiteral(" MiB"));
    Grenze->setToolTip(QStringLiteral("Höchstens so viel Speicher für die Änderungen"));

    form->addRow(QStringLiteral("Auslöser:"), Ausloeser);
    form->addRow(QStringLiteral("Pin:"), AusloeserPin);
    form->addRow(QStringLiteral("Flanke:"), Flanke);
    form->addRow(QStringLiteral("Muster:"), Muster);
    form->addRow(QStringLiteral("Vorlauf:"), Vorlauf);
    form->addRow(QStringLiteral("Dauer:"), Dauer);
    form->addRow(QStringLiteral("Betrieb:"), Betrieb);
    form->addRow(QStringLiteral("Speichergrenze:"), Grenze);

    auto* leitungen = new QGroupBox(QStringLiteral("Leitungen"), feld);
    auto* raster = new QGridLayout(leitungen);
    raster->setVerticalSpacing(2);
    for (int pin = 1; pin <= port::kSignalPinCount; ++pin) {
        Leitung[pin] = new QCheckBox(pinText(pin), leitungen);
        Leitung[pin]->setObjectName(QStringLiteral("Leitung(%1)").arg(pin));
        Leitung[pin]->setChecked(true);
        // Data, then status, then control, as the registers hold them.
        const port::PinInfo& info = port::pin(pin);
        const int spalte = info.reg == port::PinRegister::Data ? 0 : 1;
        const int zeile = info.reg == port::PinRegister::Data     ? info.bit
                          : info.reg == port::PinRegister::Status ? info.bit - 3
                                                                  : 5 + info.bit;
        raster->addWidget(Leitung[pin], zeile, spalte);
    }

    auto* ordnung = new QVBoxLayout(feld);
    ordnung->addLayout(form);
    ordnung->addWidget(leitungen);
    ordnung->addStretch(1);
    feld->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    connect(Ausloeser, &QComboBox::currentIndexChanged, this, [this] { passeAuslöserAn(); });
    passeAuslöserAn();
    return feld;
}

void Logikanalysator::passeAuslöserAn() {
    const int art = Ausloeser->currentIndex();
    AusloeserPin->setEnabled(art == 1);
    Flanke->setEnabled(art == 1);
    Muster->setEnabled(art == 2);
    Vorlauf->setEnabled(art != 0);
}

void Logikanalysator::setzeQuelle(std::unique_ptr<Aufnahmequelle> quelle) {
    halteAufnahme();
    quelle_ = std::move(quelle);
}

std::optional<analysator::Aufnahmeeinstellungen> Logikanalysator::einstellungen(
    QString& fehler) const {
    analysator::Aufnahmeeinstellungen e;
    e.basis = std::uint16_t(Module1::Basisadresse().value_or(888));
    e.pins = 0;
    for (int pin = 1; pin <= port::kSignalPinCount; ++pin) {
        if (Leitung[pin]->isChecked()) e.pins |= analysator::bitVon(pin);
    }
    if (e.pins == 0) {
        fehler = QStringLiteral("Keine Leitung gewählt.");
        return std::nullopt;
    }
    std::string grund;
    std::optional<analysator::Auslöser> auslöser = analysator::Auslöser{};
    if (Ausloeser->currentIndex() == 1) {
        auslöser->art = analysator::Auslöser::Art::Flanke;
        auslöser->pin = AusloeserPin->currentData().toInt();
        auslöser->richtung = analysator::Auslöser::Richtung(Flanke->currentData().toInt());
    } else if (Ausloeser->currentIndex() == 2) {
        auslöser = analysator::leseMuster(Muster->text().toStdString(), grund);
    }
    if (!auslöser) {
        fehler = QStringLiteral("Auslöser: %1").arg(QString::fromStdString(grund));
        return std::nullopt;
    }
    e.auslöser = *auslöser;
    e.vorlaufAnteil = Vorlauf->value() / 100.0;
    e.dauerNs = std::uint64_t(std::llround(Dauer->value() * 1e9));
    e.wiederholen = Betrieb->currentIndex() == 1;
    e.grenzeBytes = std::size_t(Grenze->value()) * analysator::kMiB;
    return e;
}

// --- capture -------------------------------------------------------------

void Logikanalysator::AufnahmeStartStop_Click() {
    if (quelle_->läuft()) {
        halteAufnahme();
        return;
    }
    QString fehler;
    const auto e = einstellungen(fehler);
    if (!e || !quelle_->starte(*e, fehler)) {
        Zustand->setText(fehler);
        return;
    }
    // Said once: whether the data lines the capture reads are outputs.
    hinweis_ = QString::fromStdString(
        analysator::richtungsHinweis(e->pins, port::readUntraced(std::int16_t(e->basis + 2))));
    dateiname_.clear();
    setWindowTitle(QStringLiteral("Logikanalysator"));
    zeige(nullptr);
    // The view spans the set duration and fills from the left, then rolls.
    laufSpanneNs_ = e->dauerNs > 0 ? double(e->dauerNs) : 1e9;
    AufnahmeStartStop->setText(QStringLiteral("Stopp"));
    Anzeigetakt->start();
    Anzeigetakt_Timer();
}

void Logikanalysator::Anzeigetakt_Timer() {
    const auto aktuell = quelle_->aktuelle();
    if (aktuell && aktuell.get() != Diagramm->aufnahme()) {
        // The trigger came, or a repeated capture began its next round.
        Diagramm->zeige(aktuell);
        Speichern->setEnabled(true);
        Diagramm->folgt = true;
        Diagramm->setzeSicht(Diagramm->anfangNs(), laufSpanneNs_);
    }
    Diagramm->rolle();
    zeigeZustand();
    // The table twice a second: it reads every change on screen.
    if (++takte_ % kTakteJeMessung == 0) messeJetzt();
    if (!quelle_->läuft()) {
        // The capture ended by itself: no timer runs from here on.
        Anzeigetakt->stop();
        AufnahmeStartStop->setText(QStringLiteral("Start"));
        Diagramm->rolle();
        Diagramm->folgt = false;
        messeJetzt();
        Dekoder->dekodiere(quelle_->aktuelle());
    }
}

void Logikanalysator::halteAufnahme() {
    if (!quelle_) return;
    const bool lief = quelle_->läuft();
    quelle_->halte();
    if (Anzeigetakt) Anzeigetakt->stop();
    if (AufnahmeStartStop) {
        AufnahmeStartStop->setText(QStringLiteral("Start"));
        Diagramm->rolle();
        Diagramm->folgt = false;
        zeigeZustand();
        if (lief) Dekoder->dekodiere(quelle_->aktuelle());
    }
}

void Logikanalysator::zeigeZustand() {
    const Aufnahme* a = Diagramm->aufnahme();
    QString text = quelle_->zustand();
    // The hint's first part in the line, all of it when pointed at.
    if (quelle_->läuft() && !hinweis_.isEmpty()) {
        text += QStringLiteral(" · ") + hinweis_.section(QLatin1Char(':'), 0, 0);
    }
    Zustand->setToolTip(quelle_->läuft() ? hinweis_ : QString());
    if (a) {
        const QString menge = QLocale().toString(qulonglong(a->anzahl()));
        const QString änderungen =
            (a->anzahl() == 1 ? QStringLiteral("%1 Änderung") : QStringLiteral("%1 Änderungen"))
                .arg(menge);
        text = text.isEmpty() ? änderungen : QStringLiteral("%1 · %2").arg(text, änderungen);
        // A file's state is its own, not the last run's.
        if (!dateiname_.isEmpty()) {
            text = dateiname_ + QStringLiteral(" · ") + änderungen;
            if (!dateihinweis_.isEmpty()) text += QStringLiteral(" · ") + dateihinweis_;
        }
    }
    Zustand->setText(text.isEmpty() ? QStringLiteral("Bereit") : text);
}

void Logikanalysator::closeEvent(QCloseEvent* event) {
    // No port access after the window is gone.
    halteAufnahme();
    Messtakt->stop();
    QWidget::closeEvent(event);
}

// --- showing and measuring -------------------------------------------------

void Logikanalysator::zeige(std::shared_ptr<const Aufnahme> aufnahme) {
    Dekoder->dekodiere(aufnahme);
    Diagramm->zeige(std::move(aufnahme));
    Speichern->setEnabled(Diagramm->aufnahme() != nullptr);
    zeigeZustand();
    messeJetzt();
}

void Logikanalysator::messeJetzt() {
    Messtakt->stop();
    const auto& a = Diagramm->cursorA;
    const auto& b = Diagramm->cursorB;
    const Aufnahme* aufnahme = Diagramm->aufnahme();
    const double null = aufnahme ? double(aufnahme->nullpunktNs) : 0;
    QStringList teile;
    if (a) teile << QStringLiteral("A: %1").arg(analysator::dauerText(*a - null));
    if (b) teile << QStringLiteral("B: %1").arg(analysator::dauerText(*b - null));
    if (a && b) {
        const double dt = *b - *a;
        teile << QStringLiteral("Δt = %1").arg(analysator::dauerText(dt))
              << QStringLiteral("1/Δt = %1").arg(analysator::frequenzText(1e9 / std::abs(dt)));
    }
    CursorAnzeige->setText(teile.isEmpty() ? QStringLiteral("Cursor: linke Maustaste setzt A, "
                                                            "rechte Maustaste (oder Umschalt) B")
                                           : teile.join(QStringLiteral("    ")));

    const int zeilen = aufnahme ? int(aufnahme->leitungen().size()) : 0;
    Messwerte->setRowCount(zeilen);
    if (!aufnahme) return;
    const auto von = std::uint64_t(std::max(0.0, Diagramm->sichtAnfang()));
    const auto bis =
        std::uint64_t(std::max(0.0, Diagramm->sichtAnfang() + Diagramm->sichtSpanne()));
    const QString leer = QStringLiteral("–");
    for (int z = 0; z < zeilen; ++z) {
        const analysator::Leitung& l = aufnahme->leitungen()[std::size_t(z)];
        const analysator::Messwerte m = analysator::messe(*aufnahme, l.bit, von, bis);
        const QStringList werte{
            QString::fromStdString(l.name),
            QLocale().toString(qulonglong(m.flanken)),
            m.frequenzHz ? analysator::frequenzText(*m.frequenzHz) : leer,
            m.periodeNs ? analysator::dauerText(*m.periodeNs) : leer,
            m.tastgradProzent ? analysator::prozentText(*m.tastgradProzent) : leer,
            m.kürzesterPulsNs ? analysator::dauerText(double(*m.kürzesterPulsNs)) : leer,
            m.längsterPulsNs ? analysator::dauerText(double(*m.längsterPulsNs)) : leer,
        };
        for (int s = 0; s < kSpalten; ++s) {
            auto* zelle = Messwerte->item(z, s);
            if (!zelle) {
                zelle = new QTableWidgetItem;
                zelle->setTextAlignment(s == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                               : Qt::AlignRight | Qt::AlignVCenter);
                Messwerte->setItem(z, s, zelle);
            }
            zelle->setText(werte[s]);
        }
    }
}

// --- files -----------------------------------------------------------------

bool Logikanalysator::öffne(const QString& pfad, QString& fehler) {
    std::string grund, hinweis;
    std::shared_ptr<const Aufnahme> aufnahme =
        analysator::ladeVcd(pfad.toStdString(), grund, &hinweis);
    if (!aufnahme) {
        fehler = QString::fromStdString(grund);
        return false;
    }
    halteAufnahme();
    dateiname_ = QFileInfo(pfad).fileName();
    dateihinweis_ = QString::fromStdString(hinweis);
    // A saved capture names the decoders it was looked at with.
    if (!aufnahme->dekoder.empty()) Dekoder->setzeStapel(aufnahme->dekoder);
    zeige(aufnahme);
    setWindowTitle(QStringLiteral("Logikanalysator – %1").arg(dateiname_));
    return true;
}

bool Logikanalysator::speichere(const QString& pfad, QString& fehler) const {
    const Aufnahme* aufnahme = Diagramm->aufnahme();
    if (!aufnahme) {
        fehler = QStringLiteral("Es gibt keine Aufnahme zum Speichern.");
        return false;
    }
    std::string grund, hinweis;
    if (!analysator::speichereVcd(*aufnahme, pfad.toStdString(), grund, &hinweis,
                                  Dekoder->stapel())) {
        fehler = QString::fromStdString(grund);
        return false;
    }
    // Saved, but without the view for GTKWave: said, not hidden.
    fehler = QString::fromStdString(hinweis);
    return true;
}

bool Logikanalysator::speichereBild(const QString& pfad, QString& fehler) const {
    if (!Diagramm->viewport()->grab().save(pfad, "PNG")) {
        fehler = QStringLiteral("Das Bild lässt sich nicht nach „%1“ schreiben.").arg(pfad);
        return false;
    }
    return true;
}

namespace {
void meldeFehler(QWidget* fenster, const QString& text) {
    QMessageBox::warning(fenster, QStringLiteral("Logikanalysator"), text);
}
}  // namespace

void Logikanalysator::Oeffnen_Click() {
    const QString pfad =
        QFileDialog::getOpenFileName(this, QStringLiteral("Aufnahme öffnen"), QString(),
                                     QStringLiteral("VCD-Dateien (*.vcd);;Alle Dateien (*)"));
    if (pfad.isEmpty()) return;
    QString fehler;
    if (!öffne(pfad, fehler)) meldeFehler(this, fehler);
}

void Logikanalysator::Speichern_Click() {
    const QString pfad = QFileDialog::getSaveFileName(this, QStringLiteral("Aufnahme speichern"),
                                                      QStringLiteral("aufnahme.vcd"),
                                                      QStringLiteral("VCD-Dateien (*.vcd)"));
    if (pfad.isEmpty()) return;
    QString fehler;
    if (!speichere(pfad, fehler) || !fehler.isEmpty()) meldeFehler(this, fehler);
}

void Logikanalysator::BildSpeichern_Click() {
    const QString pfad = QFileDialog::getSaveFileName(this, QStringLiteral("Bild speichern"),
                                                      QStringLiteral("zeitdiagramm.png"),
                                                      QStringLiteral("PNG-Bilder (*.png)"));
    if (pfad.isEmpty()) return;
    QString fehler;
    if (!speichereBild(pfad, fehler)) meldeFehler(this, fehler);
}

}  // namespace dravel
