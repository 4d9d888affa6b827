#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

class QStyleOptionButton;

namespace dravel {

// A command button whose caption wraps onto several lines when it does not
// fit its fixed width ("Daten Ausgeben" on two lines), as classic toolkit
// buttons did.
class UmbruchKnopf final : public QPushButton {
public:
    using QPushButton::QPushButton;

    // The width the caption needs, wrapped onto the lines the height allows.
    [[nodiscard]] int bedarf() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A check box whose caption wraps beside the box; the whole control reacts
// to a click, the caption too.
class UmbruchKästchen final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

    // The width the caption needs, wrapped onto the lines the height
    // allows; 0 for a bare box too narrow to show a caption at all.
    [[nodiscard]] int bedarf() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    [[nodiscard]] bool hitButton(const QPoint& pos) const override;

private:
    [[nodiscard]] QRect indikator(const QStyleOptionButton& option) const;
    [[nodiscard]] QRect textfeld(const QRect& indikator) const;
};

// A frame whose caption sits on its top border line, as classic frames
// looked; its controls are placed by hand, so it needs no layout margins.
class Rahmen final : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

    // The width the caption needs on the border line.
    [[nodiscard]] int bedarf() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] QRect titelfeld() const;
};

}  // namespace dravel
