#include "anwendung.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "common/schrift.h"
#include "common/symbol.h"

namespace dravel::app {

void wähleEreignisschleife() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
}

void sprichQtDeutsch() {
    static QTranslator qtDeutsch;
    static bool geladen = false;
    if (!geladen && QCoreApplication::instance() &&
        qtDeutsch.load(QStringLiteral("qtbase_de"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtDeutsch);
        geladen = true;
    }
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
