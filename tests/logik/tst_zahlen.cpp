// Number reading shared by the address dialog and the generator's settings,
// and the locale-aware 16-bit conversion of the entry fields.
#include <QLocale>
#include <QTest>
#include <cmath>
#include <limits>

#include "logik/zahlen.h"

using dravel::führendeZahl;
using dravel::rundeGerade;
using dravel::zuGanzzahl16;

class TestZahlen : public QObject {
    Q_OBJECT
private slots:
    void leadingNumberReadsWhatFitsAndIgnoresTheRest_data();
    void leadingNumberReadsWhatFitsAndIgnoresTheRest();
    void leadingNumberRefusesNumbersTooLargeToRead_data();
    void leadingNumberRefusesNumbersTooLargeToRead();
    void roundingGoesToTheEvenNeighbourAndChecksTheRange_data();
    void roundingGoesToTheEvenNeighbourAndChecksTheRange();
    void localeConversionFollowsTheLocale_data();
    void localeConversionFollowsTheLocale();
};

void TestZahlen::leadingNumberReadsWhatFitsAndIgnoresTheRest_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("erwartet");
    QTest::newRow("plain") << "888" << 888.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks only") << "   \t\n " << 0.0;
    QTest::newRow("minus alone") << "-" << 0.0;
    QTest::newRow("plus alone") << "+" << 0.0;
    QTest::newRow("two signs") << "+-5" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("x12") << "x12" << 0.0;
    QTest::newRow("blank inside") << " 9 56abc" << 956.0;
    QTest::newRow("trailing junk") << "888abc" << 888.0;
    QTest::newRow("leading blanks and sign") << "  -5abc" << -5.0;
    QTest::newRow("decimal point") << "888.5" << 888.5;
    QTest::newRow("second point ends") << "1.2.3" << 1.2;
    QTest::newRow("comma is no point") << "0,5" << 0.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("E exponent") << "1e3" << 1000.0;
    QTest::newRow("D exponent") << "1d2" << 100.0;
    QTest::newRow("signed exponent") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "7e" << 7.0;
    QTest::newRow("tiny reads as zero") << "1e-999" << 0.0;
    QTest::newRow("tiny by its digits reads as zero") << "0." + QString(330, u'0') + "1" << 0.0;
    QTest::newRow("carriage return ends the number") << "12\r3" << 12.0;
    QTest::newRow("hex") << "&H378" << 888.0;
    QTest::newRow("hex lower case") << "&h1f" << 31.0;
    QTest::newRow("hex alone") << "&H" << 0.0;
    QTest::newRow("hex with junk") << "&H37Z8" << 55.0;
    QTest::newRow("hex four digits is 16-bit pattern") << "&HE800" << -6144.0;
    QTest::newRow("hex FFFF is -1") << "&HFFFF" << -1.0;
    QTest::newRow("hex 7FFF stays positive") << "&H7FFF" << 32767.0;
    QTest::newRow("hex five digits plain") << "&H0FFFF" << 65535.0;
    QTest::newRow("hex 32 bits plain") << "&HFFFFFFFF" << 4294967295.0;
    QTest::newRow("octal") << "&O1570" << 888.0;
    QTest::newRow("octal six digits pattern") << "&O177777" << -1.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("ampersand other letter") << "&X12" << 0.0;
    QTest::newRow("0x is not hex") << "0x378" << 0.0;
    QTest::newRow("NUL ends the number") << QString::fromUtf16(u"12\u00003", 4) << 12.0;
    QTest::newRow("non-latin letters") << QString::fromUtf8("٣٤ЖЖ") << 0.0;
    QTest::newRow("digits then cyrillic") << QString::fromUtf8("42Ж") << 42.0;
}

void TestZahlen::leadingNumberReadsWhatFitsAndIgnoresTheRest() {
    QFETCH(QString, text);
    QFETCH(double, erwartet);
    const auto zahl = führendeZahl(text);
    QVERIFY(zahl.has_value());
    QCOMPARE(*zahl, erwartet);
}

