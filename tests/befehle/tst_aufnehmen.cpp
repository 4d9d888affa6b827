// "dravel aufnehmen" as the real program without a display, each case with a
// runtime folder of its own (the simulated port lives there).
#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "vcd_leser.h"

class AufnehmenTest : public QObject {
    Q_OBJECT

    QTemporaryDir ordner_;

    void starte(QProcess& programm, const QStringList& argumente) {
        QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            umgebung.remove(QString::fromLatin1(name));
        }
        umgebung.insert(QStringLiteral("XDG_RUNTIME_DIR"), ordner_.path());
        programm.setProcessEnvironment(umgebung);
        programm.start(QStringLiteral(DRAVEL_PROGRAMM), argumente);
        QVERIFY(programm.waitForStarted());
    }

    // Waits until the program has said `text` on standard error.
    static bool warteAuf(QProcess& programm, const QString& text, QString& gelesen) {
        for (int i = 0; i < 400 && !gelesen.contains(text); ++i) {
            programm.waitForReadyRead(50);
            gelesen += QString::fromUtf8(programm.readAllStandardError());
        }
        return gelesen.contains(text);
    }

private slots:
    // A signal ends a capture still waiting for its trigger: status 128 + n
    // and a complete file naming the line.
    void signalEndsWithCompleteFile() {
        const QString datei = ordner_.filePath(QStringLiteral("signal.vcd"));
        QProcess programm;
        starte(programm,
               {"aufnehmen", "--leitungen", "10", "--ausloeser", "10:fallend", "--ausgabe", datei});
        QString fehler;
        QVERIFY2(warteAuf(programm, "warte auf den Auslöser", fehler), qPrintable(fehler));
        QCOMPARE(::kill(static_cast<pid_t>(programm.processId()), SIGTERM), 0);
        QVERIFY(programm.waitForFinished(20000));
        QCOMPARE(programm.exitCode(), 128 + SIGTERM);
        std::string grund;
        const auto vcd = dravel::test::leseVcdDatei(datei.toStdString(), grund);
        QVERIFY2(vcd, grund.c_str());
        QVERIFY(vcd->hat("aufnahme_0x378.Pin10_nAck"));
    }

    // The loopback plug: the pattern on D3 in one process comes back on /Ack
    // (pin 10) in the capture of another, an edge every millisecond.
    void loopbackCaptureSeesPatternOfOtherProcess() {
        QProcess probe;
        starte(probe, {"--port", "schleife", "lesen", "0x379"});
        QVERIFY(probe.waitForFinished(20000));
        if (probe.exitCode() != 0) QSKIP("Dieser Stand kennt --port schleife noch nicht.");

        const QString datei = ordner_.filePath(QStringLiteral("schleife.vcd"));
        QProcess aufnahme;
        starte(aufnahme, {"--port", "schleife", "aufnehmen", "--leitungen", "10", "--dauer", "0.5",
                          "--ausloeser", "10:steigend", "--vorlauf", "0", "--ausgabe", datei});
        QString fehler;
        QVERIFY2(warteAuf(aufnahme, "warte auf den Auslöser", fehler), qPrintable(fehler));
        QProcess muster;
        starte(muster, {"--port", "schleife", "muster", "10", "--leitung", "3", "--zeitbasis", "1",
                        "--durchlaeufe", "100"});
        QVERIFY(muster.waitForFinished(20000));
        QVERIFY(aufnahme.waitForFinished(20000));
        QCOMPARE(aufnahme.exitCode(), 0);

        std::string grund;
        const auto vcd = dravel::test::leseVcdDatei(datei.toStdString(), grund);
        QVERIFY2(vcd, grund.c_str());
        const auto& ack = vcd->von("aufnahme_0x378.Pin10_nAck");
        // 200 edges; a capture thread kept off the processor may lose a pulse.
        QVERIFY2(ack.size() >= 150 && ack.size() <= 200, qPrintable(QString::number(ack.size())));
        QCOMPARE(ack.front().wert, std::string("1"));
        // Edges a millisecond apart: over all of them, within 10 %.
        const double abstand = double(ack.back().zeit - ack.front().zeit) / double(199);
        QVERIFY2(abstand > 0.9e6 && abstand < 1.1e6, qPrintable(QString::number(abstand)));
    }
};

QTEST_GUILESS_MAIN(AufnehmenTest)
#include "tst_aufnehmen.moc"
