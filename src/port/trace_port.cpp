#include "trace_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "counter_clock.h"

namespace dravel::port {
namespace {

// Set while static objects are initialised, before main.
const std::chrono::steady_clock::time_point g_programmstart = std::chrono::steady_clock::now();

// The line for a GTKWave save file left out; empty while it is written.
std::string sicherungsmeldung(const VcdWriter& schreiber) {
    if (schreiber.sicherungsfehler().empty()) return {};
    return "dravel: " + schreiber.sicherungsmeldung() + " Der Mitschnitt läuft ohne sie weiter.";
}

void aufStandardfehler(const std::string& zeile) {
    std::fprintf(stderr, "%s\n", zeile.c_str());
}

}  // namespace

std::chrono::steady_clock::time_point programmstart() {
    return g_programmstart;
}

std::uint64_t programmstartNs() {
    return monotonicNs(g_programmstart);
}

std::unique_ptr<TraceRecorder> TraceRecorder::öffne(Einstellungen einstellungen,
                                                    std::string& fehler) {
    std::string grund;
    auto schreiber =
        VcdWriter::erzeuge(einstellungen.pfad, {einstellungen.version, "", ortszeitText(), {}},
                           einstellungen.basen, grund, einstellungen.kopfbereich);
    if (!schreiber) {
        fehler = "dravel: Mitschnittdatei „" + einstellungen.pfad +
                 "“ kann nicht angelegt werden: " + grund + ".";
        return nullptr;
    }
    const bool ersetzt = schreiber->ersetzt();
    const std::string sicherung = sicherungsmeldung(*schreiber);
    std::unique_ptr<TraceRecorder> recorder(
        new TraceRecorder(std::move(einstellungen), std::move(schreiber)));
    if (ersetzt)
        recorder->melde_("dravel: überschreibe „" + recorder->pfad_ + "“ mit dem Mitschnitt.");
    if (!sicherung.empty()) recorder->melde_(sicherung);
    return recorder;
}

TraceRecorder::TraceRecorder(Einstellungen einstellungen, std::unique_ptr<VcdWriter> schreiber)
    : ring_(einstellungen.ringgröße),
      schreiber_(std::move(schreiber)),
      pfad_(std::move(einstellungen.pfad)),
      epoche_(einstellungen.epoche),
      epocheNs_(monotonicNs(epoche_)),
      takt_(einstellungen.takt),
      melde_(einstellungen.melde ? std::move(einstellungen.melde)
                                 : std::function<void(const std::string&)>(aufStandardfehler)),
      zähler_(einstellungen.zählerErlaubt && counterRunsSteadily()) {
    sicherungGemeldet_ = !schreiber_->sicherungsfehler().empty();  // öffne says it
    vorher_ = stützpunkt();
    schreibfaden_ = std::thread([this] { schreibfadenSchleife(); });
}

TraceRecorder::~TraceRecorder() {
    beende();
}

void TraceRecorder::nenneBackend(const std::string& name) {
    const std::lock_guard<std::mutex> sperre(mutex_);
    neuerBackendname_ = name;
}

void TraceRecorder::warteAufPlatz(const TraceEvent& ereignis) noexcept {
    // The writer is a whole ring behind: rather than lose the access, wait
    // for it. This costs time only in a case the ring's size makes rare.
    {
        const std::lock_guard<std::mutex> sperre(mutex_);
        geweckt_ = true;
    }
    wecker_.notify_one();
    while (!ring_.versuche(ereignis)) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

void TraceRecorder::meldeFehlerEinmal() {
    std::string meldung;
    {
        const std::lock_guard<std::mutex> sperre(mutex_);
        if (!fehlermeldung_.empty()) return;
        fehlermeldung_ = "dravel: Mitschnittdatei „" + pfad_ +
                         "“ kann nicht weitergeschrieben werden: " + schreiber_->fehler() +
                         ". Sie endet beim letzten ganz geschriebenen Zeitpunkt; das Programm "
                         "läuft ohne Mitschnitt weiter.";
        meldung = fehlermeldung_;
        unvollständig_.store(true, std::memory_order_release);
    }
    melde_(meldung);
}

void TraceRecorder::meldeSicherungsfehlerEinmal() {
    if (sicherungGemeldet_ || schreiber_->sicherungsfehler().empty()) return;
    sicherungGemeldet_ = true;
    melde_(sicherungsmeldung(*schreiber_));
}

std::string TraceRecorder::fehlermeldung() const {
    const std::lock_guard<std::mutex> sperre(mutex_);
    return fehlermeldung_;
}

std::uint64_t TraceRecorder::einmalig(std::uint64_t zeit) {
    // The file's times must not go back, whatever the rounding, nor stand
    // still: two accesses at one time would leave only the later one in the
    // file. They are at least a nanosecond apart anyway.
    letzteZeit_ = std::max(letzteZeit_ + 1, zeit);
    return letzteZeit_;
}

CounterPoint TraceRecorder::stützpunkt() const {
    if (!zähler_) return {0, nanosekunden()};
    const CounterPoint p = counterPoint();
    return {p.counter, p.ns > epocheNs_ ? p.ns - epocheNs_ : 0};
}

void TraceRecorder::schreibfadenSchleife() {
    std::size_t gemeldeteAuslassungen = 0;
    for (;;) {
        bool halt;
        std::string backendname;
        {
            std::unique_lock<std::mutex> sperre(mutex_);
            wecker_.wait_for(sperre, takt_, [this] { return halt_ || geweckt_; });
            geweckt_ = false;
            halt = halt_;
            backendname.swap(neuerBackendname_);
        }
        if (!backendname.empty()) schreiber_->nenneBackend(backendname);
        // After halt_ is seen no more events come: the recording thread set
        // it after its last one.
        if (zähler_) {
            // Counter stamps become clock times on the line through the last
            // two points: exact at the points, interpolated between them
            // (events pushed just after the newer point extrapolate a little).
            const CounterPoint jetzt = stützpunkt();
            const CounterPoint a = vorher_;
            const long double steigung =
                jetzt.counter > a.counter ? static_cast<long double>(jetzt.ns - a.ns) /
                                                static_cast<long double>(jetzt.counter - a.counter)
                                          : 0.0L;
            ring_.leere([&](TraceEvent e) {
                if (e.inNs) {
                    e.zeit = einmalig(e.zeit);
                    schreiber_->formatiere(e);
                    return;
                }
                const long double ns =
                    static_cast<long double>(a.ns) +
                    (static_cast<long double>(e.zeit) - static_cast<long double>(a.counter)) *
                        steigung;
                e.zeit = einmalig(ns > 0 ? static_cast<std::uint64_t>(ns) : 0);
                schreiber_->formatiere(e);
            });
            vorher_ = jetzt;
        } else {
            ring_.leere([this](TraceEvent e) {
                e.zeit = einmalig(e.zeit);
                schreiber_->formatiere(e);
            });
        }
        if (!schreiber_->schreibeAus()) meldeFehlerEinmal();
        meldeSicherungsfehlerEinmal();
        if (schreiber_->ausgelasseneRegister() > gemeldeteAuslassungen) {
            if (gemeldeteAuslassungen == 0) {
                melde_("dravel: Mitschnitt „" + pfad_ +
                       "“: zu viele Registeradressen, weitere werden nicht aufgezeichnet.");
            }
            gemeldeteAuslassungen = schreiber_->ausgelasseneRegister();
        }
        if (halt) return;
    }
}

bool TraceRecorder::beende() {
    if (!schreibfaden_.joinable()) return gutBeendet_;
    aktiv_ = false;
    const auto ende = std::chrono::steady_clock::now();
    {
        const std::lock_guard<std::mutex> sperre(mutex_);
        halt_ = true;
    }
    wecker_.notify_one();
    schreibfaden_.join();
    const auto endzeit =
        std::max(letzteZeit_,
                 static_cast<std::uint64_t>(
                     std::chrono::duration_cast<std::chrono::nanoseconds>(ende - epoche_).count()));
    gutBeendet_ = schreiber_->schließe(endzeit);
    if (!gutBeendet_) meldeFehlerEinmal();
    meldeSicherungsfehlerEinmal();
    return gutBeendet_;
}

TracePort::TracePort(std::unique_ptr<Backend> dahinter, std::shared_ptr<TraceRecorder> recorder)
    : dahinter_(std::move(dahinter)),
      recorder_(std::move(recorder)),
      geschrieben_(dahinter_->lastWriteNs()) {
    recorder_->nenneBackend(dahinter_->name());
}

}  // namespace dravel::port
