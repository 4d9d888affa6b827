#include "mitschnitt.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "port/trace_port.h"

namespace dravel::app {
namespace {
std::shared_ptr<port::TraceRecorder> g_recorder;
}  // namespace

bool starteMitschnitt(const QString& datei, const std::vector<std::uint16_t>& basen) {
    beendeMitschnitt();
    port::TraceRecorder::Einstellungen einstellungen;
    einstellungen.pfad = QFile::encodeName(datei).toStdString();
    einstellungen.basen = basen;
    for (const std::uint16_t basis : port::standardbasen()) einstellungen.basen.push_back(basis);
    std::string fehler;
    auto recorder = port::TraceRecorder::öffne(std::move(einstellungen), fehler);
    if (!recorder) {
        std::fprintf(stderr, "%s\n", fehler.c_str());
        return false;
    }
    g_recorder = std::move(recorder);
    // Also on a path out of the program that passes by räumeAuf (an early
    // return from main, std::exit): the file is completed all the same.
    static const bool amEnde = std::atexit([] { beendeMitschnitt(); }) == 0;
    (void)amEnde;
    return true;
}

port::BackendFactory mitMitschnitt(port::BackendFactory fabrik) {
    if (!g_recorder) return fabrik;
    return port::mitTrace(std::move(fabrik), g_recorder);
}

std::unique_ptr<port::Backend> mitMitschnitt(std::unique_ptr<port::Backend> backend) {
    if (!g_recorder || !backend) return backend;
    return std::make_unique<port::TracePort>(std::move(backend), g_recorder);
}

void beendeMitschnitt() {
    if (!g_recorder) return;
    g_recorder->beende();
    // A backend still bound keeps its share of the recorder, which now only
    // passes accesses through.
    g_recorder.reset();
}

bool mitschnittLäuft() {
    return g_recorder && g_recorder->aktiv();
}

}  // namespace dravel::app
