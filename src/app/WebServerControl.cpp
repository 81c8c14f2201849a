#include "app/WebServerControl.h"

#include "platform/CrashGuard.h"
#include "logging/Logger.h"
#include "model/InstanceTable.h"
#include "web/HttpServer.h"
#include "web/LogViewer.h"
#include "web/StaticFileRoute.h"

namespace {

// The web server of the encoder, with the crash guard, the log and the live white list of the
// instance behind the server's host interface.
class EncoderWebServer : public WebServerControl, public kestrava::web::ServerHost {
public:
    EncoderWebServer(KestravaLogger::Logger& logger_, std::function<std::string()> whiteList_,
                     std::shared_ptr<kestrava::web::content::InstanceAccess> instance_)
        : logger(logger_), whiteList(std::move(whiteList_)), instance(std::move(instance_)), server(*this, instanceTable()) {
        using Route = kestrava::web::Router::Route;
        server.router().plug(Route::LogList, &logViewer);
        server.router().plug(Route::LogFile, &logViewer);
        server.router().plug(Route::Favicon, &staticFiles);
        server.router().plug(Route::Static, &staticFiles);
    }
    ~EncoderWebServer() override { server.stop(); }

    void start(std::int32_t instanceIndex, std::int32_t port, const std::string& whiteListNow) override {
        startWhiteList = whiteListNow;
        kestrava::web::HttpServer::Config config;
        config.instanceIndex = instanceIndex;
        config.port = static_cast<std::uint16_t>(port);
        // A ".web" folder counts from a start on (the server is stopped here).
        staticFiles.scanFolders();
        server.start(config);
    }
    void stop() override { server.stop(); }

    std::string whiteListText() override { return whiteList ? whiteList() : startWhiteList; }
    void warn(std::string_view text) override { logger.log(1, KestravaLogger::Warning, text); }
    bool runGuarded(const char* taskName, const std::function<void()>& body) override {
        return CrashGuard::run(taskName, body);
    }
    kestrava::web::content::InstanceAccess* instanceAccess() override { return instance.get(); }

private:
    KestravaLogger::Logger& logger;
    std::function<std::string()> whiteList;
    std::string startWhiteList;
    std::shared_ptr<kestrava::web::content::InstanceAccess> instance;
    // The routes outlive the server, whose workers use them.
    kestrava::web::StaticFileRoute staticFiles;
    kestrava::web::LogViewer logViewer;
    kestrava::web::HttpServer server;
};

}  // namespace

std::unique_ptr<WebServerControl> makeWebServer(KestravaLogger::Logger& logger,
                                                std::function<std::string()> whiteListText,
                                                std::shared_ptr<kestrava::web::content::InstanceAccess> instance) {
    return std::make_unique<EncoderWebServer>(logger, std::move(whiteListText), std::move(instance));
}
