#pragma once

#include "model/CommonBase.h"
#include "app/EncoderInstance.h"
#include "settings/EncoderSettings.h"
#include "app/EngineParts.h"
#include "net/NetworkInterfaceCache.h"

#include <functional>
#include <memory>

class KestravaInstanceConfig;
class StandaloneKestravaStatus;

// The encoder's working objects of an instance, brought up in a fixed order: the engine
// configuration with its logger thread, the link status, the live settings record and the
// encoder composition with its controller thread. Torn down in the opposite order.
// A part that cannot be made stops the construction with an exception; what was built is
// taken down again.
class KestravaParameters : public CommonBase {
public:
    KestravaParameters(Model* owner, const char* argv0, EngineParts parts);
    ~KestravaParameters() override;

    std::int32_t networkInterfaceCount() override;
    kestrava::net::NetworkInterface getNetworkInterface(std::int32_t n) override;

    struct AlignedDelete {
        void operator()(kestrava::settings::EncoderSettings* p) const { delete p; }
    };

    std::shared_ptr<KestravaInstanceConfig> config;
    std::shared_ptr<StandaloneKestravaStatus> status;
    std::unique_ptr<kestrava::settings::EncoderSettings, AlignedDelete> encoderSettings;
    std::unique_ptr<EncoderInstance> encoderInstance;
    // Used from web workers under the web server's mutex; it has no lock of its own.
    std::unique_ptr<kestrava::net::NetworkInterfaceCache> networkInterfaces;

private:
    std::function<void()> stopAudioLibrary;
};
