#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrava::web {

namespace content {
class InstanceAccess;
}

// What the web server needs of the program that runs it; the application implements it.
class ServerHost {
public:
    virtual ~ServerHost() = default;
    // The live white-list setting, read under the setting's own lock; the listener compares it
    // with what it parsed last at every accepted connection.
    virtual std::string whiteListText() = 0;
    // A warning for the log (refused white-list entries).
    virtual void warn(std::string_view text) = 0;
    // Runs a thread's body under the program's crash guard with the task's name ("HTTP Server",
    // "HTTP Worker"); false when an exception was caught and reported.
    virtual bool runGuarded(const char* taskName, const std::function<void()>& body) = 0;
    // The instance that the session routes ("/objects.js", "/update") serve; without one they
    // answer 404. Asked once, at start.
    virtual content::InstanceAccess* instanceAccess() { return nullptr; }
};

}  // namespace kestrava::web
