#pragma once

#include <QLabel>
#include <QMouseEvent>

#include "fenster/gemeinsam/klick_erkennung.h"

namespace dravel {

// A plain text label that serves as a button: it reports a click when the
// left mouse button is pressed and released over it. A double click is one
// click: the second press, which comes as a double-click event, does
// nothing. Like every label it takes no keyboard focus.
class KlickLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    KlickErkennung klick_;
};

}  // namespace dravel
