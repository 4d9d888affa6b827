#include "ausgabemaschine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include <cerrno>
#include <ctime>

#include "echtzeit.h"
#include "generator_logik.h"
#include "port/port.h"

namespace dravel::generator {
namespace {

constexpr std::int64_t kGrößte = std::numeric_limits<std::int64_t>::max();

std::int64_t addiere(std::int64_t a, std::int64_t b) {
    return a > kGrößte - b ? kGrößte : a + b;
}

// Step errors counted in bins, so that a run of hours keeps its memory:
// 100 ns wide up to 100 µs, 10 µs wide up to 100 ms, one bin beyond.
class Fehlerhistogramm {
public:
    void zähle(std::int64_t fehlerNs) {
        fehlerNs = std::max<std::int64_t>(fehlerNs, 0);
        größter_ = std::max(größter_, fehlerNs);
        ++anzahl_;
        if (fehlerNs < kFeinBisNs)
            ++fein_[static_cast<std::size_t>(fehlerNs / kFeinNs)];
        else if (fehlerNs < kGrobBisNs)
            ++grob_[static_cast<std::size_t>((fehlerNs - kFeinBisNs) / kGrobNs)];
        else
            ++darüber_;
    }

    // Lower edge of the bin that holds the q-th quantile, in µs.
    [[nodiscard]] double quantilUs(double q) const {
        if (anzahl_ == 0) return 0;
        const auto rang = static_cast<std::uint64_t>(std::ceil(q * double(anzahl_)));
        std::uint64_t summe = 0;
        for (std::size_t i = 0; i < fein_.size(); ++i) {
            summe += fein_[i];
            if (summe >= std::max<std::uint64_t>(rang, 1)) return double(i) * kFeinNs / 1000.0;
        }
        for (std::size_t i = 0; i < grob_.size(); ++i) {
            summe += grob_[i];
            if (summe >= rang) return double(kFeinBisNs + std::int64_t(i) * kGrobNs) / 1000.0;
        }
        return double(größter_) / 1000.0;
    }
    [[nodiscard]] double größterUs() const { return double(größter_) / 1000.0; }

private:
    static constexpr std::int64_t kFeinNs = 100;
    static constexpr std::int64_t kFeinBisNs = 100'000;
    static constexpr std::int64_t kGrobNs = 10'000;
    static constexpr std::int64_t kGrobBisNs = 100'000'000;
    std::vector<std::uint64_t> fein_ = std::vector<std::uint64_t>(kFeinBisNs / kFeinNs);
    std::vector<std::uint64_t> grob_ =
        std::vector<std::uint64_t>((kGrobBisNs - kFeinBisNs) / kGrobNs);
    std::uint64_t darüber_ = 0;
    std::uint64_t anzahl_ = 0;
    std::int64_t größter_ = 0;
};

void schreibeKanal(std::optional<std::int16_t> leitung, std::int16_t adresse, std::int16_t wert) {
    if (!leitung) return;
    Out32(adresse, setzeBitWert(Inp32(adresse), *leitung, wert));
}

}  // namespace

std::int64_t Systemuhr::jetztNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Systemuhr::schlafeBis(std::int64_t zeitNs) {
    // steady_clock is CLOCK_MONOTONIC; an absolute time cannot oversleep
    // by the time it took to compute a relative one.
    timespec ziel{};
    ziel.tv_sec = static_cast<time_t>(zeitNs / 1'000'000'000);
    ziel.tv_nsec = static_cast<long>(zeitNs % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ziel, nullptr) == EINTR) {
    }
}

std::string statistikText(const Laufstatistik& s) {
    char zeile[256];
    std::snprintf(zeile, sizeof zeile,
                  "Schritte %llu, verspätet %llu, mittlere Periode %.3f µs, Schrittfehler "
                  "Median %.1f µs, p99 %.1f µs, größter %.1f µs",
                  static_cast<unsigned long long>(s.schritte),
                  static_cast<unsigned long long>(s.verspätet), s.mittlerePeriodeUs,
                  s.medianFehlerUs, s.p99FehlerUs, s.größterFehlerUs);
    std::string text = zeile;
    // German decimal commas; the only full stops in the line are decimal points.
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

Ausgabemaschine::Ausgabemaschine(Uhr& uhr, Ausgabeeinstellungen einstellungen)
    : uhr_(uhr), einstellungen_(einstellungen) {}

std::int64_t Ausgabemaschine::zeitbasisNs(float zeitbasisMs) {
    if (!(zeitbasisMs > 0.0f)) return 0;
    const double ns = std::round(static_cast<double>(zeitbasisMs) * 1e6);
    // 2^63 is the first double beyond the range.
    return ns < 9223372036854775808.0 ? static_cast<std::int64_t>(ns) : kGrößte;
}

Laufstatistik Ausgabemaschine::lauf(Ausgabesteuerung& steuerung, const Pegelfolge& bitfolge1,
                                    const Pegelfolge& bitfolge2) {
    std::optional<echtzeit::Abschnitt> echtzeit;
    if (einstellungen_.echtzeit) echtzeit.emplace();
    const bool nickenVorher = nicken_;
    nicken_ = echtzeit && echtzeit->wirkt();

    Laufstatistik statistik;
    Fehlerhistogramm fehler;
    std::int64_t erster = 0;
    std::int64_t letzter = 0;

    std::int16_t Schrittindex = 0;
    std::int64_t frist = uhr_.jetztNs();  // step 0 goes out now, its schedule set below
    std::int64_t basis = 0;               // time base before this step
    for (;;) {
        const auto obererIndex = static_cast<std::int16_t>(bitfolge1.size() - 1);
        if (Schrittindex > obererIndex) Schrittindex = 0;
        const auto i = static_cast<std::size_t>(Schrittindex);

        // The driver's answers first: the first conversion of a line number
        // can take longer than a step, and the schedule is for the writes.
        const std::int16_t adresse = steuerung.adresse();
        const std::optional<std::int16_t> leitung1 = steuerung.leitung1();
        const std::optional<std::int16_t> leitung2 =
            i < bitfolge2.size() ? steuerung.leitung2() : std::nullopt;

        const std::int64_t jetzt = uhr_.jetztNs();
        const std::int64_t verspätung = jetzt - frist;
        fehler.zähle(verspätung);
        if (statistik.schritte > 0 && beginntPlanNeu(verspätung, basis)) {
            if (basis > 0) ++statistik.verspätet;
            frist = jetzt;
        }
        letzter = jetzt;
        ++statistik.schritte;

        schreibeKanal(leitung1, adresse, bitfolge1[i]);
        if (leitung2) schreibeKanal(leitung2, adresse, bitfolge2[i]);
        if (statistik.schritte == 1) {
            // The schedule starts once the first levels are out: the first
            // access may bind the port (open a device, a trace) and take
            // longer than a step, which would shorten the second.
            frist = uhr_.jetztNs();
            erster = frist;
        }

        ++Schrittindex;
        if (Schrittindex == obererIndex) {
            Schrittindex = 0;
            steuerung.durchlaufEnde();
        }

        steuerung.pumpe();
        if (steuerung.abbrechen()) break;
        basis = zeitbasisNs(steuerung.zeitbasisMs());
        frist = addiere(frist, basis);
        warteBis(steuerung, frist);
        if (steuerung.abbrechen()) break;
        if (!steuerung.weiter()) break;
    }

    if (statistik.schritte > 1) {
        statistik.mittlerePeriodeUs =
            double(letzter - erster) / 1000.0 / double(statistik.schritte - 1);
    }
    nicken_ = nickenVorher;
    statistik.medianFehlerUs = fehler.quantilUs(0.5);
    statistik.p99FehlerUs = fehler.quantilUs(0.99);
    statistik.größterFehlerUs = fehler.größterUs();
    return statistik;
}

void Ausgabemaschine::warteBis(Ausgabesteuerung& steuerung, std::int64_t fristNs) {
    bool gepumpt = false;
    std::int64_t jetzt = uhr_.jetztNs();
    for (;;) {
        const std::int64_t rest = fristNs - jetzt;
        if (rest > kSchlafGrenzeNs) {
            steuerung.schlafe(rest - kVorlaufNs);
            gepumpt = true;
        } else if (nicken_ && gepumpt && rest > reserveNs_ + kKürzestesNickerchenNs) {
            const std::int64_t wecken = fristNs - reserveNs_;
            uhr_.schlafeBis(wecken);
            jetzt = uhr_.jetztNs();
            // Wake the next time as early as this wake-up was late, plus a
            // margin; forget a slow one gradually.
            reserveNs_ = std::clamp(std::max(jetzt - wecken + 10'000, reserveNs_ - reserveNs_ / 32),
                                    kKürzesteReserveNs, kLängsteReserveNs);
            continue;
        } else if (!gepumpt || rest > pumpdauerNs_) {
            steuerung.pumpe();
            const std::int64_t danach = uhr_.jetztNs();
            // The longest pump lately, forgotten slowly: one slow pass must
            // not turn the rest of the run into pure clock watching.
            pumpdauerNs_ = std::max(danach - jetzt, pumpdauerNs_ - pumpdauerNs_ / 64);
            gepumpt = true;
            jetzt = danach;
            if (jetzt >= fristNs || steuerung.abbrechen()) return;
            continue;
        }
        // Events may have ended the run while it slept.
        if (steuerung.abbrechen()) return;
        jetzt = uhr_.jetztNs();
        if (jetzt >= fristNs && gepumpt) return;
    }
}

}  // namespace dravel::generator
