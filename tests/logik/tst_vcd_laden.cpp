// Files to view: a session trace opens with its lines and levels; the units
// the window writes times and frequencies in.
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include "logik/einheiten.h"
#include "logik/vcd_laden.h"
#include "port/vcd_writer.h"

using namespace dravel;

class TestVcdLaden : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void sessionTraceOpensWithItsLines();
    void whatCannotBeOpenedIsSaidInGerman_data();
    void whatCannotBeOpenedIsSaidInGerman();
    void unitsSuitTheQuantity_data();
    void unitsSuitTheQuantity();
};

void TestVcdLaden::sessionTraceOpensWithItsLines() {
    QTemporaryDir ordner;
    const std::string pfad = ordner.filePath(QStringLiteral("t.vcd")).toStdString();
    std::string fehler;
    auto schreiber = port::VcdWriter::erzeuge(pfad, {"Dravel 1.6.0", "simuliert", "heute", {}},
                                              port::standardbasen(), fehler);
    QVERIFY(schreiber);
    schreiber->formatiere({1000, 0x378, 0x01, false});  // D0 written high
    schreiber->formatiere({2000, 0x379, 0x40, true});   // S6 read high
    schreiber->formatiere({3000, 0x378, 0x00, false});
    QVERIFY(schreiber->schließe(5000));

    const auto a = analysator::ladeVcd(pfad, fehler);
    QVERIFY2(a, fehler.c_str());
    QCOMPARE(a->leitungen().size(), std::size_t(16));
    QCOMPARE(a->leitungen()[0].name, std::string("D0_geschrieben_0x378"));
    QCOMPARE(a->leitungen()[14].name, std::string("S6_gelesen_0x379"));
    QCOMPARE(a->bisNs(), std::uint64_t(5000));
    const analysator::Pegel d0 = analysator::bitVon(0), s6 = analysator::bitVon(14);
    QCOMPARE(a->pegelBei(1500, a->anzahl()), d0);
    QCOMPARE(a->pegelBei(2500, a->anzahl()), d0 | s6);
    QCOMPARE(a->pegelBei(4000, a->anzahl()), s6);
}

void TestVcdLaden::whatCannotBeOpenedIsSaidInGerman_data() {
    QTest::addColumn<QString>("name");  // in a fresh folder; "" the folder itself
    QTest::addColumn<QString>("grund");
    QTest::newRow("a folder") << ""
                              << "ist ein Ordner.";
    QTest::newRow("no such file") << "fehlt.vcd"
                                  << "nicht gefunden.";
}

void TestVcdLaden::whatCannotBeOpenedIsSaidInGerman() {
    QFETCH(QString, name);
    QFETCH(QString, grund);
    QTemporaryDir ordner;
    std::string fehler;
    QVERIFY(!analysator::ladeVcd(ordner.filePath(name).toStdString(), fehler));
    QVERIFY2(QString::fromStdString(fehler).endsWith(grund), fehler.c_str());
}

void TestVcdLaden::unitsSuitTheQuantity_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("erwartet");
    using namespace analysator;
    QTest::newRow("ns") << dauerText(250) << QStringLiteral("250 ns");
    QTest::newRow("µs") << dauerText(91'312) << QStringLiteral("91,31 µs");
    QTest::newRow("ms negativ") << dauerText(-2e6) << QStringLiteral("-2,000 ms");
    QTest::newRow("s") << dauerText(12.5e9) << QStringLiteral("12,50 s");
    QTest::newRow("Hz") << frequenzText(500) << QStringLiteral("500,0 Hz");
    QTest::newRow("kHz") << frequenzText(10'950) << QStringLiteral("10,95 kHz");
    QTest::newRow("keine") << frequenzText(0) << QStringLiteral("–");
    QTest::newRow("Achse µs") << achsenText(-4000, achsenschritt(1500)) << QStringLiteral("-4 µs");
    QTest::newRow("Achse ms") << achsenText(3e6, achsenschritt(4e5)) << QStringLiteral("3,0 ms");
    QTest::newRow("Achse ganz") << achsenText(-2e6, achsenschritt(9e5)) << QStringLiteral("-2 ms");
}

void TestVcdLaden::unitsSuitTheQuantity() {
    QFETCH(QString, text);
    QFETCH(QString, erwartet);
    QCOMPARE(text, erwartet);
}

QTEST_GUILESS_MAIN(TestVcdLaden)
#include "tst_vcd_laden.moc"
