#pragma once

#include <cstdint>

// A tap through which an input stage hands a copy of each sample block to a listener. The block
// is only read. Pushes run on the audio callback thread: a hook must not allocate or block.
class SampleHook {
public:
    virtual ~SampleHook() = default;
    virtual void push(const float* block, std::int32_t count) = 0;
};
