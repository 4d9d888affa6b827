// What the commands without a window read from their arguments and how they
// print a byte.
#include <QLocale>
#include <QTest>
#include <cstdint>
#include <limits>

#include "befehle/befehle_logik.h"

using namespace dravel;

class BefehleLogikTest : public QObject {
    Q_OBJECT

private slots:
    void wholeNumbersInEveryNotationWithinTheirLimit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qulonglong>("größte");
        QTest::addColumn<bool>("gilt");
        QTest::addColumn<qulonglong>("erwartet");
        const qulonglong adresse = 0xFFFF;
        const qulonglong alle = std::numeric_limits<qulonglong>::max();
        QTest::newRow("0x, either case") << "0X37a" << adresse << true << 890ULL;
        QTest::newRow("highest") << "0xFFFF" << adresse << true << 65535ULL;
        QTest::newRow("64 bits") << "18446744073709551615" << alle << true << alle;
        QTest::newRow("one above") << "65536" << adresse << false << 0ULL;
        QTest::newRow("digit above a small limit") << "9" << 7ULL << false << 0ULL;
        QTest::newRow("beyond 64 bits") << "18446744073709551616" << alle << false << 0ULL;
        QTest::newRow("prefix alone") << "0x" << adresse << false << 0ULL;
        QTest::newRow("binary digit 2") << "0b102" << adresse << false << 0ULL;
        QTest::newRow("sign") << "+5" << adresse << false << 0ULL;
        QTest::newRow("blank") << " 5" << adresse << false << 0ULL;
        QTest::newRow("empty") << "" << adresse << false << 0ULL;
    }
    void wholeNumbersInEveryNotationWithinTheirLimit() {
        QFETCH(QString, text);
        QFETCH(qulonglong, größte);
        QFETCH(bool, gilt);
        QFETCH(qulonglong, erwartet);
        const auto zahl = app::ganzzahlAusArgument(text, größte);
        QCOMPARE(zahl.has_value(), gilt);
        if (gilt) QCOMPARE(*zahl, erwartet);
    }

    void durationsTakeAPointOrACommaAndAnyNumberOfDigits_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("erwartet");  // -1: refused, -2: refused as too small
        const QString nullen(400, u'0');
        QTest::newRow("point") << "0.1" << 0.1;
        QTest::newRow("comma") << "0,1" << 0.1;
        QTest::newRow("whole") << "500" << 500.0;
        QTest::newRow("400 zeros after the point") << "1." + nullen << 1.0;
        QTest::newRow("400 zeros, then a digit") << "0." + nullen + "5" << -2.0;
        QTest::newRow("two separators") << "1.0,5" << -1.0;
        QTest::newRow("negative") << "-1" << -1.0;
        QTest::newRow("exponent") << "1e3" << -1.0;
        QTest::newRow("above the limit") << "1000.5" << -1.0;
    }
    void durationsTakeAPointOrACommaAndAnyNumberOfDigits() {
        QFETCH(QString, text);
        QFETCH(double, erwartet);
        bool zuKlein = false;
        const auto dauer = app::dauerAusArgument(text, 1000, &zuKlein);
        QCOMPARE(zuKlein, erwartet == -2.0);
        if (erwartet < 0)
            QVERIFY(!dauer);
        else
            QCOMPARE(dauer, std::optional<double>(erwartet));
    }

    void timesInMilliseconds() {
        char text[32];
        QCOMPARE(QByteArray(text, app::schreibeMillisekunden(text, 1'234'567'891) - text),
                 "1234.567");
        QCOMPARE(QByteArray(text, app::schreibeMillisekunden(text, 5'000) - text), "0.005");
    }
};

QTEST_GUILESS_MAIN(BefehleLogikTest)
#include "tst_befehle_logik.moc"
