// The read side and the history: a ring of ten slots in the Verlauf submenu.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <limits>

#include "fenster/module1.h"
#include "logik/zeit.h"
#include "port/port.h"
#include "logik/register_texte.h"
#include "steuerung.h"
#include "logik/umrechnung.h"

namespace dravel {

void Steuerung::Einlesenknopf_Click() {
    Module1::Datenwert = Inp32(DatenPort);
    Eingabefelder(Module1::Datenwert);
    StatusLeiste();
    Menüs();
}

void Steuerung::Timer1_Timer() { Einlesenknopf_Click(); }

void Steuerung::Perm_Einlesen_Click() {
    if (Perm_Einlesen->isChecked()) Timer1->start();
    else Timer1->stop();
}

void Steuerung::Menüs() {
    Unter_Extras[0]->setText(QStringLiteral("Es war ") + zeitText() + QStringLiteral(" bei"));
    // The running number stops at the largest 32-bit value instead of
    // turning negative (after years of reading every 100 ms).
    if (Module1::Lesezaehler < std::numeric_limits<std::int32_t>::max()) ++Module1::Lesezaehler;
    Unter_Extras[1]->setText(QStringLiteral("Lesevorgang Nr:  %1").arg(Module1::Lesezaehler));
    Verlauf->setVisible(false);
    Unter_Extras[4]->setVisible(true);
    Lesen[0]->setText(QStringLiteral("> Verlauf löschen <"));
    ++Module1::Verlaufsindex;
    const int slot = Module1::Verlaufsindex;
    Lesen[slot]->setVisible(true);
    Lesen[slot]->setText(verlaufEintrag(Module1::Lesezaehler, Einlesen_dec->text(), zeitText()));
    // Only the newest entry is checkable: some styles (Fusion) draw an empty
    // box in front of an unchecked checkable entry.
    QAction* voriges = Lesen[slot == 1 ? 10 : slot - 1];
    voriges->setChecked(false);
    voriges->setCheckable(false);
    Lesen[slot]->setCheckable(true);
    Lesen[slot]->setChecked(true);
    if (slot == 10) Module1::Verlaufsindex = 0;
    if (Lesen[1]->isVisible()) Verlauf->setVisible(true);
}

void Steuerung::Lesen_Click(std::int16_t Index) {
    if (Index > 0) return;  // the entries themselves are no commands
    for (int i = 1; i <= 10; ++i) Lesen[i]->setVisible(false);
    Unter_Extras[4]->setVisible(false);
    Verlauf->setVisible(false);
    // Restarting the status timer keeps the message up for a full second.
    Timer2->stop();
    Timer2->start();
    setWindowTitle(QStringLiteral("Verlauf gelöscht."));
    Module1::Verlaufsindex = 0;
}

}  // namespace dravel
