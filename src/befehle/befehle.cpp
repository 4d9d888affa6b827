#include "befehle.h"

#include <QCommandLineParser>
#include <cstdio>
#include <vector>

#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "logik/kommandozeile.h"
#include "logik/sprache.h"

namespace dravel::app {

namespace befehl {
// Each command lives in a file of its own and gives its entry here.
Befehl lesen();
Befehl schreiben();
Befehl beobachten();
Befehl muster();
}  // namespace befehl

namespace {

using befehl::Ablehnung;
using befehl::Argument;
using befehl::Befehl;

const std::vector<Befehl>& befehle() {
    static const std::vector<Befehl> tabelle{
        befehl::lesen(),
        befehl::schreiben(),
        befehl::beobachten(),
        befehl::muster(),
    };
    return tabelle;
}

const Befehl* befehlNamens(const QString& name) {
    for (const Befehl& befehl : befehle()) {
        if (name == QLatin1String(befehl.name)) return &befehl;
    }
    return nullptr;
}

// The first argument that is no option, with the port options' values
// skipped; empty when there is none.
QString ersterBefehl(const QStringList& argumente) {
    QCommandLineParser parser;
    parser.addOptions(portOptionen());
    // Options unknown here are the command's own; only the positions count.
    (void)parser.parse(argumente);
    return parser.positionalArguments().value(0);
}

}  // namespace

bool hatBefehl(int argc, char* argv[]) {
    QStringList argumente;
    for (int i = 0; i < argc; ++i) argumente << QString::fromLocal8Bit(argv[i]);
    return befehlNamens(ersterBefehl(argumente)) != nullptr;
}

int führeBefehlAus(const QStringList& argumente) {
    sprichQtDeutsch();  // the parser's "Aufruf:" and error texts
    const Befehl* befehl = befehlNamens(ersterBefehl(argumente));
    if (!befehl) return 2;
    const QString name = QString::fromUtf8(befehl->name);
    const QString abhilfe = QStringLiteral(" Abhilfe: dravel %1 --help").arg(name);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(befehl->beschreibung));
    const QCommandLineOption hilfe({QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Zeigt diese Hilfe."));
    parser.addOption(hilfe);
    for (const QCommandLineOption& o : befehl->optionen) parser.addOption(o);
    parser.addOptions(portOptionen());
    // The usage line starts with the command's name.
    QString vorne = name + u' ';
    for (const Argument& a : befehl->argumente) {
        parser.addPositionalArgument(QString::fromUtf8(a.name), QString::fromUtf8(a.text),
                                     vorne + QString::fromUtf8(a.aufruf));
        vorne.clear();
    }
    try {
        if (!parser.parse(argumente)) throw Ablehnung(parser.errorText());
        if (parser.isSet(hilfe)) {
            std::fputs(qPrintable(parser.helpText()), stdout);
            return 0;
        }
        QStringList positionen = parser.positionalArguments();
        positionen.removeFirst();
        // Signals end a command cleanly from the moment the port opens.
        fangeAbbruchAb();
        return befehl->führeAus(parser, positionen);
    } catch (const Ablehnung& ablehnung) {
        std::fprintf(stderr, "dravel: %s%s\n", ablehnung.what(), abhilfe.toUtf8().constData());
        return 2;
    }
}

QString befehlsübersicht() {
    QString text = QStringLiteral("\nBefehle ohne Fenster (für Skripte; jeder mit --help):\n");
    for (const Befehl& befehl : befehle()) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QString::fromUtf8(befehl.name), -11)
                    .arg(QString::fromUtf8(befehl.kurz));
    }
    return text;
}

}  // namespace dravel::app
