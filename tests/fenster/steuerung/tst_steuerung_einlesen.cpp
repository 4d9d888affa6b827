// The read side of the main window: reading, the ten-slot history, the
// status bar, the control bits, the port modes and the Extras messages.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <limits>

#include "fenster/module1.h"
#include "fenster/gemeinsam/klick_label.h"
#include "fenster/gemeinsam/statusleiste.h"
#include "fenster/steuerung/steuerung.h"
#include "port/port.h"
#include "test_support.h"

using namespace dravel;
using Call = port::RecordingPort::Call;
using port::RecordingPort;

namespace {
const QRegularExpression kZeit(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
}

class TestSteuerungEinlesen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readShowsValueRefreshesStatusAndRecords();
    void historyRingWrapsAfterTenEntries();
    void clickingAnEntryChangesNothing();
    void onlyTheNewestEntryCarriesAMark();
    void clearingHidesSlotsAndKeepsTheNumber();
    void clearingShowsMessageUntilNextTick();
    void permanentReadingFollowsTheCheckBox();
    void runningNumberStopsAtItsLargestValue();
    void statusBarShowsTheRegisters_data();
    void statusBarShowsTheRegisters();
    void statusBarReadsInTheStatedOrder();
    void controlBitClickTogglesOneBit_data();
    void controlBitClickTogglesOneBit();
    void controlBitWriteStaysAByteWhenTheRegisterChanges();
    void modeClickStepsTheCycle_data();
    void modeClickStepsTheCycle();
    void extrasMessages_data();
    void extrasMessages();
    void timersKeepRunningBehindAMessageBox();

private:
    Steuerung* fenster = nullptr;
    RecordingPort* port = nullptr;
};

void TestSteuerungEinlesen::initTestCase() { test::richteTestanwendungEin(); }

void TestSteuerungEinlesen::init() {
    port = &test::installiereAufzeichnung();
    port->setRegister(888, 5);
    port->setRegister(889, 0x78);
    port->setRegister(890, 0xCC);
    Module1::Main();
    fenster = Module1::Hauptfenster();
    QVERIFY(QTest::qWaitForWindowExposed(fenster));
    fenster->Timer2->stop();
}

void TestSteuerungEinlesen::cleanup() { Module1::ZurücksetzenFürTest(); }

void TestSteuerungEinlesen::readShowsValueRefreshesStatusAndRecords() {
    QTest::mouseClick(fenster->Einlesenknopf, Qt::LeftButton);
    QCOMPARE((QStringList{fenster->Einlesen_dec->text(), fenster->Einlesen_hex->text(),
                          fenster->Einlesen_bin->text()}),
             (QStringList{"5", "5", "0000 0101"}));
    QCOMPARE(fenster->StatusBar->text(1), QStringLiteral("Daten: 0000 0101"));
    QVERIFY(fenster->Unter_Extras[0]->text().startsWith(QStringLiteral("Es war ")));
    QVERIFY(fenster->Unter_Extras[0]->text().endsWith(QStringLiteral(" bei")));
    QVERIFY(kZeit.match(fenster->Unter_Extras[0]->text().mid(7, 8)).hasMatch());
    QCOMPARE(fenster->Unter_Extras[1]->text(), QStringLiteral("Lesevorgang Nr:  1"));
    QVERIFY(fenster->Unter_Extras[4]->isVisible());
    QVERIFY(fenster->Verlauf->isVisible());
    QVERIFY(fenster->Lesen[1]->isVisible());
    QVERIFY(fenster->Lesen[1]->isChecked());
    QVERIFY(fenster->Lesen[1]->text().startsWith(QStringLiteral("1.  5  um ")));
    QVERIFY(kZeit.match(fenster->Lesen[1]->text().mid(10)).hasMatch());
    for (int i = 2; i <= 10; ++i) QVERIFY(!fenster->Lesen[i]->isVisible());
}

void TestSteuerungEinlesen::historyRingWrapsAfterTenEntries() {
    for (int i = 1; i <= 11; ++i) {
        port->setRegister(888, std::uint8_t(i * 10));
        fenster->Einlesenknopf->click();
        const int slot = (i - 1) % 10 + 1;
        for (int s = 1; s <= 10; ++s) QCOMPARE(fenster->Lesen[s]->isChecked(), s == slot);
        QVERIFY(fenster->Lesen[slot]->text().startsWith(QStringLiteral("%1.  %2  um ").arg(i).arg(i * 10)));
    }
    // The eleventh entry went to slot 1; slot 2 still holds entry 2.
    QVERIFY(fenster->Lesen[2]->text().startsWith(QStringLiteral("2.  20  um ")));
    QCOMPARE(Module1::Verlaufsindex, std::int16_t(1));
    for (int s = 1; s <= 10; ++s) QVERIFY(fenster->Lesen[s]->isVisible());
}

