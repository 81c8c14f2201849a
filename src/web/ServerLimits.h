#pragma once

#include <chrono>
#include <cstddef>

namespace kestrava::web {

// The bounds that keep slow, silent or flooding clients from holding the server.
struct ServerLimits {
    static constexpr int workerCount = 10;            // connections served at a time
    static constexpr std::size_t maxWaiting = 63;     // accepted connections waiting for a worker
    static constexpr int listenBacklog = 128;

    // The whole request head must arrive within this time after its first byte.
    std::chrono::milliseconds headerTimeout{5000};
    // An accepted connection that sends nothing is closed after this time (and the oldest such
    // connection makes room when the waiting list is full).
    std::chrono::milliseconds idleTimeout{15000};
    // ... but only one that has been silent this long: a fresh connection's request is on its way.
    std::chrono::milliseconds evictAfter{1000};
    // A request that finds every worker busy for this long gets "503 SERVICE UNAVAILABLE".
    std::chrono::milliseconds busyWait{10000};
    // A WebSocket without any frame for this long is closed; a started frame must be complete
    // within frameTimeout.
    std::chrono::milliseconds webSocketIdle{120000};
    std::chrono::milliseconds frameTimeout{10000};
    // A client that does not take a reply for this long loses its connection.
    std::chrono::milliseconds sendTimeout{10000};
    // After a reply the worker waits at most this long for the client's close before closing.
    std::chrono::milliseconds lingerTimeout{1000};
    // The wait for the server mutex around a request.
    std::chrono::milliseconds serverMutexWait{2000};
};

}  // namespace kestrava::web
