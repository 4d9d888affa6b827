#include <sys/ioctl.h>

#include <linux/ppdev.h>

#include <QTest>
#include <algorithm>
#include <cerrno>

#include "fake_system.h"
#include "port/io_grants.h"
#include "port/port_meldungen.h"
#include "port/ppdev_port.h"
#include "port/raw_port.h"
#include "port/start_error.h"

using namespace dravel::port;
using dravel::test::FakeSystem;

namespace {

struct Messages {
    std::vector<std::string> lines;
    MessageSink sink() {
        return [this](const Message& message) {
            lines.push_back(dravel::app::meldungsZeile(message));
        };
    }
};

// The start error's line as the user reads it, or "" when the backend started.
template <typename Open>
QString startError(Open open) {
    try {
        open();
    } catch (const StartError& error) {
        return QString::fromStdString(dravel::app::startMeldung(error));
    }
    return {};
}

bool allIopermClosed(const FakeSystem& system) {
    return std::all_of(system.iopermOpen.begin(), system.iopermOpen.end(),
                       [](const auto& entry) { return entry.second == 0; });
}

}  // namespace

class PortHardwareTest : public QObject {
    Q_OBJECT

private slots:
    void ppdevRegistersAppearAtTheirOwnBase() {
        FakeSystem system;
        system.addParport0();
        Messages messages;
        auto port = openPpdevPort(system, "/dev/parport0", messages.sink());
        QCOMPARE(QString::fromStdString(port->name()), QStringLiteral("ppdev /dev/parport0"));

        port->write(0x378, 0x5A);
        QCOMPARE(int(system.ppData), 0x5A);
        QCOMPARE(int(port->read(0x378)), 0x5A);
        system.ppStatus = 0xD8;
        QCOMPARE(int(port->read(0x379)), 0xD8);
        port->write(0x379, 0x00);  // nothing to write there
        QCOMPARE(int(system.ppStatus), 0xD8);
        port->write(0x37A, 0x0D);
        QCOMPARE(int(system.ppControl & 0x0F), 0x0D);
        QCOMPARE(int(port->read(0x37A)), 0x0D);
    }

