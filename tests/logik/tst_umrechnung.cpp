// Conversions and register texts of the main window, without a window.
#include <QSet>
#include <QTest>

#include "logik/register_texte.h"
#include "logik/umrechnung.h"

using namespace dravel;

class TestUmrechnung : public QObject {
    Q_OBJECT
private slots:
    void dec2binWritesNineCharacters_data();
    void dec2binWritesNineCharacters();
    void binaryTextReadsAsLowBits_data();
    void binaryTextReadsAsLowBits();
    void hexTextAcceptsOnlyHexDigitsBelow8000_data();
    void hexTextAcceptsOnlyHexDigitsBelow8000();
    void bitCounterUsesSingularForOne();
    void modeStepIsReadBackAsTheNextKnownMode();
    void unknownModeNamesItsCodeAndStepsToEcp_data();
    void unknownModeNamesItsCodeAndStepsToEcp();
    void modeReplacesOnlyTheThreeLowestBits();
    void historyEntryText();
};

void TestUmrechnung::dec2binWritesNineCharacters_data() {
    QTest::addColumn<int>("wert");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "0000 0000";
    QTest::newRow("5") << 5 << "0000 0101";
    QTest::newRow("10") << 10 << "0000 1010";
    QTest::newRow("128") << 128 << "1000 0000";
    QTest::newRow("200") << 200 << "1100 1000";
    QTest::newRow("255") << 255 << "1111 1111";
    QTest::newRow("256 saturates") << 256 << "1111 1111";
    QTest::newRow("negative") << -1 << "0000 0000";
}

void TestUmrechnung::dec2binWritesNineCharacters() {
    QFETCH(int, wert);
    QFETCH(QString, text);
    QCOMPARE(dec2bin(std::int16_t(wert)), text);
}

void TestUmrechnung::binaryTextReadsAsLowBits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("wert");  // -1: refused
    QTest::newRow("101") << "101" << 5;
    QTest::newRow("one and seven zeros") << "10000000" << 128;
    QTest::newRow("eight ones") << "11111111" << 255;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("leading zeros") << "00000001" << 1;
    QTest::newRow("digit 2") << "102" << -1;
    QTest::newRow("blank inside") << "1 1" << -1;
    QTest::newRow("letter") << "1O1" << -1;
    QTest::newRow("nine characters") << "111111111" << -1;
}

void TestUmrechnung::binaryTextReadsAsLowBits() {
    QFETCH(QString, text);
    QFETCH(int, wert);
    const auto gelesen = binärWert(text);
    if (wert < 0) {
        QVERIFY(!gelesen.has_value());
    } else {
        QVERIFY(gelesen.has_value());
        QCOMPARE(int(*gelesen), wert);
    }
}

void TestUmrechnung::hexTextAcceptsOnlyHexDigitsBelow8000_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("wert");  // -1: refused
    QTest::newRow("FF") << "FF" << 255;
    QTest::newRow("ff") << "ff" << 255;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("100") << "100" << 256;
    QTest::newRow("blanks around") << " a " << 10;
    QTest::newRow("7FFF") << "7FFF" << 32767;
    QTest::newRow("8000 refused") << "8000" << -1;
    QTest::newRow("FFFF refused") << "FFFF" << -1;
    QTest::newRow("five digits") << "10000" << -1;
    QTest::newRow("G") << "G" << -1;
    QTest::newRow("prefix") << "0x10" << -1;
    QTest::newRow("blanks only") << "   " << -1;
    QTest::newRow("sign") << "-1" << -1;
    QTest::newRow("long leading zeros") << "000000FF" << 255;
}

void TestUmrechnung::hexTextAcceptsOnlyHexDigitsBelow8000() {
    QFETCH(QString, text);
    QFETCH(int, wert);
    const auto gelesen = hexWert(text);
    if (wert < 0) {
        QVERIFY(!gelesen.has_value());
    } else {
        QVERIFY(gelesen.has_value());
        QCOMPARE(int(*gelesen), wert);
    }
}

void TestUmrechnung::bitCounterUsesSingularForOne() {
    QCOMPARE(bitZählerText(0), QStringLiteral("= 0 Bits."));
    QCOMPARE(bitZählerText(1), QStringLiteral("= 1 Bit."));
    QCOMPARE(bitZählerText(2), QStringLiteral("= 2 Bits."));
    QCOMPARE(bitZählerText(8), QStringLiteral("= 8 Bits."));
}

void TestUmrechnung::modeStepIsReadBackAsTheNextKnownMode() {
    // Whatever the register holds, one step writes a known mode, and the
    // value written reads back as that mode.
    for (int v = 0; v < 256; ++v) {
        const QString weiter = nächsterModusCode(modusCode(std::int16_t(v)));
        QCOMPARE(modusCode(mitModus(std::int16_t(v), weiter)), weiter);
        QVERIFY(modusText(weiter).beschriftung != QStringLiteral("Unbekannt"));
    }
}

void TestUmrechnung::unknownModeNamesItsCodeAndStepsToEcp_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("001") << "001";
    QTest::newRow("101") << "101";
}

void TestUmrechnung::unknownModeNamesItsCodeAndStepsToEcp() {
    QFETCH(QString, code);
    QCOMPARE(modusText(code).beschriftung, QStringLiteral("Unbekannt"));
    QCOMPARE(modusText(code).tooltip, QStringLiteral("Unbekannter Modus: ") + code);
    QCOMPARE(modusText(nächsterModusCode(code)).beschriftung, QStringLiteral("ECP"));
}

void TestUmrechnung::modeReplacesOnlyTheThreeLowestBits() {
    // Six steps from ECP come back to ECP, through every mode once.
    QString code = QStringLiteral("011");
    QStringList weg;
    for (int i = 0; i < 6; ++i) {
        code = nächsterModusCode(code);
        weg << modusText(code).beschriftung;
    }
    QCOMPARE(weg, (QStringList{"EPP", "FIFO", "SPP", "Testmode", "Config", "ECP"}));
    QSet<QString> tooltips;
    for (int i = 0; i < 6; ++i) tooltips.insert(modusText(code = nächsterModusCode(code)).tooltip);
    QCOMPARE(tooltips.size(), 6);
    for (int v = 0; v < 256; ++v) {
        const int neu = mitModus(std::int16_t(v), QStringLiteral("110"));
        QCOMPARE(neu & 0xF8, v & 0xF8);
        QCOMPARE(neu & 0x07, 6);
    }
}

void TestUmrechnung::historyEntryText() {
    QCOMPARE(verlaufEintrag(12, QStringLiteral("255"), QStringLiteral("14:03:22")),
             QStringLiteral("12.  255  um 14:03:22"));
    QCOMPARE(controlBitText(5, true), QStringLiteral("Eingang"));
    QCOMPARE(controlBitText(5, false), QStringLiteral("Ausgang"));
    QCOMPARE(controlBitText(4, true), QStringLiteral("Int. ein"));
    QCOMPARE(controlBitText(4, false), QStringLiteral("Int. aus"));
}

QTEST_APPLESS_MAIN(TestUmrechnung)
#include "tst_umrechnung.moc"
