// Start-up, the Allgemein menu and the three entry fields, driven through
// the real widgets on the offscreen platform.
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fenster/module1.h"
#include "fenster/steuerung/steuerung.h"
#include "port/port.h"
#include "test_support.h"

using namespace dravel;
using Call = port::RecordingPort::Call;

class TestSteuerungStart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void changeAddressDialogAsksWithTheCurrentAddress();
    void changeAddressSetsBaseAndFollowers_data();
    void changeAddressSetsBaseAndFollowers();
    void changeAddressCancelledKeepsEverything();
    void reloadStopsReadingWritesZeroAndResetsFields();
    void closeEndsTheProgramAtOnce();
    void closeBoxEndsTheProgramWhenLastWindow();

    void focusEmptiesTheFieldAndShowsPlaceholders_data();
    void focusEmptiesTheFieldAndShowsPlaceholders();
    void refocusingClearsWhatWasTyped();
    void windowReactivationKeepsWhatWasTyped();
    void binaryCounterCountsTypedCharacters();
    void binaryFieldRefusesANinthCharacter();
    void bin2decShowsRedMessageOnWrongCharacter();
    void resetRestoresStartTextsButKeepsCounterColour();
    void readFieldsRefuseTyping();

private:
    void klickeInFeld(QLineEdit* feld);
    Steuerung* fenster = nullptr;
    port::RecordingPort* port = nullptr;
};

void TestSteuerungStart::initTestCase() { test::richteTestanwendungEin(); }

void TestSteuerungStart::init() {
    port = &test::installiereAufzeichnung();
    port->setRegister(888, 0x55);
    Module1::Main();
    fenster = Module1::Hauptfenster();
    fenster->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fenster));
    fenster->Timer2->stop();  // keep the port log to what each test does
}

void TestSteuerungStart::cleanup() { Module1::ZurücksetzenFürTest(); }

void TestSteuerungStart::klickeInFeld(QLineEdit* feld) {
    QTest::mouseClick(feld, Qt::LeftButton, {}, QPoint(5, 5));
}

void TestSteuerungStart::changeAddressDialogAsksWithTheCurrentAddress() {
    QString titel, prompt, vorgabe;
    QStringList knöpfe;
    test::beantworteNächstenDialog([&](QWidget* dialog) {
        auto* eingabe = qobject_cast<QInputDialog*>(dialog);
        QVERIFY(eingabe);
        titel = eingabe->windowTitle();
        prompt = eingabe->labelText();
        vorgabe = eingabe->textValue();
        for (auto* knopf : eingabe->findChildren<QPushButton*>()) knöpfe << knopf->text();
        eingabe->reject();
    });
    fenster->PortÄndern->trigger();
    QCOMPARE(titel, QStringLiteral("Port ändern"));
    QCOMPARE(prompt, QStringLiteral("Bitte neue Portadresse eingeben.\nStandard = 888"));
    QCOMPARE(vorgabe, QStringLiteral("888"));
    // German standard buttons.
    QVERIFY2(knöpfe.contains(QStringLiteral("Abbrechen")), qPrintable(knöpfe.join(',')));
}

void TestSteuerungStart::changeAddressSetsBaseAndFollowers_data() {
    QTest::addColumn<QString>("antwort");
    QTest::addColumn<int>("basis");  // 888: unchanged
    QTest::newRow("1000") << "1000" << 1000;
    QTest::newRow("hex 278") << "&H278" << 632;
    QTest::newRow("blank digits letters") << " 956abc" << 956;
    QTest::newRow("letters only") << "abc" << 0;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("upper end") << "32765" << 32765;
    QTest::newRow("half to even") << "888.5" << 888;
    QTest::newRow("half to even up") << "889.5" << 890;
    QTest::newRow("PCI Express card") << "&HE800" << -6144;
    QTest::newRow("beyond upper end refused") << "32766" << 888;
    QTest::newRow("below lower end refused") << "-32769" << 888;
    QTest::newRow("32-bit hex refused") << "&HFFFFFFFF" << 888;
    QTest::newRow("too large to read refused") << "1e999" << 888;
    QTest::newRow("D exponent") << "1d3" << 1000;
}

void TestSteuerungStart::changeAddressSetsBaseAndFollowers() {
    QFETCH(QString, antwort);
    QFETCH(int, basis);
    test::beantworteNächstenDialog([antwort](QWidget* dialog) {
        auto* eingabe = qobject_cast<QInputDialog*>(dialog);
        QVERIFY(eingabe);
        eingabe->setTextValue(antwort);
        eingabe->accept();
    });
    fenster->PortÄndern->trigger();
    QCOMPARE(int(fenster->DatenPort), basis);
    QCOMPARE(int(fenster->StatusPort), basis + 1);
    QCOMPARE(int(fenster->ControlPort), basis + 2);
    QCOMPARE(fenster->PortÄndern->text(), QStringLiteral("Port ändern (%1)").arg(basis));
    QVERIFY(port->calls().empty());  // no register is touched

    // The registers are then read at the new address (-6144 is port 0xE800).
    fenster->StatusLeiste();
    QCOMPARE(port->calls().front().port, std::uint16_t(basis & 0xFFFF));
}

