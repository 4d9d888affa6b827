#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

namespace dravel {

// A command button whose caption wraps onto several lines when it does not
// fit its fixed width ("Daten Ausgeben" on two lines), as classic toolkit
// buttons did.
class UmbruchKnopf final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A check box whose caption wraps beside the box; the whole control reacts
// to a click, the caption too.
class UmbruchKästchen final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent* event) override;
    [[nodiscard]] bool hitButton(const QPoint& pos) const override;
};

// A frame whose caption sits on its top border line, as classic frames
// looked; its controls are placed by hand, so it needs no layout margins.
class Rahmen final : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace dravel
