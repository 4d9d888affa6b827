#include "aufnahmemaschine.h"

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "logik/echtzeit.h"
#include "port/pin_map.h"
#include "port/port.h"
#include "port/simulated_port.h"
#include "port/trace_port.h"

namespace dravel::analysator {

std::uint64_t Programmuhr::jetztNs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now() - port::programmstart())
                                          .count());
}

PortOhneMitschnitt::PortOhneMitschnitt() : backend_(port::untracedBackend()) {}

std::uint8_t PortOhneMitschnitt::lies(std::uint16_t adresse) {
    return backend_->read(adresse);
}

std::shared_ptr<port::ChangeLogReader> PortOhneMitschnitt::protokoll(std::uint16_t basis) {
    return backend_->changeLog(basis);
}

Speicherhöchstmaß größteGrenze() {
    Speicherhöchstmaß höchstens{SIZE_MAX / kMiB, "Adressraum"};
    const auto nimm = [&](std::uint64_t bytes, const char* grund) {
        if (bytes / kMiB < höchstens.mib) höchstens = {std::size_t(bytes / kMiB), grund};
    };
    const long seiten = ::sysconf(_SC_PHYS_PAGES);
    const long seite = ::sysconf(_SC_PAGE_SIZE);
    if (seiten > 0 && seite > 0) {
        nimm(std::uint64_t(seiten) * std::uint64_t(seite), "Arbeitsspeicher");
    }
    for (const auto& [art, grund] :
         {std::pair{RLIMIT_AS, "ulimit -v"}, {RLIMIT_DATA, "ulimit -d"}}) {
        rlimit grenze{};
        if (::getrlimit(art, &grenze) == 0 && grenze.rlim_cur != RLIM_INFINITY) {
            nimm(grenze.rlim_cur, grund);
        }
    }
    return höchstens;
}

Abtastplan plane(std::uint16_t basis, Pegel pins) {
    Abtastplan plan;
    for (const port::PinRegister reg :
         {port::PinRegister::Data, port::PinRegister::Status, port::PinRegister::Control}) {
        std::array<Pegel, 256> tabelle{};
        bool gebraucht = false;
        for (const port::PinInfo& info : port::pinMap()) {
            if (info.reg != reg || !(pins & bitVon(info.number))) continue;
            gebraucht = true;
            for (int wert = 0; wert < 256; ++wert) {
                const std::uint8_t byte = static_cast<std::uint8_t>(wert);
                const port::RegisterValues werte{byte, byte, byte};
                if (port::level(info, werte))
                    tabelle[static_cast<std::size_t>(wert)] |= bitVon(info.number);
            }
        }
        if (!gebraucht) continue;
        const auto i = static_cast<std::size_t>(plan.anzahl++);
        plan.adressen[i] = static_cast<std::uint16_t>(basis + static_cast<std::uint16_t>(reg));
        plan.tabellen[i] = tabelle;
    }
    return plan;
}

std::vector<Leitung> leitungenFür(Pegel pins) {
    std::vector<Leitung> leitungen;
    for (const port::PinInfo& info : port::pinMap()) {
        if (info.bit < 0 || !(pins & bitVon(info.number))) continue;
        leitungen.push_back({info.number, port::label(info)});
    }
    return leitungen;
}

std::string richtungsHinweis(Pegel pins, std::uint8_t steuerregister) {
    Pegel daten = 0;
    for (int pin = 2; pin <= 9; ++pin) daten |= bitVon(pin);
    if (!(pins & daten) || (steuerregister & port::kDataInputBit)) return {};
    return "Die Datenleitungen D0–D7 sind Ausgänge (Steuerbit 5 ist aus): die Aufnahme zeigt, "
           "was der Port selbst ausgibt. Für Eingänge Steuerbit 5 setzen (Richtung „Eingang“); "
           "die Aufnahme ändert die Richtung nicht.";
}

