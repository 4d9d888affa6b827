// The write side of the main window: the output command with its three
// fields, the step operations, "Alle"/"Keine", and the guarantee that only
// bytes reach the port.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include "fenster/module1.h"
#include "fenster/gemeinsam/klick_label.h"
#include "fenster/steuerung/steuerung.h"
#include "port/port.h"
#include "test_support.h"

using namespace dravel;
using Call = port::RecordingPort::Call;
using port::RecordingPort;

class TestSteuerungAusgabe : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void outputCommandWritesTheFieldInUse_data();
    void outputCommandWritesTheFieldInUse();
    void emptyFieldInUseResetsAndWritesNothing_data();
    void emptyFieldInUseResetsAndWritesNothing();
    void noFieldInUseDoesNothing();
    void wrongBinaryCharacterWritesNothingWithRedMessage();
    void stepOperationsStartFromTheRegister_data();
    void stepOperationsStartFromTheRegister();
    void allAndNoneGoThroughTheHexField();
    void doubleClickOnALabelActsOnce();
    void everyWriteIsRecordedInTheHistory();
    void onlyBytesReachThePortWhateverIsTyped();

private:
    void tippe(QLineEdit* feld, const QString& text);
    Steuerung* fenster = nullptr;
    RecordingPort* port = nullptr;
};

void TestSteuerungAusgabe::initTestCase() { test::richteTestanwendungEin(); }

void TestSteuerungAusgabe::init() {
    port = &test::installiereAufzeichnung();
    Module1::Main();
    fenster = Module1::Hauptfenster();
    fenster->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fenster));
    fenster->Timer2->stop();
}

void TestSteuerungAusgabe::cleanup() { Module1::ZurücksetzenFürTest(); }

