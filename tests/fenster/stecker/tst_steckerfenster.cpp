// The connector view against the recording port: levels with the port's
// inversions, clicks that switch one bit, no access while nobody looks.
#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "fenster/module1.h"
#include "fenster/stecker/pin_anzeige.h"
#include "fenster/stecker/steckerfenster.h"
#include "fenster/steuerung/steuerung.h"
#include "port/port.h"
#include "test_support.h"

using namespace dravel;
using Port = port::RecordingPort;

namespace {

const char* const kNamen[] = {"/Strobe", "D0",        "D1",     "D2",    "D3",       "D4",
                              "D5",      "D6",        "D7",     "/Ack",  "Busy",     "PaperOut",
                              "Select",  "/AutoFeed", "/Error", "/Init", "/SelectIn"};

// A ppdev-like port: control bit 5 reads back what was written.
class OhneRichtung final : public port::Backend {
public:
    std::uint8_t read(std::uint16_t) override { return 0; }
    void write(std::uint16_t, std::uint8_t) override {}
    std::string name() const override { return "ohne Richtung"; }
    std::uint8_t controlBitsNotReadBack() const override { return 0xF0; }
};

qsizetype steckerfenster() {
    return test::offeneFenster<Steckerfenster>().size();
}

}  // namespace

class TestSteckerfenster : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { test::richteTestanwendungEin(); }
    void init() { port = &test::installiereAufzeichnung(); }
    void cleanup() { Module1::ZurücksetzenFürTest(); }
    void pinsShowElectricalLevels_data();
    void pinsShowElectricalLevels();
    void clickOnOutputSwitchesOneBit_data();
    void clickOnOutputSwitchesOneBit();
    void inputsAndGroundMakeNoAccess_data();
    void inputsAndGroundMakeNoAccess();
    void noPortAccessUnlessVisible();
    void oneWindowFollowingTheMainWindowsBase();
    void directionNotReadBackIsSaid();
    void pinsStayInsideAndApartAtEverySize();

private:
    // Opens the view with the registers set and reads them once; the
    // periodic reading is stopped so that the log holds only what a test does.
    Steckerfenster* zeige(int daten, int status, int control) {
        port->setRegister(888, std::uint8_t(daten));
        port->setRegister(889, std::uint8_t(status));
        port->setRegister(890, std::uint8_t(control));
        Steckerfenster* f = Module1::Steckeransicht();
        f->show();
        f->Abfrage->stop();
        f->Abfrage_Timer();
        port->clearLog();
        return f;
    }

    Port* port = nullptr;
};

void TestSteckerfenster::pinsShowElectricalLevels_data() {
    QTest::addColumn<int>("daten");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("pegel");  // pins 1..17, H high, L low
    QTest::addColumn<bool>("datenEingang");
    QTest::newRow("alle Bits 0") << 0x00 << 0x00 << 0x00 << "HLLLLLLLLLHLLHLLH" << false;
    QTest::newRow("alle Bits 1, Daten Ausgang")
        << 0xFF << 0xFF << 0xDF << "LHHHHHHHHHLHHLHHL" << false;
    QTest::newRow("Ruhezustand") << 0xA5 << 0x78 << 0x0C << "HHLHLLHLHHHHHHHHL" << false;
    QTest::newRow("Daten Eingang") << 0x0F << 0x80 << 0x2C << "HHHHHLLLLLLLLHLHL" << true;
}

void TestSteckerfenster::pinsShowElectricalLevels() {
    QFETCH(int, daten);
    QFETCH(int, status);
    QFETCH(int, control);
    QFETCH(QString, pegel);
    QFETCH(bool, datenEingang);
    Steckerfenster* f = zeige(daten, status, control);
    for (int n = 1; n <= 25; ++n) {
        const QString erwartet = n <= 17 ? QStringLiteral("Pin %1: %2, %3")
                                               .arg(n)
                                               .arg(kNamen[n - 1])
                                               .arg(pegel[n - 1] == 'H' ? "hoch" : "tief")
                                         : QStringLiteral("Pin %1: Masse").arg(n);
        QCOMPARE(f->Pin[n]->toolTip(), erwartet);
        QCOMPARE(f->Pin[n]->accessibleName(), erwartet);
        QCOMPARE(f->Pin[n]->objectName(), QStringLiteral("Pin(%1)").arg(n));
    }
    for (int n = 2; n <= 9; ++n) {
        QVERIFY(
            f->Pin[n]->accessibleDescription().startsWith(datenEingang ? "Eingang" : "Ausgang"));
    }
}

void TestSteckerfenster::clickOnOutputSwitchesOneBit_data() {
    QTest::addColumn<int>("pin");
    QTest::addColumn<int>("daten");
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("adresse");
    QTest::addColumn<int>("geschrieben");
    QTest::newRow("D0 hoch") << 2 << 0x00 << 0x0C << 888 << 0x01;
    QTest::newRow("D7 tief") << 9 << 0xFF << 0x0C << 888 << 0x7F;
    QTest::newRow("/Strobe invertiert") << 1 << 0x00 << 0x0C << 890 << 0x0D;
    QTest::newRow("/AutoFeed invertiert") << 14 << 0x00 << 0x0C << 890 << 0x0E;
    QTest::newRow("/Init") << 16 << 0x00 << 0x0C << 890 << 0x08;
    QTest::newRow("/SelectIn invertiert") << 17 << 0x00 << 0xC4 << 890 << 0xCC;
}

