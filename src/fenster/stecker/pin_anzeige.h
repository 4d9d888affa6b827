#pragma once

#include <QFont>
#include <QWidget>
#include <functional>

#include "fenster/gemeinsam/klick_erkennung.h"
#include "port/pin_map.h"

namespace dravel {

// What one pin shows.
struct PinZustand {
    bool bekannt = false;  // read at least once
    bool hoch = false;     // electrical level
    bool bit = false;      // the register bit as read
    port::PinDirection richtung = port::PinDirection::Output;
    bool richtungUngewiss = false;  // the direction bit is not read back

    bool operator==(const PinZustand&) const = default;
};

// The fonts of the picture, fitted to its size.
struct PinSchriften {
    QFont name;
    QFont register_;
    QFont nummer;
};

// One pin of the socket: its LED in the contact, number, signal name,
// register bit and direction mark. Outputs switch on a click (or Space or
// Enter with the focus on them); tooltip and accessible name tell the level.
class PinAnzeige final : public QWidget {
public:
    PinAnzeige(const port::PinInfo& pin, QWidget* parent);

    // Where the cell lies in the parent, at `p` pixels per pitch.
    void setzeMaße(const QRectF& zelle, qreal p, const PinSchriften& schriften);
    void zeige(const PinZustand& zustand);

    [[nodiscard]] const port::PinInfo& pin() const { return pin_; }
    [[nodiscard]] const PinZustand& zustand() const { return zustand_; }

    std::function<void()> beiKlick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    [[nodiscard]] bool schaltbar() const;
    // A height within the cell, counted as in a lower-row cell, in pixels
    // of this widget (the upper row is mirrored).
    [[nodiscard]] qreal y(qreal zellenmaß) const;

    const port::PinInfo& pin_;
    PinZustand zustand_;
    PinSchriften schriften_;
    qreal p_ = 1.0;
    QPointF versatz_;  // the cell's corner within this widget
    KlickErkennung klick_;
};

}  // namespace dravel
