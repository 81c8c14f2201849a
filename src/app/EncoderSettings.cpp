#include "app/EncoderSettings.h"

EncoderSettings::EncoderSettings(std::int32_t configSampleRate) : sampleRate(configSampleRate) {
    destinationPort.fill(8854);
}
