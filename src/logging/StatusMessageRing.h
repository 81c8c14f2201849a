#pragma once

#include "logging/MessageFormat.h"
#include "logging/StatusDisplay.h"
#include "logging/StatusMessage.h"
#include "platform/Clock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

// The user-visible status messages of an instance. Until the status display exists, the ring
// buffers the last 16 messages (the oldest is overwritten); attaching the display hands them over,
// oldest first, and from then on every post goes straight to the display.
// A short mutex guards the slots; posts after attaching take no lock of the ring.
class StatusMessageRing {
public:
    static constexpr int slotCount = 16;

    explicit StatusMessageRing(const kestrava::SystemClock& clock = kestrava::realSystemClock());

    void postStatusMessage(const StatusMessage& message);
    // Posts the message in place of an earlier one carrying replaceKey (the new message may carry
    // another key than the one it replaces); with no such message it is simply posted.
    void postOrReplaceStatusMessage(std::int32_t replaceKey, const StatusMessage& message);
    void attachDisplay(StatusDisplay* display);
    bool isAttached() const { return attached.load(); }

    // Front ends: the local-time prefix, then the formatted text, cut to 1023 characters.
    template <class... Args>
    void postTimedStatusMessage(StatusMessageType type, std::int32_t key, fmt::format_string<Args...> format,
                                const Args&... args) {
        char buffer[statusTextSize];
        const std::size_t n = formatTimedMessageAt(buffer, clock.now100ns(), format, args...);
        postStatusMessage(makeMessage(type, key, buffer, n));
    }
    template <class... Args>
    void replaceTimedStatusMessage(std::int32_t replaceKey, StatusMessageType type, std::int32_t key,
                                   fmt::format_string<Args...> format, const Args&... args) {
        char buffer[statusTextSize];
        const std::size_t n = formatTimedMessageAt(buffer, clock.now100ns(), format, args...);
        postOrReplaceStatusMessage(replaceKey, makeMessage(type, key, buffer, n));
    }
    // A plain text with the time prefix and key 0; braces in it stand as they are.
    void postStatusText(StatusMessageType type, std::string_view text);
    // A plain text with the time prefix, posted in place of the message carrying replaceKey.
    void replaceStatusText(std::int32_t replaceKey, StatusMessageType type, std::int32_t key, std::string_view text);

    // The buffered messages, oldest first (for the hand-over and for checks).
    std::vector<StatusMessage> bufferedMessages() const;

private:
    static StatusMessage makeMessage(StatusMessageType type, std::int32_t key, const char* buffer, std::size_t n);
    std::vector<StatusMessage> bufferedLocked() const;

    const kestrava::SystemClock& clock;
    mutable std::mutex mutex;
    std::array<StatusMessage, slotCount> slots;
    int writeIndex = 0;
    std::atomic<bool> attached{false};
    std::atomic<StatusDisplay*> display{nullptr};
};
