#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "port/backend.h"

namespace dravel::port {

// Test double: logs every call in order with a timestamp and answers reads
// from a per-address script, then from a register map the test sets (or from
// a backend it wraps). Writes land in the register map unless the test
// switches that off, so by default a register reads back what was written.
class RecordingPort final : public Backend {
public:
    enum class Kind { Read, Write };

    struct Call {
        Kind kind;
        std::uint16_t port;
        std::uint8_t value;  // the byte read or written
        std::chrono::steady_clock::time_point time;

        bool operator==(const Call& o) const {
            return kind == o.kind && port == o.port && value == o.value;
        }
    };

    RecordingPort() = default;
    // Records in front of another backend, which then answers reads and
    // receives writes (scripted reads still win).
    explicit RecordingPort(std::unique_ptr<Backend> behind) : behind_(std::move(behind)) {}

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override { return "Aufzeichnung"; }
    [[nodiscard]] std::uint8_t controlBitsNotReadBack() const override {
        return behind_ ? behind_->controlBitsNotReadBack() : 0;
    }

    // Register map: what unscripted reads return; 0xFF where nothing is set.
    void setRegister(std::uint16_t port, std::uint8_t value) { registers_[port] = value; }
    [[nodiscard]] std::uint8_t registerValue(std::uint16_t port) const;
    // Queues answers for the next reads of one address, oldest first.
    void script(std::uint16_t port, std::initializer_list<std::uint8_t> answers);
    void setWritesLatch(bool latch) { writesLatch_ = latch; }

    [[nodiscard]] const std::vector<Call>& calls() const { return calls_; }
    [[nodiscard]] std::vector<Call> writes() const;
    [[nodiscard]] std::vector<Call> writesTo(std::uint16_t port) const;
    [[nodiscard]] std::vector<Call> reads() const;
    void clearLog() { calls_.clear(); }

    static Call r(std::uint16_t port, std::uint8_t value) { return {Kind::Read, port, value, {}}; }
    static Call w(std::uint16_t port, std::uint8_t value) { return {Kind::Write, port, value, {}}; }

private:
    std::unique_ptr<Backend> behind_;
    std::map<std::uint16_t, std::uint8_t> registers_;
    std::map<std::uint16_t, std::deque<std::uint8_t>> script_;
    std::vector<Call> calls_;
    bool writesLatch_ = true;
};

}  // namespace dravel::port
