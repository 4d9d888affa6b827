#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "port/backend.h"

namespace dravel::test {

// Stamps every write with a clock of the caller's choosing (the steady clock
// of a benchmark, a test's own clock) and answers reads from a plain register
// array, so a register reads back what was last written. Can run an action
// once a given write is stamped (a benchmark queues its stop click there).
template <typename Zeitpunkt>
class StempelPort final : public port::Backend {
public:
    explicit StempelPort(std::function<Zeitpunkt()> uhr) : uhr_(std::move(uhr)) {}

    std::uint8_t read(std::uint16_t adresse) override { return register_[adresse]; }
    void write(std::uint16_t adresse, std::uint8_t wert) override {
        zeiten_.push_back(uhr_());
        register_[adresse] = wert;
        if (zeiten_.size() == ziel_ && beiZiel_) beiZiel_();
    }
    [[nodiscard]] std::string name() const override { return "Zeitstempel"; }

    // Runs `aktion` right after write number `anzahl` (counted from 1).
    void beiZiel(std::size_t anzahl, std::function<void()> aktion) {
        ziel_ = anzahl;
        beiZiel_ = std::move(aktion);
        zeiten_.reserve(anzahl + 16);
    }
    [[nodiscard]] const std::vector<Zeitpunkt>& zeiten() const { return zeiten_; }

private:
    std::function<Zeitpunkt()> uhr_;
    std::array<std::uint8_t, 65536> register_{};
    std::vector<Zeitpunkt> zeiten_;
    std::size_t ziel_ = 0;
    std::function<void()> beiZiel_;
};

}  // namespace dravel::test
