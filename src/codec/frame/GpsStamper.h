#pragma once

#include <cstdint>

namespace kestrava::codec::frame {

// The GPS synchroniser as the encode step sees it. Without one (or while GPS time stamping is
// off) frames carry no stamp. Called on the encoder feed thread only.
class GpsStamper {
public:
    virtual ~GpsStamper() = default;
    virtual bool started() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    // Back to the start of synchronisation: the next block places the first mark afresh.
    virtual void reset() = 0;
    // One block of `count` input records; measuredRate in Hz, 0.0 when unknown. True when the
    // frame carries a stamp: then offset (input samples) and second (of day) are written.
    virtual bool process(std::uint32_t count, double measuredRate, float& offset, std::int32_t& second) = 0;
};

}  // namespace kestrava::codec::frame