void TestSteckerfenster::clickOnOutputSwitchesOneBit() {
    QFETCH(int, pin);
    QFETCH(int, daten);
    QFETCH(int, control);
    QFETCH(int, adresse);
    QFETCH(int, geschrieben);
    Steckerfenster* f = zeige(daten, 0x78, control);
    const QString vorher = f->Pin[pin]->toolTip();
    QTest::mouseClick(f->Pin[pin], Qt::LeftButton);
    const std::uint8_t gelesen = std::uint8_t(adresse == 888 ? daten : control);
    QCOMPARE(port->calls(),
             (std::vector{Port::r(std::uint16_t(adresse), gelesen),
                          Port::w(std::uint16_t(adresse), std::uint8_t(geschrieben))}));
    // The next reading shows the other level.
    f->Abfrage_Timer();
    QVERIFY(f->Pin[pin]->toolTip() != vorher);
    QCOMPARE(f->Pin[pin]->toolTip().endsWith("hoch"), vorher.endsWith("tief"));

    // A double click is one click, as on the main window's labels.
    port->clearLog();
    test::doppelklicke(f->Pin[pin]);
    QCOMPARE(port->writes().size(), std::size_t{1});
}

void TestSteckerfenster::inputsAndGroundMakeNoAccess_data() {
    QTest::addColumn<int>("pin");
    QTest::addColumn<int>("control");
    for (int pin : {10, 11, 12, 13, 15, 18, 25}) {
        QTest::addRow("Pin %d", pin) << pin << 0x0C;
    }
    QTest::newRow("D3 als Eingang") << 5 << 0x2C;
}

void TestSteckerfenster::inputsAndGroundMakeNoAccess() {
    QFETCH(int, pin);
    QFETCH(int, control);
    Steckerfenster* f = zeige(0x00, 0x78, control);
    QTest::mouseClick(f->Pin[pin], Qt::LeftButton);
    QTest::keyClick(f->Pin[pin], Qt::Key_Space);
    QVERIFY(port->calls().empty());
}

void TestSteckerfenster::noPortAccessUnlessVisible() {
    Steckerfenster* f = Module1::Steckeransicht();
    QVERIFY(port->calls().empty());  // created, not shown
    f->show();
    QTRY_VERIFY(port->calls().size() >= 6);
    // Each reading is data, status, control, in that order.
    for (std::size_t i = 0; i + 3 <= port->calls().size(); i += 3) {
        for (std::size_t k = 0; k < 3; ++k) {
            QCOMPARE(port->calls()[i + k].kind, Port::Kind::Read);
            QCOMPARE(port->calls()[i + k].port, std::uint16_t(888 + k));
        }
    }
    f->hide();
    port->clearLog();
    QTest::qWait(200);
    QVERIFY(port->calls().empty());
    f->show();
    QTRY_VERIFY(!port->calls().empty());
    f->close();
    port->clearLog();
    QTest::qWait(200);
    QVERIFY(port->calls().empty());
    QCOMPARE(steckerfenster(), 0);
}

void TestSteckerfenster::oneWindowFollowingTheMainWindowsBase() {
    Module1::Main();
    Steuerung* haupt = Module1::Hauptfenster();
    haupt->Stecker->trigger();
    haupt->Stecker->trigger();
    QCOMPARE(steckerfenster(), 1);
    Steckerfenster* f = test::offeneFenster<Steckerfenster>().value(0);
    QVERIFY(f && f->isVisible());
    QCOMPARE(f->windowTitle(), QStringLiteral("Steckerbelegung LPT – 888"));
    haupt->DatenPort = 1000;
    haupt->StatusPort = 1001;
    haupt->ControlPort = 1002;
    QTRY_COMPARE(f->windowTitle(), QStringLiteral("Steckerbelegung LPT – 1000"));
    port->clearLog();
    f->Abfrage_Timer();
    QCOMPARE(port->calls(),
             (std::vector{Port::r(1000, 0xFF), Port::r(1001, 0xFF), Port::r(1002, 0xFF)}));
    f->close();
    QTRY_COMPARE(steckerfenster(), 0);
    haupt->Stecker->trigger();
    QCOMPARE(steckerfenster(), 1);
    QVERIFY(test::offeneFenster<Steckerfenster>().value(0)->isVisible());
}

void TestSteckerfenster::directionNotReadBackIsSaid() {
    port::installBackend(std::make_unique<Port>(std::make_unique<OhneRichtung>()));
    Steckerfenster* f = Module1::Steckeransicht();
    f->show();
    f->Abfrage_Timer();
    QVERIFY(f->Pin[2]->accessibleDescription().contains("nicht zurückgelesen"));
    QVERIFY(!f->Pin[1]->accessibleDescription().contains("nicht zurückgelesen"));
}

void TestSteckerfenster::pinsStayInsideAndApartAtEverySize() {
    Steckerfenster* f = zeige(0, 0, 0);
    const QWidget* bild = f->findChild<QWidget*>("Bild");
    for (const QSize größe :
         {f->minimumSizeHint(), f->sizeHint(), f->sizeHint() * 2, QSize(900, 900)}) {
        f->resize(größe);
        QCoreApplication::processEvents();
        for (int n = 1; n <= 25; ++n) {
            const QRect r = f->Pin[n]->geometry();
            QVERIFY2(bild->rect().contains(r), qPrintable(QStringLiteral("Pin %1").arg(n)));
            QVERIFY(r.width() >= 24);
            for (int m = n + 1; m <= 25; ++m) {
                QVERIFY(!r.adjusted(1, 1, -1, -1).intersects(f->Pin[m]->geometry()));
            }
        }
    }
}

QTEST_MAIN(TestSteckerfenster)
#include "tst_steckerfenster.moc"
