#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "port/pin_map.h"

class QTimer;

namespace dravel {

class PinAnzeige;
class Steckerbild;

// The port's DB-25 socket as seen from the front, with every pin's
// electrical level live: the data, status and control registers are read
// every 50 ms while the window is visible, and not at all while it is
// hidden, minimised or closed. A click on an output pin switches its level
// (read the register, flip the bit, write it back). The window works on the
// main window's base address.
//
// Handlers are plain member functions connected by pointer; no Q_OBJECT.
class Steckerfenster final : public QWidget {
public:
    explicit Steckerfenster(QWidget* parent = nullptr);
    ~Steckerfenster() override;

    // Address of the data register; status and control follow it.
    std::int16_t Basis = 888;

    // Reads the three registers and shows them on the pins.
    void Abfrage_Timer();
    // A click on pin `Index` (1..25).
    void Pin_Click(std::int16_t Index);

    QTimer* Abfrage = nullptr;          // 50 ms, runs only while visible
    std::array<PinAnzeige*, 26> Pin{};  // elements 1..25
    Steckerbild* Bild = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setzeBasis(std::int16_t basis);
    void starteAbfrage();

    port::RegisterValues werte_;
    bool bekannt_ = false;
};

}  // namespace dravel
