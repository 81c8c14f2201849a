#pragma once

#include "app/CommandLineOptions.h"
#include "app/TrayPresenter.h"
#include "app/WebServerControl.h"
#include "platform/AutoResetEvent.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class KestravaInstanceConfig;
class Model;
class ModelCommon;
class ParSet;

// The process: builds the one instance (instance 0), runs the application thread, waits on the
// main thread until a stop is requested, and takes everything down in the opposite order.
class Application {
public:
    Application(const char* argv0, CommandLineOptions options);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The main body; returns the process's exit code (0 after a normal stop, 1 when start-up
    // could not complete).
    int run();
    // A console control event (any thread): logs it, requests the stop and wakes the main thread.
    void onConsoleEvent(int signal);

private:
    bool buildInstance();
    void applicationThread();
    // What the "Web interface" dialog's OK does: set the two settings, apply them, restart
    // the web server and save the settings file.
    void applyWebInterface(const std::optional<std::string>& port, const std::optional<std::string>& whiteList);
    // A first run (no settings file, no ".bak") starts from the given file: it is copied into place.
    void useInitialSettings(const std::string& initialPath, const std::string& settingsPath);
    void startWebServer();
    void stopWebServer();

    const std::string argv0;
    const CommandLineOptions options;
    std::atomic<bool> quitRequested{false};
    kestrava::AutoResetEvent stopEvent;
    kestrava::AutoResetEvent startedEvent;
    kestrava::AutoResetEvent mainWake;
    std::function<std::int32_t(KestravaInstanceConfig&)> findDefaultInputDevice;
    std::unique_ptr<Model> currentModel;
    std::mutex consoleMutex;  // the handler never logs on a ModelCommon being taken down
    ModelCommon* currentModelCommon = nullptr;
    ParSet* currentParSet = nullptr;
    std::mutex webServerMutex;
    std::unique_ptr<WebServerControl> currentWebServer;
    std::unique_ptr<TrayPresenter> tray;
    std::thread appThread;
};
