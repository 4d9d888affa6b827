#pragma once

#include <QFont>

namespace dravel::schrift {

// Fonts are set in pixels, like the fixed twips geometry, so that a caption
// fits its box whatever the screen's dpi. "MS Sans Serif" and "Arial" fall
// back to similar sans-serif faces where they are missing.
void richteErsatzschriftenEin();

QFont standard();       // the windows' standard font
QFont fett();           // "MS Sans Serif" 8.25 pt, bold
QFont klein();          // "Arial" 6.75 pt, regular

}  // namespace dravel::schrift
