// The output engine on its own: a clock that moves only when the engine
// looks at it or its driver pumps or sleeps, and a port that stamps every
// write with that clock. Nothing here sleeps.
#include <QTest>
#include <map>
#include <memory>

#include "logik/ausgabemaschine.h"
#include "port/backend.h"
#include "port/port.h"
#include "stempel_port.h"

using namespace dravel::generator;

namespace {

constexpr std::int64_t kUs = 1000;
constexpr std::int64_t kMs = 1000 * kUs;

// Every look costs a nanosecond, so that watching the clock ends.
class Scheinuhr final : public Uhr {
public:
    std::int64_t t = 0;
    int nickerchen = 0;
    std::int64_t jetztNs() override { return ++t; }
    void schlafeBis(std::int64_t zeitNs) override {
        ++nickerchen;
        t = std::max(t, zeitNs);
    }
};

using Stempelport = dravel::test::StempelPort<std::int64_t>;

// One channel on line 0; a pump costs `pumpNs`; a sleep is cut short by an
// event every `ereignisNs`; `nachSchritt[k]` is extra time the first pump
// after write k takes (a handler, a dialog), `bisRaster[k]` how far past
// write k's place in a 1 ms raster it lasts, `neueBasis[k]` a time base
// applied there.
class Pruefsteuerung final : public Ausgabesteuerung {
public:
    Pruefsteuerung(Scheinuhr& uhr, Stempelport& port, int schritte)
        : uhr_(uhr), port_(port), schritte_(schritte) {}

    float zeitbasis = 0.1f;
    std::int64_t pumpNs = kUs;
    std::int64_t ereignisNs = 1'000 * kMs;
    std::map<std::size_t, std::int64_t> nachSchritt;
    std::map<std::size_t, std::int64_t> bisRaster;
    std::map<std::size_t, float> neueBasis;
    std::vector<std::int64_t> schlafWünsche;
    int pumpen = 0;

    std::int16_t adresse() override { return 888; }
    std::optional<std::int16_t> leitung1() override { return 0; }
    std::optional<std::int16_t> leitung2() override { return std::nullopt; }
    float zeitbasisMs() override { return zeitbasis; }
    void durchlaufEnde() override {}
    bool weiter() override { return int(port_.zeiten().size()) < schritte_; }
    bool abbrechen() override { return false; }
    void pumpe() override {
        ++pumpen;
        uhr_.t += pumpNs;
        const std::size_t k = port_.zeiten().size();
        if (k == gesehen_) return;
        gesehen_ = k;
        if (nachSchritt.count(k)) uhr_.t += nachSchritt[k];
        if (bisRaster.count(k)) uhr_.t = port_.zeiten()[0] + std::int64_t(k) * kMs + bisRaster[k];
        if (neueBasis.count(k)) zeitbasis = neueBasis[k];
    }
    void schlafe(std::int64_t höchstensNs) override {
        schlafWünsche.push_back(höchstensNs);
        uhr_.t += std::min(höchstensNs, ereignisNs);
    }

private:
    Scheinuhr& uhr_;
    Stempelport& port_;
    int schritte_;
    std::size_t gesehen_ = 0;
};

}  // namespace

class TestAusgabemaschine : public QObject {
    Q_OBJECT
private slots:
    void init() {
        auto port = std::make_unique<Stempelport>([this] { return uhr.t; });
        stempel = port.get();
        dravel::port::installBackend(std::move(port));
    }
    void cleanup() { dravel::port::releaseBackend(); }

    void deadlinesAddUpWithoutDrift_data();
    void deadlinesAddUpWithoutDrift();
    void aLateStepRestartsTheScheduleWithoutABurst_data();
    void aLateStepRestartsTheScheduleWithoutABurst();
    void aNewTimeBaseAppliesFromTheNextStep();
    void longWaitsSleepThenNapUpToTheDeadline();
    void statisticsOfARun();

private:
    // Write k's distance from k time bases (the clock's own ticks aside).
    void vergleicheMitRaster(std::int64_t basisNs) {
        const std::int64_t start = stempel->zeiten().front();
        for (std::size_t k = 0; k < stempel->zeiten().size(); ++k) {
            const std::int64_t abweichung =
                stempel->zeiten()[k] - start - std::int64_t(k) * basisNs;
            QVERIFY2(abweichung >= 0 && abweichung < 10, qPrintable(QString::number(k)));
        }
    }

    Scheinuhr uhr;
    Stempelport* stempel = nullptr;
};

void TestAusgabemaschine::deadlinesAddUpWithoutDrift_data() {
    QTest::addColumn<float>("zeitbasis");
    QTest::addColumn<std::int64_t>("pumpNs");
    QTest::newRow("0.1 ms, pumps of 7 us") << 0.1f << 7 * kUs;
    QTest::newRow("0.25 ms, free pumps") << 0.25f << std::int64_t(0);
    QTest::newRow("50 ms, sleeping") << 50.0f << 3 * kUs;
}

