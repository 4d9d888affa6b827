// The data-direction check through the bound port: a port that honours
// control bit 5, one that ignores it (the latch reads back), and an address
// where there is no port; each left as it was found.
#include <QTest>
#include <memory>

#include "port/direction_test.h"
#include "port/port.h"
#include "port/simulated_port.h"
#include "recording_port.h"

using namespace dravel::port;
using Verdict = DirectionResult::Verdict;

class DirectionTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { releaseBackend(); }

    void directionCheckTellsWhatThePortDoes_data() {
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("steuer");  // the control register found
        QTest::newRow("port honouring bit 5") << true << 0x378 << int(Verdict::Works) << 0x04;
        QTest::newRow("port ignoring bit 5") << false << 0x378 << int(Verdict::Ignored) << 0x04;
        QTest::newRow("no port at the address") << true << 0x278 << int(Verdict::NoPort) << 0x04;
        QTest::newRow("lines found as inputs") << true << 0x378 << int(Verdict::Works) << 0x24;
    }
    void directionCheckTellsWhatThePortDoes() {
        QFETCH(bool, simulated);
        QFETCH(int, base);
        QFETCH(int, verdict);
        QFETCH(int, steuer);
        if (simulated) {
            installBackend(std::make_unique<SimulatedPort>());
        } else {
            installBackend(std::make_unique<RecordingPort>());
        }
        const auto address = static_cast<std::int16_t>(base);
        const auto steuerregister = static_cast<std::int16_t>(base + 2);
        Out32(steuerregister, 0x04);
        Out32(address, 0x3C);
        Out32(steuerregister, static_cast<std::int16_t>(steuer));
        const DirectionResult result = testDataDirection(static_cast<std::uint16_t>(base));
        QCOMPARE(int(result.verdict), verdict);
        if (verdict != int(Verdict::NoPort)) {
            QCOMPARE(Inp32(steuerregister) & 0x2F, steuer);
            // The latch, read while the lines drive.
            Out32(steuerregister, 0x04);
            QCOMPARE(Inp32(address), 0x3C);
        }
    }
};

QTEST_GUILESS_MAIN(DirectionTest)
#include "tst_direction.moc"
