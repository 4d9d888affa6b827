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
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>

#include "dekoderbereich.h"
#include "fenster/gemeinsam/symbol.h"
#include "fenster/module1.h"
#include "logik/aufnahme_vcd.h"
#include "logik/ausloeser.h"
#include "logik/einheiten.h"
#include "logik/kommandozeile.h"
#include "logik/messung.h"
#include "logik/vcd_laden.h"
#include "port/pin_map.h"
#include "port/port.h"
#include "port/simulated_port.h"
#include "port/simulated_printer.h"
#include "vcd_oeffnen.h"
#include "zeitdiagramm.h"

namespace dravel {
namespace {

using analysator::Aufnahme;

constexpr int kAnzeigeMs = 33;  // the live diagram's refresh, about 30 per second
constexpr int kMessVerzugMs = 120;
constexpr int kTakteJeMessung = 15;
constexpr int kSpalten = 7;
constexpr QSize kGröße(1180, 760);  // the first window's, where the screen has room

// The choices of the two combo boxes, in their order.
enum AuslöserArt { kKeiner, kFlanke, kMuster, kPuls };
enum Betrieb { kEinzeln, kNormal, kAuto, kRollen };
// Auto mode waits for its trigger as long as a capture lasts, at least this.
constexpr std::uint64_t kAutoMindestensNs = 100'000'000;

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
        const QString rate = analysator::erfassungText(*maschine_);
        if (maschine_->läuft()) return QStringLiteral("Läuft · %1").arg(rate);
        const auto a = maschine_->aktuelle();
        if (!a) return QStringLiteral("Angehalten vor dem Auslöser");
        const QString grund = QString::fromUtf8(analysator::endeText(a->ende()));
        return QStringLiteral("Beendet: %1 · %2").arg(grund, rate);
    }

private:
    analysator::Programmuhr uhr_;
    std::unique_ptr<analysator::PortOhneMitschnitt> leser_;
    std::unique_ptr<analysator::Aufnahmemaschine> maschine_;  // after leser_: goes first
};

QString pinText(int pin) {
    return QString::fromStdString(port::label(port::pin(pin)));
}

// Polling instead of the change log is a choice only the simulated port
// has; before the first port call it is the one that will be bound.
bool simulierterPort() {
    port::Backend* b = port::boundBackend();
    return !b || dynamic_cast<port::SimulatedPort*>(&b->unrecorded()) != nullptr ||
           dynamic_cast<port::SimulatedPrinter*>(&b->unrecorded()) != nullptr;
}

void wähle(QComboBox* feld, const QVariant& index) {
    bool gültig = false;
    const int i = index.toInt(&gültig);
    if (gültig && i >= 0 && i < feld->count()) feld->setCurrentIndex(i);
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
                              QStringLiteral("Startet oder beendet die Aufnahme (F5)"));
    AufnahmeStartStop->setMinimumWidth(
        AufnahmeStartStop->fontMetrics().horizontalAdvance(QStringLiteral("Stopp")) * 3);
    Oeffnen =
        knopf("Oeffnen", QStringLiteral("Öffnen…"),
              QStringLiteral(
                  "Zeigt eine VCD-Datei: Aufnahme, Mitschnitt oder die eines anderen Programms "
                  "(Strg+O)"));
    Speichern = knopf("Speichern", QStringLiteral("Speichern…"),
                      QStringLiteral("Schreibt die Aufnahme als VCD-Datei für PulseView und "
                                     "GTKWave (Strg+S)"));
    BildSpeichern = knopf("BildSpeichern", QStringLiteral("Bild speichern…"),
                          QStringLiteral("Schreibt das Zeitdiagramm als PNG-Bild"));
    AllesZeigen = knopf("AllesZeigen", QStringLiteral("Alles zeigen"),
                        QStringLiteral("Zeigt die ganze Aufnahme (Taste Pos1)"));
    auto* näher =
        knopf("Vergroessern", QStringLiteral("+"), QStringLiteral("Vergrößern (Taste +)"));
    auto* weiter =
        knopf("Verkleinern", QStringLiteral("−"), QStringLiteral("Verkleinern (Taste −)"));
    for (QPushButton* k : {näher, weiter}) k->setFixedWidth(k->sizeHint().height() + 6);
    AufnahmeStartStop->setShortcut(Qt::Key_F5);
    Oeffnen->setShortcut(QKeySequence::Open);
    Speichern->setShortcut(QKeySequence::Save);
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
    Messbereich = new QLabel(this);
    Messbereich->setObjectName(QStringLiteral("Messbereich"));
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
    untenOrdnung->addWidget(Messbereich);
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

    // The settings scroll where the screen is too low for them.
    auto* rollbar = new QScrollArea(this);
    rollbar->setObjectName(QStringLiteral("EinstellungenRollbar"));
    rollbar->setWidget(baueEinstellungen());
    rollbar->setWidgetResizable(true);
    rollbar->setFrameShape(QFrame::NoFrame);
    rollbar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rollbar->setMinimumWidth(rollbar->widget()->sizeHint().width() +
                             rollbar->verticalScrollBar()->sizeHint().width());
    rollbar->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* mitte = new QHBoxLayout;
    mitte->addWidget(rollbar);
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
    // outlive the port it reads, and the settings are kept here too. Nor may
    // a decoder's or a load's worker outlive it: the decoder library is
    // shut at exit, and the window is not deleted.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        halteAufnahme(false);
        merkeEinstellungen();
        Dekoder->dekodiere(nullptr);
        brichVcdLadenAb(this);
    });
    Diagramm->beiÄnderung = [this] {
        // The table waits until the view settles: measuring a long view
        // reads every change in it.
        Messtakt->start();
    };

    zeige(nullptr);
    ladeEinstellungen();
}

