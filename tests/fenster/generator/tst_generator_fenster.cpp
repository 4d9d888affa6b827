// The generator window outside of runs: what opening it sets up, applying
// the settings, the channel 2 switch, the keyboard shortcuts seen before the
// focused control, the clock controls' checks, and opening from the main
// window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "fenster/generator/generator_fenster.h"
#include "fenster/module1.h"
#include "fenster/steuerung/steuerung.h"
#include "generator_pruefstand.h"
#include "test_support.h"

using dravel::GeneratorFenster;
using dravel::test::Pruefstand;

namespace {

void klicke(QAbstractButton* knopf) {
    QTest::mouseClick(knopf, Qt::LeftButton);
}

QStringList einträge(const QComboBox* kombi) {
    QStringList liste;
    for (int i = 0; i < kombi->count(); ++i) liste << kombi->itemText(i);
    return liste;
}

// Counts the presses of one key that reach one control.
class TastenZähler final : public QObject {
public:
    explicit TastenZähler(int taste) : taste_(taste) {}
    int anzahl = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == taste_) ++anzahl;
        return false;
    }

private:
    int taste_;
};

const QStringList kNullBisSieben{"0", "1", "2", "3", "4", "5", "6", "7"};

}  // namespace

class TestGeneratorFenster : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openingStartsFromTheInitialState();
    void menuEntryOpensOneWindowAndAFreshOneAfterClosing();
    void applyingReadsAddressAndTimeBase_data();
    void applyingReadsAddressAndTimeBase();
    void applyButtonFollowsTheFields();
    void channel2SwitchKeepsItsContents();
    void passModeKeysWorkFromAnyControl_data();
    void passModeKeysWorkFromAnyControl();
    void enterStartsARunAndStillReachesTheControl_data();
    void enterStartsARunAndStillReachesTheControl();
    void keysOfTheMainWindowAreNotTheGenerators();
    void clockCheckBoxEnablesAndChecks_data();
    void clockCheckBoxEnablesAndChecks();

private:
    Pruefstand stand;
    QPointer<GeneratorFenster> fenster;
};

void TestGeneratorFenster::initTestCase() {
    dravel::test::richteTestanwendungEin();
}

void TestGeneratorFenster::init() {
    Module1::ZurücksetzenFürTest();
    stand.installiere();
    fenster = Module1::Generatorfenster();
    fenster->show();
    QVERIFY(QTest::qWaitForWindowActive(fenster));
}

void TestGeneratorFenster::cleanup() {
    Module1::ZurücksetzenFürTest();
    dravel::port::releaseBackend();
}

void TestGeneratorFenster::openingStartsFromTheInitialState() {
    QCOMPARE(fenster->windowTitle(), QStringLiteral("Signalgenerator (Unvollendet!!)"));
    QCOMPARE(fenster->GenFenstertitel, fenster->windowTitle());
    QCOMPARE(fenster->GenAdresse, std::int16_t(888));
    QCOMPARE(fenster->Zeitbasiswert, 0.1f);
    for (const QComboBox* kombi :
         {fenster->AusgabeKanal1, fenster->AusgabeKanal2, fenster->TaktKanal}) {
        QCOMPARE(einträge(kombi), kNullBisSieben);
        QCOMPARE(kombi->currentText(), QStringLiteral("0"));
    }
    QVERIFY(fenster->OptSingle->isChecked());
    QVERIFY(!fenster->Kanal2En->isChecked());
    QVERIFY(!fenster->Frame4->isEnabled());
    QVERIFY(fenster->Kanal2En->isEnabled());
    QVERIFY(!fenster->Übernehmen->isEnabled());
    QVERIFY(!fenster->TaktKanal->isEnabled());
    QVERIFY(fenster->Syncron->isChecked());
    QVERIFY(!fenster->Identisch->isVisible());
    QVERIFY(!fenster->TaktTimer->isActive());
    QCOMPARE(fenster->TaktTimer->interval(), 100);
    QCOMPARE(QApplication::focusWidget(), fenster->TaktEn);
    // Opening the window does not touch the port.
    QVERIFY(stand.aufzeichnung->calls().empty());
}

