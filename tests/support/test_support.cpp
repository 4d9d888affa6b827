#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>
#include <memory>

#include "app/anwendung.h"
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
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    app::richteAnwendungEin();
}

}  // namespace dravel::test
