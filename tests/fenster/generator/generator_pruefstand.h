#pragma once

// A test bench for the generator window: a port that remembers what was
// written and can act after the n-th write (the action runs in the next
// event pump, as a user's click would), recorded with timestamps by the
// recording double in front of it.
#include <QCoreApplication>
#include <QMetaObject>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "port/backend.h"
#include "port/port.h"
#include "recording_port.h"

namespace dravel::test {

class HakenPort final : public port::Backend {
public:
    std::uint8_t read(std::uint16_t p) override { return register_[p]; }
    void write(std::uint16_t p, std::uint8_t wert) override {
        register_[p] = wert;
        ++schreibzahl_;
        if (sofort_) sofort_(schreibzahl_);
        const auto haken = haken_.find(schreibzahl_);
        if (haken == haken_.end()) return;
        // Queued: it runs in the next pass of the event pump.
        QMetaObject::invokeMethod(QCoreApplication::instance(), haken->second,
                                  Qt::QueuedConnection);
    }
    [[nodiscard]] std::string name() const override { return "Haken"; }

    // Runs `aktion` in the event pump that follows write number n (from 1).
    void nachSchreiben(int n, std::function<void()> aktion) { haken_[n] = std::move(aktion); }
    // Runs `aktion` inside every write itself, before the engine goes on.
    void beimSchreiben(std::function<void(int n)> aktion) { sofort_ = std::move(aktion); }
    void setzeRegister(std::uint16_t p, std::uint8_t wert) { register_[p] = wert; }
    [[nodiscard]] std::uint8_t registerWert(std::uint16_t p) const { return register_[p]; }

private:
    std::array<std::uint8_t, 65536> register_{};
    int schreibzahl_ = 0;
    std::map<int, std::function<void()>> haken_;
    std::function<void(int)> sofort_;
};

struct Pruefstand {
    HakenPort* haken = nullptr;
    port::RecordingPort* aufzeichnung = nullptr;

    void installiere() {
        auto h = std::make_unique<HakenPort>();
        haken = h.get();
        auto a = std::make_unique<port::RecordingPort>(std::move(h));
        aufzeichnung = a.get();
        port::installBackend(std::move(a));
    }

    // The bytes written to one port, in order.
    [[nodiscard]] std::vector<int> geschrieben(std::uint16_t p = 888) const {
        std::vector<int> werte;
        for (const auto& c : aufzeichnung->writesTo(p)) werte.push_back(c.value);
        return werte;
    }
};

}  // namespace dravel::test