void TestGeneratorFenster::menuEntryOpensOneWindowAndAFreshOneAfterClosing() {
    Module1::ZurücksetzenFürTest();
    dravel::Steuerung* haupt = Module1::Hauptfenster();
    haupt->show();

    haupt->Generator->trigger();
    QPointer<GeneratorFenster> erstes = dravel::test::offeneFenster<GeneratorFenster>().value(0);
    QVERIFY(erstes);
    QVERIFY(erstes->isVisible());
    erstes->Adresse->setText(QStringLiteral("1000"));
    klicke(erstes->Übernehmen);
    klicke(erstes->OptLoop);

    haupt->Generator->trigger();
    QCOMPARE(dravel::test::offeneFenster<GeneratorFenster>(),
             QList<GeneratorFenster*>{erstes.data()});

    erstes->close();
    QTRY_VERIFY(erstes.isNull());
    QVERIFY(haupt->isVisible());

    haupt->Generator->trigger();
    GeneratorFenster* zweites = dravel::test::offeneFenster<GeneratorFenster>().value(0);
    QVERIFY(zweites);
    QCOMPARE(zweites->GenAdresse, std::int16_t(888));
    QCOMPARE(zweites->Adresse->text(), QStringLiteral("888"));
    QCOMPARE(zweites->Zeitbasis->text(), QStringLiteral("0.1"));
    QCOMPARE(zweites->BasisAnz->text(), QStringLiteral("0,1ms"));
    QVERIFY(zweites->OptSingle->isChecked());
    QCOMPARE(einträge(zweites->AusgabeKanal1), kNullBisSieben);
    QCOMPARE(einträge(zweites->TaktKanal), kNullBisSieben);
}

void TestGeneratorFenster::applyingReadsAddressAndTimeBase_data() {
    QTest::addColumn<QString>("adresse");
    QTest::addColumn<QString>("zeitbasis");
    QTest::addColumn<int>("genAdresse");
    QTest::addColumn<QString>("anzeige");
    QTest::addColumn<int>("intervall");
    QTest::newRow("defaults") << "888"
                              << "0.1" << 888 << "0,1ms" << 0;
    QTest::newRow("hex address, 100 ms") << "&H378"
                                         << "100" << 888 << "100ms" << 100;
    QTest::newRow("C hex reads 0, comma reads 0") << "0x378"
                                                  << "0,5" << 0 << "0ms" << 0;
    QTest::newRow("trailing letters, half to even") << "888abc"
                                                    << "2.5" << 888 << "2,5ms" << 2;
    QTest::newRow("half address to even") << "888.5"
                                          << "1" << 888 << "1ms" << 1;
    QTest::newRow("empty fields read 0") << ""
                                         << "" << 0 << "0ms" << 0;
    // Refused parts keep their value; the rest still applies.
    QTest::newRow("address too large keeps the old one") << "40000"
                                                         << "7" << 1234 << "7ms" << 7;
    QTest::newRow("beyond the timer keeps its interval") << "1"
                                                         << "70000" << 1 << "70000ms" << 42;
    QTest::newRow("negative time base keeps the interval") << "1"
                                                           << "-5" << 1 << "-5ms" << 42;
    QTest::newRow("time base beyond single range keeps it") << "1"
                                                            << "1e40" << 1 << "42ms" << 42;
}

void TestGeneratorFenster::applyingReadsAddressAndTimeBase() {
    QFETCH(QString, adresse);
    QFETCH(QString, zeitbasis);
    QFETCH(int, genAdresse);
    QFETCH(QString, anzeige);
    QFETCH(int, intervall);

    // Settings in force before: address 1234, time base 42 ms.
    fenster->Adresse->setText(QStringLiteral("1234"));
    fenster->Zeitbasis->setText(QStringLiteral("42"));
    klicke(fenster->Übernehmen);

    fenster->Adresse->selectAll();
    QTest::keyClicks(fenster->Adresse, adresse);
    if (adresse.isEmpty()) fenster->Adresse->clear();
    fenster->Zeitbasis->selectAll();
    QTest::keyClicks(fenster->Zeitbasis, zeitbasis);
    if (zeitbasis.isEmpty()) fenster->Zeitbasis->clear();
    QVERIFY(fenster->Übernehmen->isEnabled());
    klicke(fenster->Übernehmen);

    QCOMPARE(int(fenster->GenAdresse), genAdresse);
    QCOMPARE(fenster->BasisAnz->text(), anzeige);
    QCOMPARE(fenster->BasisAnz2->text(), anzeige);
    QCOMPARE(fenster->TaktTimer->interval(), intervall);
    QVERIFY(!fenster->Übernehmen->isEnabled());
    QVERIFY(!fenster->TaktTimer->isActive());
}