Logikanalysator::~Logikanalysator() {
    halteAufnahme(false);
    if (messfaden_) messfaden_->wait();
}

QWidget* Logikanalysator::baueEinstellungen() {
    auto* feld = new QGroupBox(QStringLiteral("Aufnahme"), this);
    feld->setObjectName(QStringLiteral("Einstellungen"));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    Ausloeser = new QComboBox(feld);
    Ausloeser->setObjectName(QStringLiteral("Ausloeser"));
    Ausloeser->addItems({QStringLiteral("keiner (sofort)"), QStringLiteral("Flanke"),
                         QStringLiteral("Muster"), QStringLiteral("Pulsbreite")});
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
    Pulspegel = new QComboBox(feld);
    Pulspegel->setObjectName(QStringLiteral("Pulspegel"));
    Pulspegel->addItems({QStringLiteral("hoch"), QStringLiteral("tief")});
    Pulspegel->setToolTip(QStringLiteral("Ein Puls auf Pegel hoch oder tief"));
    Pulsbreite = new QLineEdit(feld);
    Pulsbreite->setObjectName(QStringLiteral("Pulsbreite"));
    Pulsbreite->setPlaceholderText(QStringLiteral("<1ms"));
    Pulsbreite->setText(QStringLiteral("<1ms"));
    Pulsbreite->setToolTip(QStringLiteral(
        "Löst am Ende eines Pulses aus, der kürzer (<) oder länger (>) ist, z. B. „<1ms“, "
        "„>500us“ oder „>1ms<2ms“"));
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
    Betriebsart = new QComboBox(feld);
    Betriebsart->setObjectName(QStringLiteral("Betriebsart"));
    Betriebsart->addItems({QStringLiteral("Einzeln"), QStringLiteral("Normal"),
                           QStringLiteral("Auto"), QStringLiteral("Rollen")});
    Betriebsart->setToolTip(
        QStringLiteral("Einzeln: eine Aufnahme. Normal: nach jeder Aufnahme wieder scharf, die "
                       "letzte bleibt bis zum nächsten Auslöser stehen. Auto: wie Normal, ohne "
                       "Auslöser beginnt die Aufnahme nach ihrer Dauer (mindestens 0,1 s) "
                       "trotzdem. Rollen: ohne Auslöser, die neuesten Sekunden (Dauer) laufen "
                       "durch, bis Stopp oder zur Speichergrenze."));
    Grenze = new QSpinBox(feld);
    Grenze->setObjectName(QStringLiteral("Grenze"));
    // The command's rule: no more than the machine has.
    Grenze->setRange(
        1, static_cast<int>(std::min<std::size_t>(analysator::größteGrenze().mib, INT_MAX)));
    Grenze->setValue(256);
    Grenze->setSuffix(QStringLiteral(" MiB"));
    Grenze->setToolTip(QStringLiteral("Höchstens so viel Speicher für die Änderungen"));
    Echtzeit = new QCheckBox(QStringLiteral("Echtzeit"), feld);
    Echtzeit->setObjectName(QStringLiteral("Echtzeit"));
    Abtasten = new QCheckBox(QStringLiteral("Abtasten"), feld);
    Abtasten->setObjectName(QStringLiteral("Abtasten"));

    form->addRow(QStringLiteral("Auslöser:"), Ausloeser);
    form->addRow(QStringLiteral("Pin:"), AusloeserPin);
    form->addRow(QStringLiteral("Flanke:"), Flanke);
    form->addRow(QStringLiteral("Muster:"), Muster);
    form->addRow(QStringLiteral("Puls:"), Pulspegel);
    form->addRow(QStringLiteral("Breite:"), Pulsbreite);
    form->addRow(QStringLiteral("Vorlauf:"), Vorlauf);
    form->addRow(QStringLiteral("Dauer:"), Dauer);
    form->addRow(QStringLiteral("Betriebsart:"), Betriebsart);
    form->addRow(QStringLiteral("Speichergrenze:"), Grenze);
    auto* schalter = new QHBoxLayout;
    schalter->addWidget(Echtzeit);
    schalter->addWidget(Abtasten);
    form->addRow(schalter);

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
    connect(Betriebsart, &QComboBox::currentIndexChanged, this, [this] { passeAuslöserAn(); });
    passeAuslöserAn();
    passeSchalterAn();
    return feld;
}

