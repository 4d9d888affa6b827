#pragma once

#include <QIcon>
#include <QImage>

namespace dravel {

// The windows' icon, 50 x 50 pixels in 24-bit colour: black on white, "LPT1"
// at the top, a 25-pin D-sub connector with its two rows of pins in the
// middle, and the program's name in large bold letters at the bottom.
QImage fenstersymbolBild();
QIcon fenstersymbol();

}  // namespace dravel
