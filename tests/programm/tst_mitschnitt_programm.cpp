// The program itself with --trace: a file that cannot be created ends it
// before any window opens (so does a platform Qt cannot start), and the
// signals that end a program leave the file complete.

#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "port/simulated_port.h"
#include "vcd_leser.h"

using dravel::test::VcdDatei;

namespace {

// A private runtime folder: without one (root in CI) Qt itself warns on
// standard error, and the test counts the program's lines there.
QProcessEnvironment umgebung(const QString& laufzeitordner) {
    QProcessEnvironment u = QProcessEnvironment::systemEnvironment();
    u.insert("QT_QPA_PLATFORM", "offscreen");
    u.insert("XDG_RUNTIME_DIR", laufzeitordner);
    return u;
}

}  // namespace

class MitschnittProgrammTest : public QObject {
    Q_OBJECT

    QTemporaryDir ordner_;
    QTemporaryDir laufzeit_;  // created with mode 0700, as Qt wants it
    QFile gehalten_;

private slots:
    void aFileThatCannotBeCreatedEndsTheProgramBeforeAnyWindow_data() {
        QTest::addColumn<QString>("pfad");
        QTest::addColumn<QString>("grund");
        QTest::addColumn<QString>("plattform");
        QTest::newRow("no such folder")
            << ordner_.filePath("fehlt/x.vcd") << "Ordner nicht gefunden"
            << "offscreen";
        QTest::newRow("a folder") << ordner_.path() << "ist ein Ordner"
                                  << "offscreen";
        QTest::newRow("a device") << "/dev/full"
                                  << "keine gewöhnliche Datei"
                                  << "offscreen";
        // Held as another session holds it while it records.
        gehalten_.setFileName(ordner_.filePath("gehalten.vcd"));
        QVERIFY(gehalten_.open(QIODevice::WriteOnly) && ::flock(gehalten_.handle(), LOCK_EX) == 0);
        QTest::newRow("recorded by another session")
            << gehalten_.fileName() << "von einem anderen Programm"
            << "offscreen";
        QTest::newRow("a platform Qt cannot start") << ordner_.filePath("x.vcd") << "„bogus“"
                                                    << "bogus";
        // Refused before the file exists: "" is no display at all.
        QTest::newRow("no display") << ordner_.filePath("nc.vcd") << "Kein Bildschirm"
                                    << "";
        QTest::newRow("a control character in the name")
            << ordner_.filePath("a\nb\x1b[2J.vcd") << "Steuerzeichen"
            << "offscreen";
    }
    void aFileThatCannotBeCreatedEndsTheProgramBeforeAnyWindow() {
        QFETCH(QString, pfad);
        QFETCH(QString, grund);
        QFETCH(QString, plattform);
        QProcess programm;
        QProcessEnvironment u = umgebung(laufzeit_.path());
        u.insert("QT_QPA_PLATFORM", plattform);
        if (plattform.isEmpty()) {
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                u.remove(name);
        }
        const bool neu = !QFileInfo::exists(pfad);
        programm.setProcessEnvironment(u);
        programm.start(DRAVEL_PROGRAMM, {"--trace", pfad});
        // With a window open the program would wait for the user.
        QVERIFY(programm.waitForFinished(20000));
        QCOMPARE(programm.exitStatus(), QProcess::NormalExit);
        QCOMPARE(programm.exitCode(), 2);
        const QString fehler = QString::fromUtf8(programm.readAllStandardError());
        const QStringList zeilen = fehler.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(zeilen.size(), 1);
        // User input in messages with its control characters escaped.
        const QString genannt = QString(pfad).replace("\n", "\\n").replace("\x1b", "\\x1b");
        QVERIFY2(zeilen[0].contains(plattform == "bogus" || plattform.isEmpty() ? "dravel: "
                                                                                : genannt) &&
                     zeilen[0].contains(grund),
                 qPrintable(zeilen[0]));
        if (neu) {
            QVERIFY(!QFileInfo::exists(pfad));
            QVERIFY(!QFileInfo::exists(pfad.chopped(4) + ".gtkw"));
        }
    }