void TestSteuerungEinlesen::clickingAnEntryChangesNothing() {
    fenster->Einlesenknopf->click();
    fenster->Einlesenknopf->click();
    port->clearLog();
    fenster->Lesen[1]->trigger();
    fenster->Lesen[2]->trigger();
    QVERIFY(!fenster->Lesen[1]->isChecked());
    QVERIFY(fenster->Lesen[2]->isChecked());
    QVERIFY(fenster->Lesen[1]->isVisible());
    QVERIFY(port->calls().empty());
    QCOMPARE(Module1::Lesezaehler, 2);
}

void TestSteuerungEinlesen::onlyTheNewestEntryCarriesAMark() {
    // A checkable entry shows a box in front of its text in some styles
    // (Fusion) even when unchecked: only the newest may be checkable.
    for (int i = 1; i <= 12; ++i) {
        fenster->Einlesenknopf->click();
        const int neuestes = (i - 1) % 10 + 1;
        for (int s = 1; s <= std::min(i, 10); ++s) {
            QCOMPARE(fenster->Lesen[s]->isCheckable(), s == neuestes);
            QCOMPARE(fenster->Lesen[s]->isChecked(), s == neuestes);
        }
    }
}

void TestSteuerungEinlesen::clearingHidesSlotsAndKeepsTheNumber() {
    for (int i = 0; i < 7; ++i) fenster->Einlesenknopf->click();
    const QString notiz = fenster->Unter_Extras[1]->text();
    fenster->Lesen[0]->trigger();
    QVERIFY(!fenster->Verlauf->isVisible());
    QVERIFY(!fenster->Unter_Extras[4]->isVisible());
    for (int s = 1; s <= 10; ++s) QVERIFY(!fenster->Lesen[s]->isVisible());
    QCOMPARE(fenster->Unter_Extras[1]->text(), notiz);
    QCOMPARE(Module1::Lesezaehler, 7);

    fenster->Einlesenknopf->click();
    QVERIFY(fenster->Verlauf->isVisible());
    QVERIFY(fenster->Lesen[1]->isVisible());
    QVERIFY(fenster->Lesen[1]->isChecked());
    QVERIFY(fenster->Lesen[1]->text().startsWith(QStringLiteral("8.  ")));
    for (int s = 2; s <= 10; ++s) QVERIFY(!fenster->Lesen[s]->isVisible());
}

void TestSteuerungEinlesen::clearingShowsMessageUntilNextTick() {
    fenster->Timer2->stop();
    fenster->Einlesenknopf->click();
    fenster->Lesen[0]->trigger();
    QCOMPARE(fenster->windowTitle(), QStringLiteral("Verlauf gelöscht."));
    // Clearing (re)starts the status timer, whose tick puts the title back.
    QVERIFY(fenster->Timer2->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(fenster->windowTitle(), QStringLiteral("Dravel v1.6"), 2500);
}

void TestSteuerungEinlesen::permanentReadingFollowsTheCheckBox() {
    QTest::mouseClick(fenster->Perm_Einlesen, Qt::LeftButton);
    QVERIFY(fenster->Perm_Einlesen->isChecked());
    QVERIFY(fenster->Timer1->isActive());
    QCOMPARE(fenster->Timer1->interval(), 100);
    QTRY_VERIFY_WITH_TIMEOUT(Module1::Lesezaehler >= 2, 2000);
    // Setting the box from code runs its handler too.
    fenster->Perm_Einlesen->setChecked(false);
    QVERIFY(!fenster->Timer1->isActive());
    const auto zähler = Module1::Lesezaehler;
    QTest::qWait(250);
    QCOMPARE(Module1::Lesezaehler, zähler);
}

void TestSteuerungEinlesen::runningNumberStopsAtItsLargestValue() {
    Module1::Lesezaehler = std::numeric_limits<std::int32_t>::max() - 1;
    fenster->Einlesenknopf->click();
    fenster->Einlesenknopf->click();
    QCOMPARE(Module1::Lesezaehler, std::numeric_limits<std::int32_t>::max());
    QCOMPARE(fenster->Unter_Extras[1]->text(), QStringLiteral("Lesevorgang Nr:  2147483647"));
    QVERIFY(fenster->Lesen[2]->text().startsWith(QStringLiteral("2147483647.  ")));
}

void TestSteuerungEinlesen::statusBarShowsTheRegisters_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("bit5");
    QTest::addColumn<QString>("bit4");
    QTest::addColumn<QString>("modus");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("bits");
    QTest::newRow("0xC4") << 0xC4 << "Ausgang" << "Int. aus" << "EPP"
                          << "Enhanced Parallel Port-Modus  -Standard - " << "1100 0100";
    QTest::newRow("0x2B") << 0x2B << "Eingang" << "Int. aus" << "ECP" << "Extended Capability Port-Modus"
                          << "0010 1011";
    QTest::newRow("0x31") << 0x31 << "Eingang" << "Int. ein" << "Unbekannt" << "Unbekannter Modus: 001"
                          << "0011 0001";
    QTest::newRow("0xFE") << 0xFE << "Eingang" << "Int. ein" << "Testmode" << "Test-Modus" << "1111 1110";
}

