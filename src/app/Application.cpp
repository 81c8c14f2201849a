#include "app/Application.h"

#include "app/AudioLibrary.h"
#include "app/EncoderWebInstance.h"
#include "platform/CrashGuard.h"
#include "app/EngineParts.h"
#include "platform/ErrorState.h"
#include "app/ModelCommon.h"
#include "app/SettingsBridge.h"
#include "app/ShellSettingsRows.h"
#include "platform/ProgramVersion.h"
#include "audio/soundcard/CompositeFileSignal.h"
#include "logging/KestravaInstanceConfig.h"
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "model/ParSet.h"
#include "model/SettingsFile.h"
#include "params/PInt.h"
#include "params/PString.h"
#include "platform/CpuFeatures.h"
#include "platform/SystemError.h"
#include "platform/ThreadSetup.h"

#include <chrono>
#include <cstdio>
#include <exception>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

using kestrava::params::Param;

namespace {

constexpr int lowestPriority = -2;

void setFlushToZero() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_setcsr(_mm_getcsr() | 0x8000);
#endif
}

}  // namespace

Application::Application(const char* argv0_, CommandLineOptions options_)
    : argv0(argv0_ != nullptr ? argv0_ : ""), options(std::move(options_)) {}

Application::~Application() {
    if (appThread.joinable()) {
        stopEvent.set();
        appThread.join();
    }
}

void Application::onConsoleEvent(int) {
    {
        std::lock_guard lock(consoleMutex);
        if (currentModelCommon != nullptr) {
            currentModelCommon->config->logger.log(1, KestravaLogger::Info, "Received interrupt signal, shutting down");
        }
    }
    quitRequested = true;
    stopEvent.set();
    mainWake.set();
}

bool Application::buildInstance() {
    AudioInputChoice input;
    if (options.fakeInput) {
        // Read whole before anything starts: a missing, empty or unsuitable file stops the
        // start-up, and so does a console signal while it is read.
        CompositeFileSignal file(*options.fakeInput, &quitRequested);
        if (file.empty()) {
            std::fprintf(stderr, "Kestrava cannot start: --fake-input: %s\n", file.error().c_str());
            return false;
        }
        input.fakeSoundcard = true;
        input.fakeSignal = file;
    }
    EngineParts parts = engineParts(std::move(input));
    findDefaultInputDevice = parts.findDefaultInputDevice;
    currentModel = std::make_unique<Model>();
    ModelCommon* common = nullptr;
    try {
        common = new ModelCommon(currentModel.get(), argv0.c_str(), std::move(parts));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Kestrava cannot start: %s\n", e.what());
        return false;
    }
    if (common == nullptr) {
        std::fprintf(stderr, "Kestrava cannot start: the instance could not be allocated\n");
        return false;
    }
    currentModel->modelCommon = common;
    auto* parSet = new ParSet(*currentModel);
    currentModel->parSet = parSet;
    declareShellSettingsRows(*parSet, *common);
    KestravaInstanceConfig& config = *common->config;
    parSet->reportProblem = [&config](std::string_view text) {
        config.logger.log(1, KestravaLogger::Error, "{}", text);
        config.statusMessages.postStatusText(StatusError, text);
    };
    parSet->onWarning = [&config](std::string_view text) {
        config.logger.log(1, KestravaLogger::Warning, "{}", text);
    };
    parSet->applySettingsHook = [parSet, common] {
        storeShellSettings(*parSet, *common);
        common->encoderInstance->applySettings();
    };
    currentModel->settingsChanged = false;
    currentModel->running = true;
    currentModel->autosaveStop = false;
    currentModel->startAutosave();
    instanceTable().registerModel(currentModel->index, currentModel.get());
    {
        std::lock_guard lock(consoleMutex);
        currentModelCommon = common;
    }
    tray = makeHeadlessTrayPresenter(common->config->logger, [common] { return common->webPort.load(); });
    return true;
}

int Application::run() {
    kestrava::useAvx2Routines();
    setFlushToZero();
    ErrorState::reset();
    CrashGuard::installFaultReporter();

    std::printf("This is Kestrava %s/build %s.\n", ProgramVersion::versionText().c_str(),
                ProgramVersion::buildIdentifier().c_str());
    std::printf("%s\n\n", AudioLibrary::versionText());
    std::fflush(stdout);

    if (!buildInstance()) {
        if (currentModel) currentModel->stop();
        currentModel.reset();
        return 1;
    }
    kestrava::setCurrentThreadPriority(0);

    appThread = kestrava::startThread({"application", lowestPriority, 0, kestrava::FloatMode::Keep},
                                      [this] { applicationThread(); });
    startedEvent.wait();

    if (options.webPort || options.webWhiteList) applyWebInterface(options.webPort, options.webWhiteList);

    // The main loop: nothing to dispatch on a host without a desktop; it waits for a stop request.
    while (!quitRequested) mainWake.wait();

    stopEvent.set();
    appThread.join();
    {
        std::lock_guard lock(consoleMutex);
        currentModelCommon = nullptr;
    }
    tray.reset();
    currentModel->stop();
    currentModel.reset();
    return 0;
}

