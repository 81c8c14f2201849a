#include "app/WebServerControl.h"

namespace {
// Until the web server exists: nothing listens.
class AbsentWebServer : public WebServerControl {
public:
    void start(std::int32_t, std::int32_t, const std::string&) override {}
    void stop() override {}
};
}  // namespace

std::unique_ptr<WebServerControl> makeWebServer() { return std::make_unique<AbsentWebServer>(); }
