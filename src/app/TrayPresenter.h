#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace KestravaLogger {
class Logger;
}

// Where the program shows itself on the desktop: the notification icon with its menu, which
// opens the local web interface at "/", "/log/" and "/About.html". The application thread puts
// the icon up after start-up and takes it down before shut-down.
class TrayPresenter {
public:
    virtual ~TrayPresenter() = default;
    virtual void addTrayIcon() = 0;      // in its starting look
    virtual void startTrayThread() = 0;  // turns it to its running look
    virtual void stopTrayThread() = 0;
    virtual void removeTrayIcon() = 0;
    // The web port changed (the dialog's OK).
    virtual void webPortChanged() = 0;
};

// The local address of a web page: the loopback address, the port and the path.
std::string localWebAddress(std::int32_t port, const std::string& path);

// A host without a desktop: the icon's menu entries become log lines with their addresses,
// and nothing is opened.
std::unique_ptr<TrayPresenter> makeHeadlessTrayPresenter(KestravaLogger::Logger& logger,
                                                         std::function<std::int32_t()> webPort);