void TestGeneratorFenster::applyButtonFollowsTheFields() {
    QTest::keyClick(fenster->Adresse, Qt::Key_Backspace);
    QVERIFY(fenster->Übernehmen->isEnabled());
    // Changing the field back is still a change.
    QTest::keyClick(fenster->Adresse, Qt::Key_8);
    QCOMPARE(fenster->Adresse->text(), QStringLiteral("888"));
    QVERIFY(fenster->Übernehmen->isEnabled());
    klicke(fenster->Übernehmen);
    QVERIFY(!fenster->Übernehmen->isEnabled());
    // A second click on the disabled button does nothing.
    fenster->Adresse->setText(QStringLiteral("999"));
    klicke(fenster->Übernehmen);
    fenster->Adresse->setText(QStringLiteral("777"));
    QCOMPARE(fenster->GenAdresse, std::int16_t(999));
    QTest::keyClick(fenster->Zeitbasis, Qt::Key_5);
    QVERIFY(fenster->Übernehmen->isEnabled());
}

void TestGeneratorFenster::channel2SwitchKeepsItsContents() {
    klicke(fenster->Kanal2En);
    QVERIFY(fenster->Frame4->isEnabled());
    fenster->Binärstring2->setText(QStringLiteral("1HL"));
    fenster->AusgabeKanal2->setCurrentIndex(5);
    klicke(fenster->Kanal2En);
    QVERIFY(!fenster->Frame4->isEnabled());
    QVERIFY(!fenster->Binärstring2->isEnabled());
    klicke(fenster->Kanal2En);
    QCOMPARE(fenster->Binärstring2->text(), QStringLiteral("1HL"));
    QCOMPARE(fenster->AusgabeKanal2->currentText(), QStringLiteral("5"));
}

void TestGeneratorFenster::passModeKeysWorkFromAnyControl_data() {
    QTest::addColumn<QString>("ziel");
    QTest::addColumn<int>("taste");
    QTest::addColumn<int>("modifikatoren");
    QTest::addColumn<bool>("schleifeDanach");
    const int strg = Qt::ControlModifier;
    QTest::newRow("Ctrl+L in a text field") << "Binärstring" << int(Qt::Key_L) << strg << true;
    QTest::newRow("Ctrl+L in a combo box") << "AusgabeKanal1" << int(Qt::Key_L) << strg << true;
    QTest::newRow("Ctrl+L on a button") << "StartStop" << int(Qt::Key_L) << strg << true;
    QTest::newRow("Ctrl+S after Ctrl+L") << "Adresse" << int(Qt::Key_S) << strg << false;
    QTest::newRow("L alone") << "Adresse" << int(Qt::Key_L) << 0 << false;
    QTest::newRow("Ctrl+Shift+L") << "Adresse" << int(Qt::Key_L)
                                  << int(Qt::ControlModifier | Qt::ShiftModifier) << false;
    QTest::newRow("Ctrl+Alt+L") << "Adresse" << int(Qt::Key_L)
                                << int(Qt::ControlModifier | Qt::AltModifier) << false;
    QTest::newRow("Ctrl+K") << "Adresse" << int(Qt::Key_K) << strg << false;
}

void TestGeneratorFenster::passModeKeysWorkFromAnyControl() {
    QFETCH(QString, ziel);
    QFETCH(int, taste);
    QFETCH(int, modifikatoren);
    QFETCH(bool, schleifeDanach);

    if (QTest::currentDataTag() == QByteArrayLiteral("Ctrl+S after Ctrl+L"))
        klicke(fenster->OptLoop);
    auto* steuerelement = fenster->findChild<QWidget*>(ziel);
    QVERIFY(steuerelement);
    steuerelement->setFocus();
    QCOMPARE(QApplication::focusWidget(), steuerelement);

    TastenZähler zähler(taste);
    steuerelement->installEventFilter(&zähler);
    QTest::keyClick(steuerelement, Qt::Key(taste), Qt::KeyboardModifiers(modifikatoren));

    QCOMPARE(fenster->OptLoop->isChecked(), schleifeDanach);
    QCOMPARE(fenster->OptSingle->isChecked(), !schleifeDanach);
    // The key is not consumed: the control still gets it.
    QCOMPARE(zähler.anzahl, 1);
    QVERIFY(stand.aufzeichnung->calls().empty());
}