void TestSteuerungStart::changeAddressCancelledKeepsEverything() {
    for (bool abbrechen : {true, false}) {
        test::beantworteNächstenDialog([abbrechen](QWidget* dialog) {
            auto* eingabe = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(eingabe);
            eingabe->setTextValue(QString());  // empty confirmed, or cancel
            if (abbrechen) eingabe->reject();
            else eingabe->accept();
        });
        fenster->PortÄndern->trigger();
        QCOMPARE(int(fenster->DatenPort), 888);
        QCOMPARE(fenster->PortÄndern->text(), QStringLiteral("Port ändern (888)"));
    }
}

void TestSteuerungStart::reloadStopsReadingWritesZeroAndResetsFields() {
    fenster->Perm_Einlesen->setChecked(true);
    QVERIFY(fenster->Timer1->isActive());
    klickeInFeld(fenster->Eingabe_dec);
    QTest::keyClicks(fenster->Eingabe_dec, "17");
    fenster->Ausgabeknopf->click();
    QCOMPARE(fenster->Einlesen_dec->text(), QStringLiteral("17"));
    const auto zähler = Module1::Lesezaehler;
    port->clearLog();

    fenster->restart->trigger();

    QVERIFY(!fenster->Perm_Einlesen->isChecked());
    QVERIFY(!fenster->Timer1->isActive());
    QCOMPARE(port->calls(), (std::vector<Call>{port::RecordingPort::w(888, 0)}));
    QCOMPARE(fenster->Einlesen_dec->text(), QStringLiteral("Dec"));
    QCOMPARE(fenster->Einlesen_hex->text(), QStringLiteral("Hex"));
    QCOMPARE(fenster->Einlesen_bin->text(), QStringLiteral("Binär"));
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 0 Bits."));
    // The decimal field had the focus: it got it back and emptied itself.
    QCOMPARE(fenster->Eingabe_dec->text(), QString());
    QCOMPARE(fenster->Eingabe_hex->text(), QStringLiteral("Hex"));
    QCOMPARE(fenster->Eingabe_bin->text(), QStringLiteral("Binär"));
    QVERIFY(fenster->isVisible());
    QCOMPARE(fenster->focusWidget(), static_cast<QWidget*>(fenster->Einlesenknopf));
    // The history and the counter stay.
    QCOMPARE(Module1::Lesezaehler, zähler);
    QVERIFY(fenster->Verlauf->isVisible());
}

void TestSteuerungStart::closeEndsTheProgramAtOnce() {
    QVERIFY(!Module1::ProgrammEndet());
    fenster->Schließen->trigger();
    QVERIFY(Module1::ProgrammEndet());
    QVERIFY(!fenster->isVisible());
    QVERIFY(!fenster->Timer1->isActive());
    QVERIFY(!fenster->Timer2->isActive());
}

void TestSteuerungStart::closeBoxEndsTheProgramWhenLastWindow() {
    QPointer<Steuerung> beobachtet = fenster;
    QVERIFY(QApplication::quitOnLastWindowClosed());
    fenster->close();
    // The close box unloads the window; it is deleted with its timers.
    QTRY_VERIFY(beobachtet.isNull());
}

void TestSteuerungStart::focusEmptiesTheFieldAndShowsPlaceholders_data() {
    QTest::addColumn<QString>("feld");
    QTest::addColumn<QStringList>("texte");
    QTest::addColumn<QString>("zähler");
    QTest::newRow("decimal") << "Eingabe_dec" << QStringList{"", "Hex", "Binär"} << "= 5 Bits.";
    QTest::newRow("hex") << "Eingabe_hex" << QStringList{"Dec", "", "Binär"} << "= 5 Bits.";
    QTest::newRow("binary") << "Eingabe_bin" << QStringList{"Dec", "Hex", ""} << "= 0 Bits.";
}

void TestSteuerungStart::focusEmptiesTheFieldAndShowsPlaceholders() {
    QFETCH(QString, feld);
    QFETCH(QStringList, texte);
    QFETCH(QString, zähler);
    // Start from a field in use elsewhere, with something typed.
    klickeInFeld(fenster->Eingabe_bin);
    QTest::keyClicks(fenster->Eingabe_bin, "101");
    klickeInFeld(fenster->Eingabe_hex);
    QTest::keyClicks(fenster->Eingabe_hex, "AB");
    fenster->Einlesen_dec->setFocus(Qt::TabFocusReason);  // leave the entry fields

    klickeInFeld(fenster->findChild<QLineEdit*>(feld));
    QCOMPARE((QStringList{fenster->Eingabe_dec->text(), fenster->Eingabe_hex->text(),
                          fenster->Eingabe_bin->text()}),
             texte);
    QCOMPARE(fenster->bin_counter->text(), zähler);
    QVERIFY(port->calls().empty());
}