void Application::applicationThread() {
    // A stop requested during start-up is kept (quitRequested is not cleared): start-up runs to
    // its end and the first wait below ends it.
    Model& model = *currentModel;
    auto& common = static_cast<ModelCommon&>(*model.modelCommon);
    KestravaInstanceConfig& config = *common.config;

    const std::int32_t device = findDefaultInputDevice ? findDefaultInputDevice(config) : -1;
    common.encoderSettings->defaultInputDevice = device;
    if (device < 0) {
        config.statusMessages.postStatusText(StatusError, "Cannot retrieve default soundcard");
        config.logger.log(1, KestravaLogger::Error, "Cannot retrieve default soundcard");
    }
    // The default device is the input setting until a loaded setting names another.
    if (common.encoderSettings->inputDevice < 0) common.encoderSettings->inputDevice = device;

    currentParSet = model.parSet;
    config.statusMessages.attachDisplay(&currentParSet->statusDisplay());
    const std::string& settingsPath = common.instancePaths->settingsPath;
    if (options.initialSettings) useInitialSettings(*options.initialSettings, settingsPath);
    currentParSet->loadSettingsFile(settingsPath);
    common.settingsLoaded = true;
    common.encoderInstance->parSet = currentParSet;
    storeShellSettings(*currentParSet, common);
    common.encoderInstance->applySettings();
    startWebServer();
    startedEvent.set();

    tray->addTrayIcon();
    tray->startTrayThread();

    while (!stopEvent.waitFor(std::chrono::milliseconds(1000))) {
    }

    tray->stopTrayThread();
    tray->removeTrayIcon();
    const bool changed = model.settingsChanged;
    stopWebServer();
    if (changed) currentParSet->saveSettingsFile(settingsPath);
    config.logger.log(1, KestravaLogger::Info, "Kestrava stopping.");
}

void Application::startWebServer() {
    auto& common = static_cast<ModelCommon&>(*currentModel->modelCommon);
    std::lock_guard lock(webServerMutex);
    // The server reads the white-list setting itself, under the settings' lock, at every connection.
    const auto* whiteList = dynamic_cast<const kestrava::params::PString*>(
        currentParSet->findParam(kestrava::PARAM_WebServer_Whitelist));
    auto instance = common.encoderInstance
                        ? std::make_shared<EncoderWebInstance>(common.encoderInstance->sharedRawHistory(),
                                                               common.encoderInstance->sharedHistory())
                        : nullptr;
    currentWebServer = makeWebServer(
        common.config->logger,
        [whiteList, &common] { return whiteList != nullptr ? whiteList->current() : common.webWhiteList; },
        std::move(instance));
    if (currentWebServer) currentWebServer->start(currentModel->index, common.webPort, common.webWhiteList);
}

void Application::stopWebServer() {
    std::lock_guard lock(webServerMutex);
    if (currentWebServer) currentWebServer->stop();
    currentWebServer.reset();
}

void Application::applyWebInterface(const std::optional<std::string>& port,
                                    const std::optional<std::string>& whiteList) {
    auto& common = static_cast<ModelCommon&>(*currentModel->modelCommon);
    // The options were checked when they were read; the rows take them as the dialog's fields.
    if (Param* p = currentParSet->findParam(kestrava::PARAM_WebserverPort); p != nullptr && port) {
        p->setFromSaveText(0, *port);
    }
    if (Param* p = currentParSet->findParam(kestrava::PARAM_WebServer_Whitelist); p != nullptr && whiteList) {
        p->setFromSaveText(0, *whiteList);
    }
    storeShellSettings(*currentParSet, common);
    common.encoderInstance->applySettings();
    stopWebServer();
    startWebServer();
    currentParSet->saveSettingsFile(common.instancePaths->settingsPath);
    tray->webPortChanged();
}

void Application::useInitialSettings(const std::string& initialPath, const std::string& settingsPath) {
    auto& common = static_cast<ModelCommon&>(*currentModel->modelCommon);
    KestravaLogger::Logger& logger = common.config->logger;
    auto& fs = kestrava::model::posixSettingsFileSystem();
    using Kind = kestrava::model::SettingsFileSystem::Kind;
    if (fs.kind(settingsPath) != Kind::missing ||
        fs.kind(kestrava::model::SettingsFile::backupPath(settingsPath)) != Kind::missing) {
        return;  // not a first run: the instance's own file counts
    }
    std::string text;
    if (const int error = fs.readFile(initialPath, kestrava::model::SettingsFile::maxFileBytes, text); error != 0) {
        logger.log(1, KestravaLogger::Error, "The initial settings \"{}\" cannot be read: {}; starting from defaults",
                   initialPath, kestrava::describeSystemError(error));
        std::fprintf(stderr, "The initial settings \"%s\" cannot be read: %s; starting from defaults\n",
                     initialPath.c_str(), kestrava::describeSystemError(error).c_str());
        return;
    }
    const auto saved = kestrava::model::SettingsFile().save(settingsPath, text);
    if (!saved.ok) {
        logger.log(1, KestravaLogger::Error, "{}", saved.problem);
        return;
    }
    logger.log(1, KestravaLogger::Info, "First run: the settings of \"{}\" were copied to \"{}\"", initialPath,
               settingsPath);
}