void Logikanalysator::passeAuslöserAn() {
    // Rolling knows no trigger; its duration is the stretch shown.
    const bool rollen = Betriebsart->currentIndex() == kRollen;
    const int art = rollen ? kKeiner : Ausloeser->currentIndex();
    Ausloeser->setEnabled(!rollen);
    AusloeserPin->setEnabled(art == kFlanke || art == kPuls);
    Flanke->setEnabled(art == kFlanke);
    Muster->setEnabled(art == kMuster);
    Pulspegel->setEnabled(art == kPuls);
    Pulsbreite->setEnabled(art == kPuls);
    Vorlauf->setEnabled(art != kKeiner);
    Dauer->setSpecialValueText(rollen ? QString() : QStringLiteral("bis Stopp"));
    if (rollen && Dauer->value() == 0) Dauer->setValue(1);
    Dauer->setMinimum(rollen ? 0.001 : 0);
    Dauer->setToolTip(rollen ? QStringLiteral("So viele Sekunden zeigt das Rollen")
                             : QStringLiteral("Länge der Aufnahme"));
}

void Logikanalysator::passeSchalterAn() {
    // Asked at every start: the port may have changed, a right granted.
    const QString hindernis = QString::fromStdString(app::echtzeitHindernis());
    Echtzeit->setEnabled(hindernis.isEmpty());
    Echtzeit->setToolTip(hindernis.isEmpty()
                             ? QStringLiteral("Der Abtastfaden läuft mit Echtzeit-Priorität "
                                              "(SCHED_FIFO), sein Speicher gesperrt")
                             : hindernis);
    const bool simuliert = simulierterPort();
    Abtasten->setEnabled(simuliert);
    Abtasten->setToolTip(simuliert ? QStringLiteral("Tastet den simulierten Port ab, statt sein "
                                                    "Änderungsprotokoll zu lesen")
                                   : QStringLiteral("Nur am simulierten Port: ein echter Port "
                                                    "wird immer abgetastet"));
}

// --- remembered settings ---------------------------------------------------

std::unique_ptr<QSettings> Logikanalysator::gespeichert() {
    return std::make_unique<QSettings>(QCoreApplication::applicationName(),
                                       QStringLiteral("Logikanalysator"));
}

void Logikanalysator::merkeEinstellungen() const {
    const auto s = gespeichert();
    qulonglong pins = 0;
    for (int pin = 1; pin <= port::kSignalPinCount; ++pin) {
        if (Leitung[pin]->isChecked()) pins |= analysator::bitVon(pin);
    }
    s->setValue(QStringLiteral("leitungen"), pins);
    for (const QComboBox* feld : {Betriebsart, Ausloeser, AusloeserPin, Flanke, Pulspegel}) {
        s->setValue(feld->objectName(), feld->currentIndex());
    }
    for (const QLineEdit* feld : {Muster, Pulsbreite}) {
        s->setValue(feld->objectName(), feld->text());
    }
    s->setValue(Vorlauf->objectName(), Vorlauf->value());
    s->setValue(Grenze->objectName(), Grenze->value());
    s->setValue(Dauer->objectName(), Dauer->value());
    for (const QCheckBox* feld : {Echtzeit, Abtasten}) {
        s->setValue(feld->objectName(), feld->isChecked());
    }
    s->setValue(QStringLiteral("geometrie"), saveGeometry());
}

