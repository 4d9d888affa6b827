#include "mitschnitt_meldung.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "logik/mitschnitt.h"

namespace dravel {

void meldeMitschnittfehler(QWidget* fenster) {
    // The writer thread finds the failure; asking four times a second is
    // soon enough for a person and costs one atomic load.
    auto* wache = new QTimer(fenster);
    wache->setInterval(250);
    QObject::connect(wache, &QTimer::timeout, fenster, [wache, fenster] {
        if (!app::mitschnittUnvollständig()) return;
        wache->stop();
        auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(),
                                    QStringLiteral("Der Mitschnitt ist unvollständig."),
                                    QMessageBox::Ok, fenster);
        box->setInformativeText(app::mitschnittFehler());
        box->setObjectName(QStringLiteral("Mitschnittfehler"));
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    });
    wache->start();
}

}  // namespace dravel
