#pragma once

#include <cstdint>
#include <memory>

namespace kestrava::audio {

// A tap through which an input stage hands a copy of each sample block to a listener. The block
// is only read. Pushes run on the audio callback thread: a hook must not allocate or block.
class SampleHook {
public:
    virtual ~SampleHook() = default;
    virtual void push(const float* block, std::int32_t count) = 0;
};

// What a pusher does with a hook slot of the configuration: skips an empty slot, and holds a
// reference to the hook for the duration of the push.
inline void pushToHook(const std::shared_ptr<SampleHook>& slot, const float* block, std::int32_t count) {
    if (std::shared_ptr<SampleHook> hook = slot) hook->push(block, count);
}

}  // namespace kestrava::audio
