// The generator's arithmetic without a window, where the window's tests
// cannot reach every case: the time-base caption's number format, one data
// line changed in a byte, capitals, and the length of a wait.
#include <QLocale>
#include <QTest>
#include <cmath>
#include <limits>
#include <optional>

#include "logik/generator_logik.h"

using namespace dravel::generator;

Q_DECLARE_METATYPE(std::optional<int>)

class TestGeneratorLogik : public QObject {
    Q_OBJECT
private slots:
    void timeBaseTextAndWhatItShows_data();
    void timeBaseTextAndWhatItShows();
    void timeBaseBeyondSinglePrecisionIsRefused();
    void setBitChangesOnlyTheNamedLine_data();
    void setBitChangesOnlyTheNamedLine();
    void capitalsKeepTheLength();
};

void TestGeneratorLogik::timeBaseTextAndWhatItShows_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("zeitbasis");
    QTest::addColumn<QString>("anzeige");
    QTest::addColumn<std::optional<int>>("intervall");
    QTest::newRow("above the timer's range, no grouping")
        << "65536" << 65536.0f << "65536ms" << std::optional<int>();
    QTest::newRow("timer's largest")
        << "65535" << 65535.0f << "65535ms" << std::optional<int>(65535);
    QTest::newRow("seven digits") << "1234567" << 1234567.0f << "1234567ms" << std::optional<int>();
    QTest::newRow("beyond seven digits uses an exponent")
        << "1e10" << 1e10f << "1E+10ms" << std::optional<int>();
    QTest::newRow("tiny uses an exponent")
        << "0.00001" << 1e-5f << "1E-05ms" << std::optional<int>(0);
    QTest::newRow("minus zero shows as zero") << "-0" << -0.0f << "0ms" << std::optional<int>(0);
    QTest::newRow("single precision shows seven digits")
        << "0.123456789" << 0.123456789f << "0,1234568ms" << std::optional<int>(0);
}

void TestGeneratorLogik::timeBaseTextAndWhatItShows() {
    QFETCH(QString, text);
    QFETCH(float, zeitbasis);
    QFETCH(QString, anzeige);
    QFETCH(std::optional<int>, intervall);
    const auto wert = zeitbasisAusText(text);
    QVERIFY(wert);
    QCOMPARE(*wert, zeitbasis);
    const QLocale deutsch(QLocale::German, QLocale::Germany);
    QCOMPARE(zeitbasisText(*wert, deutsch).toUpper(), anzeige.toUpper());
    QCOMPARE(taktIntervall(*wert), intervall);
}

void TestGeneratorLogik::timeBaseBeyondSinglePrecisionIsRefused() {
    QVERIFY(!zeitbasisAusText(u"1e39"));
    QVERIFY(!zeitbasisAusText(u"-1e39"));
    QVERIFY(zeitbasisAusText(u"3e38"));
    QCOMPARE(zeitbasisText(1.5f, QLocale(QLocale::English)), QStringLiteral("1.5ms"));
}

void TestGeneratorLogik::setBitChangesOnlyTheNamedLine_data() {
    QTest::addColumn<int>("register_");
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("wert");
    QTest::addColumn<int>("erwartet");
    QTest::newRow("set D3 on 0") << 0 << 3 << -1 << 8;
    QTest::newRow("clear D3 on 255") << 255 << 3 << 0 << 247;
    QTest::newRow("1 is not true: clears") << 255 << 3 << 1 << 247;
    QTest::newRow("set D7") << 0x01 << 7 << -1 << 0x81;
    QTest::newRow("set an already high line") << 0x08 << 3 << -1 << 0x08;
    QTest::newRow("line 8 leaves the byte") << 0x5A << 8 << -1 << 0x5A;
    QTest::newRow("line 15 high leaves the byte") << 0xFF << 15 << -1 << 0xFF;
    QTest::newRow("line -1 low leaves D0") << 0xFF << -1 << 0 << 0xFF;
    QTest::newRow("line -1 high leaves the byte") << 0x00 << -1 << -1 << 0x00;
    QTest::newRow("line -32768") << 0x33 << -32768 << -1 << 0x33;
}

void TestGeneratorLogik::setBitChangesOnlyTheNamedLine() {
    QFETCH(int, register_);
    QFETCH(int, bit);
    QFETCH(int, wert);
    QFETCH(int, erwartet);
    QCOMPARE(int(setzeBitWert(std::int16_t(register_), std::int16_t(bit), std::int16_t(wert))),
             erwartet);
}

void TestGeneratorLogik::capitalsKeepTheLength() {
    QCOMPARE(großbuchstaben(QStringLiteral("h l0x")), QStringLiteral("H L0X"));
    // A full case mapping would make "SS" of it and shift every later step.
    QCOMPARE(großbuchstaben(QStringLiteral("1ß0")).size(), 3);
    QCOMPARE(großbuchstaben(QStringLiteral("äl")), QStringLiteral("ÄL"));
}

QTEST_GUILESS_MAIN(TestGeneratorLogik)
#include "tst_generator_logik.moc"
