// Build-time helper: saves the window icon as a PNG file for the desktop
// entry, so the installed icon is always the one the windows show.
#include <QGuiApplication>
#include <cstdio>

#include "common/symbol.h"

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: %s ZIEL.png\n", argv[0]);
        return 2;
    }
    const QImage bild = dravel::fenstersymbolBild();
    if (bild.isNull() || !bild.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: Symbol nicht gespeichert\n", argv[1]);
        return 1;
    }
    return 0;
}
