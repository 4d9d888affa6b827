#include <QTest>

#include "app/kommandozeile.h"
#include "port/port.h"

Q_DECLARE_METATYPE(dravel::generator::echtzeit::Hindernis)

// Only what is safe on any machine: no option here opens real hardware.
class KommandozeileTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { dravel::app::räumeAuf(); }

    void endsBeforeAnyWindow_data() {
        QTest::addColumn<QStringList>("argumente");
        QTest::addColumn<int>("status");
        QTest::newRow("help") << QStringList{"--help"} << 0;
        QTest::newRow("version") << QStringList{"--version"} << 0;
        QTest::newRow("unknown option") << QStringList{"--portt", "raw"} << 2;
        QTest::newRow("port without backend") << QStringList{"--port"} << 2;
        QTest::newRow("unknown backend") << QStringList{"--port", "lpt1"} << 2;
        QTest::newRow("empty backend") << QStringList{"--port", ""} << 2;
        QTest::newRow("not a range") << QStringList{"--allow-io", "0xE807-0xE800"} << 2;
        QTest::newRow("bad range before a good backend")
            << QStringList{"--allow-io", "E800", "--port", "raw"} << 2;
        QTest::newRow("stray argument") << QStringList{"888"} << 2;
    }
    void endsBeforeAnyWindow() {
        QFETCH(QStringList, argumente);
        QFETCH(int, status);
        argumente.prepend(QStringLiteral("dravel"));
        const auto ende = dravel::app::werteKommandozeileAus(argumente);
        QVERIFY(ende.has_value());
        QCOMPARE(*ende, status);
        QVERIFY(dravel::port::boundBackend() == nullptr);
    }

    void withoutPortTheSimulatedPortIsBound() {
        const auto ende = dravel::app::werteKommandozeileAus({QStringLiteral("dravel")});
        QVERIFY(!ende.has_value());
        auto* backend = dravel::port::boundBackend();
        QVERIFY(backend != nullptr);
        QVERIFY(QString::fromStdString(backend->name()).startsWith(QStringLiteral("simuliert")));
        Out32(0x378, 0x5A);
        QCOMPARE(Inp32(0x378), std::int16_t(0x5A));
        dravel::app::räumeAuf();
        QVERIFY(dravel::port::boundBackend() == nullptr);
    }

    // The real-time check reports only what is missing; the line the user
    // reads names the option and the fix.
    void realTimeHintNamesTheOptionAndTheFix_data() {
        using dravel::generator::echtzeit::Hindernis;
        QTest::addColumn<Hindernis>("hindernis");
        QTest::addColumn<QString>("fix");
        QTest::newRow("no scheduling") << Hindernis::KeinEchtzeitrecht << "rtprio 40";
        QTest::newRow("no locking") << Hindernis::KeinSpeichersperren << "memlock unlimited";
    }
    void realTimeHintNamesTheOptionAndTheFix() {
        QFETCH(dravel::generator::echtzeit::Hindernis, hindernis);
        QFETCH(QString, fix);
        const QString zeile = QString::fromStdString(dravel::app::echtzeitHinweis(hindernis));
        QVERIFY2(zeile.startsWith(QStringLiteral("--echtzeit")), qPrintable(zeile));
        QVERIFY2(zeile.contains(QStringLiteral("Abhilfe: ")) && zeile.contains(fix),
                 qPrintable(zeile));
        QVERIFY(
            dravel::app::echtzeitHinweis(dravel::generator::echtzeit::Hindernis::Keines).empty());
    }
};

QTEST_GUILESS_MAIN(KommandozeileTest)
#include "tst_kommandozeile.moc"
