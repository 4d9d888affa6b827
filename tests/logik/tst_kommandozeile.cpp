#include <QTest>

#include "logik/kommandozeile.h"
#include "port/port.h"
#include "port/port_meldungen.h"

Q_DECLARE_METATYPE(dravel::generator::echtzeit::Hindernis)
Q_DECLARE_METATYPE(dravel::port::StartError::Cause)

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
        QTest::newRow("ECR on the simulated port")
            << QStringList{"--port", "sim", "--ecr", "ps2"} << 2;
        QTest::newRow("ECR without a port") << QStringList{"--ecr", "ps2"} << 2;
        QTest::newRow("ECR on a loopback plug")
            << QStringList{"--port", "schleife", "--ecr", "epp"} << 2;
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
    void ecrOnlyWithRawIoAndAKnownMode_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("backend");
        QTest::addColumn<int>("modus");
        QTest::addColumn<QString>("ablehnung");
        QTest::newRow("PS/2 on raw I/O") << "PS2"
                                         << "raw" << 1 << "";
        QTest::newRow("no port chosen") << "ps2"
                                        << "" << -1 << "nur mit --port raw";
        QTest::newRow("ppdev") << "ecp"
                               << "/dev/parport0" << -1 << "nur mit --port raw";
        QTest::newRow("unknown mode") << "bidi"
                                      << "raw" << -1 << "„bidi“ ist kein Modus";
    }
    void ecrOnlyWithRawIoAndAKnownMode() {
        QFETCH(QString, name);
        QFETCH(QString, backend);
        QFETCH(int, modus);
        QFETCH(QString, ablehnung);
        const auto wahl = dravel::app::ecrWahlAus(name, backend);
        QCOMPARE(wahl.modus, modus);
        QCOMPARE(QString::fromStdString(wahl.ablehnung).isEmpty(), ablehnung.isEmpty());
        QVERIFY(QString::fromStdString(wahl.ablehnung).contains(ablehnung));
    }
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

    // The backends name the cause; the line adds the fix, which may name options.
    void startErrorLineAddsTheFixForItsCause_data() {
        using Cause = dravel::port::StartError::Cause;
        QTest::addColumn<Cause>("cause");
        QTest::addColumn<QString>("line");
        QTest::newRow("described") << Cause::Described << "Ursache. Abhilfe: eigene";
        QTest::newRow("lockdown")
            << Cause::KernelLockdown
            << "Ursache. Abhilfe: --port /dev/parportN (ppdev) oder Secure Boot abschalten";
        QTest::newRow("no capability")
            << Cause::NoRawIoCapability
            << "Ursache. Abhilfe: als root starten oder sudo setcap cap_sys_rawio+ep "
               "$(command -v dravel); ohne root: --port /dev/parportN";
        QTest::newRow("raw failed")
            << Cause::RawIoFailed << "Ursache. Abhilfe: --port /dev/parportN";
        QTest::newRow("unknown port")
            << Cause::UnknownPort
            << "Ursache. Abhilfe: --port sim, schleife, drucker, raw oder "
               "/dev/parportN (siehe --list-ports)";
        QTest::newRow("no such kernel port")
            << Cause::NoSuchKernelPort
            << "Ursache. Abhilfe: sudo modprobe parport_pc ppdev, dann --list-ports";
    }
    void startErrorLineAddsTheFixForItsCause() {
        QFETCH(dravel::port::StartError::Cause, cause);
        QFETCH(QString, line);
        const std::string text = cause == dravel::port::StartError::Cause::Described
                                     ? "Ursache. Abhilfe: eigene"
                                     : "Ursache";
        QCOMPARE(QString::fromStdString(
                     dravel::app::startMeldung(dravel::port::StartError(text, cause))),
                 line);
    }

    void messageLineNamesTheGrantThatLetsTheAddressThrough() {
        using dravel::port::Message;
        QCOMPARE(dravel::app::meldungsZeile(
                     {"Adresse", Message::Cause::AddressNotGranted, {0xFFFD, 0xFFFF}}),
                 std::string("Adresse; freigeben mit --allow-io 0xFFFD-0xFFFF."));
        QCOMPARE(dravel::app::meldungsZeile({"Reichweite", Message::Cause::GrantsLimitReach}),
                 std::string("Reichweite; weitere mit --allow-io."));
    }

    // A folder name from the environment reaches the terminal masked, also
    // a byte that is no UTF-8.
    void messageLinesMaskWhatComesFromOutside() {
        const std::string text = "XDG_RUNTIME_DIR (/a\n\x1b[2J\x9b)";
        const std::string zeile = "XDG_RUNTIME_DIR (/a\\n\\x1b[2J\\x9b)";
        QCOMPARE(dravel::app::meldungsZeile({text}), zeile);
        QCOMPARE(dravel::app::startMeldung(
                     dravel::port::StartError(text, dravel::port::StartError::Cause::Described)),
                 zeile);
    }
};

QTEST_GUILESS_MAIN(KommandozeileTest)
#include "tst_kommandozeile.moc"