void TestZahlen::leadingNumberRefusesNumbersTooLargeToRead_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("1e999") << "1e999";
    QTest::newRow("-1e999") << "-1e999";
    QTest::newRow("hex beyond 32 bits") << "&H100000000";
    QTest::newRow("very long digits") << QString(400, u'9');
    QTest::newRow("huge with a negative exponent") << "1" + QString(310, u'0') + "E-1";
}

void TestZahlen::leadingNumberRefusesNumbersTooLargeToRead() {
    QFETCH(QString, text);
    QVERIFY(!führendeZahl(text).has_value());
}

void TestZahlen::roundingGoesToTheEvenNeighbourAndChecksTheRange_data() {
    QTest::addColumn<double>("wert");
    QTest::addColumn<int>("erwartet");  // -99999: refused
    QTest::newRow("888.5") << 888.5 << 888;
    QTest::newRow("889.5") << 889.5 << 890;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-1.5") << -1.5 << -2;
    QTest::newRow("upper end") << 32765.0 << 32765;
    QTest::newRow("beyond upper end") << 32766.0 << -99999;
    QTest::newRow("32765.5 rounds to 32766") << 32765.5 << -99999;
    QTest::newRow("lower end") << -32768.0 << -32768;
    QTest::newRow("below lower end") << -32768.6 << -99999;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << -99999;
    QTest::newRow("nan") << std::nan("") << -99999;
}

void TestZahlen::roundingGoesToTheEvenNeighbourAndChecksTheRange() {
    QFETCH(double, wert);
    QFETCH(int, erwartet);
    const auto gerundet = rundeGerade(wert, -32768, 32765);
    if (erwartet == -99999) {
        QVERIFY(!gerundet.has_value());
    } else {
        QVERIFY(gerundet.has_value());
        QCOMPARE(*gerundet, erwartet);
    }
}

void TestZahlen::localeConversionFollowsTheLocale_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sprache");
    QTest::addColumn<int>("erwartet");  // -99999: refused
    QTest::newRow("de plain") << "200" << "de_DE" << 200;
    QTest::newRow("de blanks around") << "  12 " << "de_DE" << 12;
    QTest::newRow("de half to even down") << "2,5" << "de_DE" << 2;
    QTest::newRow("de half to even up") << "1,5" << "de_DE" << 2;
    QTest::newRow("de negative") << "-1" << "de_DE" << -1;
    QTest::newRow("de 16-bit top") << "32767" << "de_DE" << 32767;
    QTest::newRow("de beyond 16 bits") << "32768" << "de_DE" << -99999;
    QTest::newRow("de letters") << "abc" << "de_DE" << -99999;
    QTest::newRow("de digits then letters") << "12a" << "de_DE" << -99999;
    QTest::newRow("de blanks only") << "   " << "de_DE" << -99999;
    QTest::newRow("de infinity word") << "inf" << "de_DE" << -99999;
    QTest::newRow("de huge") << "1e999" << "de_DE" << -99999;
    QTest::newRow("en point") << "1.5" << "en_US" << 2;
    QTest::newRow("en comma is no decimal") << "0,5" << "en_US" << -99999;
}

void TestZahlen::localeConversionFollowsTheLocale() {
    QFETCH(QString, text);
    QFETCH(QString, sprache);
    QFETCH(int, erwartet);
    const auto wert = zuGanzzahl16(text, QLocale(sprache));
    if (erwartet == -99999) {
        QVERIFY2(!wert.has_value(), qPrintable(QString::number(wert.value_or(0))));
    } else {
        QVERIFY(wert.has_value());
        QCOMPARE(int(*wert), erwartet);
    }
}

QTEST_APPLESS_MAIN(TestZahlen)
#include "tst_zahlen.moc"
