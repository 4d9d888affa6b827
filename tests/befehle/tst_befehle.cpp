// The commands for scripts, run as the real program without any display on
// the simulated port, with a trace of every access.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "vcd_leser.h"

namespace {

// The trace's names of the simulated port's registers (their bytes).
const std::string kDatenGeschrieben = "geschrieben.daten_0x378.D";
const std::string kStatusGelesen = "gelesen.status_0x379.S";

struct Ergebnis {
    int status = -1;
    QString aus;
    QString fehler;  // standard error
};

}  // namespace

class BefehleTest : public QObject {
    Q_OBJECT

    QTemporaryDir ordner_;
    int nummer_ = 0;
    QString trace_;  // the current case's trace file

    // Starts the program with a fresh trace and no display at all, under the
    // C locale, on the simulated port chosen by name unless `--port` is given.
    // Every run of this test shares one simulated port, its own.
    void starte(QProcess& programm, QStringList argumente) {
        trace_ = ordner_.filePath(QStringLiteral("t%1.vcd").arg(++nummer_));
        argumente << QStringLiteral("--trace") << trace_;
        if (!argumente.contains(QStringLiteral("--port")) &&
            !argumente.contains(QStringLiteral("--ohne-port"))) {
            argumente << QStringLiteral("--port") << QStringLiteral("sim");
        }
        argumente.removeAll(QStringLiteral("--ohne-port"));
        QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
        umgebung.insert(QStringLiteral("XDG_RUNTIME_DIR"), ordner_.path());
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            umgebung.remove(QString::fromLatin1(name));
        }
        umgebung.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        programm.setProcessEnvironment(umgebung);
        programm.start(QStringLiteral(DRAVEL_PROGRAMM), argumente);
        QVERIFY(programm.waitForStarted());
    }

    static Ergebnis ende(QProcess& programm) {
        Ergebnis e;
        if (!programm.waitForFinished(20000) || programm.exitStatus() != QProcess::NormalExit) {
            return e;
        }
        e.status = programm.exitCode();
        e.aus = QString::fromUtf8(programm.readAllStandardOutput());
        e.fehler = QString::fromUtf8(programm.readAllStandardError());
        return e;
    }

    Ergebnis führeAus(const QStringList& argumente) {
        QProcess programm;
        starte(programm, argumente);
        return ende(programm);
    }

    // The current case's trace; `vollständig`: only with the mark of its end.
    std::optional<dravel::test::VcdDatei> trace(bool vollständig = true) const {
        std::string fehler;
        auto datei = dravel::test::leseVcdDatei(trace_.toStdString(), fehler);
        if (datei && vollständig && datei->letzteZeit <= datei->letzteÄnderung) datei.reset();
        return datei;
    }

