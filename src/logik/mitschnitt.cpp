#include "mitschnitt.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "logik/dateiname.h"
#include "logik/maskiert.h"
#include "port/trace_port.h"

namespace dravel::app {
namespace {
std::shared_ptr<port::TraceRecorder> g_recorder;
// The verdict of the last trace once it has ended.
QString g_fehler;
}  // namespace

bool starteMitschnitt(const QString& datei, const std::vector<std::uint16_t>& basen) {
    beendeMitschnitt();
    g_fehler.clear();
    if (const QString grund = steuerzeichenImNamen(datei); !grund.isEmpty()) {
        std::fprintf(stderr,
                     "dravel: Mitschnittdatei „%s“ wird nicht angelegt: %s. Abhilfe: einen Namen "
                     "ohne Zeilenumbruch und Steuerzeichen wählen.\n",
                     qPrintable(maskiert(datei)), qPrintable(grund));
        return false;
    }
    port::TraceRecorder::Einstellungen einstellungen;
    einstellungen.pfad = dateinameVonBefehlszeile(QStringLiteral("trace"), datei);
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

std::unique_ptr<port::Backend> mitMitschnitt(std::unique_ptr<port::Backend> backend) {
    if (!g_recorder || !backend) return backend;
    return std::make_unique<port::TracePort>(std::move(backend), g_recorder);
}

void beendeMitschnitt() {
    if (!g_recorder) return;
    g_recorder->beende();
    g_fehler = QString::fromStdString(g_recorder->fehlermeldung());
    // A backend still bound keeps its share of the recorder, which now only
    // passes accesses through.
    g_recorder.reset();
}

bool mitschnittLäuft() {
    return g_recorder && g_recorder->aktiv();
}

bool mitschnittUnvollständig() {
    return g_recorder ? g_recorder->unvollständig() : !g_fehler.isEmpty();
}

QString mitschnittFehler() {
    QString zeile = g_recorder ? QString::fromStdString(g_recorder->fehlermeldung()) : g_fehler;
    if (zeile.startsWith(QLatin1String("dravel: "))) zeile.remove(0, 8);
    return zeile;
}

int mitMitschnittstatus(int status) {
    beendeMitschnitt();
    return status == 0 && mitschnittUnvollständig() ? 1 : status;
}

}  // namespace dravel::app