const char* endeText(Ende ende) {
    switch (ende) {
        case Ende::Dauer:
            return "Dauer abgelaufen";
        case Ende::Halt:
            return "angehalten";
        case Ende::Grenze:
            return "Speichergrenze erreicht";
        case Ende::Leer:
            return "Auslöser kam nicht";
        case Ende::Läuft:
            break;
    }
    return "läuft noch";
}

Aufnahmemaschine::Aufnahmemaschine(Portleser& leser, Aufnahmeuhr& uhr) : leser_(leser), uhr_(uhr) {}

Aufnahmemaschine::~Aufnahmemaschine() {
    halte();
}

std::shared_ptr<Aufnahme> Aufnahmemaschine::aktuelle() const {
    const std::lock_guard<std::mutex> sperre(mutex_);
    return aktuelle_;
}

double Aufnahmemaschine::probenJeSekunde() const {
    const std::uint64_t start = startNs_.load(std::memory_order_relaxed);
    const std::uint64_t ende = endeNs_.load(std::memory_order_relaxed);
    if (ende <= start) return 0;
    return static_cast<double>(proben()) * 1e9 / static_cast<double>(ende - start);
}

void Aufnahmemaschine::starte(const Aufnahmeeinstellungen& einstellungen) {
    halte();
    e_ = einstellungen;
    e_.vorlaufAnteil = std::clamp(e_.vorlaufAnteil, 0.0, 1.0);
    const bool mitAuslöser = e_.auslöser.art != Auslöser::Art::Keiner;
    vorlaufNs_ =
        mitAuslöser ? static_cast<std::uint64_t>(static_cast<double>(e_.dauerNs) * e_.vorlaufAnteil)
                    : 0;
    // The ring holds at most the pre-trigger's share of the limit.
    ringGröße_ = mitAuslöser ? std::max<std::size_t>(
                                   16, static_cast<std::size_t>(
                                           static_cast<double>(e_.grenzeBytes) * e_.vorlaufAnteil /
                                           static_cast<double>(sizeof(Änderung))))
                             : 1;
    ring_.clear();
    ring_.shrink_to_fit();
    ringAnfang_ = 0;
    gedächtnis_ = {};
    vorLücken_.clear();
    laufend_.reset();
    bereit_ = std::make_shared<Aufnahme>(leitungenFür(e_.pins), e_.grenzeBytes);
    {
        const std::lock_guard<std::mutex> sperre(mutex_);
        aktuelle_.reset();
    }
    fertig_ = false;
    halt_.store(false);
    proben_.store(0);
    startNs_.store(0);
    endeNs_.store(0);
    wartet_.store(true);
    läuft_.store(true, std::memory_order_release);
    try {
        starteFaden();
    } catch (const std::system_error&) {
        // No memory left for the thread's stack: the capture ends before
        // its first sample, as at the limit.
        bereit_->beende(Ende::Grenze);
        {
            const std::lock_guard<std::mutex> sperre(mutex_);
            aktuelle_ = std::move(bereit_);
        }
        wartet_.store(false);
        läuft_.store(false, std::memory_order_release);
        if (beiEnde) beiEnde();
    }
}

void Aufnahmemaschine::starteFaden() {
    faden_ = std::thread([this] {
        const Abtastplan plan = plane(e_.basis, e_.pins | e_.auslöser.pins());
        try {
            // A port that logs its writes is followed, not polled.
            const auto protokoll =
                e_.abtasten || plan.anzahl == 0 ? nullptr : leser_.protokoll(e_.basis);
            folgtProtokoll_.store(protokoll != nullptr, std::memory_order_relaxed);
            if (protokoll) schleifeAusProtokoll(plan, *protokoll);
            switch (protokoll ? 0 : plan.anzahl) {
                case 1:
                    schleife<1>(plan);
                    break;
                case 2:
                    schleife<2>(plan);
                    break;
                case 3:
                    schleife<3>(plan);
                    break;
                default:
                    break;
            }
        } catch (const std::bad_alloc&) {
            // The store and the ring give way by themselves; this is a new
            // capture or its lines that found no room.
            if (laufend_) schließe(uhr_.jetztNs(), Ende::Grenze);
        }
        wartet_.store(false);
        läuft_.store(false, std::memory_order_release);
        if (beiEnde) beiEnde();
    });
}

