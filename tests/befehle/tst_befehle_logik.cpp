// How the commands without a window read a duration and print a time.
#include <QLocale>
#include <QTest>

#include "befehle/befehle_logik.h"

using namespace dravel;

class BefehleLogikTest : public QObject {
    Q_OBJECT

private slots:
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

    // A signal outranks everything; a gap fails only where asked to.
    void captureExitStatus_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("gespeichert");
        QTest::addColumn<bool>("lueckenlos");
        QTest::addColumn<int>("luecken");
        QTest::addColumn<int>("status");
        QTest::newRow("gaps allowed") << 0 << true << false << 3 << 0;
        QTest::newRow("gap refused") << 0 << true << true << 1 << 1;
        QTest::newRow("none refused") << 0 << true << true << 0 << 0;
        QTest::newRow("not saved") << 0 << false << false << 0 << 1;
        QTest::newRow("signal") << 2 << true << true << 1 << 130;
    }
    void captureExitStatus() {
        QFETCH(int, signal);
        QFETCH(bool, gespeichert);
        QFETCH(bool, lueckenlos);
        QFETCH(int, luecken);
        QFETCH(int, status);
        QCOMPARE(app::aufnahmestatus(signal, gespeichert, lueckenlos, std::size_t(luecken)),
                 status);
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
