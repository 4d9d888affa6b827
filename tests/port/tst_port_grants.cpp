#include <QTest>

#include "fake_system.h"
#include "port/digits.h"
#include "port/granted_port.h"
#include "port/io_grants.h"
#include "port/port_meldungen.h"
#include "port/port_report.h"
#include "recording_port.h"

using namespace dravel::port;
using dravel::test::FakeSystem;

class PortGrantsTest : public QObject {
    Q_OBJECT

private slots:
    // The one reader of typed numbers and of the kernel's.
    void numbersInEveryNotationWithinTheirLimit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qulonglong>("max");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qulonglong>("value");
        const qulonglong address = 0xFFFF;
        const qulonglong all = ~0ULL;
        QTest::newRow("decimal") << "888" << address << true << 888ULL;
        QTest::newRow("0x, either case") << "0X37a" << address << true << 890ULL;
        QTest::newRow("&H") << "&h378" << address << true << 888ULL;
        QTest::newRow("binary") << "0B1010" << address << true << 10ULL;
        QTest::newRow("blanks and line end around") << " \t0x378\n" << address << true << 888ULL;
        QTest::newRow("highest") << "0xFFFF" << address << true << 65535ULL;
        QTest::newRow("64 bits") << "18446744073709551615" << all << true << all;
        QTest::newRow("one above") << "65536" << address << false << 0ULL;
        QTest::newRow("digit above a small limit") << "9" << 7ULL << false << 0ULL;
        QTest::newRow("beyond 64 bits") << "18446744073709551616" << all << false << 0ULL;
        QTest::newRow("64 bits in hex and one more")
            << "0x10000000000000000" << all << false << 0ULL;
        QTest::newRow("prefix alone") << "0x" << address << false << 0ULL;
        QTest::newRow("binary digit 2") << "0b102" << address << false << 0ULL;
        QTest::newRow("sign") << "+5" << address << false << 0ULL;
        QTest::newRow("blank inside") << "0x 378" << address << false << 0ULL;
        QTest::newRow("trailing letters") << "888x" << address << false << 0ULL;
        QTest::newRow("blanks alone") << " \t" << address << false << 0ULL;
    }
    void numbersInEveryNotationWithinTheirLimit() {
        QFETCH(QString, text);
        QFETCH(qulonglong, max);
        QFETCH(bool, valid);
        QFETCH(qulonglong, value);
        const auto number = parseNumber(text.toStdString(), max);
        QCOMPARE(number.has_value(), valid);
        if (valid) QCOMPARE(*number, value);
    }

    void rangeText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("hex range") << "0xE800-0xE807" << true << 0xE800 << 0xE807;
        QTest::newRow("decimal range") << "59392-59399" << true << 0xE800 << 0xE807;
        QTest::newRow("single hex port") << "0x378" << true << 0x378 << 0x378;
        QTest::newRow("basic hex prefix") << "&HD010-&hd012" << true << 0xD010 << 0xD012;
        QTest::newRow("blanks around") << " 0xe800 - 0xe807 " << true << 0xE800 << 0xE807;
        QTest::newRow("top of the space") << "0xFFFD-0xFFFF" << true << 0xFFFD << 0xFFFF;
        QTest::newRow("backwards") << "0xE807-0xE800" << false << 0 << 0;
        QTest::newRow("beyond 16 bits") << "0xFFFF-0x10000" << false << 0 << 0;
        QTest::newRow("empty") << "" << false << 0 << 0;
        QTest::newRow("open end") << "0x378-" << false << 0 << 0;
        QTest::newRow("negative") << "-5" << false << 0 << 0;
        QTest::newRow("trailing letters") << "888x" << false << 0 << 0;
        QTest::newRow("prefix without digits") << "0x" << false << 0 << 0;
    }
    void rangeText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, first);
        QFETCH(int, last);
        const auto range = parseIoRange(text.toStdString());
        QCOMPARE(range.has_value(), valid);
        if (!valid) return;
        QCOMPARE(int(range->first), first);
        QCOMPARE(int(range->last), last);
    }

    void baseAddr_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("highBase");
        QTest::newRow("on-board with ECP") << "888\t1912\n" << true << 0x378 << 0x778;
        QTest::newRow("no high base") << "632\t0\n" << true << 0x278 << 0;
        QTest::newRow("base only") << "956\n" << true << 0x3BC << 0;
        QTest::newRow("PCI Express card") << "53264\t53256\n" << true << 0xD010 << 0xD008;
        QTest::newRow("empty") << "" << false << 0 << 0;
        QTest::newRow("zero base") << "0\t0\n" << false << 0 << 0;
        QTest::newRow("three numbers") << "888\t1912\t7\n" << false << 0 << 0;
        QTest::newRow("hexadecimal") << "0x378\t0\n" << true << 0x378 << 0;
        QTest::newRow("beyond 16 bits") << "70000\t0\n" << false << 0 << 0;
    }
    void baseAddr() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, base);
        QFETCH(int, highBase);
        const auto port = parseBaseAddr(text.toStdString());
        QCOMPARE(port.has_value(), valid);
        if (!valid) return;
        QCOMPARE(int(port->base), base);
        QCOMPARE(int(port->highBase), highBase);
    }

    void ioportsRegionsNamedParportAtAnyDepth() {
        const std::string text =
            "0000-0cf7 : PCI Bus 0000:00\n"
            "  0000-001f : dma1\n"
            "  0020-0021 : pic1\n"
            "  0378-037a : parport0\n"
            "  03c0-03df : vga+\n"
            "0778-077a : parport0\n"
            "0cf8-0cff : PCI conf1\n"
            "d000-dfff : PCI Bus 0000:03\n"
            "  d000-d007 : 0000:03:00.0\n"
            "    d000-d007 : parport1\n"
            "  d010-d017 : 0000:03:00.0\n";
        const std::vector<IoRange> expected = {{0x378, 0x37A}, {0x778, 0x77A}, {0xD000, 0xD007}};
        QVERIFY(parseIoportsParport(text) == expected);
    }

    void ioportsAsSeenWithoutRootGiveNothing() {
        // Unprivileged readers get every address as zero.
        const std::string text =
            "0000-0000 : PCI Bus 0000:00\n"
            "  0000-0000 : parport0\n"
            "0000-0000 : parport0\n";
        QVERIFY(parseIoportsParport(text).empty());
    }

    void legacyGrantsCoverOnlyTheThreeRegisters_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("covered");
        for (int base : {0x378, 0x278, 0x3BC}) {
            QTest::addRow("below 0x%X", base) << base - 1 << false;
            QTest::addRow("data 0x%X", base) << base << true;
            QTest::addRow("control 0x%X", base) << base + 2 << true;
            QTest::addRow("past 0x%X", base) << base + 3 << false;
        }
        QTest::newRow("interrupt controller") << 0x20 << false;
        QTest::newRow("PCI configuration") << 0xCF8 << false;
        QTest::newRow("ECP of 0x378 is not legacy") << 0x778 << false;
    }
    void legacyGrantsCoverOnlyTheThreeRegisters() {
        QFETCH(int, port);
        QFETCH(bool, covered);
        QCOMPARE(IoGrants::legacy().covers(static_cast<std::uint16_t>(port)), covered);
    }

    void grantsMergeOverlappingAndAdjacentRanges() {
        IoGrants grants;
        grants.add({0xE804, 0xE807});
        grants.add({0x378, 0x37A});
        grants.add({0xE800, 0xE803});
        grants.add({0xE806, 0xE80A});
        const std::vector<IoRange> expected = {{0x378, 0x37A}, {0xE800, 0xE80A}};
        QVERIFY(grants.ranges() == expected);
        QVERIFY(grants.covers(0xE80A));
        QVERIFY(!grants.covers(0xE80B));
    }

    void kernelGrantsAddEveryListedPort() {
        FakeSystem system;
        system.addParport0();
        system.directories["/proc/sys/dev/parport/"].push_back("parport1");
        system.files["/proc/sys/dev/parport/parport1/base-addr"] = "53264\t53256\n";
        system.files["/proc/ioports"] = "e800-e807 : parport2\n0020-0021 : pic1\n";
        const IoGrants grants = kernelGrants(system);
        for (int port : {0x378, 0x37A, 0x778, 0x77A, 0xD010, 0xD012, 0xD008, 0xD00A, 0xE800, 0xE807,
                         0x278, 0x3BC}) {
            QVERIFY2(grants.covers(static_cast<std::uint16_t>(port)),
                     qPrintable(QString::number(port, 16)));
        }
        for (int port : {0x20, 0x21, 0x37B, 0xD013, 0xE808, 0xCF8}) {
            QVERIFY2(!grants.covers(static_cast<std::uint16_t>(port)),
                     qPrintable(QString::number(port, 16)));
        }
    }

    void kernelPortsSkipDefaultsAndUnreadableEntries() {
        FakeSystem system;
        system.directories["/proc/sys/dev/parport/"] = {"parport2", "default", "parport0",
                                                        "parportX", "parport1"};
        system.files["/proc/sys/dev/parport/parport0/base-addr"] = "888\t1912\n";
        system.files["/proc/sys/dev/parport/parport2/base-addr"] = "53264\t0\n";
        // parport1 has no readable base-addr.
        const auto ports = kernelPorts(system);
        QCOMPARE(ports.size(), std::size_t(2));
        QCOMPARE(ports[0].number, 0);
        QCOMPARE(ports[0].device(), std::string("/dev/parport0"));
        QCOMPARE(ports[1].number, 2);
        QCOMPARE(int(ports[1].base), 0xD010);
    }

    void addressOutsideTheGrantsIsAnEmptyBus() {
        auto behind = std::make_unique<RecordingPort>();
        RecordingPort& recording = *behind;
        recording.setRegister(0x20, 0x12);
        std::vector<std::string> messages;
        GrantedPort port(std::move(behind), IoGrants::legacy(),
                         [&messages](const Message& message) {
                             messages.push_back(dravel::app::meldungsZeile(message));
                         });

        QCOMPARE(int(port.read(0x20)), 255);
        port.write(0x20, 0x11);
        port.write(0x21, 0xFF);
        QVERIFY(recording.calls().empty());
        QCOMPARE(int(recording.registerValue(0x20)), 0x12);
        QCOMPARE(messages.size(), std::size_t(1));
        QVERIFY(messages[0].find("--allow-io 0x20-0x22") != std::string::npos);

        port.write(0x378, 0xA5);
        QCOMPARE(int(port.read(0x378)), 0xA5);
        QVERIFY(recording.calls() ==
                std::vector<RecordingPort::Call>(
                    {RecordingPort::w(0x378, 0xA5), RecordingPort::r(0x378, 0xA5)}));
        QCOMPARE(messages.size(), std::size_t(1));
    }

    void reportNamesEachProblemWithItsFix_data() {
        QTest::addColumn<bool>("mayOpen");
        QTest::addColumn<bool>("lpHolds");
        QTest::addColumn<QString>("capEff");
        QTest::addColumn<QString>("lockdown");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("all well as root")
            << true << false << "000001ffffffffff"
            << "[none] integrity confidentiality"
            << QStringList{"parport0: Basis 0x378 (888), hohe Basis 0x778 (1912)",
                           "/dev/parport0: Zugriff erlaubt", "Raw-I/O (--port raw): erlaubt",
                           "Kernel-Lockdown: none"}
            << QStringList{"Abhilfe"};
        QTest::newRow("plain user not in group lp")
            << false << false << "0000000000000000"
            << "[none] integrity confidentiality"
            << QStringList{"kein Zugriff. Abhilfe: sudo usermod -aG lp $USER",
                           "CAP_SYS_RAWIO fehlt. Abhilfe: als root starten oder sudo setcap "
                           "cap_sys_rawio+ep"}
            << QStringList{"rmmod"};
        QTest::newRow("printer driver loaded")
            << true << true << "0000000000020000"
            << "[none] integrity confidentiality"
            << QStringList{"Druckertreiber lp hält den Port. Abhilfe: sudo rmmod lp",
                           "Raw-I/O (--port raw): erlaubt"}
            << QStringList{"usermod"};
        QTest::newRow("locked kernel")
            << true << false << "000001ffffffffff"
            << "none [integrity] confidentiality"
            << QStringList{"verboten durch Kernel-Lockdown", "Kernel-Lockdown: integrity"}
            << QStringList{"Raw-I/O (--port raw): erlaubt"};
    }
    void reportNamesEachProblemWithItsFix() {
        QFETCH(bool, mayOpen);
        QFETCH(bool, lpHolds);
        QFETCH(QString, capEff);
        QFETCH(QString, lockdown);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, absent);
        FakeSystem system;
        system.addParport0();
        system.devices["/dev/parport0"].mayReadWrite = mayOpen;
        system.files["/proc/sys/dev/parport/parport0/irq"] = "7\n";
        if (lpHolds) system.directories["/proc/sys/dev/parport/parport0/devices"].push_back("lp");
        system.files["/proc/self/status"] =
            "Name:\tdravel\nCapEff:\t" + capEff.toStdString() + "\nCapBnd:\t000001ffffffffff\n";
        system.files["/sys/kernel/security/lockdown"] = lockdown.toStdString() + "\n";
        const QString report =
            QString::fromStdString(dravel::app::portBericht(examinePorts(system)));
        for (const QString& text : expected) QVERIFY2(report.contains(text), qPrintable(report));
        for (const QString& text : absent) QVERIFY2(!report.contains(text), qPrintable(report));
    }

    // The verdict is what --port raw will do: ioperm, else /dev/port.
    void reportSaysRawIoOnlyWhereItWillWork_data() {
        QTest::addColumn<bool>("devPort");
        QTest::addColumn<QString>("expected");
        QTest::newRow("neither ioperm nor /dev/port")
            << false << "Raw-I/O (--port raw): nicht möglich";
        QTest::newRow("/dev/port without ioperm") << true << "Raw-I/O (--port raw): erlaubt";
    }
    void reportSaysRawIoOnlyWhereItWillWork() {
        QFETCH(bool, devPort);
        QFETCH(QString, expected);
        FakeSystem system;
        system.iopermError = ENOSYS;
        if (devPort) system.devices["/dev/port"] = {};
        system.files["/proc/self/status"] = "CapEff:\t0000000000020000\n";
        const QString report =
            QString::fromStdString(dravel::app::portBericht(examinePorts(system)));
        QVERIFY2(report.contains(expected), qPrintable(report));
    }

    void reportWithoutAnyPortSaysHowToLoadTheDriver() {
        FakeSystem system;
        const std::string report = dravel::app::portBericht(examinePorts(system));
        QVERIFY(report.find("keinen Parallelport. Abhilfe: sudo modprobe parport_pc") !=
                std::string::npos);
        QVERIFY(report.find("Raw-I/O (--port raw): nicht erlaubt") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(PortGrantsTest)
#include "tst_port_grants.moc"
