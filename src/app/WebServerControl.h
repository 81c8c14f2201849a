#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace KestravaLogger {
class Logger;
}

// The shell's view of an instance's web server: started with the instance index, the port and
// the address white list, stopped before it is freed.
class WebServerControl {
public:
    virtual ~WebServerControl() = default;
    virtual void start(std::int32_t instanceIndex, std::int32_t port, const std::string& whiteList) = 0;
    virtual void stop() = 0;
};

namespace kestrava::web::content {
class InstanceAccess;
}

// The instance's web server. It reads the live white-list setting through `whiteListText` at
// every accepted connection (so that a changed setting takes effect at once) and warns through
// the instance's log. `instance` (null: only the fixed routes) serves the session routes.
std::unique_ptr<WebServerControl> makeWebServer(KestravaLogger::Logger& logger,
                                                std::function<std::string()> whiteListText,
                                                std::shared_ptr<kestrava::web::content::InstanceAccess> instance = {});
