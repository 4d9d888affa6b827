#include "steuerung.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>

#include "fenster/gemeinsam/klick_label.h"
#include "fenster/gemeinsam/schrift.h"
#include "fenster/gemeinsam/statusleiste.h"
#include "fenster/gemeinsam/symbol.h"
#include "fenster/module1.h"
#include "logik/register_texte.h"
#include "logik/umrechnung.h"
#include "logik/zahlen.h"
#include "port/port.h"

namespace dravel {
namespace {

const QString kNullBits = QStringLiteral("= 0 Bits.");

const QColor kSchwarz(0, 0, 0);
const QColor kGrün(0, 255, 0);
const QColor kRot(255, 0, 0);

void setzeZählerFarbe(QLabel* label, const QColor& farbe, bool fett) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, farbe);
    label->setPalette(p);
    QFont f = label->font();
    f.setBold(fett);
    label->setFont(f);
}

}  // namespace

Steuerung::Steuerung(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Steuerung"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Dravel v1.6"));
    setWindowIcon(fenstersymbol());
    baue();
    verbinde();
    Form_Load();
}

Steuerung::~Steuerung() = default;

void Steuerung::baue() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setFixedSize(layout::inPixel(kClientBreite), layout::inPixel(kClientHöhe));
    setCentralWidget(client);
    layout::baueSteuerelemente(client, steuerungSteuerelemente(), objekte_);
    menuBar()->setFont(schrift::standard());
    layout::baueMenüs(menuBar(), steuerungMenüs(), objekte_);

    Eingabefeld = objekte_.finde<QGroupBox>("Eingabefeld");
    Einlesefeld = objekte_.finde<QGroupBox>("Einlesefeld");
    Frame1 = objekte_.finde<QGroupBox>("Frame1");
    Frame2 = objekte_.finde<QGroupBox>("Frame2");
    Eingabe_dec = objekte_.finde<QLineEdit>("Eingabe_dec");
    Eingabe_hex = objekte_.finde<QLineEdit>("Eingabe_hex");
    Eingabe_bin = objekte_.finde<QLineEdit>("Eingabe_bin");
    Einlesen_dec = objekte_.finde<QLineEdit>("Einlesen_dec");
    Einlesen_hex = objekte_.finde<QLineEdit>("Einlesen_hex");
    Einlesen_bin = objekte_.finde<QLineEdit>("Einlesen_bin");
    Einlesenknopf = objekte_.finde<QPushButton>("Einlesenknopf");
    Ausgabeknopf = objekte_.finde<QPushButton>("Ausgabeknopf");
    Perm_Einlesen = objekte_.finde<QCheckBox>("Perm_Einlesen");
    Links = objekte_.finde<KlickLabel>("Links");
    Rechts = objekte_.finde<KlickLabel>("Rechts");
    Inkr = objekte_.finde<KlickLabel>("Inkr");
    Dekr = objekte_.finde<KlickLabel>("Dekr");
    Keine = objekte_.finde<KlickLabel>("Keine");
    Alle = objekte_.finde<KlickLabel>("Alle");
    Modus = objekte_.finde<KlickLabel>("Modus");
    C_Bit[4] = objekte_.finde<KlickLabel>("C_Bit(4)");
    C_Bit[5] = objekte_.finde<KlickLabel>("C_Bit(5)");
    bin_counter = objekte_.finde<QLabel>("bin_counter");
    Label1 = objekte_.finde<QLabel>("Label1");
    StatusBar = objekte_.finde<Statusleiste>("StatusBar");
    for (int panel = 1; panel <= 3; ++panel) {
        QStringList texte;
        for (int wert = 0; wert < 256; ++wert) texte << statusText(panel, std::int16_t(wert));
        StatusBar->passeAn(panel, texte);
    }
    // Where the font needs more room for the status texts than the window
    // has, the window grows wider rather than clip them; the status bar spans
    // the window, also where the controls made it wider.
    client->setFixedWidth(std::max(client->width(), StatusBar->sizeHint().width()));
    StatusBar->resize(client->width(), StatusBar->height());
    Timer1 = objekte_.finde<QTimer>("Timer1");
    Timer2 = objekte_.finde<QTimer>("Timer2");

    Datei = objekte_.finde<QAction>("Datei");
    PortÄndern = objekte_.finde<QAction>("PortÄndern");
    restart = objekte_.finde<QAction>("restart");
    Unter_Datei = objekte_.finde<QAction>("Unter_Datei");
    Schließen = objekte_.finde<QAction>("Schließen");
    Extras = objekte_.finde<QAction>("Extras");
    for (int i = 0; i < 5; ++i) {
        Unter_Extras[i] = objekte_.finde<QAction>(QStringLiteral("Unter_Extras(%1)").arg(i));
    }
    Verlauf = objekte_.finde<QAction>("Verlauf");
    for (int i = 0; i <= 10; ++i) {
        Lesen[i] = objekte_.finde<QAction>(QStringLiteral("Lesen(%1)").arg(i));
    }
    Generator = objekte_.finde<QAction>("Generator");
    Ansicht = objekte_.finde<QAction>("Ansicht");
    Stecker = objekte_.finde<QAction>("Stecker");
    Analysator = objekte_.finde<QAction>("Analysator");
    Portpruefung = objekte_.finde<QAction>("Portpruefung");

    // A fixed window: the controls keep their twips positions.
    setFixedSize(sizeHint());
}