    void ppdevShadowsWhatItCannotReach_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("toDriver");   // bits 0..3 handed to PPWCONTROL
        QTest::addColumn<int>("direction");  // last PPDATADIR argument
        QTest::addColumn<int>("readBack");
        QTest::newRow("interrupt enable") << 0x10 << 0x00 << 0 << 0x10;
        QTest::newRow("direction in") << 0x24 << 0x04 << 1 << 0x24;
        QTest::newRow("bits 6 and 7") << 0xC1 << 0x01 << 0 << 0xC1;
        QTest::newRow("everything") << 0xFF << 0x0F << 1 << 0xFF;
    }
    void ppdevShadowsWhatItCannotReach() {
        QFETCH(int, written);
        QFETCH(int, toDriver);
        QFETCH(int, direction);
        QFETCH(int, readBack);
        FakeSystem system;
        system.addParport0();
        auto port = openPpdevPort(system, "/dev/parport0", {});
        port->write(0x37A, static_cast<std::uint8_t>(written));
        QCOMPARE(int(system.ppControl), toDriver);
        QCOMPARE(system.ppDirection, direction);
        QCOMPARE(int(port->read(0x37A)), readBack);
    }

    void ppdevInterruptBitIsTheDrivers_data() {
        QTest::addColumn<QString>("irqFile");  // "" for none
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("readBack");
        QTest::addColumn<QString>("note");
        QTest::newRow("port with IRQ, bit 4 written 0") << "7\n"
                                                        << 0x0C << 0x1C << "hält der Treiber auf 1";
        QTest::newRow("port with IRQ, bit 4 written 1") << "7\n"
                                                        << 0x1C << 0x1C << "hält der Treiber auf 1";
        QTest::newRow("port without IRQ, bit 4 written 1")
            << "-1\n"
            << 0x1C << 0x0C << "hält der Treiber auf 0";
        QTest::newRow("kernel does not say") << "" << 0x1C << 0x1C << "erreicht ppdev nicht";
        QTest::newRow("unreadable IRQ text") << "x\n" << 0x0C << 0x0C << "erreicht ppdev nicht";
    }
    void ppdevInterruptBitIsTheDrivers() {
        QFETCH(QString, irqFile);
        QFETCH(int, written);
        QFETCH(int, readBack);
        QFETCH(QString, note);
        FakeSystem system;
        system.addParport0();
        if (!irqFile.isEmpty()) {
            system.files["/proc/sys/dev/parport/parport0/irq"] = irqFile.toStdString();
        }
        Messages messages;
        auto port = openPpdevPort(system, "/dev/parport0", messages.sink());
        port->write(0x37A, static_cast<std::uint8_t>(written));
        QCOMPARE(int(port->read(0x37A)), readBack);
        QCOMPARE(messages.lines.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(messages.lines[0]).contains(note),
                 messages.lines[0].c_str());
    }

    void ppdevDirectionGoesBackOut() {
        FakeSystem system;
        system.addParport0();
        auto port = openPpdevPort(system, "/dev/parport0", {});
        QCOMPARE(system.ppDirection, 0);  // forward from the start
        port->write(0x37A, 0x2C);
        QCOMPARE(system.ppDirection, 1);
        port->write(0x37A, 0x0C);
        QCOMPARE(system.ppDirection, 0);
        QCOMPARE(int(port->read(0x37A)), 0x0C);
    }

    void ppdevRefusedDirectionIsNotShownAsSet() {
        FakeSystem system;
        system.addParport0();
        system.dataDirError = EIO;
        auto port = openPpdevPort(system, "/dev/parport0", {});
        port->write(0x37A, 0x24);
        QCOMPARE(int(port->read(0x37A)), 0x04);
    }

    void ppdevSaysOnceWhichBitsAreShadowed() {
        FakeSystem system;
        system.addParport0();
        Messages messages;
        auto port = openPpdevPort(system, "/dev/parport0", messages.sink());
        port->write(0x37A, 0x30);
        port->read(0x37A);
        QCOMPARE(messages.lines.size(), std::size_t(1));
        const QString line = QString::fromStdString(messages.lines[0]);
        QVERIFY(line.contains(QStringLiteral("Steuerbit 4")));
        QVERIFY(line.contains(QStringLiteral("Bits 6 und 7")));
        QVERIFY(line.contains(QStringLiteral("Bit 5")));
    }

    void ppdevOtherAddressesAreAnEmptyBus() {
        FakeSystem system;
        system.addParport0();
        Messages messages;
        auto port = openPpdevPort(system, "/dev/parport0", messages.sink());
        const auto ioctlsBefore = system.ioctls.size();
        QCOMPARE(int(port->read(0x278)), 255);
        QCOMPARE(int(port->read(0x377)), 255);
        port->write(0x37B, 0x00);
        port->write(0x20, 0x11);
        QCOMPARE(system.ioctls.size(), ioctlsBefore);
        QCOMPARE(messages.lines.size(), std::size_t(2));  // shadow note, then one for these
        QVERIFY(messages.lines[1].find("0x278") != std::string::npos);
    }

    void ppdevReleasesThePortWhenDestroyed() {
        FakeSystem system;
        system.addParport0();
        auto port = openPpdevPort(system, "/dev/parport0", {});
        QCOMPARE(system.openFds.size(), std::size_t(1));
        QVERIFY(std::find(system.ioctls.begin(), system.ioctls.end(), PPEXCL) <
                std::find(system.ioctls.begin(), system.ioctls.end(), PPCLAIM));
        port.reset();
        QVERIFY(system.openFds.empty());
        QCOMPARE(system.ioctls.back(), static_cast<unsigned long>(PPRELEASE));
    }

    void ppdevFailuresNameCauseAndFix_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("claimError");
        QTest::addColumn<bool>("lpLoaded");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no permission") << "/dev/parport0" << EACCES << 0 << false
                                       << "Keine Berechtigung für /dev/parport0. Abhilfe: sudo "
                                          "usermod -aG lp $USER";
        QTest::newRow("no device node")
            << "/dev/parport0" << ENOENT << 0 << false << "Abhilfe: sudo modprobe ppdev";
        QTest::newRow("printer driver") << "/dev/parport0" << 0 << ENXIO << true
                                        << "vom Druckertreiber lp belegt. Abhilfe: "
                                           "sudo rmmod lp";
        QTest::newRow("held by another program")
            << "/dev/parport0" << 0 << EBUSY << false << "parport0 ist belegt";
        QTest::newRow("port the kernel does not know")
            << "/dev/parport3" << 0 << 0 << false << "keinen Port /dev/parport3";
        QTest::newRow("not a parport node")
            << "/dev/lp0" << 0 << 0 << false << "Unbekannter Port „/dev/lp0“";
        QTest::newRow("trailing garbage")
            << "/dev/parport0x" << 0 << 0 << false << "Unbekannter Port";
    }
    void ppdevFailuresNameCauseAndFix() {
        QFETCH(QString, device);
        QFETCH(int, openError);
        QFETCH(int, claimError);
        QFETCH(bool, lpLoaded);
        QFETCH(QString, expected);
        FakeSystem system;
        system.addParport0();
        system.devices["/dev/parport0"].openError = openError;
        system.claimError = claimError;
        if (lpLoaded) system.directories["/proc/sys/dev/parport/parport0/devices"].push_back("lp");
        const QString error = startError([&] { openPpdevPort(system, device.toStdString(), {}); });
        QVERIFY2(error.contains(expected), qPrintable(error));
        QVERIFY(system.openFds.empty());
    }

    void rawOpensExactlyTheGrantsAndClosesThemAgain() {
        FakeSystem system;
        IoGrants grants = IoGrants::legacy();
        grants.add({0xE800, 0xE807});
        auto port = openRawPort(system, grants, {});
        QCOMPARE(QString::fromStdString(port->name()), QStringLiteral("Raw-I/O (ioperm)"));
        for (int p : {0x278, 0x27A, 0x378, 0x37A, 0x3BC, 0x3BE, 0xE800, 0xE807}) {
            QVERIFY2(system.iopermCovers(static_cast<std::uint16_t>(p)),
                     qPrintable(QString::number(p, 16)));
        }
        for (int p : {0x20, 0x277, 0x37B, 0xCF8, 0xE808}) {
            QVERIFY2(!system.iopermCovers(static_cast<std::uint16_t>(p)),
                     qPrintable(QString::number(p, 16)));
        }
        port.reset();
        QVERIFY(allIopermClosed(system));
    }

    void rawReachesGrantedPortsOnly_data() {
        QTest::addColumn<bool>("devPort");
        QTest::newRow("ioperm") << false;
        QTest::newRow("/dev/port") << true;
    }
    void rawReachesGrantedPortsOnly() {
        QFETCH(bool, devPort);
        FakeSystem system;
        system.devices["/dev/port"] = {};
        if (devPort) system.iopermError = EPERM;
        system.ioSpace[0x21] = 0xB8;  // interrupt mask: must stay untouched
        Messages messages;
        auto port = openRawPort(system, IoGrants::legacy(), messages.sink());
        QCOMPARE(QString::fromStdString(port->name()).contains("/dev/port"), devPort);

        port->write(0x378, 0x81);
        port->write(0x37A, 0x0D);
        QCOMPARE(int(port->read(0x378)), 0x81);
        port->write(0x21, 0x00);
        QCOMPARE(int(port->read(0x21)), 255);
        QVERIFY(system.outs == (std::vector<std::pair<std::uint16_t, std::uint8_t>>{
                                   {0x378, 0x81}, {0x37A, 0x0D}}));
        QCOMPARE(int(system.ioSpace[0x21]), 0xB8);
        QCOMPARE(messages.lines.size(), std::size_t(2));
        QCOMPARE(messages.lines[0],
                 port->name() +
                     " erreicht nur 0x278-0x27A, 0x378-0x37A, 0x3BC-0x3BE; weitere mit "
                     "--allow-io.");
        QVERIFY(messages.lines[1].find("--allow-io 0x21-0x23") != std::string::npos);
        port.reset();
        QVERIFY(system.openFds.empty());
    }

    void rawFailuresNameCauseAndFix_data() {
        QTest::addColumn<int>("devPortError");
        QTest::addColumn<QString>("lockdown");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("iopermError");
        QTest::addColumn<QString>("capEff");
        const QString keine = "0000000000000000";
        QTest::newRow("capability missing")
            << EACCES << "[none] integrity confidentiality"
            << "CAP_SYS_RAWIO fehlt. Abhilfe: als root starten oder sudo setcap cap_sys_rawio+ep"
            << EPERM << keine;
        QTest::newRow("kernel lockdown") << EPERM << "none [integrity] confidentiality"
                                         << "Lockdown „integrity“" << EPERM << keine;
        QTest::newRow("no /dev/port, no lockdown file") << ENOENT << ""
                                                        << "CAP_SYS_RAWIO fehlt" << EPERM << keine;
        QTest::newRow("no ioperm, no /dev/port: the file is named")
            << ENOENT << ""
            << "Raw-I/O nicht möglich: /dev/port fehlt" << ENOSYS << "0000000000020000";
    }
    void rawFailuresNameCauseAndFix() {
        QFETCH(int, devPortError);
        QFETCH(QString, lockdown);
        QFETCH(QString, expected);
        QFETCH(int, iopermError);
        QFETCH(QString, capEff);
        FakeSystem system;
        system.iopermError = iopermError;
        system.devices["/dev/port"].openError = devPortError;
        if (!lockdown.isEmpty()) {
            system.files["/sys/kernel/security/lockdown"] = lockdown.toStdString();
        }
        system.files["/proc/self/status"] = "CapEff:\t" + capEff.toStdString() + "\n";
        const QString error = startError([&] { openRawPort(system, IoGrants::legacy(), {}); });
        QVERIFY2(error.contains(expected), qPrintable(error));
        QVERIFY(allIopermClosed(system));
    }

    void rawHalfOpenedGrantsAreClosedWhenOneIsRefused() {
        // ioperm refused part-way (for example a range the kernel will not
        // give): nothing stays open, /dev/port takes over.
        struct PartialSystem : FakeSystem {
            int ioperm(unsigned long from, unsigned long count, bool enable) override {
                if (enable && from >= 0x378) return -EINVAL;
                return FakeSystem::ioperm(from, count, enable);
            }
        } system;
        system.devices["/dev/port"] = {};
        auto port = openRawPort(system, IoGrants::legacy(), {});
        QVERIFY(allIopermClosed(system));
        QVERIFY(!system.iopermOpen.empty());
        QCOMPARE(QString::fromStdString(port->name()), QStringLiteral("Raw-I/O (/dev/port)"));
    }

    void rawClaimsKernelPortsWhileItRuns() {
        FakeSystem system;
        system.addParport0();
        auto port = openRawPort(system, kernelGrants(system), {});
        QVERIFY(std::count(system.ioctls.begin(), system.ioctls.end(), PPCLAIM) == 1);
        QCOMPARE(system.openFds.size(), std::size_t(1));
        port.reset();
        QVERIFY(system.openFds.empty());
        QCOMPARE(system.ioctls.back(), static_cast<unsigned long>(PPRELEASE));
        QVERIFY(allIopermClosed(system));
    }

    void rawRefusesAPortHeldByThePrinterDriver() {
        FakeSystem system;
        system.addParport0();
        system.claimError = ENXIO;
        system.directories["/proc/sys/dev/parport/parport0/devices"].push_back("lp");
        const QString error = startError([&] { openRawPort(system, kernelGrants(system), {}); });
        QVERIFY2(error.contains("sudo rmmod lp"), qPrintable(error));
        QVERIFY(allIopermClosed(system));
        QVERIFY(system.openFds.empty());
    }

    void rawRefusesThePrinterDriversPortAlsoWithoutPpdev() {
        FakeSystem system;
        system.addParport0();
        system.devices.erase("/dev/parport0");
        system.directories["/proc/sys/dev/parport/parport0/devices"].push_back("lp");
        const QString error = startError([&] { openRawPort(system, kernelGrants(system), {}); });
        QVERIFY2(error.contains("sudo rmmod lp"), qPrintable(error));
        QVERIFY(allIopermClosed(system));
    }

    void rawGoesOnWithoutAClaimItMayNotMake() {
        FakeSystem system;
        system.addParport0();
        system.devices["/dev/parport0"].mayReadWrite = false;
        Messages messages;
        auto port = openRawPort(system, kernelGrants(system), messages.sink());
        QVERIFY(port != nullptr);
        QCOMPARE(messages.lines.size(), std::size_t(2));  // the claim, then the reach
        QVERIFY(messages.lines[0].find("usermod -aG lp") != std::string::npos);
    }

    void rawCapabilityIsReadFromTheProcessStatus_data() {
        QTest::addColumn<QString>("capEff");
        QTest::addColumn<bool>("held");
        QTest::newRow("root") << "000001ffffffffff" << true;
        QTest::newRow("only CAP_SYS_RAWIO") << "0000000000020000" << true;
        QTest::newRow("all but CAP_SYS_RAWIO") << "000001fffffdffff" << false;
        QTest::newRow("none") << "0000000000000000" << false;
    }
    void rawCapabilityIsReadFromTheProcessStatus() {
        QFETCH(QString, capEff);
        QFETCH(bool, held);
        FakeSystem system;
        system.files["/proc/self/status"] =
            "CapInh:\t0000000000020000\nCapEff:\t" + capEff.toStdString() + "\n";
        QCOMPARE(hasRawIoCapability(system), held);
    }
};

QTEST_GUILESS_MAIN(PortHardwareTest)
#include "tst_port_hardware.moc"
