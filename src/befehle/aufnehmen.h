#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <vector>

// "dravel aufnehmen": the logic analyzer without a window.
namespace dravel::app {

inline constexpr const char* kAufnehmenKurz =
    "Zeichnet die Leitungen als Logikanalysator auf und schreibt eine VCD-Datei.";
inline constexpr const char* kAufnehmenBeschreibung =
    "Tastet die gewählten Leitungen so schnell ab, wie der Port es erlaubt, speichert nur "
    "Änderungen und schreibt sie als VCD-Datei (für PulseView und GTKWave). Mit Auslöser beginnt "
    "die Aufnahme an einer Flanke oder einem Muster, ein Vorlauf davor. Am Ende steht je Leitung "
    "eine Zeile (Flanken, Frequenz, Tastgrad) und die erreichte Abtastrate auf der "
    "Standardfehlerausgabe. Strg+C beendet die Aufnahme mit vollständiger Datei.";

std::vector<QCommandLineOption> aufnehmenOptionen();

// Reads the arguments (throws Ablehnung), binds the port, captures.
int führeAufnehmenAus(const QCommandLineParser& parser, const QStringList& argumente);

}  // namespace dravel::app
