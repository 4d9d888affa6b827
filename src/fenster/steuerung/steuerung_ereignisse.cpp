// Connects the controls of the main window to their handlers, and the
// Extras menu's three message boxes.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "fenster/module1.h"
#include "fenster/gemeinsam/klick_label.h"
#include "logik/zeit.h"
#include "steuerung.h"

namespace dravel {

void Steuerung::verbindeBehandlung() {
    connect(Ausgabeknopf, &QPushButton::clicked, this, [this] { Ausgabeknopf_Click(); });
    connect(Inkr, &KlickLabel::clicked, this, [this] { Inkr_Click(); });
    connect(Dekr, &KlickLabel::clicked, this, [this] { Dekr_Click(); });
    connect(Links, &KlickLabel::clicked, this, [this] { Links_Click(); });
    connect(Rechts, &KlickLabel::clicked, this, [this] { Rechts_Click(); });
    connect(Alle, &KlickLabel::clicked, this, [this] { Alle_Click(); });
    connect(Keine, &KlickLabel::clicked, this, [this] { Keine_Click(); });

    connect(Einlesenknopf, &QPushButton::clicked, this, [this] { Einlesenknopf_Click(); });
    // toggled fires for the user's clicks and for changes made from code.
    connect(Perm_Einlesen, &QCheckBox::toggled, this, [this] { Perm_Einlesen_Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });

    for (std::int16_t i = 0; i <= 10; ++i) {
        QAction* eintrag = Lesen[i];
        // Slots carry a check mark that only the history sets: a click on
        // an entry must not toggle it.
        eintrag->setCheckable(i > 0);
        connect(eintrag, &QAction::triggered, this, [this, eintrag, i](bool) {
            if (eintrag->isCheckable()) eintrag->setChecked(!eintrag->isChecked());
            Lesen_Click(i);
        });
    }

    for (std::int16_t bit : {4, 5}) {
        connect(C_Bit[bit], &KlickLabel::clicked, this, [this, bit] { C_Bit_Click(bit); });
    }
    connect(Modus, &KlickLabel::clicked, this, [this] { Modus_Click(); });

    for (std::int16_t i = 0; i < 5; ++i) {
        connect(Unter_Extras[i], &QAction::triggered, this, [this, i] { Unter_Extras_Click(i); });
    }
}

void Steuerung::Unter_Extras_Click(std::int16_t Index) {
    QString text;
    if (Index == 0) {
        text = QStringLiteral("Unterprogramm 1:\nDie momentane Zeit ist ") + zeitText() +
               QStringLiteral(".");
    } else if (Index == 1) {
        text = QStringLiteral("Es wurden bisher %1 Einlesevorgänge gezählt.")
                   .arg(Module1::Lesezaehler);
    } else {
        text = QStringLiteral("Fehler!\n- Nix gefunden.\n- Neu programmieren!");
    }
    // One OK button, no icon, the program's title.
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("Meldung"));
    box.exec();
}

}  // namespace dravel