private slots:
    void eachCommandPrintsAndTouchesThePortAsAsked_data() {
        QTest::addColumn<QStringList>("argumente");
        QTest::addColumn<QString>("aus");     // standard output, a pattern
        QTest::addColumn<QString>("fehler");  // standard error, a pattern
        QTest::addColumn<QString>("register_");
        QTest::addColumn<QStringList>("änderungen");  // of that register in the trace
        const QString status = QString::fromStdString(kStatusGelesen);
        const QString daten = QString::fromStdString(kDatenGeschrieben);
        QTest::newRow("read status, decimal") << QStringList{"lesen", "0x379"} << "^120\n$"
                                              << "^$" << status << QStringList{"01111000"};
        QTest::newRow("read control in hex, twice, a comma interval")
            << QStringList{"lesen", "&H37A", "--hex", "--anzahl", "2", "--intervall", "0,5"}
            << "^CC\nCC\n$"
            << "^$"
            << "gelesen.steuer_0x37A.C" << QStringList{"11001100"};
        QTest::newRow("read binary as the windows show it")
            << QStringList{"lesen", "0b1101111001", "--bin"} << "^0111 1000\n$"
            << "^$" << status << QStringList{"01111000"};
        QTest::newRow("read the empty bus") << QStringList{"lesen", "4660"} << "^255\n$"
                                            << "^$"
                                            << "gelesen.port_0x1234.P" << QStringList{"11111111"};
        QTest::newRow("write values in turn")
            << QStringList{"schreiben", "888", "1", "0x80", "&Hff", "0b0"} << "^$"
            << "^$" << daten << QStringList{"00000001", "10000000", "11111111", "00000000"};
        QTest::newRow("watch: the value at start")
            << QStringList{"beobachten", "0x379", "--dauer", "0.2"}
            << R"(^0\.\d\d\d 120 78 0111 1000\n$)"
            << "^$" << status << QStringList{"01111000"};
        // Capitals, "L" low, channel 2 lengthened with "0"; per step channel
        // 1 on D2, then channel 2 on D5.
        QTest::newRow("pattern") << QStringList{"muster",      "1l0h", "--leitung",  "2",
                                                "--bitfolge2", "1",    "--leitung2", "5",
                                                "--zeitbasis", "0"}
                                 << "^$"
                                 << "^dravel: Schritte 4, [^\n]*\n$" << daten
                                 << QStringList{"00000100", "00100100", "00100000", "00000000",
                                                "00000100"};
    }
    void eachCommandPrintsAndTouchesThePortAsAsked() {
        QFETCH(QStringList, argumente);
        QFETCH(QString, aus);
        QFETCH(QString, fehler);
        QFETCH(QString, register_);
        QFETCH(QStringList, änderungen);
        const Ergebnis e = führeAus(argumente);
        QCOMPARE(e.status, 0);
        QVERIFY2(QRegularExpression(aus).match(e.aus).hasMatch(), qPrintable(e.aus));
        QVERIFY2(QRegularExpression(fehler).match(e.fehler).hasMatch(), qPrintable(e.fehler));
        const auto t = trace();
        QVERIFY(t);
        QStringList werte;
        for (const auto& ä : t->von(register_.toStdString()))
            werte << QString::fromStdString(ä.wert);
        QCOMPARE(werte, änderungen);
    }

    void refusalsComeBeforeThePortOpens_data() {
        QTest::addColumn<QStringList>("argumente");
        QTest::addColumn<QString>("grund");
        QTest::newRow("address too large") << QStringList{"lesen", "0x10000"} << "„0x10000“";
        QTest::newRow("value too large") << QStringList{"schreiben", "888", "1", "256"} << "„256“";
        QTest::newRow("negative value") << QStringList{"schreiben", "888", "-1"} << "negative";
        QTest::newRow("negative address") << QStringList{"lesen", "-5"} << "negative";
        QTest::newRow("control characters escaped")
            << QStringList{"lesen", "7\n\x1b"} << "„7\\n\\x1b“";
        QTest::newRow("nearest command") << QStringList{"lessen", "888"} << "„lesen“?";
        QTest::newRow("English command") << QStringList{"write", "888", "1"} << "„schreiben“";
        QTest::newRow("tiny duration")
            << QStringList{"lesen", "888", "--intervall", "0." + QString(400, u'0') + "1"}
            << "zu klein";
        QTest::newRow("duration below a nanosecond")
            << QStringList{"beobachten", "888", "--dauer", "0.0000000004"} << "zu klein";
        QTest::newRow("hex and binary") << QStringList{"lesen", "888", "--hex", "--bin"} << "--hex";
        QTest::newRow("option of another command")
            << QStringList{"lesen", "888", "--dauer", "1"} << "dauer";
        QTest::newRow("same line twice")
            << QStringList{"muster", "1", "--leitung", "3", "--bitfolge2", "0", "--leitung2", "3"}
            << "D3";
        QTest::newRow("second string without its line")
            << QStringList{"muster", "1", "--leitung", "3", "--bitfolge2", "0"} << "--leitung2";
        QTest::newRow("no such line") << QStringList{"muster", "1", "--leitung", "8"} << "„8“";
        QTest::newRow("unknown backend") << QStringList{"lesen", "888", "--port", "lpt1"} << "lpt1";
        QTest::newRow("capture without file") << QStringList{"aufnehmen"} << "--ausgabe";
        QTest::newRow("capture of no pin")
            << QStringList{"aufnehmen", "--leitungen", "18", "--ausgabe", "a.vcd"} << "„18“";
        QTest::newRow("memory limit beyond the machine")
            << QStringList{"aufnehmen", "--grenze", "18446744073709551615", "--ausgabe", "a.vcd"}
            << "als dieser Rechner hergibt: höchstens ";
        QTest::newRow("report and self-test at once")
            << QStringList{"pruefen", "--json", "--schleife"} << "--json";
        QTest::newRow("edge and pattern")
            << QStringList{"aufnehmen", "--ausloeser", "10:fallend", "--ausloeser-muster",
                           "2=1",       "--ausgabe",   "a.vcd"}
            << "--ausloeser-muster";
    }
    void refusalsComeBeforeThePortOpens() {
        QFETCH(QStringList, argumente);
        QFETCH(QString, grund);
        const Ergebnis e = führeAus(argumente);
        QCOMPARE(e.status, 2);
        QCOMPARE(e.aus, QString());
        QVERIFY2(e.fehler.startsWith("dravel: ") && e.fehler.count(u'\n') == 1 &&
                     e.fehler.contains(grund),
                 qPrintable(e.fehler));
        // Not even the trace was begun.
        QVERIFY(!QFile::exists(trace_));
    }

    // The report of a tree standing in for a machine: the exit status says
    // whether a real port is usable, and --json says the same to scripts.
    void checkSaysWhetherARealPortIsUsable_data() {
        QTest::addColumn<bool>("knoten");
        QTest::addColumn<int>("status");
        QTest::newRow("kernel port with an open node") << true << 0;
        QTest::newRow("kernel port without a node") << false << 1;
    }
    void checkSaysWhetherARealPortIsUsable() {
        QFETCH(bool, knoten);
        QFETCH(int, status);
        QTemporaryDir baum;
        QVERIFY(QDir(baum.path()).mkpath("proc/sys/dev/parport/parport0") &&
                QDir(baum.path()).mkpath("dev"));
        QFile basis(baum.filePath("proc/sys/dev/parport/parport0/base-addr"));
        QVERIFY(basis.open(QIODevice::WriteOnly) && basis.write("888\t1912\n") > 0);
        basis.close();
        QFile gerät(baum.filePath("dev/parport0"));
        if (knoten) QVERIFY(gerät.open(QIODevice::WriteOnly));
        const Ergebnis text = führeAus({"pruefen", "--wurzel", baum.path()});
        QCOMPARE(text.status, status);
        QVERIFY2(text.aus.startsWith("parport0: Basis 0x378 (888)"), qPrintable(text.aus));
        const Ergebnis json = führeAus({"pruefen", "--json", "--wurzel", baum.path()});
        QCOMPARE(json.status, status);
        const QJsonObject bericht = QJsonDocument::fromJson(json.aus.toUtf8()).object();
        QCOMPARE(bericht.value("nutzbar").toBool(), status == 0);
        QCOMPARE(bericht.value("ports").toArray().at(0).toObject().value("basis").toInt(), 888);
        const QJsonArray befunde = bericht.value("befunde").toArray();
        QCOMPARE(befunde.size(), text.aus.count(u'\n'));
        QVERIFY(befunde.at(0).toObject().contains("abhilfe"));
    }

    void everyUsageLineNamesItsCommandAndArguments_data() {
        QTest::addColumn<QString>("befehl");
        QTest::addColumn<QString>("argumente");
        QTest::newRow("lesen") << "lesen"
                               << " ADRESSE";
        QTest::newRow("schreiben") << "schreiben"
                                   << " ADRESSE WERT [WERT …]";
        QTest::newRow("beobachten") << "beobachten"
                                    << " ADRESSE";
        QTest::newRow("muster") << "muster"
                                << " BITFOLGE";
        QTest::newRow("aufnehmen") << "aufnehmen"
                                   << "";
    }
    void everyUsageLineNamesItsCommandAndArguments() {
        QFETCH(QString, befehl);
        QFETCH(QString, argumente);
        const Ergebnis e = führeAus({befehl, "--help"});
        QCOMPARE(e.status, 0);
        const QString zeile = e.aus.section(u'\n', 0, 0);
        QVERIFY2(zeile.startsWith("Aufruf: ") &&
                     zeile.endsWith("dravel " + befehl + " [Optionen]" + argumente),
                 qPrintable(zeile));
    }

    void theSimulatedPortIsNamedUnlessChosen_data() {
        QTest::addColumn<QStringList>("argumente");
        QTest::addColumn<QString>("fehler");
        QTest::newRow("no --port")
            << QStringList{"schreiben", "0x378", "165", "--ohne-port"}
            << "^dravel: simulierter Port[^\n]*--port raw[^\n]*--port sim[^\n]*\n$";
        QTest::newRow("--port sim") << QStringList{"schreiben", "0x378", "165"} << "^$";
    }
    void theSimulatedPortIsNamedUnlessChosen() {
        QFETCH(QStringList, argumente);
        QFETCH(QString, fehler);
        const Ergebnis e = führeAus(argumente);
        QCOMPARE(e.status, 0);
        QVERIFY2(QRegularExpression(fehler).match(e.fehler).hasMatch(), qPrintable(e.fehler));
    }

    // Standard output that takes nothing: a pipe nobody reads, a reader that
    // went away, a descriptor closed at start.
    void outputThatTakesNothingEndsTheRun_data() {
        QTest::addColumn<QStringList>("argumente");
        QTest::addColumn<QString>("ausgabe");  // "voll", "weg" or "zu"
        QTest::addColumn<int>("signal");       // sent once the pipe is full
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("fehler");
        const QStringList viele{"lesen", "888", "--anzahl", "100000000"};
        QTest::newRow("blocked pipe, SIGTERM") << viele << "voll" << SIGTERM << 128 + SIGTERM << "";
        QTest::newRow("blocked pipe, SIGINT") << viele << "voll" << SIGINT << 128 + SIGINT << "";
        QTest::newRow("watching, reader gone")
            << QStringList{"beobachten", "0x379"} << "weg" << 0 << 128 + SIGPIPE << "";
        QTest::newRow("closed") << QStringList{"lesen", "888"} << "zu" << 0 << 1
                                << "Die Standardausgabe lässt sich nicht schreiben: sie ist "
                                   "geschlossen.";
    }
    void outputThatTakesNothingEndsTheRun() {
        QFETCH(QStringList, argumente);
        QFETCH(QString, ausgabe);
        QFETCH(int, signal);
        QFETCH(int, status);
        QFETCH(QString, fehler);
        int rohr[2];
        QCOMPARE(::pipe(rohr), 0);
        const bool zu = ausgabe == "zu";
        QProcess programm;
        programm.setChildProcessModifier([rohr, zu] {
            if (zu) {
                ::close(STDOUT_FILENO);
            } else {
                ::dup2(rohr[1], STDOUT_FILENO);
            }
            ::close(rohr[0]);
        });
        starte(programm, argumente);
        ::close(rohr[1]);
        if (ausgabe == "voll") {
            // Full: 64 KiB wait in the pipe, and the program waits to write.
            int wartend = 0;
            int vorher = -1;
            for (int i = 0; i < 800 && (wartend < 60000 || wartend != vorher); ++i) {
                QTest::qWait(50);
                vorher = wartend;
                QCOMPARE(::ioctl(rohr[0], FIONREAD, &wartend), 0);
            }
            QCOMPARE(wartend, vorher);
            QCOMPARE(::kill(static_cast<pid_t>(programm.processId()), signal), 0);
        } else if (ausgabe == "weg") {
            char zeile[64];
            QVERIFY(::read(rohr[0], zeile, sizeof zeile) > 0);  // the value at start
            ::close(rohr[0]);
        }
        const Ergebnis e = ende(programm);
        if (ausgabe != "weg") ::close(rohr[0]);
        QCOMPARE(e.status, status);
        QVERIFY2(e.fehler.contains(fehler) && e.fehler.count(u'\n') == (fehler.isEmpty() ? 0 : 1),
                 qPrintable(e.fehler));
        QVERIFY(trace());
    }

    void signalsEndRunsCleanly_data() {
        QTest::addColumn<QStringList>("argumente");
        QTest::addColumn<int>("signal");
        // Each running: the first read or write has reached the trace.
        const QStringList beobachten{"beobachten", "0x379"};
        const QStringList muster{"muster",        "10", "--leitung",   "0",
                                 "--durchlaeufe", "0",  "--zeitbasis", "1"};
        QTest::newRow("watch, SIGINT") << beobachten << SIGINT;
        QTest::newRow("watch, SIGTERM") << beobachten << SIGTERM;
        QTest::newRow("watch, SIGHUP") << beobachten << SIGHUP;
        QTest::newRow("pattern, SIGINT") << muster << SIGINT;
        QTest::newRow("pattern, SIGHUP") << muster << SIGHUP;
    }
    void signalsEndRunsCleanly() {
        QFETCH(QStringList, argumente);
        QFETCH(int, signal);
        QProcess programm;
        starte(programm, argumente);
        const bool beobachten = argumente[0] == "beobachten";
        const std::string zeichen = beobachten ? kStatusGelesen : kDatenGeschrieben;
        bool läuft = false;
        for (int i = 0; i < 400 && !läuft; ++i) {
            QTest::qWait(25);
            const auto t = trace(false);
            läuft = t && !t->von(zeichen).empty();
        }
        QVERIFY(läuft);
        QCOMPARE(programm.state(), QProcess::Running);
        QCOMPARE(::kill(static_cast<pid_t>(programm.processId()), signal), 0);
        const Ergebnis e = ende(programm);
        QCOMPARE(e.status, 128 + signal);
        const auto t = trace();
        QVERIFY(t);
        if (beobachten) {
            QCOMPARE(e.aus.count(u'\n'), 1);
        } else {
            QVERIFY2(e.fehler.startsWith("dravel: Schritte") && e.fehler.count(u'\n') == 1,
                     qPrintable(e.fehler));
            QVERIFY(t->von(kDatenGeschrieben).size() >= 2);
        }
    }

    // One process writes, the next reads what it left: one port on the
    // machine, as with hardware; the loopback plug's inputs follow it.
    void aLaterProcessReadsWhatAnEarlierOneWrote_data() {
        QTest::addColumn<QStringList>("schreiben");
        QTest::addColumn<QStringList>("lesen");
        QTest::addColumn<QString>("aus");
        QTest::newRow("data latch")
            << QStringList{"schreiben", "0x378", "165"} << QStringList{"lesen", "0x378"} << "165\n";
        QTest::newRow("loopback: D0 high, the rest low")
            << QStringList{"--port", "schleife", "schreiben", "0x378", "1"}
            << QStringList{"--port", "schleife", "lesen", "0x379", "--hex"} << "88\n";
    }
    void aLaterProcessReadsWhatAnEarlierOneWrote() {
        QFETCH(QStringList, schreiben);
        QFETCH(QStringList, lesen);
        QFETCH(QString, aus);
        QCOMPARE(führeAus(schreiben).status, 0);
        const Ergebnis e = führeAus(lesen);
        QCOMPARE(e.status, 0);
        QCOMPARE(e.aus, aus);
    }
};

QTEST_GUILESS_MAIN(BefehleTest)
#include "tst_befehle.moc"
