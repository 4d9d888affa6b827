#include "anwendung.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fenster/gemeinsam/schrift.h"
#include "fenster/gemeinsam/symbol.h"
#include "dravel_version.h"

namespace dravel::app {
namespace {

struct Meldung {
    QtMsgType art;
    QByteArray kategorie;
    QString text;
};

QtMessageHandler g_bisher = nullptr;
std::vector<Meldung> g_zurückgehalten;
std::string g_plattform;

void halteZurück(QtMsgType art, const QMessageLogContext& kontext, const QString& text) {
    if (art != QtFatalMsg) {
        g_zurückgehalten.push_back({art, kontext.category, text});
        return;
    }
    const std::string name = g_plattform.empty() ? std::string() : " „" + g_plattform + "“";
    std::fprintf(stderr,
                 "dravel: Die Qt-Plattform%s lässt sich nicht starten; ohne sie öffnet sich "
                 "kein Fenster. Abhilfe: in einer grafischen Sitzung starten oder "
                 "QT_QPA_PLATFORM auf xcb oder wayland setzen.\n",
                 name.c_str());
    std::fflush(stderr);
    // Nothing is bound yet that an orderly exit would have to release.
    std::_Exit(2);
}

}  // namespace

void fangePlattformfehlerAb(int argc, char* argv[]) {
    g_plattform = qEnvironmentVariable("QT_QPA_PLATFORM").toStdString();
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            g_plattform = argv[i + 1];
        }
    }
    g_bisher = qInstallMessageHandler(halteZurück);
}

void gibPlattformmeldungenWeiter() {
    qInstallMessageHandler(g_bisher);
    for (const Meldung& m : g_zurückgehalten) {
        const QMessageLogContext kontext(nullptr, 0, nullptr, m.kategorie.constData());
        if (g_bisher) g_bisher(m.art, kontext, m.text);
    }
    g_zurückgehalten.clear();
}

void wähleEreignisschleife() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
}

void richteAnwendungEin() {
    QApplication::setApplicationName(QStringLiteral("Dravel"));
    QApplication::setApplicationVersion(QStringLiteral(DRAVEL_VERSION));
    QApplication::setWindowIcon(fenstersymbol());
    // Lets docks and Wayland shells find dravel.desktop and its themed icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("dravel"));

    // The windows speak German, so do the standard buttons of dialogs.
    sprichQtDeutsch();
    schrift::richteErsatzschriftenEin();
    // Menus, dialogs and message boxes speak in the windows' standard font.
    QApplication::setFont(schrift::standard());
}

}  // namespace dravel::app
