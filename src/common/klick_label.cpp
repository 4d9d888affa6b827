#include "klick_label.h"

namespace dravel {

void KlickLabel::mousePressEvent(QMouseEvent* event) {
    gedrückt_ = event->button() == Qt::LeftButton;
    event->accept();
}

void KlickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool klick = gedrückt_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    gedrückt_ = false;
    event->accept();
    if (klick) emit clicked();
}

void KlickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // QWidget would treat it as another press, and its release as a click.
    gedrückt_ = false;
    event->accept();
}

}  // namespace dravel
