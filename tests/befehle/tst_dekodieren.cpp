// dravel dekodieren and aufnehmen --dekoder: the same annotations as
// sigrok-cli finds in the same file, and refusals before any work.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <csignal>

#include "logik/aufnahme_vcd.h"
#include "logik/aufnahmemaschine.h"

using namespace dravel::analysator;

class DekodierenTest : public QObject {
    Q_OBJECT

    QTemporaryDir ordner_;

    struct Ergebnis {
        int status;
        QString ausgabe;
        QString fehler;
    };
    Ergebnis lauf(const QString& programm, const QStringList& argumente) {
        QProcess p;
        QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
        umgebung.insert("XDG_RUNTIME_DIR", ordner_.path());
        p.setProcessEnvironment(umgebung);
        p.start(programm, argumente);
        p.waitForFinished(60'000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    // A capture of pin 10 carrying "Dravel" as UART at 115200 baud, saved.
    QString uartDatei() {
        Aufnahme a(leitungenFür(bitVon(10)), 1 << 20);
        a.basis = 0x378;
        const double bit = 1e9 / 115200;
        double t = 20'000;
        a.hänge(0, bitVon(10));
        for (const unsigned char c : QByteArray("Dravel")) {
            const int rahmen = 0x200 | (c << 1);
            for (int k = 0; k < 10; ++k, t += bit) {
                a.hänge(std::uint64_t(t), (rahmen >> k) & 1 ? bitVon(10) : 0);
            }
            t += 3 * bit;
        }
        a.setzeBisNs(std::uint64_t(t + 20'000));
        a.beende(Ende::Dauer);
        const QString pfad = ordner_.filePath("uart.vcd");
        std::string fehler;
        if (!speichereVcd(a, pfad.toStdString(), fehler)) qFatal("%s", fehler.c_str());
        return pfad;
    }

private slots:
    void sameAnnotationsAsSigrokCli() {
        const QString sigrok = QStandardPaths::findExecutable("sigrok-cli");
        if (sigrok.isEmpty()) {
            if (qEnvironmentVariableIsSet("DRAVEL_ALLE_WERKZEUGE")) QFAIL("sigrok-cli missing");
            QSKIP("sigrok-cli fehlt (Paket sigrok-cli)");
        }
        const QString pfad = uartDatei();
        // The file's time scale is 1 ns: sigrok-cli samples it at 1 GHz.
        const Ergebnis dravel =
            lauf(DRAVEL_PROGRAMM, {"dekodieren", pfad, "-P", "uart:rx=10:baudrate=115200", "-A",
                                   "uart=rx-data", "--abtastrate", "1G"});
        QVERIFY2(dravel.status == 0, qPrintable(dravel.fehler));
        const Ergebnis vergleich =
            lauf(sigrok, {"-I", "vcd", "-i", pfad, "-P", "uart:rx=Pin10_nAck:baudrate=115200", "-A",
                          "uart=rx-data", "--protocol-decoder-samplenum"});
        QCOMPARE(vergleich.status, 0);
        // "20000-28680 uart-1: 44" against "0.000020000\t0.000028680\tuart\trx-data\t44".
        QStringList erwartet;
        for (const QString& zeile : vergleich.ausgabe.split('\n', Qt::SkipEmptyParts)) {
            const QStringList teile = zeile.split(' ');
            const QStringList proben = teile[0].split('-');
            erwartet << QStringLiteral("%1 %2 %3")
                            .arg(proben[0].toLongLong(), 0, 10)
                            .arg(proben[1].toLongLong())
                            .arg(teile.mid(2).join(' '));
        }
        QStringList gefunden;
        for (const QString& zeile : dravel.ausgabe.split('\n', Qt::SkipEmptyParts)) {
            const QStringList t = zeile.split('\t');
            gefunden << QStringLiteral("%1 %2 %3")
                            .arg(qRound64(t[0].toDouble() * 1e9))
                            .arg(qRound64(t[1].toDouble() * 1e9))
                            .arg(t[4]);
        }
        QCOMPARE(gefunden.size(), 6);  // the class rx-data: one per byte
        QCOMPARE(gefunden, erwartet);
    }

    // Dravel's own decoder, as PulseView users load it: the folder it is
    // installed in as SIGROKDECODE_DIR.
    void handshakeDecoderLoadsInSigrokCli() {
        const QString sigrok = QStandardPaths::findExecutable("sigrok-cli");
        if (sigrok.isEmpty()) {
            if (qEnvironmentVariableIsSet("DRAVEL_ALLE_WERKZEUGE")) QFAIL("sigrok-cli missing");
            QSKIP("sigrok-cli fehlt (Paket sigrok-cli)");
        }
        QString vcd = "$timescale 1 ns $end\n";
        const char* namen[] = {"Pin1_nStrobe", "Pin2_D0", "Pin3_D1", "Pin4_D2", "Pin5_D3",
                               "Pin6_D4",      "Pin7_D5", "Pin8_D6", "Pin9_D7", "Pin10_nAck"};
        for (int i = 0; i < 10; ++i)
            vcd += QString("$var wire 1 %1 %2 $end\n").arg(char('a' + i)).arg(namen[i]);
        // 'A' (D0 and D6) strobed from 2 to 3 µs, acknowledged from 5 to 10 µs.
        vcd +=
            "$enddefinitions $end\n#0\n1a\n0b\n0c\n0d\n0e\n0f\n0g\n0h\n0i\n1j\n"
            "#1000\n1b\n1h\n#2000\n0a\n#3000\n1a\n#5000\n0j\n#10000\n1j\n#12000\n";
        QFile datei(ordner_.filePath("a.vcd"));
        QVERIFY(datei.open(QIODevice::WriteOnly) && datei.write(vcd.toLatin1()) > 0);
        datei.close();
        QStringList kanäle{"nstrobe=Pin1_nStrobe", "nack=Pin10_nAck"};
        for (int i = 0; i < 8; ++i) kanäle << QString("d%1=Pin%2_D%1").arg(i).arg(i + 2);
        qputenv("SIGROKDECODE_DIR",
                QFileInfo(DRAVEL_PROGRAMM).dir().filePath("../share/dravel/decoders").toUtf8());
        const Ergebnis e =
            lauf(sigrok, {"-I", "vcd", "-i", datei.fileName(), "-P",
                          "centronics:" + kanäle.join(':'), "-A", "centronics=bytes"});
        qunsetenv("SIGROKDECODE_DIR");
        QCOMPARE(e.ausgabe, QString("centronics-1: 41 (A)\n"));
    }

    // Ctrl+C ends a capture, not its decoding (here it waited for a trigger).
    void captureEndedByCtrlCIsStillDecoded() {
        QProcess p;
        QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
        umgebung.insert("XDG_RUNTIME_DIR", ordner_.path());
        p.setProcessEnvironment(umgebung);
        p.start(DRAVEL_PROGRAMM,
                {"aufnehmen", "--port", "sim", "--leitungen", "10", "--ausloeser", "10:fallend",
                 "--ausgabe", ordner_.filePath("c.vcd"), "-P", "uart:rx=10"});
        QString fehler;
        for (int i = 0; i < 400 && !fehler.contains("warte auf den Auslöser"); ++i) {
            p.waitForReadyRead(50);
            fehler += QString::fromUtf8(p.readAllStandardError());
        }
        QCOMPARE(::kill(static_cast<pid_t>(p.processId()), SIGINT), 0);
        QVERIFY(p.waitForFinished(20'000));
        fehler += QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 128 + SIGINT);
        QVERIFY2(fehler.contains("0 Annotationen bei"), qPrintable(fehler));
    }

    void refusedWithOneLineAndStatus2_data() {
        QTest::addColumn<QStringList>("argumente");
        QTest::addColumn<QString>("meldung");
        QTest::newRow("unbekannter Dekoder") << QStringList{"-P", "uat:rx=10"} << "es gibt: ac97";
        // In a capture's file 0 is no pin, though it is the index of pin 10's line.
        QTest::newRow("Pin, nicht Index")
            << QStringList{"-P", "uart:rx=0"} << "rx=0: diese Leitung gibt es nicht; es gibt: 10 ";
        QTest::newRow("fehlender Kanal")
            << QStringList{"-P", "spi:mosi=10"} << "der Kanal clk fehlt";
        QTest::newRow("Optionstyp") << QStringList{"-P", "uart:rx=10:baudrate=x"} << "ganze Zahl";
        QTest::newRow("Filter") << QStringList{"-P", "uart:rx=10", "-A", "uart=rx-daten"}
                                << "es gibt: rx-data-bits, rx-data,";
        QTest::newRow("Abtastrate")
            << QStringList{"-P", "uart:rx=10", "--abtastrate", "0"} << "von 1 bis 1G";
        QTest::newRow("ohne Dekoder") << QStringList{} << "braucht --dekoder";
        QTest::newRow("aufnehmen, Leitung nicht gewählt")
            << QStringList{"aufnehmen", "--leitungen", "11", "-P", "uart:rx=10"}
            << "rx=10: diese Leitung gibt es nicht; es gibt: 11 Busy";
    }

    void refusedWithOneLineAndStatus2() {
        QFETCH(QStringList, argumente);
        QFETCH(QString, meldung);
        const QString ausgabe = ordner_.filePath("aufnahme.vcd");
        if (argumente.value(0) == "aufnehmen") {
            argumente << "--port"
                      << "sim"
                      << "--ausgabe" << ausgabe;
        } else {
            argumente = QStringList{"dekodieren", uartDatei()} + argumente;
        }
        const Ergebnis e = lauf(DRAVEL_PROGRAMM, argumente);
        QCOMPARE(e.status, 2);
        QVERIFY2(e.fehler.count('\n') == 1, qPrintable(e.fehler));
        QVERIFY2(e.fehler.contains(meldung), qPrintable(e.fehler));
        QVERIFY(e.ausgabe.isEmpty());
        QVERIFY(!QFile::exists(ausgabe));
    }
};

QTEST_GUILESS_MAIN(DekodierenTest)
#include "tst_dekodieren.moc"