void Steuerung::verbinde() {
    for (QLineEdit* feld : {Eingabe_dec, Eingabe_hex, Eingabe_bin}) feld->installEventFilter(this);
    connect(Eingabe_bin, &QLineEdit::textChanged, this, [this] { Eingabe_bin_Change(); });

    connect(PortÄndern, &QAction::triggered, this, [this] { PortÄndern_Click(); });
    connect(restart, &QAction::triggered, this, [this] { restart_Click(); });
    connect(Schließen, &QAction::triggered, this, [this] { Schließen_Click(); });
    connect(Generator, &QAction::triggered, this, [this] { Generator_Click(); });
    connect(Stecker, &QAction::triggered, this, [this] { Stecker_Click(); });
    connect(Analysator, &QAction::triggered, this, [this] { Analysator_Click(); });
    connect(Portpruefung, &QAction::triggered, this, [this] { Portprüfung_Click(); });

    // "Jetzt Einlesen" is the window's cancel button: Esc chooses it. (Enter
    // stays with the entry fields, where a user expects it to mean "this
    // value", not "read the port".)
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, Einlesenknopf, [this] { Einlesenknopf->click(); });

    verbindeBehandlung();
}

// --- start, window state and menus ---------------------------------------

void Steuerung::Form_Load() {
    Verlauf->setVisible(false);
    Module1::Fenstertitel = windowTitle();
    DatenPort = 888;
    StatusPort = 889;
    ControlPort = 890;
}

void Steuerung::Rücksetzen() {
    Eingabe_dec->setText(kDec);
    Eingabe_hex->setText(kHex);
    Eingabe_bin->setText(kBinär);
    Einlesen_dec->setText(kDec);
    Einlesen_hex->setText(kHex);
    Einlesen_bin->setText(kBinär);
    bin_counter->setText(kNullBits);
}

