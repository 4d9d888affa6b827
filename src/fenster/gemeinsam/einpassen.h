#pragma once

#include <QRect>
#include <vector>

namespace dravel::layout {

// One control of a fixed layout, for fitting it to the font in use.
struct Platz {
    int behälter = -1;     // index of its container in the same list; -1: the client area
    QRect rahmen;          // where the table puts it, in its container
    int bedarf = 0;        // the width its caption needs in the font in use; 0: none
    bool nurText = false;  // a label: a caption to its left may run up to it
};

// The fixed geometry was drawn for one font; a wider one would clip
// captions. A control whose caption needs more grows to exactly that;
// controls to its right in the same rows move along, keeping their old gap
// up to a couple of pixels, and a few pixels after the caption unless they
// are text themselves; containers, and finally the client area, grow to
// hold their controls. Controls that share a column (same left edge and
// width) keep sharing it. Where every caption fits, nothing changes.
// Returns the new rectangles, in the list's order, and widens
// `clientBreite` where needed.
std::vector<QRect> passeEin(const std::vector<Platz>& plätze, int& clientBreite);

}  // namespace dravel::layout