    // A disk that fills up (here a file size limit, which would kill the
    // program mid-line): a command whose trace breaks off fails with status
    // 1; a trace that cannot start leaves no file. The command itself runs
    // to its end either way.
    void aCommandWhoseTraceFailsFails_data() {
        QTest::addColumn<int>("grenze");  // bytes a file may have
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("grund");
        QTest::newRow("full during the run") << 80000 << 1 << "kann nicht weitergeschrieben";
        QTest::newRow("full at start") << 1000 << 2 << "kann nicht angelegt";
        // The header fits, and the save file made for it, but not its first time.
        QTest::newRow("full after the header") << 65536 << 2 << "kann nicht angelegt";
    }
    void aCommandWhoseTraceFailsFails() {
        QFETCH(int, grenze);
        QFETCH(int, status);
        QFETCH(QString, grund);
        const QString datei = ordner_.filePath(QString("voll%1.vcd").arg(grenze));
        QProcess programm;
        programm.setProcessEnvironment(umgebung(laufzeit_.path()));
        programm.setChildProcessModifier([grenze] {
            const rlimit eng{static_cast<rlim_t>(grenze), static_cast<rlim_t>(grenze)};
            ::setrlimit(RLIMIT_FSIZE, &eng);
        });
        programm.start(DRAVEL_PROGRAMM, {"muster", "10", "--leitung", "0", "--zeitbasis", "0",
                                         "--durchlaeufe", "5000", "--trace", datei});
        QVERIFY(programm.waitForFinished(60000));
        QCOMPARE(programm.exitStatus(), QProcess::NormalExit);
        const QString fehler = QString::fromUtf8(programm.readAllStandardError());
        QVERIFY2(programm.exitCode() == status && fehler.contains(grund), qPrintable(fehler));
        QCOMPARE(QFileInfo::exists(datei), status == 1);
        QCOMPARE(QFileInfo::exists(datei.chopped(4) + ".gtkw"), status == 1);
        if (status == 1) {
            std::string lesefehler;
            QVERIFY2(dravel::test::leseVcdDatei(datei.toStdString(), lesefehler),
                     lesefehler.c_str());
        }
    }

    void aSignalEndsTheProgramWithACompleteTrace_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGQUIT") << SIGQUIT;
    }
    void aSignalEndsTheProgramWithACompleteTrace() {
        QFETCH(int, signal);
        const QString datei = ordner_.filePath(QString("signal%1.vcd").arg(signal));
        QProcess programm;
        programm.setProcessEnvironment(umgebung(laufzeit_.path()));
        // A signal ignored from the start (nohup) stays ignored by design.
        programm.setChildProcessModifier([] {
            for (const int nummer : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::signal(nummer, SIG_DFL);
        });
        QFile alt(datei);  // a file of an earlier session, replaced
        QVERIFY(alt.open(QIODevice::WriteOnly) && alt.write("alt\n") == 4);
        alt.close();
        programm.start(DRAVEL_PROGRAMM, {"--trace", datei});
        QVERIFY(programm.waitForStarted());
        // The status bar's first refresh reads the three registers; the
        // writer puts them into the file within a few milliseconds.
        std::string fehler;
        bool gelesen = false;
        for (int i = 0; i < 400 && !gelesen; ++i) {
            QTest::qWait(25);
            const auto d = dravel::test::leseVcdDatei(datei.toStdString(), fehler);
            gelesen = d && !d->von("gelesen.status_0x379.S").empty();
        }
        QVERIFY2(gelesen, fehler.c_str());
        QCOMPARE(programm.state(), QProcess::Running);

        QCOMPARE(::kill(static_cast<pid_t>(programm.processId()), signal), 0);
        QVERIFY(programm.waitForFinished(20000));
        QCOMPARE(programm.exitStatus(), QProcess::NormalExit);
        QCOMPARE(programm.exitCode(), 128 + signal);
        QVERIFY(QString::fromUtf8(programm.readAllStandardError())
                    .contains(QString("überschreibe „%1“").arg(datei)));

        const auto d = dravel::test::leseVcdDatei(datei.toStdString(), fehler);
        QVERIFY2(d, fehler.c_str());
        QCOMPARE(d->von("gelesen.status_0x379.S").front().wert, std::string("01111000"));
        QVERIFY(!d->von("gelesen.steuer_0x37A.C").empty());
        // Only a completed trace ends with the moment the recording ended.
        QVERIFY(d->letzteZeit > d->letzteÄnderung);
        QVERIFY(d->kopf.at("comment").find("Backend: " + dravel::port::SimulatedPort().name()) !=
                std::string::npos);
    }
};

QTEST_GUILESS_MAIN(MitschnittProgrammTest)
#include "tst_mitschnitt_programm.moc"
