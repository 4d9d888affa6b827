#include "kommandozeile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "port/port.h"
#include "port/simulated_port.h"

namespace dravel::app {

std::optional<int> werteKommandozeileAus(const QStringList& argumente) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Dravel – Parallelport von Hand steuern."));
    const QCommandLineOption hilfe({QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Zeigt diese Hilfe."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Zeigt die Versionsnummer."));
    parser.addOption(hilfe);
    parser.addOption(version);
    if (!parser.parse(argumente)) {
        std::fprintf(stderr, "dravel: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(hilfe)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("dravel %s\n", DRAVEL_VERSION);
        return 0;
    }
    port::selectBackend([] { return std::make_unique<port::SimulatedPort>(); });
    std::fputs("dravel: simulierter Port an 0x378 (888), keine Hardware.\n", stderr);
    return std::nullopt;
}

void räumeAuf() { port::releaseBackend(); }

}  // namespace dravel::app