void TestSteuerungAusgabe::tippe(QLineEdit* feld, const QString& text) {
    QTest::mouseClick(feld, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClicks(feld, text);
}

void TestSteuerungAusgabe::outputCommandWritesTheFieldInUse_data() {
    QTest::addColumn<QString>("feld");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("geschrieben");  // -1: nothing written
    QTest::newRow("dec 255") << "Eingabe_dec" << "255" << 255;
    QTest::newRow("dec 0") << "Eingabe_dec" << "0" << 0;
    QTest::newRow("dec 200 with blanks") << "Eingabe_dec" << " 200 " << 200;
    QTest::newRow("dec german half to even") << "Eingabe_dec" << "1,5" << 2;
    QTest::newRow("dec 2,5 to even") << "Eingabe_dec" << "2,5" << 2;
    QTest::newRow("dec 256 refused") << "Eingabe_dec" << "256" << -1;
    QTest::newRow("dec -1 refused") << "Eingabe_dec" << "-1" << -1;
    QTest::newRow("dec letters refused") << "Eingabe_dec" << "abc" << -1;
    QTest::newRow("dec beyond 16 bits refused") << "Eingabe_dec" << "99999" << -1;
    QTest::newRow("dec blanks only refused") << "Eingabe_dec" << "   " << -1;
    QTest::newRow("hex ff") << "Eingabe_hex" << "ff" << 255;
    QTest::newRow("hex FF") << "Eingabe_hex" << "FF" << 255;
    QTest::newRow("hex 100 writes 0") << "Eingabe_hex" << "100" << 0;
    QTest::newRow("hex 7FFF writes 0") << "Eingabe_hex" << "7FFF" << 0;
    QTest::newRow("hex 8000 refused") << "Eingabe_hex" << "8000" << -1;
    QTest::newRow("hex FFFF refused") << "Eingabe_hex" << "FFFF" << -1;
    QTest::newRow("hex G refused") << "Eingabe_hex" << "G" << -1;
    QTest::newRow("hex beyond 16 bits refused") << "Eingabe_hex" << "12345" << -1;
    QTest::newRow("bin 101") << "Eingabe_bin" << "101" << 5;
    QTest::newRow("bin 11111111") << "Eingabe_bin" << "11111111" << 255;
}

void TestSteuerungAusgabe::outputCommandWritesTheFieldInUse() {
    QFETCH(QString, feld);
    QFETCH(QString, text);
    QFETCH(int, geschrieben);
    auto* eingabe = fenster->findChild<QLineEdit*>(feld);
    tippe(eingabe, text);
    port->clearLog();
    QTest::mouseClick(fenster->Ausgabeknopf, Qt::LeftButton);

    if (geschrieben < 0) {
        QVERIFY(port->calls().empty());
        QCOMPARE(fenster->Einlesen_dec->text(), QStringLiteral("Dec"));
        QCOMPARE(Module1::Lesezaehler, 0);
        QCOMPARE(eingabe->text(), text);  // the field keeps what was typed
        return;
    }
    QCOMPARE(port->calls(), (std::vector<Call>{RecordingPort::w(888, std::uint8_t(geschrieben))}));
    QCOMPARE(fenster->Einlesen_dec->text(), QString::number(geschrieben));
    QCOMPARE(fenster->Einlesen_hex->text(), QString::number(geschrieben, 16).toUpper());
    QCOMPARE(int(Module1::Datenwert), geschrieben);
    QCOMPARE(Module1::Lesezaehler, 1);
    QCOMPARE(eingabe->text(), text);
}

void TestSteuerungAusgabe::emptyFieldInUseResetsAndWritesNothing_data() {
    QTest::addColumn<QString>("feld");
    QTest::newRow("dec") << "Eingabe_dec";
    QTest::newRow("hex") << "Eingabe_hex";
    QTest::newRow("bin") << "Eingabe_bin";
}

void TestSteuerungAusgabe::emptyFieldInUseResetsAndWritesNothing() {
    QFETCH(QString, feld);
    fenster->Eingabefelder(7);  // something in the read fields to reset
    tippe(fenster->findChild<QLineEdit*>(feld), QString());
    fenster->Ausgabeknopf->click();
    QVERIFY(port->calls().empty());
    QCOMPARE((QStringList{fenster->Eingabe_dec->text(), fenster->Eingabe_hex->text(),
                          fenster->Eingabe_bin->text(), fenster->Einlesen_dec->text(),
                          fenster->Einlesen_hex->text(), fenster->Einlesen_bin->text(),
                          fenster->bin_counter->text()}),
             (QStringList{"Dec", "Hex", "Binär", "Dec", "Hex", "Binär", "= 0 Bits."}));
}

void TestSteuerungAusgabe::noFieldInUseDoesNothing() {
    fenster->Rücksetzen();
    fenster->Ausgabeknopf->click();
    QVERIFY(port->calls().empty());
    QCOMPARE(Module1::Lesezaehler, 0);
    // A placeholder typed into its own field counts as not in use.
    tippe(fenster->Eingabe_hex, QStringLiteral("Hex"));
    fenster->Ausgabeknopf->click();
    QVERIFY(port->calls().empty());
}

void TestSteuerungAusgabe::wrongBinaryCharacterWritesNothingWithRedMessage() {
    fenster->Eingabefelder(7);
    for (const char* text : {"2", "12", "1100 001"}) {
        tippe(fenster->Eingabe_bin, QString::fromLatin1(text));
        fenster->Ausgabeknopf->click();
        QVERIFY(port->calls().empty());
        QCOMPARE(fenster->bin_counter->text(), QStringLiteral("Nur 0 oder 1!"));
        QCOMPARE(fenster->bin_counter->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(fenster->Einlesen_bin->text(), QStringLiteral("0000 0111"));
        QCOMPARE(Module1::Lesezaehler, 0);
    }
}

void TestSteuerungAusgabe::stepOperationsStartFromTheRegister_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("inhalt");
    QTest::addColumn<int>("geschrieben");
    QTest::newRow("plus on 255") << "Inkr" << 255 << 0;
    QTest::newRow("plus on 7") << "Inkr" << 7 << 8;
    QTest::newRow("minus on 0") << "Dekr" << 0 << 255;
    QTest::newRow("minus on 8") << "Dekr" << 8 << 7;
    QTest::newRow("left on 64") << "Links" << 64 << 128;
    QTest::newRow("left on 127") << "Links" << 127 << 254;
    QTest::newRow("left on 128") << "Links" << 128 << 0;
    QTest::newRow("left on 129") << "Links" << 129 << 0;
    QTest::newRow("right on 0") << "Rechts" << 0 << 0;
    QTest::newRow("right on 1") << "Rechts" << 1 << 0;
    QTest::newRow("right on 255") << "Rechts" << 255 << 127;
}

void TestSteuerungAusgabe::stepOperationsStartFromTheRegister() {
    QFETCH(QString, label);
    QFETCH(int, inhalt);
    QFETCH(int, geschrieben);
    Module1::Datenwert = 99;  // a stale variable must not matter
    port->setRegister(888, std::uint8_t(inhalt));
    QTest::mouseClick(fenster->findChild<KlickLabel*>(label), Qt::LeftButton);
    QCOMPARE(port->calls(), (std::vector<Call>{RecordingPort::r(888, std::uint8_t(inhalt)),
                                               RecordingPort::w(888, std::uint8_t(geschrieben))}));
    QCOMPARE(fenster->Einlesen_dec->text(), QString::number(geschrieben));
}

void TestSteuerungAusgabe::allAndNoneGoThroughTheHexField() {
    tippe(fenster->Eingabe_bin, QStringLiteral("1"));
    QTest::mouseClick(fenster->Alle, Qt::LeftButton);
    QCOMPARE((QStringList{fenster->Eingabe_dec->text(), fenster->Eingabe_hex->text(),
                          fenster->Eingabe_bin->text()}),
             (QStringList{"Dec", "FF", "Binär"}));
    QCOMPARE((QStringList{fenster->Einlesen_dec->text(), fenster->Einlesen_hex->text(),
                          fenster->Einlesen_bin->text()}),
             (QStringList{"255", "FF", "1111 1111"}));
    QTest::mouseClick(fenster->Keine, Qt::LeftButton);
    QCOMPARE(fenster->Eingabe_hex->text(), QStringLiteral("0"));
    QCOMPARE(fenster->Einlesen_bin->text(), QStringLiteral("0000 0000"));
    QCOMPARE(port->writes(), (std::vector<Call>{RecordingPort::w(888, 255), RecordingPort::w(888, 0)}));
    // The focus stayed where it was.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(fenster->Eingabe_bin));
}

void TestSteuerungAusgabe::doubleClickOnALabelActsOnce() {
    for (KlickLabel* ziel :
         {fenster->Inkr, fenster->Dekr, fenster->Links, fenster->Rechts, fenster->Keine,
          fenster->Alle, fenster->C_Bit[4], fenster->C_Bit[5], fenster->Modus}) {
        port->clearLog();
        test::doppelklicke(ziel);
        QVERIFY2(port->writes().size() == 1, qPrintable(ziel->objectName()));
    }
}

void TestSteuerungAusgabe::everyWriteIsRecordedInTheHistory() {
    port->setRegister(888, 10);
    QTest::mouseClick(fenster->Inkr, Qt::LeftButton);
    tippe(fenster->Eingabe_bin, QStringLiteral("0"));
    fenster->Ausgabeknopf->click();
    QCOMPARE(Module1::Lesezaehler, 2);
    QVERIFY(fenster->Lesen[2]->isChecked());
    QVERIFY(fenster->Lesen[2]->text().startsWith(QStringLiteral("2.  0  um ")));
    QVERIFY(fenster->Lesen[1]->text().startsWith(QStringLiteral("1.  11  um ")));
}

void TestSteuerungAusgabe::onlyBytesReachThePortWhateverIsTyped() {
    // Random and awkward texts through all three fields and the output
    // command, and the step operations on every register byte.
    const auto vorher = port::valuesOutsideByte();
    QStringList texte{"", " ", "-0", "-1", "256", "65535", "-32768", "32767", "1e3", "1e999",
                      "0,5", "255,4", "255,5", "-0,4", "&HFF", "0x10", "FFFF", "7FFF", "8000",
                      "ffff", "1.000", "٣", QString(QChar(0)), "\t12", "nan", "inf", "+5"};
    auto* zufall = QRandomGenerator::global();
    const QString zeichen = QStringLiteral("0123456789abcdefABCDEF+-,. &Hx\t");
    for (int i = 0; i < 300; ++i) {
        QString t;
        const int länge = int(zufall->bounded(1, 9));
        for (int k = 0; k < länge; ++k) t += zeichen[int(zufall->bounded(zeichen.size()))];
        texte << t;
    }
    for (const QString& text : texte) {
        for (QLineEdit* feld : {fenster->Eingabe_dec, fenster->Eingabe_hex, fenster->Eingabe_bin}) {
            QTest::mouseClick(feld, Qt::LeftButton, {}, QPoint(5, 5));
            feld->setText(text);
            fenster->Ausgabeknopf->click();
        }
    }
    for (int b = 0; b < 256; ++b) {
        port->setRegister(888, std::uint8_t(b));
        fenster->Inkr_Click();
        port->setRegister(888, std::uint8_t(b));
        fenster->Dekr_Click();
        port->setRegister(888, std::uint8_t(b));
        fenster->Links_Click();
        port->setRegister(888, std::uint8_t(b));
        fenster->Rechts_Click();
    }
    QVERIFY(port->writes().size() > 1000);
    QCOMPARE(port::valuesOutsideByte(), vorher);
}

QTEST_MAIN(TestSteuerungAusgabe)
#include "tst_steuerung_ausgabe.moc"
