#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

class Model;

namespace kestrava::params {
class Param;
}

namespace kestrava::web::content {

// What the web pages need of the instance they serve. The program that runs the server provides
// it (it knows the Model's parameter set and the input histories); tests give a small fake.
class InstanceAccess {
public:
    virtual ~InstanceAccess() = default;

    // ---- called without any lock held
    // Waits until the input history has a fresh block for the view, at most `timeout`; the
    // outcome does not matter (a time-out goes on like a signal).
    virtual void waitForInput(int view, std::chrono::milliseconds timeout) = 0;
    // The pause after a stale session's reply, which keeps a forgotten page from polling hard.
    virtual void pause(std::chrono::milliseconds duration) = 0;
    // One line for the operator (a malformed request); where it goes is the program's choice.
    virtual void diagnostic(std::string_view line) = 0;

    // ---- called with the instance's Model locked
    // Every parameter of the instance in creation order, those without an id included.
    virtual void forEachParam(Model& model, const std::function<void(params::Param&)>& visit) = 0;
    // The parameter with the id, or null (ids outside 0..ID_IDCOUNT-1 give null).
    virtual params::Param* findParam(Model& model, std::int32_t id) = 0;
    // Gets the parameter set ready to be drawn for a client's view: status texts refreshed, the
    // live displays positioned for the view's pair, enabled states derived again.
    virtual void prepareForRedraw(Model& model, int view) = 0;
    // After a request: when a client's value was taken, the change goes to the running encoder.
    virtual void processClientChanges(Model& model) = 0;
    // Ends the login of a client view (its session was taken over by a new page).
    virtual void logOut(Model& model, int view) = 0;
};

}  // namespace kestrava::web::content
