#include "klick_label.h"

namespace dravel {

void KlickLabel::mousePressEvent(QMouseEvent* event) {
    klick_.drücke(event);
}

void KlickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (klick_.lasseLos(*this, event)) emit clicked();
}

void KlickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    klick_.doppelklick(event);
}

}  // namespace dravel
