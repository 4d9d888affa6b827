// The port report in the window: the dialog shows what "dravel pruefen"
// prints for the same kernel, and its button copies exactly that.
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "fake_system.h"
#include "fenster/steuerung/portpruefung.h"
#include "port/port_meldungen.h"
#include "port/port_report.h"

class TestPortpruefung : public QObject {
    Q_OBJECT
private slots:
    void dialogShowsTheReportAndCopiesIt() {
        dravel::test::FakeSystem system;
        system.addParport0();
        system.directories["/dev/usb"] = {"lp0"};
        const QString erwartet =
            QString::fromStdString(dravel::app::portBericht(dravel::port::examinePorts(system)));
        dravel::Portprüfung dialog(system);
        QCOMPARE(dialog.Bericht->toPlainText().trimmed(), erwartet.trimmed());
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(dialog.Kopieren, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), dialog.Bericht->toPlainText());
    }
};

QTEST_MAIN(TestPortpruefung)
#include "tst_portpruefung.moc"