void Aufnahmemaschine::halte() {
    halt_.store(true);
    warte();
}

void Aufnahmemaschine::warte() {
    if (faden_.joinable()) faden_.join();
}

template <int N>
void Aufnahmemaschine::schleife(const Abtastplan& plan) {
    const std::uint16_t a0 = plan.adressen[0];
    const std::uint16_t a1 = plan.adressen[1];
    const std::uint16_t a2 = plan.adressen[2];
    const Pegel* const t0 = plan.tabellen[0].data();
    const Pegel* const t1 = plan.tabellen[1].data();
    const Pegel* const t2 = plan.tabellen[2].data();
    Portleser& leser = leser_;
    Aufnahmeuhr& uhr = uhr_;
    const auto probe = [&]() -> Pegel {
        Pegel p = t0[leser.lies(a0)];
        if constexpr (N >= 2) p |= t1[leser.lies(a1)];
        if constexpr (N >= 3) p |= t2[leser.lies(a2)];
        return p;
    };
    // Real-time for this thread only; pauses only where it took effect.
    std::optional<generator::echtzeit::Abschnitt> echtzeit;
    Pausenplan pausenplan = e_.pausen;
    if (e_.echtzeit) {
        echtzeit.emplace();
        const bool eineCpu = echtzeit->wirkt() && generator::echtzeit::bleibAufEinerCpu() < 0;
        if (eineCpu && pausenplan.abstandNs == 0) pausenplan = kPausenAufEinerCpu;
    }
    const bool pausen =
        echtzeit && echtzeit->wirkt() && pausenplan.abstandNs > 0 && pausenplan.dauerNs > 0;
    startNs_.store(uhr.jetztNs(), std::memory_order_relaxed);
    Pegel letzter = probe();
    std::uint64_t jetzt = uhr.jetztNs();
    letzteUhrNs_ = jetzt;
    std::uint64_t nächstePause = jetzt + pausenplan.abstandNs;
    proben_.store(1, std::memory_order_relaxed);
    letzter_ = letzter;
    verarbeite(jetzt, letzter, true);
    // Samples per clock read, fitted as the loop runs; from one, so that a
    // slow port's first stretch is no gap.
    std::size_t schritt = 1;
    std::size_t ungezählt = 0;  // samples not yet in proben_
    while (!fertig_) {
        const std::uint64_t blockAnfang = letzteUhrNs_;
        std::size_t k = 0;
        for (; k < schritt; ++k) {
            const Pegel p = probe();
            if (p != letzter) [[unlikely]] {
                const std::uint64_t t = uhr.jetztNs();
                uhrGelesen(t);
                // A change of a trigger pin that is not captured still
                // counts for the trigger; only captured pins are stored.
                if (!verarbeite(t, p, false)) break;
                letzter = p;
                letzter_ = p;
            }
        }
        jetzt = uhr.jetztNs();
        uhrGelesen(jetzt);
        ungezählt += k;
        // Halved after a gap too: it may be the stride's own, where reads
        // became slow.
        const std::uint64_t block = jetzt - blockAnfang;
        if (block < kZielAbstandNs / 2 && schritt < kBlock) {
            schritt *= 2;
        } else if (block > kZielAbstandNs * 2 && schritt > 1) {
            schritt /= 2;
        }
        // The counts, the stop and the window's end about every kBlock samples.
        if (!fertig_ && ungezählt < kBlock && !pausen) continue;
        proben_.fetch_add(ungezählt, std::memory_order_relaxed);
        endeNs_.store(jetzt, std::memory_order_relaxed);
        if (laufend_) laufend_->zähleProben(ungezählt);
        ungezählt = 0;
        if (fertig_) break;
        if (halt_.load(std::memory_order_relaxed)) {
            if (laufend_) schließe(jetzt, Ende::Halt);
            fertig_ = true;
        } else if (laufend_) {
            if (fensterEndeNs_ != 0 && jetzt >= fensterEndeNs_) {
                schließe(fensterEndeNs_, Ende::Dauer);
            } else {
                laufend_->setzeBisNs(jetzt);
            }
        } else {
            löseAusNachWartezeit(jetzt);
        }
        if (pausen && jetzt >= nächstePause && !fertig_) {
            // Nanoseconds below a second, or the call fails.
            const timespec dauer{static_cast<time_t>(pausenplan.dauerNs / 1'000'000'000),
                                 static_cast<long>(pausenplan.dauerNs % 1'000'000'000)};
            ::clock_nanosleep(CLOCK_MONOTONIC, 0, &dauer, nullptr);
            nächstePause = jetzt + pausenplan.abstandNs;
        }
    }
}

void Aufnahmemaschine::uhrGelesen(std::uint64_t zeitNs) {
    const std::uint64_t abstand = zeitNs - letzteUhrNs_;
    if (abstand > kLückeAbNs) {
        lücke({letzteUhrNs_, zeitNs});
    } else if (laufend_ && abstand > auflösungNs_) {
        auflösungNs_ = abstand;
        laufend_->setzeAuflösungNs(abstand);
    }
    letzteUhrNs_ = zeitNs;
}

void Aufnahmemaschine::lücke(Lücke l) {
    if (laufend_) {
        // Cut at the window's end; what lies after it may belong to the
        // next capture of a repeating run.
        const std::uint64_t ende = fensterEndeNs_ == 0 ? l.endeNs : fensterEndeNs_;
        if (l.anfangNs < ende) laufend_->hängeLücke({l.anfangNs, std::min(l.endeNs, ende)});
        if (l.endeNs <= ende) return;
        l.anfangNs = std::max(l.anfangNs, ende);
    }
    // Armed: a pulse under way has lost its start in the gap; its width
    // would be measured across it.
    gedächtnis_.pulsOffen = false;
    // Kept while it may still reach into a window that starts now.
    const std::uint64_t frühestens = l.endeNs - std::min(vorlaufNs_, l.endeNs);
    while (!vorLücken_.empty() && vorLücken_.front().endeNs <= frühestens) vorLücken_.pop_front();
    vorLücken_.push_back(l);
}

void Aufnahmemaschine::schleifeAusProtokoll(const Abtastplan& plan,
                                            port::ChangeLogReader& protokoll) {
    // The log's times are the monotonic clock's; the capture's count from
    // the program's start.
    const std::uint64_t nullNs = port::programmstartNs();
    const auto zeit = [nullNs](std::uint64_t ns) { return ns > nullNs ? ns - nullNs : 0; };
    // The registers after a write, as the plan's reads would have seen them.
    const auto pegelVon = [&plan, basis = e_.basis](const port::RegisterValues& r) {
        const std::uint8_t bytes[3] = {r.data, r.status, r.control};
        Pegel p = 0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(plan.anzahl); ++i) {
            p |= plan.tabellen[i][bytes[static_cast<std::uint16_t>(plan.adressen[i] - basis) % 3]];
        }
        return p;
    };
    // Gaps go where the polling loop's go: into the capture, or while armed
    // into the pre-trigger's queue that the trigger takes over.
    const Aufnahme* gesehen = nullptr;
    const auto übernimm = [&] {
        if (laufend_.get() == gesehen) return;
        gesehen = laufend_.get();
        if (laufend_) laufend_->setzeAuflösungNs(1);  // each change at the time it was written
    };

    startNs_.store(uhr_.jetztNs(), std::memory_order_relaxed);
    port::LoggedChange c = protokoll.next();  // the registers as they are now
    Pegel letzter = pegelVon(c.values);
    std::uint64_t bis = zeit(c.timeNs);
    proben_.store(1, std::memory_order_relaxed);
    letzter_ = letzter;
    verarbeite(bis, letzter, true);
    übernimm();
    // After the user's stop, what was written before it still comes in.
    bool halt = false;
    std::uint64_t haltNs = 0;
    while (!fertig_) {
        bool ruhig = false;
        std::uint64_t gelesen = 0;
        for (std::size_t k = 0; k < kBlock && !fertig_; ++k) {
            c = protokoll.next();
            if (c.kind == port::LoggedChange::Kind::None) {
                bis = std::max(bis, zeit(c.timeNs));
                ruhig = true;
                break;
            }
            if (c.kind == port::LoggedChange::Kind::Gap) {
                lücke({zeit(c.timeNs), zeit(c.gapEndNs)});
                continue;
            }
            const std::uint64_t t = zeit(c.timeNs);
            if (halt && t > haltNs) {
                ruhig = true;
                break;
            }
            bis = t;
            ++gelesen;
            const Pegel p = pegelVon(c.values);
            if (p == letzter) continue;
            if (!verarbeite(t, p, false)) break;
            letzter = p;
            letzter_ = p;
            übernimm();
        }
        proben_.fetch_add(gelesen, std::memory_order_relaxed);
        endeNs_.store(uhr_.jetztNs(), std::memory_order_relaxed);
        if (fertig_) break;
        if (laufend_) laufend_->zähleProben(gelesen);
        if (halt && ruhig) {
            if (laufend_) schließe(std::max(bis, haltNs), Ende::Halt);
            fertig_ = true;
            break;
        }
        if (!halt && halt_.load(std::memory_order_relaxed)) {
            halt = true;
            haltNs = uhr_.jetztNs();
            continue;
        }
        if (laufend_) {
            if (fensterEndeNs_ != 0 && bis >= fensterEndeNs_) {
                schließe(fensterEndeNs_, Ende::Dauer);
                übernimm();  // a repeating run without trigger starts the next at once
                continue;
            }
            laufend_->setzeBisNs(bis);
        } else {
            löseAusNachWartezeit(bis);
            übernimm();
        }
        // The log keeps some seconds of writes: a pause costs nothing.
        if (ruhig) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool Aufnahmemaschine::verarbeite(std::uint64_t zeitNs, Pegel pegel, bool erste) {
    if (erste) scharfSeitNs_ = zeitNs;  // armed from the first sample, in either loop
    if (laufend_ && fensterEndeNs_ != 0 && zeitNs > fensterEndeNs_) {
        schließe(fensterEndeNs_, Ende::Dauer);
        if (fertig_) return false;
    }
    if (laufend_) {
        if (((pegel ^ letzter_) & e_.pins) == 0) return true;  // only a trigger pin moved
        if (!laufend_->hänge(zeitNs, pegel & e_.pins)) {
            schließe(zeitNs, Ende::Grenze);
            return false;
        }
        return true;
    }
    if (löstAus(e_.auslöser, gedächtnis_, letzter_, pegel, zeitNs, erste)) {
        löseAus(zeitNs, pegel);
        return !fertig_;
    }
    // Before the trigger: kept in the ring, oldest dropped when it is full.
    const Änderung änderung{zeitNs, pegel & e_.pins};
    if (ring_.size() < ringGröße_) {
        try {
            ring_.push_back(änderung);
            return true;
        } catch (const std::bad_alloc&) {
            // No room to grow: the ring keeps the size it has.
            ringGröße_ = ring_.size();
        }
    }
    if (!ring_.empty()) {
        ring_[ringAnfang_] = änderung;
        ringAnfang_ = (ringAnfang_ + 1) % ring_.size();
    }
    return true;
}

void Aufnahmemaschine::löseAus(std::uint64_t zeitNs, Pegel pegel) {
    auto aufnahme = std::move(bereit_);
    if (!aufnahme) aufnahme = std::make_shared<Aufnahme>(leitungenFür(e_.pins), e_.grenzeBytes);
    aufnahme->basis = e_.basis;
    aufnahme->nullpunktNs = zeitNs;
    const std::uint64_t fensterAnfang = zeitNs - std::min(vorlaufNs_, zeitNs);
    bool platz = true;
    // The last change at or before the window's start gives the levels
    // there; the later ones follow as they came.
    const Änderung* davor = nullptr;
    for (std::size_t i = 0; i < ring_.size() && platz; ++i) {
        const Änderung& ä = ring_[(ringAnfang_ + i) % ring_.size()];
        if (ä.zeitNs <= fensterAnfang) {
            davor = &ä;
            continue;
        }
        if (davor) {
            platz = aufnahme->hänge(fensterAnfang, davor->pegel);
            davor = nullptr;
        }
        if (platz) platz = aufnahme->hänge(ä.zeitNs, ä.pegel);
    }
    // Without pre-trigger time the trigger's own levels come first.
    if (davor && platz && fensterAnfang < zeitNs) {
        platz = aufnahme->hänge(fensterAnfang, davor->pegel);
    }
    if (platz) platz = aufnahme->hänge(zeitNs, pegel & e_.pins);
    ring_.clear();
    ringAnfang_ = 0;
    // The window's start may lie in a gap: cut to the window.
    for (const Lücke& l : vorLücken_) {
        if (l.endeNs > fensterAnfang) {
            aufnahme->hängeLücke({std::max(l.anfangNs, fensterAnfang), l.endeNs});
        }
    }
    vorLücken_.clear();
    auflösungNs_ = 0;
    aufnahme->setzeBisNs(zeitNs);
    fensterEndeNs_ = e_.dauerNs == 0 ? 0 : zeitNs + (e_.dauerNs - vorlaufNs_);
    laufend_ = aufnahme;
    {
        const std::lock_guard<std::mutex> sperre(mutex_);
        aktuelle_ = aufnahme;
    }
    wartet_.store(false, std::memory_order_release);
    if (beiNeuerAufnahme) beiNeuerAufnahme(aufnahme);
    if (!platz) schließe(zeitNs, Ende::Grenze);
}

void Aufnahmemaschine::schließe(std::uint64_t zeitNs, Ende grund) {
    laufend_->setzeBisNs(zeitNs);
    laufend_->beende(grund);
    laufend_.reset();
    if (grund == Ende::Dauer && e_.wiederholen && !halt_.load(std::memory_order_relaxed)) {
        schärfe(zeitNs, letzter_);
    } else {
        fertig_ = true;
    }
}

void Aufnahmemaschine::löseAusNachWartezeit(std::uint64_t jetztNs) {
    if (e_.autoNachNs != 0 && jetztNs >= scharfSeitNs_ &&
        jetztNs - scharfSeitNs_ >= e_.autoNachNs) {
        löseAus(jetztNs, letzter_);
    }
}

void Aufnahmemaschine::schärfe(std::uint64_t zeitNs, Pegel pegel) {
    wartet_.store(true, std::memory_order_release);
    scharfSeitNs_ = zeitNs;
    gedächtnis_ = {};
    bereit_ = std::make_shared<Aufnahme>(leitungenFür(e_.pins), e_.grenzeBytes);
    if (e_.auslöser.art == Auslöser::Art::Keiner) {
        löseAus(zeitNs, pegel);
        return;
    }
    ring_.clear();
    ringAnfang_ = 0;
    ring_.push_back({zeitNs, pegel & e_.pins});
}

}  // namespace dravel::analysator