void Logikanalysator::ladeEinstellungen() {
    const auto s = gespeichert();
    // Nothing chosen is no choice to come back to.
    if (const qulonglong pins = s->value(QStringLiteral("leitungen")).toULongLong(); pins != 0) {
        for (int pin = 1; pin <= port::kSignalPinCount; ++pin) {
            Leitung[pin]->setChecked(pins & analysator::bitVon(pin));
        }
    }
    // The run mode first: rolling sets a duration of its own.
    for (QComboBox* feld : {Betriebsart, Ausloeser, AusloeserPin, Flanke, Pulspegel}) {
        wähle(feld, s->value(feld->objectName()));
    }
    for (QLineEdit* feld : {Muster, Pulsbreite}) {
        feld->setText(s->value(feld->objectName(), feld->text()).toString());
    }
    // The boxes keep a value to their range.
    Vorlauf->setValue(s->value(Vorlauf->objectName(), Vorlauf->value()).toInt());
    Grenze->setValue(s->value(Grenze->objectName(), Grenze->value()).toInt());
    Dauer->setValue(s->value(Dauer->objectName(), Dauer->value()).toDouble());
    for (QCheckBox* feld : {Echtzeit, Abtasten}) {
        feld->setChecked(s->value(feld->objectName(), false).toBool());
    }
    const bool platziert = restoreGeometry(s->value(QStringLiteral("geometrie")).toByteArray());
    passeGrößeAn(platziert ? size() : kGröße);
}

void Logikanalysator::passeGrößeAn(QSize gewünscht) {
    const QScreen* bildschirm = screen();
    if (!bildschirm) {
        resize(gewünscht);
        return;
    }
    // Room for the frame the window manager adds, which is not known
    // before the window is shown.
    const QRect frei = bildschirm->availableGeometry().marginsRemoved(QMargins(0, 0, 8, 40));
    resize(gewünscht.boundedTo(frei.size()));
    if (!frei.contains(geometry())) {
        move(std::clamp(x(), frei.left(), std::max(frei.left(), frei.right() - width())),
             std::clamp(y(), frei.top(), std::max(frei.top(), frei.bottom() - height())));
    }
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
    const int betrieb = Betriebsart->currentIndex();
    const int art = betrieb == kRollen ? kKeiner : Ausloeser->currentIndex();
    const int pin = AusloeserPin->currentData().toInt();
    std::optional<analysator::Auslöser> auslöser = analysator::Auslöser{};
    if (art == kFlanke) {
        auslöser->art = analysator::Auslöser::Art::Flanke;
        auslöser->pin = pin;
        auslöser->richtung = analysator::Auslöser::Richtung(Flanke->currentData().toInt());
    } else if (art == kMuster) {
        auslöser = analysator::leseMuster(Muster->text().toStdString(), grund);
    } else if (art == kPuls) {
        // The command line's notation, pin and level taken from their boxes.
        const QString puls = QStringLiteral("%1:%2%3").arg(pin).arg(Pulspegel->currentText(),
                                                                    Pulsbreite->text().trimmed());
        auslöser = analysator::lesePuls(puls.toStdString(), grund);
    }
    if (!auslöser) {
        fehler = QStringLiteral("Auslöser: %1").arg(QString::fromStdString(grund));
        return std::nullopt;
    }
    e.auslöser = *auslöser;
    e.vorlaufAnteil = Vorlauf->value() / 100.0;
    e.dauerNs = std::uint64_t(std::llround(Dauer->value() * 1e9));
    e.wiederholen = betrieb == kNormal || betrieb == kAuto;
    if (betrieb == kAuto) e.autoNachNs = std::max(e.dauerNs, kAutoMindestensNs);
    // Rolling: one capture until stopped; the duration is the view's.
    if (betrieb == kRollen) e.dauerNs = 0;
    e.grenzeBytes = std::size_t(Grenze->value()) * analysator::kMiB;
    e.echtzeit = Echtzeit->isEnabled() && Echtzeit->isChecked();
    e.abtasten = Abtasten->isEnabled() && Abtasten->isChecked();
    return e;
}

// --- capture -------------------------------------------------------------

