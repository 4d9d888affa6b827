// A capture reads through each hardware backend over the played kernel
// while this thread writes, as the windows do (run under ThreadSanitizer
// too). Released under the run, the backend stays until the run's reader goes.
#include <QTest>
#include <atomic>

#include "fake_system.h"
#include "logik/aufnahmemaschine.h"
#include "port/io_grants.h"
#include "port/port.h"
#include "port/ppdev_port.h"
#include "port/raw_port.h"

using namespace dravel;

class TestAufnahmeBackends : public QObject {
    Q_OBJECT

private slots:
    void captureReadsWhileAnotherThreadWrites_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<int>("basis");  // 0x300: both threads reach past the port
        for (const char* backend : {"ioperm", "/dev/port", "ppdev"}) {
            QTest::addRow("%s at its port", backend) << backend << 0x378;
            QTest::addRow("%s elsewhere", backend) << backend << 0x300;
        }
    }
    void captureReadsWhileAnotherThreadWrites() {
        QFETCH(QString, backend);
        QFETCH(int, basis);
        test::FakeSystem system;
        system.addParport0();
        std::atomic<int> außerhalb{0};  // said once, whichever thread comes first
        const port::MessageSink meldungen = [&außerhalb](const port::Message& m) {
            außerhalb += m.text.find("liest 255") != std::string::npos;
        };
        const auto zugang =
            backend == "ioperm" ? port::RawAccess::Ioperm : port::RawAccess::DevPort;
        port::installBackend(
            backend == "ppdev"
                ? port::openPpdevPort(system, "/dev/parport0", meldungen)
                : port::openRawPort(system, port::kernelGrants(system), meldungen, zugang));
        const std::size_t offen = system.openFds.size();  // the claim on /dev/parport0
        QVERIFY(offen > 0);
        {
            analysator::PortOhneMitschnitt leser;
            analysator::Programmuhr uhr;
            analysator::Aufnahmemaschine maschine(leser, uhr);
            analysator::Aufnahmeeinstellungen e;
            e.basis = static_cast<std::uint16_t>(basis);
            e.dauerNs = 0;
            maschine.starte(e);
            for (int i = 0; i < 3000; ++i) {
                Out32(0x378, static_cast<std::int16_t>(i & 0xFF));
                Out32(0x37A, static_cast<std::int16_t>(0x0C | (i & 0x03)));
                Out32(static_cast<std::int16_t>(basis), 0);
            }
            Out32(0x378, 0xA5);
            QTRY_VERIFY(maschine.aktuelle());
            const auto a = maschine.aktuelle();
            if (basis == 0x378) QTRY_COMPARE(((*a)[a->anzahl() - 1].pegel >> 2) & 0xFF, 0xA5u);
            port::releaseBackend();
            QCOMPARE(system.openFds.size(), offen);
            maschine.halte();
        }
        QCOMPARE(system.openFds.size(), std::size_t{0});
        QCOMPARE(außerhalb.load(), basis == 0x378 ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestAufnahmeBackends)
#include "tst_aufnahme_backends.moc"
