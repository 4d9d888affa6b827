// "dravel drucken" against the simulated printer, as the real program
// without a display, each case with a runtime folder of its own.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class DruckenTest : public QObject {
    Q_OBJECT

    struct Lauf {
        int status = -1;
        QString aus;
        QString fehler;
    };

    static void starte(QProcess& programm, const QTemporaryDir& ordner,
                       const QStringList& argumente) {
        QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            umgebung.remove(QString::fromLatin1(name));
        }
        umgebung.insert(QStringLiteral("XDG_RUNTIME_DIR"), ordner.path());
        programm.setProcessEnvironment(umgebung);
        programm.start(DRAVEL_PROGRAMM, QStringList{"--port", "drucker"} + argumente);
    }
    static Lauf ende(QProcess& programm) {
        Lauf l;
        if (!programm.waitForFinished(20000)) return l;
        l.status = programm.exitCode();
        l.aus = QString::fromUtf8(programm.readAllStandardOutput());
        l.fehler = QString::fromUtf8(programm.readAllStandardError());
        return l;
    }
    static Lauf führeAus(const QTemporaryDir& ordner, const QStringList& argumente) {
        QProcess programm;
        starte(programm, ordner, argumente);
        return ende(programm);
    }
    static QString schreibeDatei(const QTemporaryDir& ordner, const QByteArray& inhalt) {
        QFile datei(ordner.filePath("daten.bin"));
        if (!datei.open(QIODevice::WriteOnly) || datei.write(inhalt) != inhalt.size()) return {};
        return datei.fileName();
    }

private slots:
    // A capture in another process sees the printer's handshake at its
    // times: the decoder gives back every byte sent, with no timing fault,
    // and the printer's file holds them too.
    void captureOfAPrintJobDecodesToTheBytesSent() {
        QTemporaryDir ordner;
        const QByteArray inhalt("Dravel\x01\xFF\n", 9);
        const QString datei = schreibeDatei(ordner, inhalt);
        QProcess aufnahme;
        starte(
            aufnahme, ordner,
            {"aufnehmen", "--leitungen", "1-11", "--ausloeser", "1:fallend", "--vorlauf", "10",
             "--dauer", "0.05", "--abtastrate", "100M", "--ausgabe", ordner.filePath("d.vcd"), "-P",
             "centronics:nstrobe=1:d0=2:d1=3:d2=4:d3=5:d4=6:d5=7:d6=8:d7=9:nack=10:busy=11", "-A",
             "centronics=bytes:fehler"});
        QString gelesen;
        for (int i = 0; i < 400 && !gelesen.contains("Auslöser"); ++i) {
            aufnahme.waitForReadyRead(50);
            gelesen += QString::fromUtf8(aufnahme.readAllStandardError());
        }
        QVERIFY2(gelesen.contains("Auslöser"), qPrintable(gelesen));
        const Lauf druck = führeAus(ordner, {"drucken", datei});
        QVERIFY2(druck.status == 0, qPrintable(druck.fehler));
        const Lauf aufgenommen = ende(aufnahme);
        QVERIFY2(aufgenommen.status == 0, qPrintable(gelesen + aufgenommen.fehler));
        QByteArray bytes;
        for (const QString& zeile : aufgenommen.aus.split('\n', Qt::SkipEmptyParts)) {
            const QStringList felder = zeile.split('\t');
            QVERIFY2(felder.size() == 5 && felder[3] == "bytes", qPrintable(zeile));
            bytes.append(char(felder[4].left(2).toUInt(nullptr, 16)));
        }
        QCOMPARE(bytes, inhalt);
        QFile ausgedruckt(ordner.filePath("dravel/drucker-0x378.out"));
        QVERIFY(ausgedruckt.open(QIODevice::ReadOnly));
        QCOMPARE(ausgedruckt.readAll(), inhalt);
    }

    // A printer that cannot take the bytes, before the job or in its
    // middle, ends it with the reason and the bytes sent, which are the
    // bytes the printer took; status 1. The printer stays so.
    void printerFaultEndsTheJob_data() {
        QTest::addColumn<QString>("zustand");
        QTest::addColumn<bool>("mitten");
        QTest::addColumn<QString>("grund");
        QTest::newRow("stays busy")
            << "beschaeftigt" << false << "Zeitüberschreitung: der Drucker blieb 0,3 s beschäftigt";
        QTest::newRow("paper out") << "papier-leer" << false << "Papier leer (PError hoch)";
        QTest::newRow("offline") << "offline" << false << "Drucker offline (Select tief)";
        QTest::newRow("paper runs out") << "papier-leer" << true << "Papier leer (PError hoch)";
        QTest::newRow("goes offline") << "offline" << true << "Drucker offline (Select tief)";
    }
    void printerFaultEndsTheJob() {
        QFETCH(QString, zustand);
        QFETCH(bool, mitten);
        QFETCH(QString, grund);
        QTemporaryDir ordner;
        const QString datei = schreibeDatei(ordner, QByteArray(1'000'000, 'x'));
        QFile ausgedruckt(ordner.filePath("dravel/drucker-0x378.out"));
        if (!mitten) QCOMPARE(führeAus(ordner, {"drucker", zustand}).status, 0);
        QProcess druck;
        starte(druck, ordner, {"drucken", "--zeitlimit", "0.3", datei});
        if (mitten) {
            for (int i = 0; i < 400 && ausgedruckt.size() == 0; ++i) QTest::qWait(10);
            QCOMPARE(führeAus(ordner, {"drucker", zustand}).status, 0);
        }
        const Lauf l = ende(druck);
        QCOMPARE(l.status, 1);
        const QString gesendet = l.fehler.section("; ", 1).section(' ', 0, 0);
        QVERIFY2(l.fehler.startsWith("dravel: " + grund + "; ") &&
                     l.fehler.endsWith(" von 1000000 Bytes gesendet.\n"),
                 qPrintable(l.fehler));
        QCOMPARE(gesendet.toLongLong(), ausgedruckt.size());
        QVERIFY(ausgedruckt.size() < 1'000'000 && (ausgedruckt.size() > 0) == mitten);
        // The state stays until another is set.
        const Lauf nochmal = führeAus(ordner, {"drucken", "--zeitlimit", "0.3", datei});
        QVERIFY2(nochmal.fehler.startsWith("dravel: " + grund + "; 0 von"),
                 qPrintable(nochmal.fehler));
    }
};

QTEST_MAIN(DruckenTest)
#include "tst_drucken.moc"
