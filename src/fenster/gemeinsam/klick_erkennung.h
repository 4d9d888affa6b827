#pragma once

#include <QMouseEvent>
#include <QWidget>

namespace dravel {

// When a widget that acts as a button has been clicked: the left button
// pressed and released over it. A double click is one click: its second
// press comes as a double-click event, which QWidget would otherwise treat
// as another press, so that its release would count as a second click.
class KlickErkennung {
public:
    void drücke(QMouseEvent* event) {
        gedrückt_ = event->button() == Qt::LeftButton;
        event->accept();
    }
    // True when the release completes a click.
    bool lasseLos(const QWidget& widget, QMouseEvent* event) {
        const bool klick = gedrückt_ && event->button() == Qt::LeftButton &&
                           widget.rect().contains(event->position().toPoint());
        gedrückt_ = false;
        event->accept();
        return klick;
    }
    void doppelklick(QMouseEvent* event) {
        gedrückt_ = false;
        event->accept();
    }

private:
    bool gedrückt_ = false;
};

}  // namespace dravel
