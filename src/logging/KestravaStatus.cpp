#include "logging/KestravaStatus.h"

#include "logging/KestravaInstanceConfig.h"
#include "platform/Clock.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstring>

KestravaStatus::KestravaStatus(KestravaInstanceConfig* config_) : config(config_) {}

std::int64_t KestravaStatus::steadyNow() const { return kestrava::steadyNowNs(); }

namespace {

bool sameSender(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET) {
        // The port is not compared: an IPv4 sender that changes its port stays the same sender.
        const auto& x = reinterpret_cast<const sockaddr_in&>(a);
        const auto& y = reinterpret_cast<const sockaddr_in&>(b);
        return x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    if (a.ss_family == AF_INET6) {
        const auto& x = reinterpret_cast<const sockaddr_in6&>(a);
        const auto& y = reinterpret_cast<const sockaddr_in6&>(b);
        return x.sin6_port == y.sin6_port && x.sin6_flowinfo == y.sin6_flowinfo &&
               std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0 && x.sin6_scope_id == y.sin6_scope_id;
    }
    return false;
}

}  // namespace

std::string KestravaStatus::addressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(address);
        if (inet_ntop(AF_INET, &a.sin_addr, text, sizeof text) != nullptr) return text;
        return "IP address invalid";
    }
    if (address.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
        if (inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text) != nullptr) return text;
        return "IP address invalid";
    }
    return "IP Family invalid";
}

void KestravaStatus::onPacketFrom(const sockaddr_storage& address, std::int32_t) {
    const std::int64_t now = steadyNow();
    SenderEntry* found = nullptr;
    for (SenderEntry& entry : senders) {
        if (sameSender(entry.address, address)) {
            found = &entry;
            break;
        }
    }
    if (found != nullptr) {
        if (!found->active) onSenderBack(addressText(found->address));
        found->active = true;
        found->lastSeen = now;
    } else {
        SenderEntry* chosen = nullptr;
        for (SenderEntry& entry : senders) {
            if (entry.active || entry.lastSeen >= now) continue;
            if (chosen == nullptr || entry.lastSeen < chosen->lastSeen) chosen = &entry;
        }
        if (chosen == nullptr) {
            onSenderTableFull();
        } else {
            chosen->active = true;
            chosen->lastSeen = now;
            chosen->address = address;
            onSenderAdded(addressText(chosen->address));
        }
    }
    for (SenderEntry& entry : senders) {
        if (entry.active && static_cast<double>(now - entry.lastSeen) / 1'000'000'000.0 > senderTimeoutSeconds) {
            onSenderTimedOut(addressText(entry.address));
            entry.active = false;
        }
    }
}

void KestravaStatus::onSequence(std::uint64_t, std::int32_t, bool, bool) {}
void KestravaStatus::checkReception(std::int64_t) {}
void KestravaStatus::onStreamBack(std::int64_t, std::int32_t) {}
void KestravaStatus::onVersionMismatch(std::int32_t) {}
void KestravaStatus::onStreamSwitch() {}
void KestravaStatus::onOutputOverflow() {}
void KestravaStatus::onBufferReset(float, float) {}
void KestravaStatus::onLatePackets(float) {}
void KestravaStatus::onAudioLoss(const LossSegment&) {}
void KestravaStatus::onSenderAdded(const std::string&) {}
void KestravaStatus::onSenderTimedOut(const std::string&) {}
void KestravaStatus::onSenderBack(const std::string&) {}
void KestravaStatus::onSenderTableFull() {}
void KestravaStatus::setSegmentFlag(bool flag) { cpuLoadHigh = flag; }
void KestravaStatus::onInputLevel(bool levelOff, float) { inputLevelOff = levelOff; }

void KestravaStatus::storeTiming(const GpsSyncStatus& status) {
    if (config != nullptr) config->storeGpsStatus(status);
}

bool KestravaStatus::segmentCovers(const LossSegment& s, std::uint64_t position) const {
    if (!s.used()) return false;
    if (s.start <= s.end) return position >= s.start && position <= s.end;
    return position >= s.start || position <= s.end;
}

