#include "schrift.h"

#include <QStringList>

namespace dravel::schrift {
namespace {
// 8.25 pt and 6.75 pt at 96 dpi.
constexpr int kStandardPixel = 11;
constexpr int kKleinPixel = 9;
const QStringList kErsatz{"Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans", "FreeSans",
                          "Sans Serif"};
}  // namespace

void richteErsatzschriftenEin() {
    QFont::insertSubstitutions("MS Sans Serif", kErsatz);
    QFont::insertSubstitutions("Arial", kErsatz);
}

QFont standard() {
    richteErsatzschriftenEin();
    QFont f("MS Sans Serif");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(kStandardPixel);
    return f;
}

QFont fett() {
    QFont f = standard();
    f.setWeight(QFont::Bold);
    return f;
}

QFont klein() {
    richteErsatzschriftenEin();
    QFont f("Arial");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(kKleinPixel);
    f.setWeight(QFont::Normal);
    return f;
}

}  // namespace dravel::schrift
