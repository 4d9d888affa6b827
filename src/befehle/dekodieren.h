#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "logik/aufnahme.h"
#include "logik/dekoder.h"

// The decoder options shared by dekodieren and aufnehmen: named and spelled
// as sigrok-cli's (-P uart:rx=10:baudrate=9600,midi and -A uart=rx-data).
namespace dravel::app::befehl {

struct Dekoderwunsch {
    std::vector<dekoder::Stapel> stapel;
    QStringList filter;              // as given: read against the stacks once they are checked
    dekoder::Filter auswahl;         // `filter` read, by prüfeDekoderwunsch
    std::uint64_t abtastrateHz = 0;  // 0: from the capture
};

std::vector<QCommandLineOption> dekoderOptionen();

// nullopt without --dekoder; throws Ablehnung for what cannot be read.
std::optional<Dekoderwunsch> leseDekoderwunsch(const QCommandLineParser& parser);

// Checks the decoders against lines like the capture's before it is made
// and reads the filters; throws Ablehnung naming the fault and what would
// be right. Before dekodiereUndZeige.
void prüfeDekoderwunsch(Dekoderwunsch& wunsch, std::shared_ptr<const analysator::Aufnahme> probe);

// Decodes and prints the annotations on standard output, one line each:
// start and end in seconds from the capture's zero, decoder, row, text, and
// "Lücke" where the annotation overlaps a gap. The exit status as
// endstatus() gives it, 2 when the decoders fail.
int dekodiereUndZeige(const Dekoderwunsch& wunsch,
                      std::shared_ptr<const analysator::Aufnahme> aufnahme);

}  // namespace dravel::app::befehl
