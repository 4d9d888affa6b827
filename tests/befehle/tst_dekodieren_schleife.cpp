// Serial streams played by muster on the loopback plug, captured and decoded
// by aufnehmen in another process: the decoders find the bytes sent.
#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

namespace {

using Folgen = std::pair<QString, QString>;  // the levels of two lines, a step each

QString bits(const QByteArray& bytes, bool lsbZuerst) {
    QString s;
    for (const char c : bytes) {
        for (int k = 0; k < 8; ++k) s += QChar(u'0' + ((c >> (lsbZuerst ? k : 7 - k)) & 1));
    }
    return s;
}

// 8N1, idle high.
QString uart(const QByteArray& bytes) {
    QString s = "11";
    for (const char c : bytes) s += u'0' + bits(QByteArray(1, c), true) + u'1';
    return s + "11";
}

// Mode 0, MSB first: MOSI set while the clock is low, read as it rises.
Folgen spi(const QByteArray& bytes) {
    Folgen takt{"00", "00"};  // clock, MOSI
    for (const QChar b : bits(bytes, false)) {
        takt.first += "01";
        takt.second += QString(2, b);
    }
    return takt;
}

// A write of `bytes` to the 7-bit address `adresse`, each byte acknowledged.
// Only one line changes per step: SDA while SCL is low, but for the start
// and stop conditions.
Folgen i2c(char adresse, const QByteArray& bytes) {
    Folgen f{"1100", "1110"};  // SDA, SCL: idle, start, SCL low
    QString daten;
    for (const char c : QByteArray(1, char(adresse << 1)) + bytes) {
        daten += bits(QByteArray(1, c), false) + u'0';
    }
    for (const QChar b : daten) {
        f.first += QString(3, b);
        f.second += "010";
    }
    f.first += "0011";  // stop
    f.second += "0111";
    return f;
}

}  // namespace

class DekodierenSchleifeTest : public QObject {
    Q_OBJECT

private slots:
    // Arguments of muster and of aufnehmen, each split at spaces.
    void streamOnLoopbackDecodesToBytesSent_data() {
        QTest::addColumn<QString>("muster");
        QTest::addColumn<QString>("aufnahme");
        QTest::addColumn<QStringList>("erwartet");
        // D3 drives pin 10 (/Ack), D0 pin 15 (/Error); the capture shows levels.
        QTest::newRow("UART") << uart("Hi!") + " --leitung 3"
                              << "--leitungen 10 --ausloeser 10:fallend "
                                 "-P uart:rx=10:baudrate=100 -A uart=rx-data"
                              << QStringList{"48", "69", "21"};
        // The two lines of a step are written nanoseconds apart, which the
        // automatic rate would resolve at a billion samples a second.
        const Folgen s = spi("\xA5\x0F");
        QTest::newRow("SPI") << s.first + " --leitung 0 --bitfolge2 " + s.second + " --leitung2 3"
                             << "--leitungen 10,15 --ausloeser 15:steigend "
                                "-P spi:clk=15:mosi=10 -A spi=mosi-data --abtastrate 100k"
                             << QStringList{"A5", "0F"};
        const Folgen i = i2c(0x50, "\x12\xC3");
        QTest::newRow("I2C") << i.first + " --leitung 3 --bitfolge2 " + i.second + " --leitung2 0"
                             << "--leitungen 10,15 --ausloeser 10:fallend -P i2c:sda=10:scl=15 "
                                "-A i2c=address-write:data-write --abtastrate 100k"
                             << QStringList{"Address write: 50", "Write", "Data write: 12",
                                            "Data write: C3"};  // "Write": the R/W bit
    }

    void streamOnLoopbackDecodesToBytesSent() {
        QFETCH(QString, muster);
        QFETCH(QString, aufnahme);
        QFETCH(QStringList, erwartet);
        QTemporaryDir ordner;  // a port of its own, at its power-on levels
        QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
        umgebung.insert("XDG_RUNTIME_DIR", ordner.path());
        QProcess aufnehmen, spielen;
        aufnehmen.setProcessEnvironment(umgebung);
        spielen.setProcessEnvironment(umgebung);
        // Ended by Ctrl+C once the pattern is played; the lead-in before the
        // trigger holds the idle levels the decoders start from.
        aufnehmen.start(DRAVEL_PROGRAMM, QStringList{"--port", "schleife", "aufnehmen", "--dauer",
                                                     "100", "--ausgabe", ordner.filePath("a.vcd")} +
                                             aufnahme.split(' '));
        QString fehler;
        for (int i = 0; i < 400 && !fehler.contains("warte auf den Auslöser"); ++i) {
            aufnehmen.waitForReadyRead(50);
            fehler += QString::fromUtf8(aufnehmen.readAllStandardError());
        }
        QVERIFY2(fehler.contains("warte auf den Auslöser"), qPrintable(fehler));
        // UART reads a bit in its middle: at 10 ms a step may come 5 ms late
        // on a busy machine, and real-time scheduling, where permitted, keeps
        // it closer (without it the program says so and plays on).
        spielen.start(DRAVEL_PROGRAMM, QStringList{"--echtzeit", "--port", "schleife", "muster",
                                                   "--zeitbasis", "10", "--durchlaeufe", "1"} +
                                           muster.split(' '));
        QVERIFY(spielen.waitForFinished(60'000));
        QCOMPARE(spielen.exitCode(), 0);
        QCOMPARE(::kill(pid_t(aufnehmen.processId()), SIGINT), 0);
        QVERIFY(aufnehmen.waitForFinished(60'000));
        fehler += QString::fromUtf8(aufnehmen.readAllStandardError());
        QVERIFY2(aufnehmen.exitCode() == 128 + SIGINT, qPrintable(fehler));
        // "0.030000050\t0.244512830\ti2c\taddr-data\tAddress write: 50"
        QStringList texte;
        for (const QString& zeile :
             QString::fromUtf8(aufnehmen.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
            texte << zeile.section('\t', 4);
        }
        QCOMPARE(texte, erwartet);
    }
};

QTEST_GUILESS_MAIN(DekodierenSchleifeTest)
#include "tst_dekodieren_schleife.moc"
