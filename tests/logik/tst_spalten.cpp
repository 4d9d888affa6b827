// The columns a diagram draws and the pulse it tells where pointed at:
// what the capture did not see or did not know stays so at every zoom.
#include <QTest>

#include "logik/puls.h"
#include "logik/spalten.h"

using namespace dravel::analysator;

namespace {

constexpr std::uint64_t kMs = 1'000'000;

// Line 0 toggles every `halbe` ns from high, up to `bis`.
std::unique_ptr<Aufnahme> rechteck(std::uint64_t halbe, std::uint64_t bis) {
    auto a = std::make_unique<Aufnahme>(std::vector<Leitung>{{0, "a"}, {1, "b"}}, 1 << 20);
    for (std::uint64_t t = 0, i = 0; t <= bis; t += halbe, ++i) a->hänge(t, i % 2 ? 0 : 1);
    a->setzeBisNs(bis);
    return a;
}

std::vector<Stand> stände(const Aufnahme& a, int bit, double anfang, double spanne, int breite) {
    Spalten spalten;
    spalten.folge(a);
    std::vector<Stand> s;
    for (const Spalte& c : spalten.berechne(a, anfang, spanne, breite)) {
        s.push_back(c.lücke ? Stand::Ungesehen : c.stand(bit));
    }
    return s;
}

}  // namespace

class TestSpalten : public QObject {
    Q_OBJECT
private slots:
    void shortGapMarksItsColumnAtAnyZoom();
    void unknownLevelsStayUnknown();
    void quietRunningCaptureReachesHowFarItLooked();
    void pulseUnderThePointer();
};

void TestSpalten::shortGapMarksItsColumnAtAnyZoom() {
    auto a = rechteck(10 * kMs, 10'000 * kMs);
    a->hängeLücke({5'000 * kMs + 3, 5'000 * kMs + 5'003});  // 5 µs in 10 s
    Spalten spalten;
    spalten.folge(*a);
    const auto s = spalten.berechne(*a, 0, 10e9, 1000);
    std::vector<int> mitLücke;
    for (int c = 0; c < 1000; ++c) {
        if (s[std::size_t(c)].lücke) mitLücke.push_back(c);
    }
    QCOMPARE(mitLücke, std::vector<int>{500});
    QVERIFY(s[500].gesehen);  // the rest of its column was seen
}

void TestSpalten::unknownLevelsStayUnknown() {
    auto a = rechteck(10 * kMs, 100 * kMs);
    a->hängeUnbekannt(20 * kMs, bitVon(1));
    a->hängeUnbekannt(40 * kMs, 0);
    // Ten columns of 10 ms: line 1 is unknown in columns 2 and 3 only.
    const auto s = stände(*a, 1, 0, 100e6, 10);
    QCOMPARE(s[1], Stand::Tief);
    QCOMPARE(s[2], Stand::Unbekannt);
    QCOMPARE(s[3], Stand::Unbekannt);
    QCOMPARE(s[4], Stand::Tief);
}

void TestSpalten::quietRunningCaptureReachesHowFarItLooked() {
    Aufnahme a({{0, "a"}}, 1 << 20);
    a.hänge(0, 1);
    a.setzeBisNs(2'000 * kMs);
    // Four seconds in 40 columns: high up to 2 s, not seen beyond.
    const auto s = stände(a, 0, 0, 4e9, 40);
    QCOMPARE(std::count(s.begin(), s.begin() + 20, Stand::Hoch), 20);
    QCOMPARE(std::count(s.begin() + 21, s.end(), Stand::Ungesehen), 19);
}

void TestSpalten::pulseUnderThePointer() {
    // 1 kHz: high 0.5 ms from 0, period 1 ms; a gap at 10.2 ms … 10.4 ms.
    auto a = rechteck(kMs / 2, 20 * kMs);
    a->hängeLücke({10'200'000, 10'400'000});
    Spalten spalten;
    spalten.folge(*a);
    const Puls p = pulsBei(*a, spalten, 0, 3'700'000);
    QCOMPARE(p.hoch, false);
    QCOMPARE(p.anfangNs, std::optional<std::uint64_t>(3'500'000));
    QCOMPARE(p.endeNs, std::optional<std::uint64_t>(4'000'000));
    QCOMPARE(p.periodeNs, std::optional<std::uint64_t>(kMs));
    QCOMPARE(p.tastgradProzent, std::optional<double>(50));
    QVERIFY(pulsBei(*a, spalten, 0, 10'100'000).lücke);
    // Line 1 never moves: no edges, found without scanning.
    QCOMPARE(pulsBei(*a, spalten, 1, 3'700'000).endeNs, std::nullopt);
}

QTEST_GUILESS_MAIN(TestSpalten)
#include "tst_spalten.moc"
