#include "module1.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "fenster/analysator/logikanalysator.h"
#include "fenster/generator/generator_fenster.h"
#include "fenster/mitschnitt_meldung.h"
#include "fenster/stecker/steckerfenster.h"
#include "fenster/steuerung/steuerung.h"
#include "logik/mitschnitt.h"

namespace Module1 {
namespace {
QPointer<dravel::Steuerung> g_hauptfenster;
QPointer<dravel::GeneratorFenster> g_generatorfenster;
QPointer<dravel::Steckerfenster> g_steckerfenster;
QPointer<dravel::Logikanalysator> g_analysator;
bool g_programmEndet = false;
}  // namespace

dravel::Steuerung* Hauptfenster() {
    if (!g_hauptfenster) g_hauptfenster = new dravel::Steuerung();
    return g_hauptfenster;
}

dravel::GeneratorFenster* Generatorfenster() {
    // A closed window whose output run is still unwinding is no longer the
    // generator window; it goes by itself.
    if (!g_generatorfenster || g_generatorfenster->geschlossen()) {
        g_generatorfenster = new dravel::GeneratorFenster();
    }
    return g_generatorfenster;
}

dravel::Steckerfenster* Steckeransicht() {
    if (!g_steckerfenster) g_steckerfenster = new dravel::Steckerfenster();
    return g_steckerfenster;
}

dravel::Logikanalysator* Analysator() {
    if (!g_analysator) g_analysator = new dravel::Logikanalysator();
    return g_analysator;
}

namespace {
void nachVorn(QWidget* fenster) {
    fenster->show();
    fenster->raise();
    fenster->activateWindow();
}
}  // namespace

void ZeigeGenerator() {
    nachVorn(Generatorfenster());
}

void ZeigeSteckeransicht() {
    nachVorn(Steckeransicht());
}

void ZeigeAnalysator() {
    nachVorn(Analysator());
}

std::optional<Lage> HauptfensterLage() {
    if (!g_hauptfenster || !g_hauptfenster->isVisible()) return std::nullopt;
    Lage lage{g_hauptfenster->frameGeometry(), std::nullopt};
    if (const QScreen* bildschirm = g_hauptfenster->screen()) {
        lage.bildschirm = bildschirm->availableGeometry();
    }
    return lage;
}

std::optional<std::int16_t> Basisadresse() {
    if (!g_hauptfenster) return std::nullopt;
    return g_hauptfenster->DatenPort;
}

void Main() {
    dravel::Steuerung* fenster = Hauptfenster();
    if (const QScreen* bildschirm = QGuiApplication::primaryScreen()) {
        fenster->move(bildschirm->availableGeometry().center() - fenster->rect().center());
    }
    fenster->show();
    if (dravel::app::mitschnittLäuft()) dravel::meldeMitschnittfehler(fenster);
}

void Beenden() {
    g_programmEndet = true;
    // Close without closing routines: hide everything, then leave the event
    // loop; the windows are deleted when the application object goes.
    const auto fenster = QApplication::topLevelWidgets();
    for (QWidget* w : fenster) {
        w->hide();
    }
    QCoreApplication::exit(0);
}

bool ProgrammEndet() {
    return g_programmEndet;
}

void ZurücksetzenFürTest() {
    // Deleting one window deletes its menus and dialogs too, so hold the
    // list through guarded pointers.
    QList<QPointer<QWidget>> fenster;
    for (QWidget* w : QApplication::topLevelWidgets()) fenster << w;
    for (const QPointer<QWidget>& w : fenster) {
        if (w && w->testAttribute(Qt::WA_DeleteOnClose)) {
            w->hide();
            delete w.data();
        }
    }
    g_programmEndet = false;
    Datenwert = 0;
    Lesezaehler = 0;
    Verlaufsindex = 0;
    Fenstertitel.clear();
}

}  // namespace Module1
