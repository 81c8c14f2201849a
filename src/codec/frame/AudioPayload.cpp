#include "codec/frame/AudioPayload.h"

#include "codec/entropy/EntropyCoder.h"

#include <algorithm>
#include <cstring>

namespace kestrava::codec::frame {

using kestrava::codec::entropy::EntropyCoder;

std::uint32_t AudioPayload::code(EntropyCoder& coder, const Request& request, const std::int32_t* values,
                                 std::uint32_t count, std::uint8_t* destination, std::uint32_t capacity, bool third) {
    if (request.codecVersion == 0) {
        return third ? coder.encodeLegacyAux(values, count, destination, capacity)
                     : coder.encodeLegacy(values, count, destination, capacity);
    }
    return coder.encode(values, count, destination, capacity, request.rate, request.codecVersion);
}

bool AudioPayload::encode(const Planes& planes, const Request& request, EntropyCoder& coder,
                          std::uint8_t* frameBuffer, Result& result) {
    result = Result{};
    const std::uint32_t n = request.sampleCount;
    if (n == 0 || n > maxSampleCount) return false;
    if (planes.first.size() < n || planes.second.size() < n || (!request.thirdSilent && planes.third.size() < n)) {
        return false;
    }
    const std::uint64_t start = std::uint64_t(request.resetLength) + 2u + request.rdsLength;
    if (start >= bufferSize) return false;
    const auto s = std::uint32_t(start);
    const std::uint32_t capacity = bufferSize - s;

    std::copy_n(planes.first.data(), n, jointCodes.data());
    std::copy_n(planes.second.data(), n, jointCodes.data() + n);
    std::copy_n(jointCodes.data(), 2 * n, differenceCodes.data());
    // Differences and their largest magnitude in one pass (two's-complement subtraction).
    std::uint32_t largest = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const auto d = std::int32_t(std::uint32_t(differenceCodes[n + i]) - std::uint32_t(differenceCodes[i]));
        differenceCodes[n + i] = d;
        largest = std::max(largest, d < 0 ? 0u - std::uint32_t(d) : std::uint32_t(d));
    }

    const std::uint32_t joint = code(coder, request, jointCodes.data(), 2 * n, frameBuffer + s, capacity, false);
    if (joint == 0) return false;
    result.frameLength = s + joint;

    // Difference form only when every difference fits an escape's raw magnitude field.
    const std::uint64_t fieldLimit = (std::uint64_t{1} << coder.escapeWidth()) - 1u;
    if (largest <= fieldLimit) {
        std::uint8_t* scratch = payloadScratch.data() + s;
        const std::uint32_t a = code(coder, request, differenceCodes.data(), n, scratch, capacity, false);
        const std::uint32_t b =
            a == 0 || a >= capacity ? 0 : code(coder, request, differenceCodes.data() + n, n, scratch + a, capacity - a, false);
        if (a != 0 && b != 0 && std::uint64_t(s) + a + b < result.frameLength) {
            result.difference = true;
            std::memcpy(frameBuffer + s, scratch, a + b);
            result.frameLength = s + a + b;
        }
    }

    if (request.thirdSilent) return true;
    if (result.frameLength >= bufferSize) return false;
    const std::uint32_t third = code(coder, request, planes.third.data(), n, frameBuffer + result.frameLength,
                                     bufferSize - result.frameLength, true);
    if (third == 0) return false;
    result.thirdLength = third;
    return true;
}

}  // namespace kestrava::codec::frame