void TestGeneratorFenster::enterStartsARunAndStillReachesTheControl_data() {
    QTest::addColumn<QString>("ziel");
    QTest::addColumn<int>("taste");
    QTest::newRow("Return in the address field") << "Adresse" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter in the bit string") << "Binärstring" << int(Qt::Key_Enter);
    QTest::newRow("Return in a combo box") << "AusgabeKanal1" << int(Qt::Key_Return);
}

void TestGeneratorFenster::enterStartsARunAndStillReachesTheControl() {
    QFETCH(QString, ziel);
    QFETCH(int, taste);
    auto* steuerelement = fenster->findChild<QWidget*>(ziel);
    QVERIFY(steuerelement);
    steuerelement->setFocus();
    fenster->Binärstring->setText(QStringLiteral("1"));
    TastenZähler zähler(taste);
    steuerelement->installEventFilter(&zähler);

    QTest::keyClick(steuerelement, Qt::Key(taste));

    // One single pass of one character.
    QCOMPARE(stand.aufzeichnung->writes().size(), std::size_t(1));
    QCOMPARE(fenster->StartStop->text(), QStringLiteral("Start"));
    QCOMPARE(zähler.anzahl, 1);
}

void TestGeneratorFenster::keysOfTheMainWindowAreNotTheGenerators() {
    dravel::Steuerung* haupt = Module1::Hauptfenster();
    haupt->show();
    haupt->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(haupt));
    fenster->Binärstring->setText(QStringLiteral("h"));  // a start would write "H"
    haupt->Eingabe_hex->setFocus();
    QTest::keyClick(haupt->Eingabe_hex, Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(haupt->Eingabe_hex, Qt::Key_Return);
    QVERIFY(fenster->OptSingle->isChecked());
    QCOMPARE(fenster->Binärstring->text(), QStringLiteral("h"));
}

void TestGeneratorFenster::clockCheckBoxEnablesAndChecks_data() {
    QTest::addColumn<bool>("kanal2");
    QTest::addColumn<bool>("taktEin");  // the clock box's state after the click
    QTest::addColumn<QString>("zeile1");
    QTest::addColumn<QString>("zeile2");
    QTest::addColumn<QString>("taktZeile");
    QTest::addColumn<bool>("warnung");
    QTest::newRow("ticked with the load-time lines") << false << true << "0"
                                                     << "0"
                                                     << "0" << true;
    QTest::newRow("ticked, three different lines") << false << true << "0"
                                                   << "1"
                                                   << "2" << false;
    QTest::newRow("ticked, clock on channel 2's line") << false << true << "0"
                                                       << "2"
                                                       << "2" << true;
    QTest::newRow("unticked, channel 2 off") << false << false << "0"
                                             << "0"
                                             << "0" << false;
    // Unlike the start check, the clock's pairs count with the clock off.
    QTest::newRow("unticked, channel 2 on, clock on channel 1's line") << true << false << "3"
                                                                       << "4"
                                                                       << "3" << true;
    QTest::newRow("unticked, channel 2 on, all different") << true << false << "3"
                                                           << "4"
                                                           << "5" << false;
}

void TestGeneratorFenster::clockCheckBoxEnablesAndChecks() {
    QFETCH(bool, kanal2);
    QFETCH(bool, taktEin);
    QFETCH(QString, zeile1);
    QFETCH(QString, zeile2);
    QFETCH(QString, taktZeile);
    QFETCH(bool, warnung);

    if (kanal2) klicke(fenster->Kanal2En);
    fenster->AusgabeKanal1->setCurrentText(zeile1);
    fenster->AusgabeKanal2->setCurrentText(zeile2);
    fenster->TaktKanal->setCurrentText(taktZeile);
    if (!taktEin) {
        klicke(fenster->TaktEn);
        // Labels showing from the tick must go or stay by the untick's check.
        fenster->Identisch->show();
        fenster->Identisch2->show();
    }
    klicke(fenster->TaktEn);

    QCOMPARE(fenster->TaktEn->isChecked(), taktEin);
    QCOMPARE(fenster->TaktKanal->isEnabled(), taktEin);
    QCOMPARE(fenster->Syncron->isEnabled(), taktEin);
    QCOMPARE(fenster->Asyncron->isEnabled(), taktEin);
    QCOMPARE(fenster->Identisch->isVisible(), warnung);
    QCOMPARE(fenster->Identisch2->isVisible(), warnung);
    QCOMPARE(fenster->StartStop->text(), QStringLiteral("Start"));
    QVERIFY(stand.aufzeichnung->calls().empty());
}

QTEST_MAIN(TestGeneratorFenster)
#include "tst_generator_fenster.moc"