void KestravaStatus::beginSegment(std::uint64_t start, std::uint64_t end) {
    LossSegment& s = segments[segmentWriteIndex];
    segmentWriteIndex = (segmentWriteIndex + 1) % segmentCount;
    s.start = start;
    s.end = end;
    s.number = segmentCount_++;
    s.late = 0;
    s.recoveredLate = 0;
    s.missing = 0;
    s.silenceMs = 0.0f;
    s.cpuLoadHigh = cpuLoadHigh;
    onAudioLoss(s);
}

void KestravaStatus::addSilence(float ms, std::uint64_t position, std::int32_t) {
    const std::uint32_t blockLength = config != nullptr ? static_cast<std::uint32_t>(config->blockLength) : 0;
    for (int k = 0; k < segmentCount; ++k) {
        LossSegment& s = segmentInSearchOrder(k);
        if (!s.used()) continue;
        const std::uint64_t b = static_cast<std::uint32_t>(blockLength + static_cast<std::uint32_t>(s.end) + 3071u);
        const bool inside = s.start <= b ? (position >= s.start && position <= b) : (position >= s.start || position <= b);
        if (inside) {
            s.silenceMs += ms;
            onAudioLoss(s);
            return;
        }
    }
    onLatePackets(ms);
}

void KestravaStatus::markMissing(std::uint64_t first, std::uint64_t after) {
    const std::int64_t blockLength = config != nullptr ? config->blockLength : 0;
    if (blockLength <= 0) return;
    const std::int64_t n = static_cast<std::int64_t>(static_cast<std::uint32_t>(after - first)) / blockLength;
    if (n <= 0) return;
    const std::uint64_t p = static_cast<std::uint32_t>(first) + static_cast<std::uint64_t>(n * blockLength);
    for (std::int64_t i = 0; i < n; ++i) {
        for (int k = 0; k < segmentCount; ++k) {
            LossSegment& s = segmentInSearchOrder(k);
            if (!segmentCovers(s, p)) continue;
            ++s.missing;
            if (cpuLoadHigh) s.cpuLoadHigh = true;
            onAudioLoss(s);
        }
    }
}

void KestravaStatus::markRecovered(std::uint64_t position, std::int32_t, bool recovered) {
    for (int k = 0; k < segmentCount; ++k) {
        LossSegment& s = segmentInSearchOrder(k);
        if (!segmentCovers(s, position)) continue;
        --s.missing;
        if (recovered) {
            ++s.recoveredLate;
        } else {
            ++s.late;
        }
        if (cpuLoadHigh) s.cpuLoadHigh = true;
        onAudioLoss(s);
        return;
    }
}

// ---- the stand-alone form ----

void StandaloneKestravaStatus::onSequence(std::uint64_t position, std::int32_t, bool firstFlag, bool secondFlag) {
    if (config != nullptr) config->sequenceWindow.enter(position, firstFlag, secondFlag);
}

void StandaloneKestravaStatus::checkReception(std::int64_t seconds) {
    if (config == nullptr) return;
    config->sequenceWindow.receptionState = 2;
    auto& ring = config->statusMessages;
    if (seconds < 60) {
        ring.replaceTimedStatusMessage(StatusKey::ReceptionLost, StatusNotice, StatusKey::ReceptionLost,
                                       "Receiving no Kestrava packets since {}s", seconds);
    } else {
        ring.replaceTimedStatusMessage(StatusKey::ReceptionLost, StatusNotice, StatusKey::ReceptionLost,
                                       "Receiving no Kestrava packets since {}m{:02}s",
                                       static_cast<std::int32_t>(seconds / 60), seconds % 60);
    }
}

void StandaloneKestravaStatus::onStreamBack(std::int64_t seconds, std::int32_t undecodable) {
    if (config == nullptr) return;
    config->sequenceWindow.receptionState = 1;
    auto& ring = config->statusMessages;
    if (seconds < 60) {
        ring.replaceTimedStatusMessage(
            StatusKey::ReceptionLost, StatusNotice, StatusKey::StreamBack,
            "Received no Kestrava packets during {}s - Stream is back (received {} undecodable packets in the meantime)",
            seconds, undecodable);
    } else {
        ring.replaceTimedStatusMessage(StatusKey::ReceptionLost, StatusNotice, StatusKey::StreamBack,
                                       "Received no Kestrava packets during {}m{}s - Stream is back (received {} "
                                       "undecodable packets in the meantime)",
                                       static_cast<std::int32_t>(seconds / 60), seconds % 60, undecodable);
    }
}

