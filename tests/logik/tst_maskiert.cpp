// User input inside messages: control characters escaped, the rest as typed.
#include <QTest>

#include "logik/maskiert.h"

class TestMaskiert : public QObject {
    Q_OBJECT
private slots:
    void controlCharactersAreEscaped_data();
    void controlCharactersAreEscaped();
};

void TestMaskiert::controlCharactersAreEscaped_data() {
    QTest::addColumn<QString>("eingabe");
    QTest::addColumn<QString>("erwartet");
    QTest::newRow("plain text and umlauts") << u"spür 0x378 b.vcd"_qs << u"spür 0x378 b.vcd"_qs;
    QTest::newRow("newline") << "7\n"
                             << "7\\n";
    QTest::newRow("carriage return and tab") << "a\rb\tc"
                                             << "a\\rb\\tc";
    QTest::newRow("escape") << "\x1b[2J"
                            << "\\x1b[2J";
    QTest::newRow("delete") << "x\x7f"
                            << "x\\x7f";
    QTest::newRow("C1 next line") << u"a\u0085b"_qs << "a\\u0085b";
    QTest::newRow("backslash doubled") << "a\\nb"
                                       << "a\\\\nb";
}

void TestMaskiert::controlCharactersAreEscaped() {
    QFETCH(QString, eingabe);
    QFETCH(QString, erwartet);
    QCOMPARE(dravel::app::maskiert(eingabe), erwartet);
}

QTEST_GUILESS_MAIN(TestMaskiert)
#include "tst_maskiert.moc"