void TestSteuerungStart::refocusingClearsWhatWasTyped() {
    klickeInFeld(fenster->Eingabe_dec);
    QTest::keyClicks(fenster->Eingabe_dec, "42");
    QTest::keyClick(fenster->Eingabe_dec, Qt::Key_Tab);  // on to the hex field
    QCOMPARE(fenster->Eingabe_dec->text(), QStringLiteral("Dec"));
    QCOMPARE(fenster->Eingabe_hex->text(), QString());
    klickeInFeld(fenster->Eingabe_dec);
    QCOMPARE(fenster->Eingabe_dec->text(), QString());
}

void TestSteuerungStart::windowReactivationKeepsWhatWasTyped() {
    klickeInFeld(fenster->Eingabe_dec);
    QTest::keyClicks(fenster->Eingabe_dec, "42");
    // Another window takes the focus, then the main window gets it back.
    QWidget anderes;
    anderes.show();
    anderes.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&anderes));
    fenster->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fenster));
    QCOMPARE(fenster->Eingabe_dec->text(), QStringLiteral("42"));
}

void TestSteuerungStart::binaryCounterCountsTypedCharacters() {
    klickeInFeld(fenster->Eingabe_bin);
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 0 Bits."));
    QTest::keyClicks(fenster->Eingabe_bin, "1");
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 1 Bit."));
    QTest::keyClicks(fenster->Eingabe_bin, "0");
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 2 Bits."));
    QTest::keyClicks(fenster->Eingabe_bin, "101010");
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 8 Bits."));
    QCOMPARE(fenster->bin_counter->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QVERIFY(fenster->bin_counter->font().bold());
    QTest::keyClick(fenster->Eingabe_bin, Qt::Key_Backspace);
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 7 Bits."));
    QCOMPARE(fenster->bin_counter->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    QVERIFY(!fenster->bin_counter->font().bold());
}

void TestSteuerungStart::binaryFieldRefusesANinthCharacter() {
    klickeInFeld(fenster->Eingabe_bin);
    QTest::keyClicks(fenster->Eingabe_bin, "111100001");
    QCOMPARE(fenster->Eingabe_bin->text(), QStringLiteral("11110000"));
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 8 Bits."));
}

void TestSteuerungStart::bin2decShowsRedMessageOnWrongCharacter() {
    const QString vorher = fenster->bin_counter->text();
    QCOMPARE(int(fenster->bin2dec(QStringLiteral("101"))), 5);
    QCOMPARE(fenster->bin_counter->text(), vorher);  // untouched
    QCOMPARE(int(fenster->bin2dec(QStringLiteral("1 1"))), 0);
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("Nur 0 oder 1!"));
    QCOMPARE(fenster->bin_counter->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(!fenster->bin_counter->font().bold());
    // The next change of the binary text sets the count again.
    klickeInFeld(fenster->Eingabe_bin);
    QTest::keyClicks(fenster->Eingabe_bin, "1");
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 1 Bit."));
}

void TestSteuerungStart::resetRestoresStartTextsButKeepsCounterColour() {
    klickeInFeld(fenster->Eingabe_bin);
    QTest::keyClicks(fenster->Eingabe_bin, "10101010");
    fenster->Eingabefelder(10);
    QCOMPARE((QStringList{fenster->Einlesen_dec->text(), fenster->Einlesen_hex->text(),
                          fenster->Einlesen_bin->text()}),
             (QStringList{"10", "A", "0000 1010"}));
    fenster->Rücksetzen();
    QCOMPARE((QStringList{fenster->Eingabe_dec->text(), fenster->Eingabe_hex->text(),
                          fenster->Eingabe_bin->text(), fenster->Einlesen_dec->text(),
                          fenster->Einlesen_hex->text(), fenster->Einlesen_bin->text()}),
             (QStringList{"Dec", "Hex", "Binär", "Dec", "Hex", "Binär"}));
    QCOMPARE(fenster->bin_counter->text(), QStringLiteral("= 0 Bits."));
    // "Binär" counted five characters in black just before the caption was set.
    QCOMPARE(fenster->bin_counter->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    QVERIFY(port->calls().empty());
}

void TestSteuerungStart::readFieldsRefuseTyping() {
    fenster->Einlesen_dec->setFocus();
    QTest::keyClicks(fenster->Einlesen_dec, "99");
    QCOMPARE(fenster->Einlesen_dec->text(), QStringLiteral("Dec"));
    fenster->Einlesen_dec->selectAll();
    QCOMPARE(fenster->Einlesen_dec->selectedText(), QStringLiteral("Dec"));
}

QTEST_MAIN(TestSteuerungStart)
#include "tst_steuerung_start.moc"
