#include "settings/EncoderSettings.h"

namespace kestrava::settings {

EncoderSettings::EncoderSettings(std::int32_t configSampleRate) : sampleRate(configSampleRate) {
    destinationPort.fill(8854);
}

}  // namespace kestrava::settings