void TestAusgabemaschine::deadlinesAddUpWithoutDrift() {
    QFETCH(float, zeitbasis);
    QFETCH(std::int64_t, pumpNs);
    Pruefsteuerung steuerung(uhr, *stempel, 2000);
    steuerung.zeitbasis = zeitbasis;
    steuerung.pumpNs = pumpNs;
    const Laufstatistik s = Ausgabemaschine(uhr).lauf(steuerung, {-1, 0, 0}, {});
    QCOMPARE(stempel->zeiten().size(), std::size_t(2000));
    vergleicheMitRaster(Ausgabemaschine::zeitbasisNs(zeitbasis));
    QCOMPARE(s.verspätet, std::uint64_t(0));
}

void TestAusgabemaschine::aLateStepRestartsTheScheduleWithoutABurst_data() {
    QTest::addColumn<std::int64_t>("verzögerung");
    QTest::addColumn<std::uint64_t>("verspätet");
    // Late by less than a time base: the schedule holds and step 4 is on time.
    QTest::newRow("less than one time base") << 150 * kUs << std::uint64_t(0);
    QTest::newRow("a long handler") << 5 * kMs << std::uint64_t(1);
}

void TestAusgabemaschine::aLateStepRestartsTheScheduleWithoutABurst() {
    QFETCH(std::int64_t, verzögerung);
    QFETCH(std::uint64_t, verspätet);
    Pruefsteuerung steuerung(uhr, *stempel, 8);
    steuerung.nachSchritt[3] = verzögerung;  // in the pump after the third write
    const Laufstatistik s = Ausgabemaschine(uhr).lauf(steuerung, {-1, 0}, {});
    const auto& z = stempel->zeiten();
    QCOMPARE(z.size(), std::size_t(8));
    const std::int64_t basis = 100 * kUs;
    const std::int64_t neustart = verspätet ? z[3] : z[0] + 3 * basis;
    for (std::size_t k = 4; k < z.size(); ++k) {
        const std::int64_t abweichung = z[k] - neustart - std::int64_t(k - 3) * basis;
        QVERIFY2(abweichung >= 0 && abweichung < 10, qPrintable(QString::number(k)));
    }
    QCOMPARE(s.verspätet, verspätet);
}

void TestAusgabemaschine::aNewTimeBaseAppliesFromTheNextStep() {
    Pruefsteuerung steuerung(uhr, *stempel, 5);
    steuerung.neueBasis[3] = 0.3f;  // "OK" in the pump after the third write
    Ausgabemaschine(uhr).lauf(steuerung, {-1, 0}, {});
    const auto& z = stempel->zeiten();
    const std::vector<std::int64_t> soll{0, 100 * kUs, 200 * kUs, 500 * kUs, 800 * kUs};
    for (std::size_t k = 0; k < soll.size(); ++k) {
        QVERIFY(z[k] - z[0] - soll[k] >= 0 && z[k] - z[0] - soll[k] < 10);
    }
}

void TestAusgabemaschine::longWaitsSleepThenNapUpToTheDeadline() {
    Pruefsteuerung steuerung(uhr, *stempel, 3);
    steuerung.zeitbasis = 50.0f;
    steuerung.pumpNs = 10 * kUs;
    steuerung.ereignisNs = 20 * kMs;  // an event cuts each sleep short
    uhr.nickerchen = 0;
    Ausgabemaschine(uhr).lauf(steuerung, {-1, 0}, {});
    vergleicheMitRaster(50 * kMs);
    // Per wait: 20 + 20 ms asleep, then until 1 ms before the deadline;
    // the last stretch naps instead of pumping events in a loop.
    QCOMPARE(steuerung.schlafWünsche.size(), std::size_t(3 * 3));
    for (std::int64_t wunsch : steuerung.schlafWünsche) QVERIFY(wunsch >= kMs);
    QCOMPARE(uhr.nickerchen, 3);
    QVERIFY2(steuerung.pumpen <= 2 * 3, qPrintable(QString::number(steuerung.pumpen)));
}

void TestAusgabemaschine::statisticsOfARun() {
    Pruefsteuerung steuerung(uhr, *stempel, 100);
    steuerung.zeitbasis = 1.0f;
    steuerung.pumpNs = 0;
    // Steps 60 to 98 go out 20 us late, step 99 300 us late: the pump
    // before each lasts past the step's deadline.
    for (std::size_t k = 60; k < 99; ++k) steuerung.bisRaster[k] = 20 * kUs;
    steuerung.bisRaster[99] = 300 * kUs;
    const Laufstatistik s = Ausgabemaschine(uhr).lauf(steuerung, {-1, 0}, {});
    QCOMPARE(s.schritte, std::uint64_t(100));
    QCOMPARE(s.verspätet, std::uint64_t(0));
    QCOMPARE(s.medianFehlerUs, 0.0);
    QCOMPARE(s.p99FehlerUs, 20.0);
    QVERIFY(s.größterFehlerUs >= 300.0 && s.größterFehlerUs < 300.1);
    QVERIFY(qAbs(s.mittlerePeriodeUs - (99'000.0 + 300.0) / 99.0) < 0.01);
    QCOMPARE(QString::fromStdString(statistikText(s)).section(u',', 0, 2),
             QStringLiteral("Schritte 100, verspätet 0, mittlere Periode 1003"));
}

QTEST_GUILESS_MAIN(TestAusgabemaschine)
#include "tst_ausgabemaschine.moc"
