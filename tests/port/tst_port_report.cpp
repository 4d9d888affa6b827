// The port report over played kernels: each row one kind of finding, the
// line it must bring (with its fix) and the verdict on a usable port.
#include <QJsonDocument>
#include <QTest>

#include "fake_system.h"
#include "port/port_meldungen.h"
#include "port/port_report.h"
#include "port/raw_port.h"

using dravel::port::examinePorts;
using dravel::test::FakeSystem;

using Aufbau = void (*)(FakeSystem&);
Q_DECLARE_METATYPE(Aufbau)

class PortReportTest : public QObject {
    Q_OBJECT

private slots:
    void reportNamesEachFindingWithItsFix_data() {
        QTest::addColumn<Aufbau>("aufbau");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("absent");
        QTest::addColumn<bool>("usable");
        QTest::newRow("nothing at all")
            << Aufbau([](FakeSystem&) {})
            << "keinen Parallelport. Abhilfe: sudo modprobe parport_pc ppdev"
            << "Treiber:" << false;
        QTest::newRow("PCI card the kernel does not drive")
            << Aufbau([](FakeSystem& s) {
                   s.directories["/sys/bus/pci/devices/"] = {"0000:00:02.0", "0000:03:00.0"};
                   s.files["/sys/bus/pci/devices/0000:00:02.0/class"] = "0x030000\n";
                   s.files["/sys/bus/pci/devices/0000:03:00.0/class"] = "0x070103\n";
                   s.files["/sys/bus/pci/devices/0000:03:00.0/resource"] =
                       "0x000000000000e800 0x000000000000e807 0x0000000000040101\n"
                       "0x0000000000001000 0x0000000000001fff 0x0000000000040200\n"
                       "0x000000000000e400 0x000000000000e403 0x0000000000040101\n";
               })
            << "PCI-Parallelportkarte 0000:03:00.0: E/A-Bereiche 0xE800-0xE807, "
               "0xE400-0xE403. Abhilfe: dravel --port raw --allow-io 0xE800-0xE807 (Befehle: "
               "--adresse 0xE800)"
            << "0x1000" << false;
        QTest::newRow("USB printer adapter") << Aufbau([](FakeSystem& s) {
            s.directories["/dev/usb"] = {"lp0", "hiddev0"};
        }) << "/dev/usb/lp0: USB-Druckeradapter"
                                             << "hiddev" << false;
        QTest::newRow("USB adapter whose name is no UTF-8") << Aufbau([](FakeSystem& s) {
            s.directories["/dev/usb"] = {"lp\xff"};
        }) << "USB-Druckeradapter"
                                                           << "hiddev" << false;
        QTest::newRow("lp loaded and holding the port") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.files["/proc/modules"] += "lp 20480 0 - Live 0x0\n";
            s.directories["/proc/sys/dev/parport/parport0/devices"].push_back("lp");
        }) << "lp geladen"
                                                        << "lp nicht geladen" << false;
        QTest::newRow("no IRQ")
            << Aufbau([](FakeSystem& s) { s.addParport0(); })
            << "keine, parport_pc nutzt ohne Angabe kein IRQ. Abhilfe: sudo modprobe -r ppdev lp "
               "parport_pc && sudo modprobe parport_pc io=0x378 irq=7"
            << "Kein PS/2" << true;
        QTest::newRow("IRQ and SPP only") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.files["/proc/sys/dev/parport/parport0/irq"] = "7\n";
            s.files["/proc/sys/dev/parport/parport0/modes"] = "PCSPP,COMPAT\n";
        }) << "Kein PS/2-Modus"
                                          << "keine, parport_pc" << true;
        QTest::newRow("node of group dialout") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.devices["/dev/parport0"].mayReadWrite = false;
            s.statuses["/dev/parport0"] = {0, 20, 0660};
            s.files["/etc/group"] = "lp:x:7:\ndialout:x:20:\n";
        }) << "kein Zugriff. Abhilfe: sudo usermod -aG dialout $USER"
                                               << "udev" << false;
        QTest::newRow("member, but not in this login") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.devices["/dev/parport0"].mayReadWrite = false;
            s.statuses["/dev/parport0"] = {0, 7, 0660};
            s.files["/proc/self/status"] =
                "Uid:\t1000\t1000\nGid:\t1000\t1000\n"
                "Groups:\t24 27\n";
            s.files["/etc/passwd"] = "ute:x:1000:1000::/home/ute:/bin/sh\n";
            s.files["/etc/group"] = "lp:x:7:ute\n";
        }) << "erst nach neuer Anmeldung. Abhilfe: abmelden"
                                                       << "usermod" << false;
        QTest::newRow("node for root only") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.devices["/dev/parport0"].mayReadWrite = false;
            s.statuses["/dev/parport0"] = {0, 0, 0600};
        }) << "kein Zugriff, nur root darf hinein. Abhilfe: echo 'SUBSYSTEM==\"ppdev\""
                                            << "usermod -aG root" << false;
        QTest::newRow("lockdown, with the right to raw I/O and no node")
            << Aufbau([](FakeSystem& s) {
                   s.addParport0();
                   s.devices.erase("/dev/parport0");
                   s.files["/proc/self/status"] = "CapEff:\t000001ffffffffff\n";
                   s.files["/sys/kernel/security/lockdown"] = "none [integrity]\n";
               })
            << "verboten durch Kernel-Lockdown"
            << "Raw-I/O (--port raw): erlaubt" << false;
        QTest::newRow("ECR in SPP mode") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.files["/proc/self/status"] = "CapEff:\t000001ffffffffff\n";
            s.ioSpace[0x77A] = 0x15;
            s.ioSpace[0x37A] = 0xCC;
        }) << "ECR (0x77A): Modus SPP, die Datenleitungen bleiben Ausgänge. Abhilfe"
                                         << "ECR (0x77A): keins" << true;
        QTest::newRow("control register where the ECR would be") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.files["/proc/self/status"] = "CapEff:\t000001ffffffffff\n";
            s.ioSpace[0x77A] = 0x2D;
            s.ioSpace[0x37A] = 0x2D;
        }) << "ECR (0x77A): keins"
                                                                 << "Modus" << true;
        QTest::newRow("raw I/O reaching a kernel port") << Aufbau([](FakeSystem& s) {
            s.addParport0();
            s.devices.erase("/dev/parport0");
            s.files["/proc/self/status"] = "CapEff:\t000001ffffffffff\n";
        }) << "Raw-I/O (--port raw): erlaubt"
                                                        << "Zugriff erlaubt" << true;
    }
    void reportNamesEachFindingWithItsFix() {
        QFETCH(Aufbau, aufbau);
        QFETCH(QString, expected);
        QFETCH(QString, absent);
        QFETCH(bool, usable);
        FakeSystem system;
        aufbau(system);
        const auto report = examinePorts(system);
        const QString text = QString::fromStdString(dravel::app::portBericht(report));
        QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY2(!text.contains(absent), qPrintable(text));
        QCOMPARE(report.realPortUsable(), usable);
        // The report reads the ECR at most; it writes no port.
        QVERIFY(system.outs.empty());
        for (const auto& [port, count] : system.iopermOpen) QCOMPARE(count, 0);
        // The fixes in the JSON are the text's, every one of them.
        const std::string roh = dravel::app::portBerichtJson(report);
        QJsonParseError fehler{};
        QJsonDocument::fromJson(QByteArray::fromStdString(roh), &fehler);
        QVERIFY2(fehler.error == QJsonParseError::NoError, qPrintable(fehler.errorString()));
        const QString json = QString::fromStdString(roh);
        QCOMPARE(json.count("\"abhilfe\":\"\""), text.count('\n') - text.count(". Abhilfe: "));
    }
    // --ecr through the raw port of a played kernel (parport0, high base
    // 0x778): the mode bits go in, the FIFO bits stay; no ECR, no write.
    void ecrModeIsSetOnlyWhereAnEcrAnswers_data() {
        QTest::addColumn<int>("ecr");
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("before");  // -1: refused
        QTest::addColumn<int>("after");
        QTest::newRow("SPP to PS/2") << 0x15 << 0xCC << 0 << 0x35;
        QTest::newRow("ECP to PS/2, interrupt bits kept") << 0x7D << 0xCC << 3 << 0x3D;
        QTest::newRow("no ECR") << 0xFF << 0xCC << -1 << 0xFF;
        QTest::newRow("control register mirrored") << 0x2D << 0x2D << -1 << 0x2D;
    }
    void ecrModeIsSetOnlyWhereAnEcrAnswers() {
        QFETCH(int, ecr);
        QFETCH(int, control);
        QFETCH(int, before);
        QFETCH(int, after);
        FakeSystem system;
        system.addParport0();
        system.ioSpace[0x77A] = std::uint8_t(ecr);
        system.ioSpace[0x37A] = std::uint8_t(control);
        auto port = dravel::port::openRawPort(system, dravel::port::kernelGrants(system), {});
        QCOMPARE(dravel::port::setEcrMode(*port, 0x378, 1).value_or(-1), before);
        QCOMPARE(int(system.ioSpace[0x77A]), after);
        QCOMPARE(system.outs.size(), std::size_t(before < 0 ? 0 : 1));
    }
};

QTEST_GUILESS_MAIN(PortReportTest)
#include "tst_port_report.moc"
