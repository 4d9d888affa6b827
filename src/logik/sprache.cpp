#include "sprache.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace dravel::app {

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

}  // namespace dravel::app
