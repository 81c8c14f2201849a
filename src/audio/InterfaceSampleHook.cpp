#include "audio/InterfaceSampleHook.h"

void InterfaceSampleHook::push(const float* block, std::int32_t count) {
    if (history) history->append(block, count);
}
