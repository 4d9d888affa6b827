// Build-time helper: renders the program's SVG icon as a PNG of one size for
// the icon theme, so the pixel sizes always match the scalable icon.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "Aufruf: %s QUELLE.svg KANTE ZIEL.png\n", argv[0]);
        return 2;
    }
    QSvgRenderer quelle(QString::fromLocal8Bit(argv[1]));
    const int kante = QString::fromLatin1(argv[2]).toInt();
    if (!quelle.isValid() || kante <= 0) {
        std::fprintf(stderr, "%s: kein gültiges SVG oder keine Größe\n", argv[1]);
        return 1;
    }
    QImage bild(kante, kante, QImage::Format_ARGB32_Premultiplied);
    bild.fill(Qt::transparent);
    QPainter maler(&bild);
    maler.setRenderHint(QPainter::Antialiasing);
    quelle.render(&maler);
    maler.end();
    if (!bild.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "%s: Symbol nicht gespeichert\n", argv[3]);
        return 1;
    }
    return 0;
}
