#include "app/TrayPresenter.h"

#include "logging/Logger.h"

namespace {

class HeadlessTrayPresenter : public TrayPresenter {
public:
    HeadlessTrayPresenter(KestravaLogger::Logger& logger_, std::function<std::int32_t()> webPort_)
        : logger(logger_), webPort(std::move(webPort_)) {}

    void addTrayIcon() override { logAddresses(); }
    void startTrayThread() override {}
    void stopTrayThread() override {}
    void removeTrayIcon() override {}
    void webPortChanged() override { logAddresses(); }

private:
    void logAddresses() {
        const std::int32_t port = webPort();
        logger.log(1, KestravaLogger::Info, "Open web interface: {}", localWebAddress(port, "/"));
        logger.log(1, KestravaLogger::Info, "View log files: {}", localWebAddress(port, "/log/"));
        logger.log(1, KestravaLogger::Info, "About Kestrava: {}", localWebAddress(port, "/About.html"));
    }

    KestravaLogger::Logger& logger;
    std::function<std::int32_t()> webPort;
};

}  // namespace

std::string localWebAddress(std::int32_t port, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

std::unique_ptr<TrayPresenter> makeHeadlessTrayPresenter(KestravaLogger::Logger& logger,
                                                         std::function<std::int32_t()> webPort) {
    return std::make_unique<HeadlessTrayPresenter>(logger, std::move(webPort));
}
