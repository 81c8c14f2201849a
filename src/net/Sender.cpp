#include "net/Sender.h"

#include "logging/KestravaInstanceConfig.h"
#include "net/SendPacer.h"
#include "platform/Clock.h"
#include "platform/ThreadSetup.h"

#include <algorithm>
#include <condition_variable>

namespace TRP = kestrava::transport::TRP;

namespace kestrava::net {

namespace {

// The send thread's clock and pause: the steady clock, and a wait that ends early on stop.
class QueueTiming final : public SendTiming {
public:
    explicit QueueTiming(PacketQueue& queue) : queue(queue) {}
    std::int64_t nowNs() override { return kestrava::steadyNowNs(); }
    bool pause(std::int64_t ns) override { return queue.waitClosedFor(std::chrono::nanoseconds(ns)); }

private:
    PacketQueue& queue;
};

kestrava::ThreadOptions senderThreadOptions(const KestravaInstanceConfig& config, const char* name) {
    kestrava::ThreadOptions options;
    options.name = name;
    options.priority = config.engine.threadPriority.load();
    options.affinityMask = config.affinityMask;
    return options;
}

}  // namespace

// Shared between the socket-manager thread and the helper thread that runs one resolution.
struct Sender::ResolveJob {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool abandoned = false;
    ResolveResult result;
};

Sender::Sender(KestravaInstanceConfig* config) : Sender(config, Options{}) {}

Sender::Sender(KestravaInstanceConfig* config_, Options options_)
    : config(config_), options(std::move(options_)), streamEncryptor(config_) {
    sendThread = kestrava::startThread(senderThreadOptions(*config, "kv-send"), [this] { runSendLoop(); });
    socketManagerThread = kestrava::startThread(senderThreadOptions(*config, "kv-sockets"), [this] { runSocketManager(); });
}

Sender::~Sender() {
    running = false;
    queue.close();
    commands.close();
    {
        std::lock_guard lock(jobMutex);
        if (currentJob) {
            std::lock_guard jobLock(currentJob->mutex);
            currentJob->abandoned = true;
            currentJob->changed.notify_all();
        }
    }
    // Both threads only ever wait interruptibly (the resolution itself runs elsewhere), so the
    // joins return promptly; nothing is detached that could touch this object afterwards.
    if (sendThread.joinable()) sendThread.join();
    if (socketManagerThread.joinable()) socketManagerThread.join();
    destinations.clear();
}

void Sender::enqueue(const std::uint8_t* data, std::uint32_t length, TRP::Priority priority) {
    if (queue.push(data, length, priority, kestrava::steadyNowNs())) return;
    std::uint32_t suppressed = 0;
    if (!queueFullThrottle.shouldReport(kestrava::steadyNowNs(), suppressed)) return;
    config->logger.log(1, KestravaLogger::Critical, "Could not put packet of {} bytes in buffer - rate limiter buffer full!",
                       length);
    if (suppressed > 0) {
        config->logger.log(1, KestravaLogger::Critical, "{} further packets did not fit in the buffer since the last report",
                           suppressed);
    }
}

std::int32_t Sender::submitAdd(const std::string& host, const std::string& port, const std::string& interfaceName,
                               bool useQos) {
    DestinationCommand command;
    command.host = host;
    command.port = port;
    command.interfaceName = interfaceName;
    command.useQos = useQos;
    command.destinationId = nextDestinationId.fetch_add(1);
    command.erase = false;
    if (!commands.submit(command)) {
        config->logger.log(1, KestravaLogger::Error, "Destination buffer full, cannot add more destinations");
        return -1;
    }
    return command.destinationId;
}

bool Sender::submitErase(std::int32_t destinationId) {
    DestinationCommand command;
    command.destinationId = destinationId;
    command.erase = true;
    if (destinationId < 0 || !commands.submit(command)) {
        config->logger.log(1, KestravaLogger::Error, "Destination buffer full, cannot change more destinations");
        return false;
    }
    return true;
}

void Sender::runSendLoop() {
    QueueTiming timing(queue);
    SendPacer pacer(config, queue, timing, [this] { return sendNext(); });
    while (running.load()) {
        if (!queue.waitForPacket()) break;
        if (!running.load()) break;
        if (!pacer.cycle()) break;
    }
}

std::uint32_t Sender::sendNext() {
    if (!queue.pop(sendScratch)) return 0;
    sendToDestinations(sendScratch.data, sendScratch.length, SenderSlot::capacity);
    return sendScratch.length;
}

void Sender::sendToDestinations(std::uint8_t* data, std::uint32_t length, std::uint32_t capacity) {
    // Protection works on the scratch copy, once for all destinations; 0 means "do not send".
    const std::uint32_t n = streamEncryptor.protect(data, length, capacity);
    if (n == 0) return;
    destinations.sendToAll(data, n);
}

std::optional<ResolveResult> Sender::resolveInterruptibly(const std::string& host, const std::string& port) {
    auto job = std::make_shared<ResolveJob>();
    {
        std::lock_guard lock(jobMutex);
        if (!running.load()) return std::nullopt;
        currentJob = job;
    }
    // The helper owns the job, the resolver and the texts; it may outlive the sender.
    kestrava::ThreadOptions helperOptions;
    helperOptions.name = "kv-resolve";
    kestrava::startThread(helperOptions, [job, resolver = options.resolver, host, port] {
        ResolveResult result = resolver(host, port);
        std::lock_guard lock(job->mutex);
        job->result = std::move(result);
        job->done = true;
        job->changed.notify_all();
    }).detach();
    std::optional<ResolveResult> outcome;
    {
        std::unique_lock lock(job->mutex);
        job->changed.wait(lock, [&] { return job->done || job->abandoned; });
        if (job->done) outcome = std::move(job->result);
    }
    std::lock_guard lock(jobMutex);
    currentJob.reset();
    return outcome;
}

Sender::AddOutcome Sender::addDestination(PendingAdd& add) {
    const DestinationCommand& command = add.command;
    auto destination = std::make_shared<UdpDestination>(config);
    std::optional<ResolveResult> resolved = resolveInterruptibly(command.host, command.port);
    if (!resolved) return AddOutcome::Stopped;
    if (!destination->takeAddresses(*resolved)) {
        const std::string text = resolved->errorText.empty() ? std::string("No address") : resolved->errorText;
        // The first failure is shown to the user; retries only log.
        if (!add.failureReported) config->statusMessages.postTimedStatusMessage(StatusError, 0, "Failed getting address info: {}", text);
        config->logger.log(1, KestravaLogger::Error, "Failed getting address info: {}", text);
        add.failureReported = true;
        return AddOutcome::ResolveFailed;
    }
    destination->open();
    destination->setSendBufferSize();
    destination->applyQos(command.useQos);
    if (!command.interfaceName.empty()) destination->bindTo(command.interfaceName);
    destinations.addFront(command.destinationId, std::move(destination));
    if (options.onDestinationAdded) options.onDestinationAdded(command.destinationId);
    return AddOutcome::Added;
}

void Sender::eraseDestination(std::int32_t destinationId) {
    if (!destinations.erase(destinationId)) {
        config->logger.log(1, KestravaLogger::Error, "Attempted to erase non-existent destination {}", destinationId);
    }
}

void Sender::runSocketManager() {
    using Clock = std::chrono::steady_clock;
    // Destinations whose name did not resolve yet, retried with growing delays until they
    // resolve or are erased.
    std::vector<PendingAdd> retries;
    while (running.load()) {
        auto due = Clock::time_point::max();
        for (const PendingAdd& r : retries) due = std::min(due, r.due);
        PendingAdd add;
        bool fromRing = false;
        const auto taken = commands.take(add.command, due);
        if (taken == DestinationCommandRing::TakeResult::Closed || !running.load()) break;
        if (taken == DestinationCommandRing::TakeResult::TimedOut) {
            const auto it = std::min_element(retries.begin(), retries.end(),
                                             [](const PendingAdd& a, const PendingAdd& b) { return a.due < b.due; });
            if (it == retries.end()) continue;
            add = std::move(*it);
            retries.erase(it);
        } else {
            fromRing = true;
            const DestinationCommand& command = add.command;
            if (command.erase) {
                const auto it = std::find_if(retries.begin(), retries.end(), [&](const PendingAdd& r) {
                    return r.command.destinationId == command.destinationId;
                });
                if (it != retries.end()) {
                    retries.erase(it);
                } else {
                    eraseDestination(command.destinationId);
                }
                commands.finish();
                continue;
            }
            if (commands.cancelPendingErase(command.destinationId)) {
                commands.finish();
                continue;
            }
            config->logger.log(1, KestravaLogger::Info, "Adding {}:{} to destinations list with interface {}", command.host,
                               command.port, command.interfaceName);
        }
        const AddOutcome outcome = addDestination(add);
        if (fromRing) commands.finish();
        if (outcome == AddOutcome::Stopped) break;
        if (outcome == AddOutcome::ResolveFailed) {
            add.delay = add.delay.count() == 0 ? firstRetryDelay : std::min(add.delay * 2, longestRetryDelay);
            add.due = Clock::now() + add.delay;
            retries.push_back(std::move(add));
            continue;
        }
        // Destinations come up one per second, so a burst of new ones does not flood the network.
        if (commands.waitClosedUntil(Clock::now() + addPause)) break;
    }
}

}  // namespace kestrava::net
