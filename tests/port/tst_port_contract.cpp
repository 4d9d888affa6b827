// The two port routines' contract and the simulated port behind them.
#include <QTest>
#include <memory>

#include "port/port.h"
#include "recording_port.h"
#include "port/simulated_port.h"

using namespace dravel::port;
using Call = RecordingPort::Call;

class TestPortContract : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { releaseBackend(); }
    void addressIsTakenAsIts16BitPattern();
    void onlyTheLowByteIsWrittenAndCounted();
    void simulatedPortIsTheDefault();
    void simulatedDataLatchesAndReadsOutsideLinesWhenInput();
    void simulatedControlKeepsSixBitsAndReadsTopBitsHigh();
    void simulatedStatusIsIdleAndOtherAddressesAreEmptyBus_data();
    void simulatedStatusIsIdleAndOtherAddressesAreEmptyBus();
    void simulatedPortAtAnotherBase();
    void loopbackStatusFollowsDataLines_data();
    void loopbackStatusFollowsDataLines();
};

void TestPortContract::addressIsTakenAsIts16BitPattern() {
    auto aufzeichnung = std::make_unique<RecordingPort>();
    auto* port = aufzeichnung.get();
    installBackend(std::move(aufzeichnung));
    Out32(-1, 1);
    Out32(-6144, 2);  // 0xE800, where PCI Express cards live
    Out32(888, 3);
    Inp32(-32768);
    QCOMPARE(port->calls(),
             (std::vector<Call>{RecordingPort::w(65535, 1), RecordingPort::w(0xE800, 2),
                                RecordingPort::w(888, 3), RecordingPort::r(0x8000, 0xFF)}));
}

void TestPortContract::onlyTheLowByteIsWrittenAndCounted() {
    auto aufzeichnung = std::make_unique<RecordingPort>();
    auto* port = aufzeichnung.get();
    installBackend(std::move(aufzeichnung));
    const auto vorher = valuesOutsideByte();
    Out32(888, 255);
    Out32(888, 0);
    QCOMPARE(valuesOutsideByte(), vorher);
    Out32(888, 0x1234);
    Out32(888, -1);
    QCOMPARE(valuesOutsideByte(), vorher + 2);
    QCOMPARE(port->writes().at(2).value, std::uint8_t(0x34));
    QCOMPARE(port->writes().at(3).value, std::uint8_t(0xFF));
    QCOMPARE(Inp32(888), std::int16_t(0xFF));  // results stay 0..255
}

void TestPortContract::simulatedPortIsTheDefault() {
    QCOMPARE(Inp32(890), std::int16_t(0xCC));
    QVERIFY(dynamic_cast<SimulatedPort*>(boundBackend()));
}

void TestPortContract::simulatedDataLatchesAndReadsOutsideLinesWhenInput() {
    SimulatedPort port;
    QCOMPARE(port.read(0x378), std::uint8_t(0x00));  // power-on
    port.write(0x378, 0xA5);
    QCOMPARE(port.read(0x378), std::uint8_t(0xA5));
    port.write(0x37A, 0x2C);  // bit 5: lines are inputs, nothing attached
    QCOMPARE(port.read(0x378), std::uint8_t(0xFF));
    port.write(0x378, 0x11);  // the latch still takes it
    port.write(0x37A, 0x0C);
    QCOMPARE(port.read(0x378), std::uint8_t(0x11));
}

void TestPortContract::simulatedControlKeepsSixBitsAndReadsTopBitsHigh() {
    SimulatedPort port;
    QCOMPARE(port.read(0x37A), std::uint8_t(0xCC));
    port.write(0x37A, 0x00);
    QCOMPARE(port.read(0x37A), std::uint8_t(0xC0));
    port.write(0x37A, 0x3F);
    QCOMPARE(port.read(0x37A), std::uint8_t(0xFF));
    port.write(0x37A, 0x15);
    QCOMPARE(port.read(0x37A), std::uint8_t(0xD5));
}

void TestPortContract::simulatedStatusIsIdleAndOtherAddressesAreEmptyBus_data() {
    QTest::addColumn<int>("adresse");
    QTest::addColumn<int>("wert");
    QTest::newRow("status") << 0x379 << 0x78;
    QTest::newRow("below base") << 0x377 << 0xFF;
    QTest::newRow("ECP space") << 0x778 << 0xFF;
    QTest::newRow("other LPT") << 0x278 << 0xFF;
    QTest::newRow("port 0") << 0 << 0xFF;
    QTest::newRow("port 65535") << 65535 << 0xFF;
}

void TestPortContract::simulatedStatusIsIdleAndOtherAddressesAreEmptyBus() {
    QFETCH(int, adresse);
    QFETCH(int, wert);
    SimulatedPort port;
    port.write(std::uint16_t(adresse), 0x00);  // ignored everywhere but data and control
    port.write(0x379, 0x00);                   // status is read-only
    QCOMPARE(int(port.read(std::uint16_t(adresse))), wert);
    QCOMPARE(port.read(0x378), std::uint8_t(0x00));
}

void TestPortContract::simulatedPortAtAnotherBase() {
    SimulatedPort port(0xFFFE);  // the registers wrap around the top of the space
    port.write(0xFFFE, 0x42);
    QCOMPARE(port.read(0xFFFE), std::uint8_t(0x42));
    QCOMPARE(port.read(0xFFFF), SimulatedPort::kIdleStatus);
    QCOMPARE(port.read(0x0000), std::uint8_t(0xCC));
    QCOMPARE(port.read(0x378), std::uint8_t(0xFF));
}

void TestPortContract::loopbackStatusFollowsDataLines_data() {
    QTest::addColumn<int>("daten");
    QTest::addColumn<int>("steuer");
    QTest::addColumn<int>("status");
    // Busy (bit 7) reads inverted: it is 1 while D4 is low.
    QTest::newRow("all low") << 0x00 << 0x0C << 0x80;
    QTest::newRow("D0 to pin 15 /Error, bit 3") << 0x01 << 0x0C << 0x88;
    QTest::newRow("D1 to pin 13 Select, bit 4") << 0x02 << 0x0C << 0x90;
    QTest::newRow("D2 to pin 12 PaperOut, bit 5") << 0x04 << 0x0C << 0xA0;
    QTest::newRow("D3 to pin 10 /Ack, bit 6") << 0x08 << 0x0C << 0xC0;
    QTest::newRow("D4 to pin 11 Busy, bit 7") << 0x10 << 0x0C << 0x00;
    QTest::newRow("D5 to D7 are not wired") << 0xE0 << 0x0C << 0x80;
    QTest::newRow("data lines as inputs float high") << 0x00 << 0x2C << 0x78;
}

void TestPortContract::loopbackStatusFollowsDataLines() {
    QFETCH(int, daten);
    QFETCH(int, steuer);
    QFETCH(int, status);
    SimulatedPort port(0x278, SimulatedPort::Plug::Loopback);
    port.write(0x278, std::uint8_t(daten));
    port.write(0x27A, std::uint8_t(steuer));
    QCOMPARE(int(port.read(0x279)), status);
}

QTEST_APPLESS_MAIN(TestPortContract)
#include "tst_port_contract.moc"
