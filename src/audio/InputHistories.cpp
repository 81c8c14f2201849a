#include "audio/InputHistories.h"

#include "audio/InterfaceSampleHook.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/AlignedNew.h"

namespace kestrava::audio {

InputHistories InputHistories::install(KestravaInstanceConfig& config) {
    InputHistories histories;
    histories.rawInputHistory = kestrava::makeAligned<OldSamples>(false);
    histories.inputHistory = kestrava::makeAligned<OldSamples>(true);
    if (histories.rawInputHistory) {
        config.sampleHooks[rawInputSlot] = std::make_shared<InterfaceSampleHook>(histories.rawInputHistory);
    }
    if (histories.inputHistory) {
        config.sampleHooks[inputSlot] = std::make_shared<InterfaceSampleHook>(histories.inputHistory);
    }
    return histories;
}

void InputHistories::captureView(int view) const {
    if (inputHistory) inputHistory->captureView(view);
    if (rawInputHistory) rawInputHistory->captureView(view);
}

}  // namespace kestrava::audio
