#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "fenster/anwendung.h"
#include "port/port.h"
#include "port/simulated_port.h"

namespace dravel::test {

port::RecordingPort& installiereAufzeichnung() {
    auto aufzeichnung = std::make_unique<port::RecordingPort>();
    auto& referenz = *aufzeichnung;
    port::installBackend(std::move(aufzeichnung));
    return referenz;
}

port::RecordingPort& installiereAufzeichnungMitSimulation() {
    auto aufzeichnung =
        std::make_unique<port::RecordingPort>(std::make_unique<port::SimulatedPort>());
    auto& referenz = *aufzeichnung;
    port::installBackend(std::move(aufzeichnung));
    return referenz;
}

void beantworteNächstenDialog(std::function<void(QWidget*)> antwort, int frist) {
    auto* zeitgeber = new QTimer(QCoreApplication::instance());
    zeitgeber->setInterval(10);
    QElapsedTimer uhr;
    uhr.start();
    QObject::connect(zeitgeber, &QTimer::timeout, zeitgeber, [zeitgeber, antwort, uhr, frist] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog && uhr.elapsed() < frist) return;
        zeitgeber->stop();
        const auto antworte = antwort;  // the lambda goes with the timer
        zeitgeber->deleteLater();
        if (dialog) antworte(dialog);
    });
    zeitgeber->start();
}

void richteTestanwendungEin() {
    // What the windows remember goes to a folder of this run alone: never
    // the user's settings, never another test's that runs beside it.
    static QTemporaryDir einstellungen;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(einstellungen.path()));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    app::richteAnwendungEin();
}

void doppelklicke(QWidget* ziel) {
    const QPointF punkt(ziel->rect().center()), global(ziel->mapToGlobal(punkt));
    for (const QEvent::Type art : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                   QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const auto knöpfe = art == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent ereignis(art, punkt, global, Qt::LeftButton, knöpfe, Qt::NoModifier);
        QApplication::sendEvent(ziel, &ereignis);
    }
}

}  // namespace dravel::test
