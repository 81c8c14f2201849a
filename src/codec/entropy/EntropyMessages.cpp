#include "codec/entropy/EntropyMessages.h"

#include "logging/KestravaInstanceConfig.h"

namespace kestrava::codec::entropy {

namespace EntropyMessages {

void logError(KestravaInstanceConfig* config, std::string_view text) {
    if (config != nullptr) config->logger.log(1, KestravaLogger::Error, text);
}

void postBitstreamError(KestravaInstanceConfig* config) {
    if (config != nullptr) config->statusMessages.postStatusText(StatusError, bitstreamError);
}

void logTooManyBytes(KestravaInstanceConfig* config, std::uint32_t bytes, std::uint32_t capacity) {
    if (config != nullptr) {
        config->logger.log(1, KestravaLogger::Error, "Huff resulted in too many bytes, {} / {}", bytes, capacity);
    }
}

}  // namespace EntropyMessages

}  // namespace kestrava::codec::entropy
