// A capture reads through each hardware backend, over the played kernel,
// while this thread writes the same port as the windows do: built and run
// under ThreadSanitizer as well. The capture keeps its backend even when the
// bound one is released under it.
#include <QTest>
#include <atomic>
#include <string>

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
        QTest::addColumn<int>("basis");  // where the capture looks
        for (const char* backend : {"ioperm", "/dev/port", "ppdev"}) {
            QTest::addRow("%s at its port", backend) << backend << 0x378;
            // Both threads reach past the port: each may be the first to
            // say so, and it is said once.
            QTest::addRow("%s elsewhere", backend) << backend << 0x300;
        }
    }

    void captureReadsWhileAnotherThreadWrites() {
        QFETCH(QString, backend);
        QFETCH(int, basis);
        test::FakeSystem system;
        system.addParport0();
        std::atomic<int> außerhalb{0};
        const port::MessageSink meldungen = [&außerhalb](const port::Message& m) {
            if (m.text.find("liest 255") != std::string::npos) ++außerhalb;
        };
        if (backend == QLatin1String("ppdev")) {
            port::installBackend(port::openPpdevPort(system, "/dev/parport0", meldungen));
        } else {
            port::installBackend(port::openRawPort(system, port::kernelGrants(system), meldungen,
                                                   backend == QLatin1String("ioperm")
                                                       ? port::RawAccess::Ioperm
                                                       : port::RawAccess::DevPort));
        }
        const std::size_t offen = system.openFds.size();
        QVERIFY(offen > 0);  // the claim on /dev/parport0, for raw I/O too
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
            if (basis == 0x378) {
                QTRY_COMPARE(int(((*a)[a->anzahl() - 1].pegel >> 2) & 0xFF), 0xA5);
            }
            // Released under the running capture, the backend stays until
            // the capture's reader goes: its device is still open.
            port::releaseBackend();
            QCOMPARE(system.openFds.size(), offen);
            maschine.halte();
            QCOMPARE(a->ende(), analysator::Ende::Halt);
        }
        QCOMPARE(system.openFds.size(), std::size_t{0});
        QCOMPARE(außerhalb.load(), basis == 0x378 ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestAufnahmeBackends)
#include "tst_aufnahme_backends.moc"
