#include <QTest>

#include "app/kommandozeile.h"
#include "port/port.h"

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
};

QTEST_GUILESS_MAIN(KommandozeileTest)
#include "tst_kommandozeile.moc"
