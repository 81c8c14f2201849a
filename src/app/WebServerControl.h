#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The shell's view of an instance's web server: started with the instance index, the port and
// the address white list, stopped before it is freed.
class WebServerControl {
public:
    virtual ~WebServerControl() = default;
    virtual void start(std::int32_t instanceIndex, std::int32_t port, const std::string& whiteList) = 0;
    virtual void stop() = 0;
};

// The web server of this build.
std::unique_ptr<WebServerControl> makeWebServer();
