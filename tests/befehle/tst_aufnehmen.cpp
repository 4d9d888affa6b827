// "dravel aufnehmen" as the real program without a display, each case with a
// runtime folder of its own (the simulated port lives there).
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "vcd_leser.h"

class AufnehmenTest : public QObject {
    Q_OBJECT

    QTemporaryDir ordner_;

    void starte(QProcess& programm, const QStringList& argumente,
                const QString& befehl = DRAVEL_PROGRAMM) {
        QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            umgebung.remove(QString::fromLatin1(name));
        }
        umgebung.insert(QStringLiteral("XDG_RUNTIME_DIR"), ordner_.path());
        programm.setProcessEnvironment(umgebung);
        programm.start(befehl, argumente);
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
    // An output file that cannot take the capture is refused before it
    // starts (here it would wait for a trigger that never comes): status 2,
    // one line, nothing left behind.
    void unfitOutputIsRefusedBeforeTheCapture_data() {
        QTest::addColumn<QString>("ziel");  // in a fresh folder unless absolute
        QTest::addColumn<QString>("grund");
        QTest::addColumn<int>("grenze");  // a file size limit in bytes, 0 none
        QTest::newRow("link") << "l.vcd"
                              << "symbolische Verknüpfung" << 0;
        QTest::newRow("dangling link") << "weg.vcd"
                                       << "symbolische Verknüpfung" << 0;
        QTest::newRow("FIFO") << "fifo.vcd"
                              << "keine gewöhnliche Datei" << 0;
        QTest::newRow("/dev/null") << "/dev/null"
                                   << "keine gewöhnliche Datei" << 0;
        QTest::newRow("name too long") << QString(300, 'x') << "Name zu lang" << 0;
        QTest::newRow("not writable") << "/proc/version"
                                      << "" << 0;
        QTest::newRow("the trace's own file") << "t.vcd"
                                              << "--trace" << 0;
        QTest::newRow("another capture's file") << "gesperrt.vcd"
                                                << "anderen Programm" << 0;
        QTest::newRow("the simulated port's file")
            << ordner_.filePath("dravel/sim-0x378") << "simulierten Ports" << 0;
        QTest::newRow("no room for the header") << "voll.vcd"
                                                << "Datei zu groß" << 1000;
        QTest::newRow("a line break in the name") << "a\nb.vcd"
                                                  << "Steuerzeichen" << 0;
    }
    void unfitOutputIsRefusedBeforeTheCapture() {
        QFETCH(QString, ziel);
        QFETCH(QString, grund);
        QFETCH(int, grenze);
        QTemporaryDir hier;
        QVERIFY(QFile::link("ziel.vcd", hier.filePath("l.vcd")) &&
                QFile::link("/fehlt", hier.filePath("weg.vcd")) &&
                ::mkfifo(qPrintable(hier.filePath("fifo.vcd")), 0600) == 0);
        QFile alt(hier.filePath("t.vcd"));  // a file refused is left as it was
        QVERIFY(alt.open(QIODevice::WriteOnly) && alt.write("alt") == 3);
        alt.close();
        QFile gesperrt(hier.filePath("gesperrt.vcd"));
        QVERIFY(gesperrt.open(QIODevice::WriteOnly) && ::flock(gesperrt.handle(), LOCK_EX) == 0);
        const auto liste = [&] {
            return QDir(hier.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden);
        };
        const QStringList vorher = liste();
        QProcess programm;
        programm.setChildProcessModifier([grenze] {
            const rlimit eng{rlim_t(grenze), rlim_t(grenze)};
            if (grenze > 0) ::setrlimit(RLIMIT_FSIZE, &eng);
        });
        const QString pfad = ziel.startsWith('/') ? ziel : hier.filePath(ziel);
        QStringList argumente{"--port",      "sim",        "aufnehmen", "--leitungen", "10",
                              "--ausloeser", "10:fallend", "--ausgabe", pfad};
        if (ziel == "t.vcd") argumente = QStringList{"--trace", pfad} + argumente;
        starte(programm, argumente);
        const bool beendet = programm.waitForFinished(10000);
        const QString fehler = QString::fromUtf8(programm.readAllStandardError());
        QVERIFY2(beendet && programm.exitCode() == 2 && fehler.count('\n') == 1 &&
                     fehler.contains(grund),
                 qPrintable(fehler));
        QCOMPARE(liste(), vorher);
        QVERIFY(alt.open(QIODevice::ReadOnly) && alt.readAll() == "alt");
    }