void StandaloneKestravaStatus::onVersionMismatch(std::int32_t version) {
    if (config == nullptr) return;
    config->statusMessages.replaceTimedStatusMessage(
        StatusKey::VersionMismatch, StatusError, StatusKey::VersionMismatch,
        "Packet received is from a different version of Kestrava! Packet version is {}. Cannot decode.", version + 1);
}

void StandaloneKestravaStatus::onStreamSwitch() {
    if (config != nullptr) config->statusMessages.postStatusText(StatusInfo, "Switching to another stream");
    streamSwitched = true;
}

void StandaloneKestravaStatus::onOutputOverflow() {
    if (config != nullptr) config->statusMessages.postStatusText(StatusWarning, "MPX Output buffer full, overwriting samples");
}

void StandaloneKestravaStatus::onBufferReset(float fillMs, float fullScaleMs) {
    if (config == nullptr) return;
    const float percent = fillMs / fullScaleMs * 100.0f;
    config->statusMessages.postTimedStatusMessage(StatusNotice, StatusKey::None,
                                                  "Buffer out of range ({:.2f}% / {:.0f}ms full) - resetting",
                                                  static_cast<double>(percent), static_cast<double>(fillMs));
}

void StandaloneKestravaStatus::onLatePackets(float ms) {
    if (config == nullptr) return;
    const float seconds = ms / 1000.0f;
    config->statusMessages.postTimedStatusMessage(StatusNotice, StatusKey::None,
                                                  "Audio loss\nPackets arrived too late\n{:.3f} Seconds of silence",
                                                  static_cast<double>(seconds));
}

void StandaloneKestravaStatus::onAudioLoss(const LossSegment& segment) {
    if (streamSwitched) {
        streamSwitched = false;
        if (segment.missing == 0 && segment.late == 0) return;
    }
    if (config == nullptr) return;
    char text[255];
    const char* suffix = segment.cpuLoadHigh ? "\nCPU load possibly too high" : "";
    const double silence = static_cast<double>(segment.silenceMs / 1000.0f);
    const auto start = static_cast<unsigned long long>(segment.start);
    const auto end = static_cast<unsigned long long>(segment.end);
    if (segment.recoveredLate == 0) {
        std::snprintf(text, sizeof text,
                      "Audio loss\n%d Packets missing / %d Packets too late\nPlayed %.3f seconds of silence\n%llu - %llu%s",
                      segment.missing, segment.late, silence, start, end, suffix);
    } else {
        std::snprintf(text, sizeof text,
                      "Audio loss\n%d Packets missing / %d Packets too late / %d Recovered but too late\nPlayed %.3f "
                      "seconds of silence\n%llu - %llu %s",
                      segment.missing, segment.late, segment.recoveredLate, silence, start, end, suffix);
    }
    const std::int32_t key = StatusKey::lossSegment(segment.number);
    config->statusMessages.replaceStatusText(key, StatusNotice, key, text);
}

void StandaloneKestravaStatus::onInputLevel(bool levelOff, float measured) {
    if (config == nullptr) return;
    auto& ring = config->statusMessages;
    const double percent = static_cast<double>(measured * 100.0f);
    if (levelOff && measured >= 1.0f) {
        ring.replaceTimedStatusMessage(StatusKey::InputLevel, StatusNotice, StatusKey::InputLevel,
                                       "Input level too high! Measured {:.2f}%, decrease input gain with {:.2f}%.",
                                       percent, static_cast<double>((measured - 1.0f) * 100.0f));
    } else if (levelOff) {
        ring.replaceTimedStatusMessage(StatusKey::InputLevel, StatusNotice, StatusKey::InputLevel,
                                       "Input level too low! Measured {:.2f}%, increase input gain with {:.2f}%.",
                                       percent, static_cast<double>((1.0f - measured) * 100.0f));
    } else {
        ring.replaceTimedStatusMessage(StatusKey::InputLevel, StatusInfo, StatusKey::InputLevel,
                                       "Input level is now OK. Measured {:.2f}%", percent);
    }
}