void Logikanalysator::AufnahmeStartStop_Click() {
    if (quelle_->läuft()) {
        halteAufnahme();
        return;
    }
    passeSchalterAn();
    merkeEinstellungen();
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
    laufSpanneNs_ = Dauer->value() > 0 ? Dauer->value() * 1e9 : 1e9;
    AufnahmeStartStop->setText(QStringLiteral("Stopp"));
    Anzeigetakt->start();
    Anzeigetakt_Timer();
}

void Logikanalysator::Anzeigetakt_Timer() {
    const auto aktuell = quelle_->aktuelle();
    if (aktuell && aktuell.get() != Diagramm->aufnahme()) {
        // The trigger came, or a repeated capture began its next round.
        Diagramm->zeige(aktuell);
        gezeigt_ = aktuell;
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

void Logikanalysator::halteAufnahme(bool dekodieren) {
    if (!quelle_) return;
    const bool lief = quelle_->läuft();
    quelle_->halte();
    if (Anzeigetakt) Anzeigetakt->stop();
    if (AufnahmeStartStop) {
        AufnahmeStartStop->setText(QStringLiteral("Start"));
        Diagramm->rolle();
        Diagramm->folgt = false;
        zeigeZustand();
        if (lief && dekodieren) Dekoder->dekodiere(quelle_->aktuelle());
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
        QString änderungen =
            (a->anzahl() == 1 ? QStringLiteral("%1 Änderung") : QStringLiteral("%1 Änderungen"))
                .arg(menge);
        // What the capture did not see, beside what it saw.
        const std::uint64_t anfang = a->anzahl() > 0 ? (*a)[0].zeitNs : a->nullpunktNs;
        // Only a sampled capture knows it saw everything; a foreign file
        // without gaps or a resolution says nothing either way.
        const analysator::Lückenbilanz lücken = analysator::lückenbilanz(*a, anfang, a->bisNs());
        if (lücken.anzahl > 0 || a->auflösungNs() > 0) {
            änderungen += QStringLiteral(" · ") + QString::fromStdString(analysator::lückentext(
                                                      lücken, a->auflösungNs(), QLocale()));
        }
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
    halteAufnahme(false);
    Messtakt->stop();
    merkeEinstellungen();
    QWidget::closeEvent(event);
}

// --- showing and measuring -------------------------------------------------

void Logikanalysator::zeige(std::shared_ptr<const Aufnahme> aufnahme) {
    gezeigt_ = aufnahme;
    Dekoder->dekodiere(aufnahme);
    Diagramm->zeige(std::move(aufnahme));
    Speichern->setEnabled(Diagramm->aufnahme() != nullptr);
    zeigeZustand();
    messeJetzt();
}

struct Logikanalysator::Messauftrag {
    std::shared_ptr<const Aufnahme> aufnahme;
    std::vector<int> bits;
    std::uint64_t vonNs = 0, bisNs = 0;
    QString bereich;
    unsigned runde = 0;
    std::vector<analysator::Messwerte> ergebnis;
    // Set after ergebnis: its hand-over, plain to see for the race checker.
    std::atomic<bool> fertig{false};
};

void Logikanalysator::messeJetzt() {
    Messtakt->stop();
    ++messrunde_;
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
    Messbereich->clear();
    if (!aufnahme) return;
    // Between the cursors where both are set, otherwise what is in view.
    double von = Diagramm->sichtAnfang(), bis = von + Diagramm->sichtSpanne();
    QString bereich = QStringLiteral("sichtbarer Ausschnitt %1 … %2");
    if (a && b) {
        von = std::min(*a, *b);
        bis = std::max(*a, *b);
        bereich = QStringLiteral("zwischen den Cursorn %1 … %2");
    } else if (aufnahme->anzahl() > 0 && von <= double((*aufnahme)[0].zeitNs) &&
               bis >= double(aufnahme->bisNs())) {
        bereich = QStringLiteral("ganze Aufnahme");
    }
    if (bereich.contains(QLatin1Char('%'))) {
        bereich = bereich.arg(analysator::dauerText(von - null), analysator::dauerText(bis - null));
    }
    // A cursor snapped to an edge takes that edge in: one nanosecond more
    // each side, since the stretch's first moment gives levels, not edges.
    const double saum = a && b ? 1 : 0;
    const auto vonNs = std::uint64_t(std::max(0.0, von - saum));
    const auto bisNs = std::uint64_t(std::max(0.0, bis + saum));
    std::vector<int> bits;
    for (const analysator::Leitung& l : aufnahme->leitungen()) bits.push_back(l.bit);
    // All lines in one pass: a large file's changes are read once, not once
    // a line; and off the window's thread where they are many.
    const std::size_t n = aufnahme->anzahl();
    const std::size_t erste = aufnahme->ersteAb(vonNs, n);
    if (gezeigt_.get() != aufnahme ||
        std::max(erste, aufnahme->ersteAb(bisNs, n)) - erste <= kSofortMessenBis) {
        wartend_.reset();
        zeigeMesswerte(bereich, analysator::messeAlle(*aufnahme, bits, vonNs, bisNs));
        return;
    }
    Messbereich->setText(QStringLiteral("Messbereich: %1 · wird gemessen …").arg(bereich));
    auto auftrag = std::make_shared<Messauftrag>();
    auftrag->aufnahme = gezeigt_;
    auftrag->bits = std::move(bits);
    auftrag->vonNs = vonNs;
    auftrag->bisNs = bisNs;
    auftrag->bereich = bereich;
    auftrag->runde = messrunde_;
    if (messfaden_) {
        wartend_ = std::move(auftrag);
    } else {
        starteMessung(std::move(auftrag));
    }
}

void Logikanalysator::starteMessung(std::shared_ptr<Messauftrag> auftrag) {
    messfaden_.reset(QThread::create([auftrag] {
        auftrag->ergebnis = analysator::messeAlle(*auftrag->aufnahme, auftrag->bits, auftrag->vonNs,
                                                  auftrag->bisNs);
        auftrag->fertig.store(true, std::memory_order_release);
    }));
    connect(messfaden_.get(), &QThread::finished, this, [this, auftrag] {
        messfaden_->wait();
        messfaden_.release()->deleteLater();
        if (auftrag->fertig.load(std::memory_order_acquire) && auftrag->runde == messrunde_ &&
            auftrag->aufnahme == gezeigt_) {
            zeigeMesswerte(auftrag->bereich, auftrag->ergebnis);
        }
        if (wartend_) starteMessung(std::exchange(wartend_, nullptr));
    });
    messfaden_->start(QThread::LowPriority);
}

void Logikanalysator::zeigeMesswerte(const QString& bereich,
                                     const std::vector<analysator::Messwerte>& alle) {
    const Aufnahme* aufnahme = Diagramm->aufnahme();
    if (!aufnahme) return;
    std::size_t ausgelassen = 0;
    for (const analysator::Messwerte& m : alle) ausgelassen += m.ausgelassenePulse;
    QString text = QStringLiteral("Messbereich: ") + bereich;
    if (ausgelassen > 0) {
        text += QStringLiteral(" · ") +
                QString::fromStdString(analysator::ausgelassenText(ausgelassen));
    }
    Messbereich->setText(text);
    const QString leer = QStringLiteral("–");
    const int zeilen = int(std::min(alle.size(), aufnahme->leitungen().size()));
    for (int z = 0; z < zeilen; ++z) {
        const analysator::Leitung& l = aufnahme->leitungen()[std::size_t(z)];
        const analysator::Messwerte& m = alle[std::size_t(z)];
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
    zeigeDatei(pfad, std::move(aufnahme), QString::fromStdString(hinweis));
    return true;
}

void Logikanalysator::zeigeDatei(const QString& pfad, std::shared_ptr<const Aufnahme> aufnahme,
                                 const QString& hinweis) {
    // The file is decoded once, not the capture it replaces.
    halteAufnahme(false);
    dateiname_ = QFileInfo(pfad).fileName();
    dateihinweis_ = hinweis;
    // A saved capture names the decoders it was looked at with.
    if (!aufnahme->dekoder.empty()) Dekoder->setzeStapel(aufnahme->dekoder, false);
    zeige(std::move(aufnahme));
    setWindowTitle(QStringLiteral("Logikanalysator – %1").arg(dateiname_));
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
    // In the background: a file of gigabytes takes a while. One at a time:
    // "Öffnen" waits for it.
    const bool läuft =
        ladeVcdImHintergrund(this, pfad,
                             [this, pfad](std::unique_ptr<Aufnahme> aufnahme, const QString& fehler,
                                          const QString& hinweis) {
                                 Oeffnen->setEnabled(true);
                                 if (aufnahme) {
                                     zeigeDatei(pfad, std::move(aufnahme), hinweis);
                                 } else if (!fehler.isEmpty()) {
                                     meldeFehler(this, fehler);
                                 }
                             });
    Oeffnen->setEnabled(!läuft);
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
