// The annotations the window keeps: what a view of a row draws, the
// table's search and its CSV.
#include <QTest>

#include "logik/annotationen.h"

using namespace dravel::dekoder;

namespace {

Annotation annotation(std::uint64_t anfang, std::uint64_t ende, std::string text,
                      std::string zeile = "rx-data", bool lücke = false) {
    Annotation a;
    a.anfangNs = anfang;
    a.endeNs = ende;
    a.dekoder = "uart";
    a.zeile = zeile;
    a.klasse = zeile;
    a.texte = {std::move(text), "k"};
    a.überLücke = lücke;
    return a;
}

// Each box or band as "von-bis:anzahl" ("!" over a gap).
QStringList kästen(const Annotationsliste& liste, double anfang, double spanne, int breite) {
    QStringList s;
    for (const Kasten& k : liste.berechne(0, anfang, spanne, breite)) {
        s << QStringLiteral("%1-%2:%3%4")
                 .arg(k.von)
                 .arg(k.bis)
                 .arg(k.anzahl)
                 .arg(k.überLücke ? "!" : "");
    }
    return s;
}

}  // namespace

class TestAnnotationen : public QObject {
    Q_OBJECT
private slots:
    void viewDrawsBoxesAndBands_data();
    void viewDrawsBoxesAndBands();
    void searchFindsTextAndRowInTimeOrder();
    void csvQuotesTexts();
};

void TestAnnotationen::viewDrawsBoxesAndBands_data() {
    QTest::addColumn<std::vector<std::uint64_t>>("grenzen");  // anfang, ende, ...
    QTest::addColumn<double>("anfang");
    QTest::addColumn<double>("spanne");
    QTest::addColumn<QStringList>("erwartet");
    QTest::newRow("wide enough: a box each, the one over a gap marked")
        << std::vector<std::uint64_t>{1000, 2000, 3000, 4000} << 0.0 << 10'000.0
        << QStringList{"10-20:1", "30-40:1!"};
    QTest::newRow("one begun before the view is drawn from its left edge")
        << std::vector<std::uint64_t>{0, 5000, 6000, 7000} << 4000.0 << 4000.0
        << QStringList{"0-25:1", "50-75:1!"};
    QTest::newRow("arrived out of order, drawn in order")
        << std::vector<std::uint64_t>{6000, 7000, 1000, 2000} << 0.0 << 10'000.0
        << QStringList{"10-20:1!", "60-70:1"};
    QTest::newRow("two in one column and narrow ones beside them: one band")
        << std::vector<std::uint64_t>{1000, 1020, 1050, 1080, 1100, 1150, 5000, 6000} << 0.0
        << 10'000.0 << QStringList{"10-12:3", "50-60:1"};
    std::vector<std::uint64_t> million;
    for (std::uint64_t i = 0; i < 1'000'000; ++i) {
        million.push_back(i * 100);
        million.push_back(i * 100 + 80);
    }
    QTest::newRow("a million in 100 columns: one band over them")
        << million << 0.0 << 100'000'000.0 << QStringList{"0-100:1000000"};
    QTest::newRow("a million, a view of the middle 1000: one band")
        << million << 50'000'000.0 << 100'000.0 << QStringList{"0-100:1000"};
}

void TestAnnotationen::viewDrawsBoxesAndBands() {
    QFETCH(std::vector<std::uint64_t>, grenzen);
    QFETCH(double, anfang);
    QFETCH(double, spanne);
    QFETCH(QStringList, erwartet);
    Annotationsliste liste;
    for (std::size_t i = 0; i + 1 < grenzen.size(); i += 2) {
        liste.füge(annotation(grenzen[i], grenzen[i + 1], "x", "rx-data", i == 2));
    }
    liste.ordne();
    QCOMPARE(kästen(liste, anfang, spanne, 100), erwartet);
}

void TestAnnotationen::searchFindsTextAndRowInTimeOrder() {
    Annotationsliste liste;
    liste.reihe(0, "uart", "tx-data", "TX data");
    liste.füge(annotation(300, 400, "Start bit", "tx-data"));
    liste.füge(annotation(100, 200, "0x41", "rx-data"));
    liste.füge(annotation(200, 300, "STOP", "rx-data"));
    liste.ordne();
    const auto anfänge = [&](const std::string& muster) {
        std::vector<std::uint64_t> t;
        for (const std::uint32_t i : liste.suche(muster)) t.push_back(liste[i].anfangNs);
        return t;
    };
    QCOMPARE(anfänge(""), (std::vector<std::uint64_t>{100, 200, 300}));
    QCOMPARE(anfänge("sto"), (std::vector<std::uint64_t>{200}));
    QCOMPARE(anfänge("TX D"), (std::vector<std::uint64_t>{300}));  // the row's name
    QCOMPARE(anfänge("0x42"), (std::vector<std::uint64_t>{}));
}

void TestAnnotationen::csvQuotesTexts() {
    Annotationsliste liste;
    liste.reihe(0, "uart", "rx-data", "RX data");
    liste.füge(annotation(1500, 2500, "Wort \"a;b\""));
    liste.ordne();
    QCOMPARE(alsCsv(liste, liste.suche(""), 1000),
             std::string("Anfang_ns;Ende_ns;Dekoder;Zeile;Text\n"
                         "500;1500;\"uart\";\"RX data\";\"Wort \"\"a;b\"\"\"\n"));
}

QTEST_APPLESS_MAIN(TestAnnotationen)
#include "tst_annotationen.moc"
