#include "net/StreamKeyEntry.h"

#include "logging/KestravaInstanceConfig.h"
#include "net/StreamProtector.h"

namespace kestrava::net {

bool offerStreamKey(KestravaInstanceConfig* config, const std::string& text) {
    // A short-lived protector: it checks the stored key texts as well and reports a bad one.
    const StreamProtector protector(config);
    if (!protector.isValidKey(text)) return false;
    config->engine.setText(EngineSettings::TextStreamKey2, text);
    return true;
}

}  // namespace kestrava::net
