#include "recording_port.h"

#include <algorithm>
#include <iterator>

namespace dravel::port {

std::uint8_t RecordingPort::read(std::uint16_t port) {
    std::uint8_t value;
    auto scripted = script_.find(port);
    if (scripted != script_.end() && !scripted->second.empty()) {
        value = scripted->second.front();
        scripted->second.pop_front();
    } else if (behind_) {
        value = behind_->read(port);
    } else {
        value = registerValue(port);
    }
    calls_.push_back({Kind::Read, port, value, std::chrono::steady_clock::now()});
    return value;
}

void RecordingPort::write(std::uint16_t port, std::uint8_t value) {
    calls_.push_back({Kind::Write, port, value, std::chrono::steady_clock::now()});
    if (behind_) behind_->write(port, value);
    if (writesLatch_) registers_[port] = value;
}

std::uint8_t RecordingPort::registerValue(std::uint16_t port) const {
    auto it = registers_.find(port);
    return it == registers_.end() ? 0xFF : it->second;
}

void RecordingPort::script(std::uint16_t port, std::initializer_list<std::uint8_t> answers) {
    auto& queue = script_[port];
    queue.insert(queue.end(), answers.begin(), answers.end());
}

std::vector<RecordingPort::Call> RecordingPort::writes() const {
    std::vector<Call> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
                 [](const Call& c) { return c.kind == Kind::Write; });
    return out;
}

std::vector<RecordingPort::Call> RecordingPort::writesTo(std::uint16_t port) const {
    std::vector<Call> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
                 [port](const Call& c) { return c.kind == Kind::Write && c.port == port; });
    return out;
}

std::vector<RecordingPort::Call> RecordingPort::reads() const {
    std::vector<Call> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
                 [](const Call& c) { return c.kind == Kind::Read; });
    return out;
}

}  // namespace dravel::port