void Steuerung::PortÄndern_Click() {
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("PortÄndernDialog"));
    dialog.setWindowTitle(QStringLiteral("Port ändern"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(QStringLiteral("Bitte neue Portadresse eingeben.\nStandard = 888"));
    dialog.setTextValue(QString::number(DatenPort));
    const QString antwort = dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
    if (antwort.isEmpty()) return;

    // A number too large to read, or one whose followers would not fit 16
    // bits, is refused like an empty answer.
    const auto zahl = führendeZahl(antwort);
    if (!zahl) return;
    const auto basis = rundeGerade(*zahl, -32768, 32765);
    if (!basis) return;

    DatenPort = static_cast<std::int16_t>(*basis);
    StatusPort = static_cast<std::int16_t>(*basis + 1);
    ControlPort = static_cast<std::int16_t>(*basis + 2);
    PortÄndern->setText(QStringLiteral("Port ändern (%1)").arg(DatenPort));
}

void Steuerung::restart_Click() {
    QWidget* fokus = focusWidget();
    hide();
    Rücksetzen();
    Out32(DatenPort, 0);
    Perm_Einlesen->setChecked(false);
    geparkt_ = nullptr;
    show();
    // The focus comes back to where it was before it moves on: an entry
    // field that gets it back empties itself, as on any new focus.
    if (fokus == Eingabe_dec)
        Eingabe_dec_GotFocus();
    else if (fokus == Eingabe_hex)
        Eingabe_hex_GotFocus();
    else if (fokus == Eingabe_bin)
        Eingabe_bin_GotFocus();
    Einlesenknopf->setFocus(Qt::OtherFocusReason);
}

void Steuerung::Schließen_Click() {
    Timer1->stop();
    Timer2->stop();
    Module1::Beenden();
}

// --- number entry ------------------------------------------------------------

void Steuerung::Eingabe_bin_GotFocus() {
    Eingabe_dec->setText(kDec);
    Eingabe_hex->setText(kHex);
    Eingabe_bin->setText(QString());
}

void Steuerung::Eingabe_dec_GotFocus() {
    Eingabe_hex->setText(kHex);
    Eingabe_dec->setText(QString());
    Eingabe_bin->setText(kBinär);
}

void Steuerung::Eingabe_hex_GotFocus() {
    Eingabe_dec->setText(kDec);
    Eingabe_hex->setText(QString());
    Eingabe_bin->setText(kBinär);
}

void Steuerung::Eingabe_bin_Change() {
    const qsizetype n = Eingabe_bin->text().size();
    if (n == 8)
        setzeZählerFarbe(bin_counter, kGrün, true);
    else
        setzeZählerFarbe(bin_counter, kSchwarz, false);
    bin_counter->setText(bitZählerText(n));
}

std::int16_t Steuerung::bin2dec(const QString& bin_in) {
    const auto wert = binärWert(bin_in);
    if (wert) return *wert;
    setzeZählerFarbe(bin_counter, kRot, false);
    bin_counter->setText(QStringLiteral("Nur 0 oder 1!"));
    return 0;
}

void Steuerung::Eingabefelder(std::int16_t Daten) {
    Einlesen_dec->setText(dezimalText(Daten));
    Einlesen_hex->setText(hexText(Daten));
    Einlesen_bin->setText(dec2bin(Daten));
}

void Steuerung::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (erstmalsGezeigt_) return;
    erstmalsGezeigt_ = true;
    // The focus goes to the first control in tab order as the window opens.
    // Where the window is not active yet (no window manager, or it is slow),
    // the field's focus handler runs now; the focus it gets later on
    // activation is then no new focus.
    Eingabe_dec->setFocus(Qt::ActiveWindowFocusReason);
    if (!Eingabe_dec->hasFocus()) {
        Eingabe_dec_GotFocus();
        geparkt_ = Eingabe_dec;
    }
}

bool Steuerung::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        const auto grund = static_cast<QFocusEvent*>(event)->reason();
        const bool zurück =
            (grund == Qt::ActiveWindowFocusReason || grund == Qt::PopupFocusReason) &&
            watched == geparkt_;
        geparkt_ = nullptr;
        if (!zurück && grund != Qt::PopupFocusReason) {
            if (watched == Eingabe_dec)
                Eingabe_dec_GotFocus();
            else if (watched == Eingabe_hex)
                Eingabe_hex_GotFocus();
            else if (watched == Eingabe_bin)
                Eingabe_bin_GotFocus();
        }
    } else if (event->type() == QEvent::FocusOut) {
        const auto grund = static_cast<QFocusEvent*>(event)->reason();
        geparkt_ = (grund == Qt::ActiveWindowFocusReason || grund == Qt::PopupFocusReason)
                       ? watched
                       : nullptr;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace dravel
