#include "logging/StatusMessageRing.h"

#include <algorithm>
#include <cstring>

StatusMessageRing::StatusMessageRing(const kestrava::SystemClock& clock_) : clock(clock_) {
    for (StatusMessage& slot : slots) slot.type = StatusEmpty;
}

StatusMessage StatusMessageRing::makeMessage(StatusMessageType type, std::int32_t key, const char* buffer,
                                             std::size_t n) {
    StatusMessage message;
    message.type = type;
    message.key = key;
    // A text that fits goes without the newline the formatter appended; a longer one keeps its
    // first 1022 characters and the newline.
    const std::size_t copy = std::min<std::size_t>(n, StatusMessage::textSize - 1);
    std::memcpy(message.text, buffer, copy);
    message.text[copy] = '\0';
    return message;
}

void StatusMessageRing::postStatusText(StatusMessageType type, std::string_view text) {
    char buffer[statusTextSize];
    const std::size_t n = formatTimedTextAt(buffer, clock.now100ns(), text);
    postStatusMessage(makeMessage(type, StatusKey::None, buffer, n));
}

void StatusMessageRing::replaceStatusText(std::int32_t replaceKey, StatusMessageType type, std::int32_t key,
                                          std::string_view text) {
    char buffer[statusTextSize];
    const std::size_t n = formatTimedTextAt(buffer, clock.now100ns(), text);
    postOrReplaceStatusMessage(replaceKey, makeMessage(type, key, buffer, n));
}

void StatusMessageRing::postStatusMessage(const StatusMessage& message) {
    if (!attached.load()) {
        std::lock_guard lock(mutex);
        if (!attached.load()) {
            slots[writeIndex] = message;
            writeIndex = (writeIndex + 1) % slotCount;
            return;
        }
    }
    display.load()->addError(message.text, message.key);
}

void StatusMessageRing::postOrReplaceStatusMessage(std::int32_t replaceKey, const StatusMessage& message) {
    if (!attached.load()) {
        std::lock_guard lock(mutex);
        if (!attached.load()) {
            // From the slot at the write index backwards: the newest carrier of the key first.
            for (int i = 0; i < slotCount; ++i) {
                StatusMessage& slot = slots[(writeIndex - i + slotCount) % slotCount];
                if (slot.type != StatusEmpty && slot.key == replaceKey) {
                    slot = message;
                    return;
                }
            }
            slots[writeIndex] = message;
            writeIndex = (writeIndex + 1) % slotCount;
            return;
        }
    }
    if (message.text[0] == '\0') return;
    StatusDisplay* target = display.load();
    if (!target->replaceError(replaceKey, message.key, message.text)) target->addError(message.text, message.key);
}

std::vector<StatusMessage> StatusMessageRing::bufferedLocked() const {
    std::vector<StatusMessage> result;
    for (int i = 0; i < slotCount; ++i) {
        const StatusMessage& slot = slots[(writeIndex + i) % slotCount];
        if (slot.type != StatusEmpty) result.push_back(slot);
    }
    return result;
}

std::vector<StatusMessage> StatusMessageRing::bufferedMessages() const {
    std::lock_guard lock(mutex);
    return bufferedLocked();
}

void StatusMessageRing::attachDisplay(StatusDisplay* target) {
    if (target == nullptr) return;
    // The hand-over runs under the lock so that a post meanwhile waits and then goes to the
    // display after the buffered messages, never into a slot nobody reads again.
    std::lock_guard lock(mutex);
    if (attached.load()) return;
    for (const StatusMessage& message : bufferedLocked()) target->addError(message.text, message.key);
    display.store(target);
    attached.store(true);
}
