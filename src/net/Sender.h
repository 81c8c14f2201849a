#pragma once

#include "net/DestinationCommandRing.h"
#include "net/DestinationList.h"
#include "platform/MessageThrottle.h"
#include "net/NameResolver.h"
#include "net/PacketQueue.h"
#include "net/StreamEncryptor.h"
#include "platform/NonCopyable.h"
#include "transport/PacketSink.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class KestravaInstanceConfig;

namespace kestrava::net {

// The UDP output of an encoder. The transport sender queues packets (enqueue); the send thread
// takes them oldest first, paced by the rate limiter, protects each one and sends it to every
// destination. The controller adds and erases destinations through the 64-slot command ring; the
// socket-manager thread resolves, opens and configures them off the packet path.
//
// Stopping (the destructor) wakes both threads and joins them; every wait of theirs is
// interruptible. A name resolution still running then is abandoned: it runs on a helper thread
// that owns everything it touches and never reaches back into the sender.
class Sender : public kestrava::transport::TRP::PacketSink, kestrava::NonCopyable {
public:
    struct Options {
        NameResolver resolver = resolveWithSystem;
        // Called on the socket-manager thread each time a destination has entered the list.
        std::function<void(std::int32_t id)> onDestinationAdded;
    };

    static constexpr std::chrono::milliseconds addPause{1000};
    static constexpr std::chrono::seconds firstRetryDelay{1};
    static constexpr std::chrono::seconds longestRetryDelay{60};

    explicit Sender(KestravaInstanceConfig* config);
    Sender(KestravaInstanceConfig* config, Options options);
    ~Sender() override;

    // Producer side (one thread): queues a packet with its priority.
    void enqueue(const std::uint8_t* data, std::uint32_t length, kestrava::transport::TRP::Priority priority) override;

    // Controller side: queue an add and return the new destination's id, or -1 when the ring is
    // full ("Destination buffer full, cannot add more destinations" is logged).
    std::int32_t submitAdd(const std::string& host, const std::string& port, const std::string& interfaceName,
                           bool useQos);
    // Queue an erase; false when the ring is full ("... cannot change more destinations").
    bool submitErase(std::int32_t destinationId);

    // The ids of the open destinations, newest first.
    std::vector<std::int32_t> destinationIds() const { return destinations.ids(); }

private:
    struct ResolveJob;
    struct PendingAdd {
        DestinationCommand command;
        std::chrono::steady_clock::time_point due;
        std::chrono::seconds delay{0};
        bool failureReported = false;
    };
    enum class AddOutcome { Added, ResolveFailed, Stopped };

    void runSendLoop();
    std::uint32_t sendNext();
    void sendToDestinations(std::uint8_t* data, std::uint32_t length, std::uint32_t capacity);

    void runSocketManager();
    AddOutcome addDestination(PendingAdd& add);
    void eraseDestination(std::int32_t destinationId);
    std::optional<ResolveResult> resolveInterruptibly(const std::string& host, const std::string& port);

    KestravaInstanceConfig* const config;
    const Options options;
    StreamEncryptor streamEncryptor;
    PacketQueue queue;
    DestinationList destinations;
    DestinationCommandRing commands;
    std::atomic<std::int32_t> nextDestinationId{0};
    std::atomic<bool> running{true};
    kestrava::platform::MessageThrottle queueFullThrottle;
    SenderSlot sendScratch{};

    std::mutex jobMutex;
    std::shared_ptr<ResolveJob> currentJob;

    std::thread sendThread;
    std::thread socketManagerThread;
};

}  // namespace kestrava::net
