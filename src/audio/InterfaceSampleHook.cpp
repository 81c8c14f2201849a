#include "audio/InterfaceSampleHook.h"

namespace kestrava::audio {

void InterfaceSampleHook::push(const float* block, std::int32_t count) {
    if (history) history->append(block, count);
}

}  // namespace kestrava::audio
