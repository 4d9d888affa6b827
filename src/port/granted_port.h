#pragma once

#include <atomic>
#include <memory>

#include "backend.h"
#include "io_grants.h"
#include "start_error.h"

namespace dravel::port {

// Lets through only the granted addresses to the hardware backend behind it.
// Every other address behaves as an empty bus (reads 255, writes vanish), and
// the first such access says so once, with the block that would grant it.
class GrantedPort final : public Backend {
public:
    GrantedPort(std::unique_ptr<Backend> behind, IoGrants grants, MessageSink messages);

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override { return behind_->name(); }

    [[nodiscard]] const IoGrants& grants() const { return grants_; }

private:
    bool granted(std::uint16_t port);

    std::unique_ptr<Backend> behind_;
    IoGrants grants_;
    MessageSink messages_;
    std::atomic<bool> warned_{false};  // the analyzer's thread may be the first
};

}  // namespace dravel::port