void TestSteuerungEinlesen::statusBarShowsTheRegisters() {
    QFETCH(int, control);
    QFETCH(QString, bit5);
    QFETCH(QString, bit4);
    QFETCH(QString, modus);
    QFETCH(QString, tooltip);
    QFETCH(QString, bits);
    port->setRegister(890, std::uint8_t(control));
    fenster->setWindowTitle(QStringLiteral("anders"));
    fenster->Timer2->setInterval(10);
    fenster->Timer2->start();
    QTRY_COMPARE(fenster->windowTitle(), QStringLiteral("Dravel v1.6"));
    fenster->Timer2->stop();
    QCOMPARE(fenster->StatusBar->text(1), QStringLiteral("Daten: 0000 0101"));
    QCOMPARE(fenster->StatusBar->text(2), QStringLiteral("Status: 0111 1000"));
    QCOMPARE(fenster->StatusBar->text(3), QStringLiteral("Control: ") + bits);
    QCOMPARE(fenster->C_Bit[5]->text(), bit5);
    QCOMPARE(fenster->C_Bit[4]->text(), bit4);
    QCOMPARE(fenster->Modus->text(), modus);
    QCOMPARE(fenster->Modus->toolTip(), tooltip);
}

void TestSteuerungEinlesen::statusBarReadsInTheStatedOrder() {
    // Each item reads the register anew: a control register that changes
    // between the reads shows in each item as it was at its own read.
    port->script(890, {0x00, 0x10, 0x20, 0x07});
    fenster->StatusLeiste();
    QCOMPARE(port->calls(), (std::vector<Call>{RecordingPort::r(888, 5), RecordingPort::r(889, 0x78),
                                               RecordingPort::r(890, 0x00), RecordingPort::r(890, 0x10),
                                               RecordingPort::r(890, 0x20), RecordingPort::r(890, 0x07)}));
    QCOMPARE(fenster->StatusBar->text(3), QStringLiteral("Control: 0000 0000"));
    QCOMPARE(fenster->C_Bit[4]->text(), QStringLiteral("Int. ein"));
    QCOMPARE(fenster->C_Bit[5]->text(), QStringLiteral("Eingang"));
    QCOMPARE(fenster->Modus->text(), QStringLiteral("Config"));
}

void TestSteuerungEinlesen::controlBitClickTogglesOneBit_data() {
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("vorher");
    QTest::addColumn<int>("nachher");
    QTest::addColumn<QString>("beschriftung");
    QTest::newRow("bit 5 on") << 5 << 0x04 << 0x24 << "Eingang";
    QTest::newRow("bit 5 off") << 5 << 0x24 << 0x04 << "Ausgang";
    QTest::newRow("bit 4 off") << 4 << 0x14 << 0x04 << "Int. aus";
    QTest::newRow("bit 4 on") << 4 << 0xC4 << 0xD4 << "Int. ein";
}

void TestSteuerungEinlesen::controlBitClickTogglesOneBit() {
    QFETCH(int, bit);
    QFETCH(int, vorher);
    QFETCH(int, nachher);
    QFETCH(QString, beschriftung);
    port->setRegister(890, std::uint8_t(vorher));
    QTest::mouseClick(fenster->C_Bit[bit], Qt::LeftButton);
    QCOMPARE(port->calls(), (std::vector<Call>{RecordingPort::r(890, std::uint8_t(vorher)),
                                               RecordingPort::r(890, std::uint8_t(vorher)),
                                               RecordingPort::w(890, std::uint8_t(nachher))}));
    QCOMPARE(fenster->C_Bit[bit]->text(), beschriftung);
    QVERIFY(fenster->StatusBar->text(3).isEmpty());  // no refresh on the click
}

void TestSteuerungEinlesen::controlBitWriteStaysAByteWhenTheRegisterChanges() {
    // Bit 5 reads set, then clear on the second read: clearing a clear bit
    // must not subtract below zero.
    const auto vorher = port::valuesOutsideByte();
    port->script(890, {0x20, 0x00});
    fenster->C_Bit_Click(5);
    QCOMPARE(port->writes(), (std::vector<Call>{RecordingPort::w(890, 0x00)}));
    port->script(890, {0x00, 0xFF});
    fenster->C_Bit_Click(5);
    QCOMPARE(port->writes().back(), RecordingPort::w(890, 0xFF));
    QCOMPARE(port::valuesOutsideByte(), vorher);
}