    // A name that is not UTF-8 names the file the user gave, byte for byte.
    void outputNameKeepsItsBytes() {
        QTemporaryDir hier;
        QProcess programm;
        programm.setWorkingDirectory(hier.path());
        starte(programm,
               {"-c",
                "exec \"$0\" --port sim aufnehmen --leitungen 10 --dauer 0.01 --ausgabe "
                "\"$(printf '\\377\\376.vcd')\"",
                DRAVEL_PROGRAMM},
               "/bin/sh");
        QVERIFY(programm.waitForFinished(20000));
        QCOMPARE(programm.exitCode(), 0);
        struct stat info {};
        QCOMPARE(::stat((hier.path().toStdString() + "/\xff\xfe.vcd").c_str(), &info), 0);
    }

    // A GTKWave save file that cannot be written beside the capture is said.
    void skippedSaveFileIsSaid() {
        QTemporaryDir hier;
        QVERIFY(QDir(hier.path()).mkdir("a.gtkw"));
        QProcess programm;
        starte(programm, {"--port", "sim", "aufnehmen", "--abtasten", "--leitungen", "10",
                          "--dauer", "0.01", "--ausgabe", hier.filePath("a.vcd")});
        QVERIFY(programm.waitForFinished(20000));
        const QString fehler = QString::fromUtf8(programm.readAllStandardError());
        QVERIFY2(programm.exitCode() == 0 && fehler.contains("a.gtkw“ wird nicht geschrieben"),
                 qPrintable(fehler));
        // A polling capture's rate reads as the window's ("97,1 MS/s"); one
        // that follows the port's log has none.
        QVERIFY2(fehler.contains(QRegularExpression(" \\d+(,\\d+)? [kMG]?S/s; Ende: ")),
                 qPrintable(fehler));
    }

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

    // The pattern in one process, the capture in another, two processes that
    // want a core each beside them: the capture follows the simulated port's
    // log and holds every edge of the pattern's own trace at the very
    // nanosecond. Each program counts its time from its own start, so both
    // are taken from the pattern's first rise (the trigger).
    void loopbackCaptureHoldsEveryEdgeOfPatternInAnotherProcess() {
        QProcess probe;
        starte(probe, {"--port", "schleife", "schreiben", "0x378", "0"});  // D3 low first
        QVERIFY(probe.waitForFinished(20000));
        if (probe.exitCode() != 0) QSKIP("Dieser Stand kennt --port schleife noch nicht.");

        QProcess last[2];
        for (QProcess& l : last) l.start(QStringLiteral("sh"), {"-c", "while :; do :; done"});
        const QString datei = ordner_.filePath(QStringLiteral("schleife.vcd"));
        QProcess aufnahme;
        starte(aufnahme, {"--port", "schleife", "aufnehmen", "--leitungen", "10", "--dauer", "0",
                          "--ausloeser", "10:steigend", "--vorlauf", "0", "--ausgabe", datei});
        QString fehler;
        QVERIFY2(warteAuf(aufnahme, "warte auf den Auslöser", fehler), qPrintable(fehler));
        const QString spur = ordner_.filePath(QStringLiteral("muster.vcd"));
        QProcess muster;
        starte(muster, {"--port", "schleife", "--trace", spur, "muster", "10", "--leitung", "3",
                        "--zeitbasis", "0.1", "--durchlaeufe", "5000"});
        QVERIFY(muster.waitForFinished(60000));
        ::kill(pid_t(aufnahme.processId()), SIGINT);  // Strg+C: the capture ends, its file whole
        QVERIFY(aufnahme.waitForFinished(20000));
        for (QProcess& l : last) {
            l.kill();
            l.waitForFinished();
        }
        QCOMPARE(aufnahme.exitCode(), 128 + SIGINT);
        const QString summe = fehler + QString::fromUtf8(aufnahme.readAllStandardError());
        QVERIFY2(summe.contains("jede Änderung aus dem Protokoll des Ports; Ende:"),
                 qPrintable(summe));

        std::string grund;
        const auto vcd = dravel::test::leseVcdDatei(datei.toStdString(), grund);
        QVERIFY2(vcd, grund.c_str());
        const auto schritte = dravel::test::leseVcdDatei(spur.toStdString(), grund);
        QVERIFY2(schritte, grund.c_str());
        const auto& ack = vcd->von("aufnahme_0x378.Pin10_nAck");
        const auto& d3 = schritte->von("geschrieben.daten_0x378.D3_geschrieben_0x378");
        std::vector<std::pair<std::uint64_t, std::string>> geschrieben, gesehen;
        std::uint64_t null = 0;
        for (const auto& s : d3) {
            if (geschrieben.empty() ? s.wert != "1" : s.wert == geschrieben.back().second) continue;
            if (geschrieben.empty()) null = s.zeit;
            geschrieben.emplace_back(s.zeit - null, s.wert);
        }
        for (const auto& a : ack) gesehen.emplace_back(a.zeit - ack.front().zeit, a.wert);
        QCOMPARE(geschrieben.size(), std::size_t(10000));
        QCOMPARE(gesehen, geschrieben);
    }
};

QTEST_GUILESS_MAIN(AufnehmenTest)
#include "tst_aufnehmen.moc"
