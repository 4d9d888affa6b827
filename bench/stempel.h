#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>

#include "stempel_port.h"

namespace dravel::bench {

using Uhr = std::chrono::steady_clock;
using StempelPort = test::StempelPort<Uhr::time_point>;

// A port that stamps its writes with the steady clock, room reserved for
// `anzahl` of them. `danach`, if given, is queued on the event loop after
// write number `anzahl`, so that it runs once the engine's step is done.
inline std::unique_ptr<StempelPort> stempelPort(std::size_t anzahl,
                                                std::function<void()> danach = {}) {
    auto port = std::make_unique<StempelPort>([] { return Uhr::now(); });
    port->beiZiel(anzahl, [danach = std::move(danach)] {
        if (danach) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), danach, Qt::QueuedConnection);
        }
    });
    return port;
}

}  // namespace dravel::bench
