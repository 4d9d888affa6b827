#include "trace_port.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "simulated_port.h"

namespace dravel::port {
namespace {

// Set while static objects are initialised, before main.
const std::chrono::steady_clock::time_point g_programmstart = std::chrono::steady_clock::now();

std::string ortszeitText() {
    const std::time_t jetzt = std::time(nullptr);
    std::tm ortszeit{};
    localtime_r(&jetzt, &ortszeit);
    char puffer[64];
    std::strftime(puffer, sizeof puffer, "%Y-%m-%d %H:%M:%S %z", &ortszeit);
    return puffer;
}

void aufStandardfehler(const std::string& zeile) {
    std::fprintf(stderr, "%s\n", zeile.c_str());
}

}  // namespace

std::chrono::steady_clock::time_point programmstart() {
    return g_programmstart;
}

std::unique_ptr<TraceRecorder> TraceRecorder::öffne(Einstellungen einstellungen,
                                                    std::string& fehler) {
    std::string grund;
    auto schreiber =
        VcdWriter::erzeuge(einstellungen.pfad, {einstellungen.version, "", ortszeitText()},
                           einstellungen.basen, grund, einstellungen.kopfbereich);
    if (!schreiber) {
        fehler = "dravel: Mitschnittdatei „" + einstellungen.pfad +
                 "“ kann nicht angelegt werden: " + grund + ".";
        return nullptr;
    }
    return std::unique_ptr<TraceRecorder>(
        new TraceRecorder(std::move(einstellungen), std::move(schreiber)));
}

TraceRecorder::TraceRecorder(Einstellungen einstellungen, std::unique_ptr<VcdWriter> schreiber)
    : ring_(einstellungen.ringgröße),
      schreiber_(std::move(schreiber)),
      pfad_(std::move(einstellungen.pfad)),
      epoche_(einstellungen.epoche),
      takt_(einstellungen.takt),
      melde_(einstellungen.melde ? std::move(einstellungen.melde)
                                 : std::function<void(const std::string&)>(aufStandardfehler)) {
    schreibfaden_ = std::thread([this] { arbeite(); });
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
    bool schonGemeldet;
    {
        const std::lock_guard<std::mutex> sperre(mutex_);
        schonGemeldet = fehlerGemeldet_;
        fehlerGemeldet_ = true;
    }
    if (!schonGemeldet) {
        melde_("dravel: Mitschnittdatei „" + pfad_ + "“ kann nicht weitergeschrieben werden: " +
               schreiber_->fehler() + ". Das Programm läuft ohne Mitschnitt weiter.");
    }
}

void TraceRecorder::arbeite() {
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
        ring_.leere([this](const TraceEvent& e) { schreiber_->nimm(e); });
        if (!schreiber_->schreibeAus()) meldeFehlerEinmal();
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
    const auto endzeit = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(ende - epoche_).count());
    gutBeendet_ = schreiber_->schließe(endzeit);
    if (!gutBeendet_) meldeFehlerEinmal();
    return gutBeendet_;
}

TracePort::TracePort(std::unique_ptr<Backend> dahinter, std::shared_ptr<TraceRecorder> recorder)
    : dahinter_(std::move(dahinter)), recorder_(std::move(recorder)) {
    recorder_->nenneBackend(dahinter_->name());
}

BackendFactory mitTrace(BackendFactory fabrik, std::shared_ptr<TraceRecorder> recorder) {
    return [fabrik = std::move(fabrik), recorder = std::move(recorder)] {
        std::unique_ptr<Backend> backend = fabrik ? fabrik() : nullptr;
        // The same fallback the port routines use for a factory that fails.
        if (!backend) backend = std::make_unique<SimulatedPort>();
        return std::unique_ptr<Backend>(std::make_unique<TracePort>(std::move(backend), recorder));
    };
}

}  // namespace dravel::port