void TestSteuerungEinlesen::modeClickStepsTheCycle_data() {
    QTest::addColumn<int>("vorher");
    QTest::addColumn<int>("nachher");
    QTest::addColumn<QString>("modus");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("111 -> ECP") << 0x27 << 0x23 << "ECP" << "Extended Capability Port-Modus";
    QTest::newRow("011 -> EPP") << 0xCB << 0xCC << "EPP" << "Enhanced Parallel Port-Modus  -Standard - ";
    QTest::newRow("100 -> FIFO") << 0xC4 << 0xC2 << "FIFO" << "First-In/First-Out-Modus";
    QTest::newRow("010 -> SPP") << 0x12 << 0x10 << "SPP" << "Standard Parallel Port-Modus";
    QTest::newRow("000 -> Testmode") << 0x00 << 0x06 << "Testmode" << "Test-Modus";
    QTest::newRow("110 -> Config") << 0xF6 << 0xF7 << "Config" << "Configuration-Modus";
    QTest::newRow("001 -> ECP") << 0x01 << 0x03 << "ECP" << "Extended Capability Port-Modus";
    QTest::newRow("101 -> ECP") << 0x05 << 0x03 << "ECP" << "Extended Capability Port-Modus";
}

void TestSteuerungEinlesen::modeClickStepsTheCycle() {
    QFETCH(int, vorher);
    QFETCH(int, nachher);
    QFETCH(QString, modus);
    QFETCH(QString, tooltip);
    port->setRegister(890, std::uint8_t(vorher));
    QTest::mouseClick(fenster->Modus, Qt::LeftButton);
    QCOMPARE(port->calls(), (std::vector<Call>{RecordingPort::r(890, std::uint8_t(vorher)),
                                               RecordingPort::r(890, std::uint8_t(vorher)),
                                               RecordingPort::w(890, std::uint8_t(nachher))}));
    QCOMPARE(fenster->Modus->text(), modus);
    QCOMPARE(fenster->Modus->toolTip(), tooltip);
}

void TestSteuerungEinlesen::extrasMessages_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("muster");
    QTest::newRow("Zeit") << 0 << "^Unterprogramm 1:\\nDie momentane Zeit ist \\d\\d:\\d\\d:\\d\\d\\.$";
    QTest::newRow("Nummer") << 1 << "^Es wurden bisher 5 Einlesevorgänge gezählt\\.$";
    QTest::newRow("Aufhängen") << 3 << "^Fehler!\\n- Nix gefunden\\.\\n- Neu programmieren!$";
}

void TestSteuerungEinlesen::extrasMessages() {
    QFETCH(int, index);
    QFETCH(QString, muster);
    // Three reads and two writes, then a clearing that must not lower the count.
    for (int i = 0; i < 3; ++i) fenster->Einlesenknopf->click();
    fenster->Inkr_Click();
    fenster->Dekr_Click();
    fenster->Lesen[0]->trigger();
    port->clearLog();

    QString text, titel;
    int knöpfe = -1;
    QMessageBox::Icon symbol = QMessageBox::Critical;
    test::beantworteNächstenDialog([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        QVERIFY(box);
        text = box->text();
        titel = box->windowTitle();
        symbol = box->icon();
        knöpfe = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    fenster->Unter_Extras[index]->trigger();
    QVERIFY2(QRegularExpression(muster).match(text).hasMatch(), qPrintable(text));
    QCOMPARE(titel, QStringLiteral("Dravel"));
    QCOMPARE(symbol, QMessageBox::NoIcon);
    QCOMPARE(knöpfe, 1);
    QVERIFY(port->calls().empty());
    QCOMPARE(Module1::Lesezaehler, 5);
}

void TestSteuerungEinlesen::timersKeepRunningBehindAMessageBox() {
    fenster->Perm_Einlesen->setChecked(true);
    int währendDerMeldung = 0;
    test::beantworteNächstenDialog([&](QWidget* dialog) {
        const auto anfang = Module1::Lesezaehler;
        QTest::qWait(350);
        währendDerMeldung = Module1::Lesezaehler - anfang;
        qobject_cast<QMessageBox*>(dialog)->accept();
    });
    fenster->Unter_Extras[3]->trigger();
    QVERIFY(währendDerMeldung >= 1);
    fenster->Perm_Einlesen->setChecked(false);
}

QTEST_MAIN(TestSteuerungEinlesen)
#include "tst_steuerung_einlesen.moc"
