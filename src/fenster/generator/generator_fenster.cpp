#include "generator_fenster.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "fenster/gemeinsam/symbol.h"
#include "fenster/module1.h"
#include "logik/echtzeit.h"
#include "logik/generator_logik.h"
#include "logik/zahlen.h"

namespace dravel {
namespace {

const QString kStart = QStringLiteral("Start");
const QString kStop = QStringLiteral("Stop");
const QString kAktiv = QStringLiteral("   [aktiv]");

}  // namespace

// The engine asks the controls afresh at every step, so that "OK", line
// changes, channel 2 and the pass mode apply from the next step; every
// handler of both windows runs inside its pumps.
class GeneratorFenster::Fensterlauf final : public generator::Ausgabesteuerung {
public:
    explicit Fensterlauf(GeneratorFenster& fenster) : f_(fenster) {}

    std::int16_t adresse() override { return f_.GenAdresse; }
    std::optional<std::int16_t> leitung1() override {
        return Leitung(f_.AusgabeKanal1, f_.zeile1_);
    }
    std::optional<std::int16_t> leitung2() override {
        if (f_.Kanal2En->checkState() == Qt::Unchecked) return std::nullopt;
        return Leitung(f_.AusgabeKanal2, f_.zeile2_);
    }
    float zeitbasisMs() override { return f_.Zeitbasiswert; }
    void durchlaufEnde() override {
        if (f_.OptSingle->isChecked()) f_.StartStop_Click();
    }
    bool weiter() override { return f_.StartStop->text() != kStart; }
    bool abbrechen() override { return f_.abbrechen(); }
    void pumpe() override { QCoreApplication::processEvents(); }
    void schlafe(std::int64_t höchstensNs) override {
        const std::int64_t ms = höchstensNs / 1'000'000;
        if (ms <= 0) {
            QCoreApplication::processEvents();
            return;
        }
        // Blocks until an event comes, the timer's at the latest.
        QTimer wecker;
        wecker.setSingleShot(true);
        wecker.setTimerType(Qt::PreciseTimer);
        wecker.start(static_cast<int>(std::min<std::int64_t>(ms, 1'000'000'000)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

private:
    GeneratorFenster& f_;
};

GeneratorFenster::GeneratorFenster(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("GeneratorFenster"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Signalgenerator (Unvollendet!!)"));
    setWindowIcon(fenstersymbol());
    baue();
    verbinde();
    Form_Load();

    // Centred over the main window where there is one.
    if (const auto haupt = Module1::HauptfensterLage()) {
        move(haupt->rahmen.center() - rect().center());
    }
    // Key preview: the window sees every key before the control with the
    // focus does. Filtering at the application also covers controls that
    // come and go (a combo box's line edit).
    qApp->installEventFilter(this);
}

GeneratorFenster::~GeneratorFenster() {
    if (qApp) qApp->removeEventFilter(this);
}

void GeneratorFenster::baue() {
    setFixedSize(layout::inPixel(kClientBreite), layout::inPixel(kClientHöhe));
    layout::baueSteuerelemente(this, generatorSteuerelemente(), objekte_);

    Label1 = objekte_.finde<QLabel>("Label1");
    Frame1 = objekte_.finde<QGroupBox>("Frame1");
    TaktEn = objekte_.finde<QCheckBox>("TaktEn");
    TaktKanal = objekte_.finde<QComboBox>("TaktKanal");
    Syncron = objekte_.finde<QRadioButton>("Syncron");
    Asyncron = objekte_.finde<QRadioButton>("Asyncron");
    Frame2 = objekte_.finde<QGroupBox>("Frame2");
    Binärstring = objekte_.finde<QLineEdit>("Binärstring");
    Label2 = objekte_.finde<QLabel>("Label2");
    AusgabeKanal1 = objekte_.finde<QComboBox>("AusgabeKanal1");
    Label3 = objekte_.finde<QLabel>("Label3");
    Frame3 = objekte_.finde<QGroupBox>("Frame3");
    Adresse = objekte_.finde<QLineEdit>("Adresse");
    Label4 = objekte_.finde<QLabel>("Label4");
    OptSingle = objekte_.finde<QRadioButton>("OptSingle");
    OptLoop = objekte_.finde<QRadioButton>("OptLoop");
    StartStop = objekte_.finde<QPushButton>("StartStop");
    Label5 = objekte_.finde<QLabel>("Label5");
    Zeitbasis = objekte_.finde<QLineEdit>("Zeitbasis");
    Einzeltakt = objekte_.finde<QPushButton>("Einzeltakt");
    BasisAnz = objekte_.finde<QLabel>("BasisAnz");
    Übernehmen = objekte_.finde<QPushButton>("Übernehmen");
    Identisch = objekte_.finde<QLabel>("Identisch");
    Frame4 = objekte_.finde<QGroupBox>("Frame4");
    AusgabeKanal2 = objekte_.finde<QComboBox>("AusgabeKanal2");
    Binärstring2 = objekte_.finde<QLineEdit>("Binärstring2");
    Identisch2 = objekte_.finde<QLabel>("Identisch2");
    Label7 = objekte_.finde<QLabel>("Label7");
    Label8 = objekte_.finde<QLabel>("Label8");
    BasisAnz2 = objekte_.finde<QLabel>("BasisAnz2");
    Kanal2En = objekte_.finde<QCheckBox>("Kanal2En");
    TaktTimer = objekte_.finde<QTimer>("TaktTimer");
}

void GeneratorFenster::verbinde() {
    connect(Kanal2En, &QCheckBox::stateChanged, this, [this] { Kanal2En_Click(); });
    connect(Adresse, &QLineEdit::textChanged, this, [this] { Adresse_Change(); });
    connect(Zeitbasis, &QLineEdit::textChanged, this, [this] { Zeitbasis_Change(); });
    connect(Übernehmen, &QPushButton::clicked, this, [this] { Übernehmen_Click(); });
    connect(StartStop, &QPushButton::clicked, this, [this] { StartStop_Click(); });
    connect(TaktEn, &QCheckBox::stateChanged, this, [this] { TaktEn_Click(); });
    connect(Einzeltakt, &QPushButton::clicked, this, [this] { Einzeltakt_Click(); });
}

void GeneratorFenster::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (erstmalsGezeigt_) return;
    erstmalsGezeigt_ = true;
    TaktEn->setFocus(Qt::ActiveWindowFocusReason);
}

// --- settings and window state ------------------------------------------

void GeneratorFenster::Form_Load() {
    GenFenstertitel = windowTitle();
    for (int i = 0; i <= 7; ++i) {
        const QString eintrag = QString::number(i);
        AusgabeKanal1->addItem(eintrag);
        AusgabeKanal2->addItem(eintrag);
        TaktKanal->addItem(eintrag);
    }
    Zeitbasiswert = 0.1f;
    GenAdresse = 888;
}

void GeneratorFenster::Form_Unload() {}

void GeneratorFenster::Adresse_Change() {
    Übernehmen->setEnabled(true);
}

void GeneratorFenster::Zeitbasis_Change() {
    Übernehmen->setEnabled(true);
}

void GeneratorFenster::Übernehmen_Click() {
    // Each setting that cannot be read keeps its value; the rest still apply.
    if (const auto adresse = generator::adresseAusText(Adresse->text())) GenAdresse = *adresse;
    if (const auto zeitbasis = generator::zeitbasisAusText(Zeitbasis->text())) {
        Zeitbasiswert = *zeitbasis;
    }
    if (const auto intervall = generator::taktIntervall(Zeitbasiswert)) {
        TaktTimer->setInterval(*intervall);
    }
    Übernehmen->setEnabled(false);
    BasisAnz->setText(generator::zeitbasisText(Zeitbasiswert, QLocale()));
    BasisAnz2->setText(BasisAnz->text());
}

void GeneratorFenster::Kanal2En_Click() {
    Frame4->setEnabled(Kanal2En->checkState() != Qt::Unchecked);
}

void GeneratorFenster::Form_KeyDown(std::int16_t KeyCode, std::int16_t Shift) {
    constexpr std::int16_t kStrg = 2;
    if (Shift != kStrg) return;
    if (KeyCode == 83) OptSingle->setChecked(true);  // S
    if (KeyCode == 76) OptLoop->setChecked(true);    // L
}

void GeneratorFenster::Form_KeyPress(std::int16_t KeyAscii) {
    if (KeyAscii == 13) StartStop_Click();
}

bool GeneratorFenster::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* ziel = static_cast<QWidget*>(watched);
    if (ziel->window() != this) return false;
    // A key the focused control ignores travels on to its parents and passes
    // here again; the window takes it once, at the control it was sent to.
    const QWidget* fokus = QApplication::focusWidget();
    const QWidget* erster = (fokus && fokus->window() == this) ? fokus : this;
    if (ziel != erster) return false;

    const auto* taste = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers m = taste->modifiers();
    const auto shift = static_cast<std::int16_t>((m & Qt::ShiftModifier ? 1 : 0) |
                                                 (m & Qt::ControlModifier ? 2 : 0) |
                                                 (m & Qt::AltModifier ? 4 : 0));
    // Keys beyond the 16-bit codes (function and cursor keys) are no
    // shortcut here.
    const auto code = taste->key() <= 0xFFFF ? static_cast<std::int16_t>(taste->key()) : 0;

    // Enter may run a whole output from here, and that run may close the
    // window: the event then must not go on to a control that is gone.
    const QPointer<QWidget> empfänger = ziel;
    Form_KeyDown(code, shift);
    int zeichen = 0;
    if (!taste->text().isEmpty())
        zeichen = taste->text().at(0).unicode();
    else if (taste->key() == Qt::Key_Return || taste->key() == Qt::Key_Enter)
        zeichen = 13;
    if (zeichen != 0 && empfänger) Form_KeyPress(static_cast<std::int16_t>(zeichen));
    return empfänger.isNull() || geschlossen_;
}

void GeneratorFenster::closeEvent(QCloseEvent* event) {
    Form_Unload();
    geschlossen_ = true;
    if (laufTiefe_ > 0) {
        // The run is on the stack below this handler: stop it, and let the
        // window go only once the outermost run has returned.
        Stoppen();
        setAttribute(Qt::WA_DeleteOnClose, false);
    }
    event->accept();
}

// --- output engine ----------------------------------------------------------

void GeneratorFenster::StartStop_Click() {
    if (StartStop->text() == kStop) {
        Stoppen();
        return;
    }
    Starten();
}

void GeneratorFenster::Stoppen() {
    TaktTimer->stop();
    setWindowTitle(GenFenstertitel);
    StartStop->setText(kStart);
}

void GeneratorFenster::Starten() {
    setWindowTitle(GenFenstertitel + kAktiv);
    StartStop->setText(kStop);
    Binärstring->setText(generator::großbuchstaben(Binärstring->text()));
    Binärstring2->setText(generator::großbuchstaben(Binärstring2->text()));

    // Both strings equally long, the shorter one filled up with "0".
    const qsizetype länge1 = Binärstring->text().size();
    const qsizetype länge2 = Binärstring2->text().size();
    if (länge1 > länge2)
        Binärstring2->setText(Binärstring2->text() + QString(länge1 - länge2, u'0'));
    else if (länge2 > länge1)
        Binärstring->setText(Binärstring->text() + QString(länge2 - länge1, u'0'));

    const qsizetype n = Binärstring->text().size();
    Bitfolge2.assign(static_cast<std::size_t>(n) + 1, 0);
    Bitfolge1.assign(static_cast<std::size_t>(n) + 1, 0);

    const bool taktAn = TaktEn->checkState() == Qt::Checked;
    const bool kollision =
        (taktAn || Kanal2En->checkState() == Qt::Checked) &&
        generator::startKollision(AusgabeKanal1->currentText(), AusgabeKanal2->currentText(),
                                  TaktKanal->currentText(), taktAn);
    zeigeKollision(kollision);
    if (kollision) {
        Stoppen();
        return;
    }

    // Line numbers are read afresh with the locale in force now.
    zeile1_ = {};
    zeile2_ = {};
    Bitfolge1 = generator::pegelfolge(Binärstring->text(), n);
    Bitfolge2 = generator::pegelfolge(Binärstring2->text(), n);

    // The window shows "Stop" before the first level goes out: its repaint
    // would otherwise fall into the first step's event pass and stretch that
    // step several times over. Only paints are done here, no input.
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);

    ++laufTiefe_;
    Fensterlauf lauf(*this);
    generator::Ausgabemaschine maschine(uhr_, {.echtzeit = generator::echtzeit::gewünscht()});
    const generator::Laufstatistik statistik = maschine.lauf(lauf, Bitfolge1, Bitfolge2);
    --laufTiefe_;
    // A run nested in this one has ended by now; the outer one is the
    // user's run.
    if (laufTiefe_ == 0) statistik_ = statistik;
    if (laufTiefe_ == 0 && geschlossen_ && !testAttribute(Qt::WA_DeleteOnClose)) deleteLater();
}

std::optional<std::int16_t> GeneratorFenster::Leitung(const QComboBox* kanal,
                                                      GemerkteLeitung& zeile) {
    const QString text = kanal->currentText();
    if (text != zeile.text) {
        zeile.text = text;
        zeile.bit = zuGanzzahl16(text, QLocale());
    }
    // A line number that is no 16-bit whole number skips this channel.
    return zeile.bit;
}

bool GeneratorFenster::abbrechen() const {
    return geschlossen_ || Module1::ProgrammEndet();
}

// --- clock settings -------------------------------------------------------------

void GeneratorFenster::TaktEn_Click() {
    const bool an = TaktEn->checkState() != Qt::Unchecked;
    TaktKanal->setEnabled(an);
    Syncron->setEnabled(an);
    Asyncron->setEnabled(an);
    zeigeKollision((TaktEn->checkState() == Qt::Checked || Kanal2En->checkState() == Qt::Checked) &&
                   generator::taktKollision(AusgabeKanal1->currentText(),
                                            AusgabeKanal2->currentText(),
                                            TaktKanal->currentText()));
}

void GeneratorFenster::zeigeKollision(bool kollision) {
    Identisch->setVisible(kollision);
    Identisch2->setVisible(kollision);
}

void GeneratorFenster::Einzeltakt_Click() {
    EinzeltaktAngefordert = -1;
}

}  // namespace dravel
