#pragma once

#include <cstdint>
#include <exception>
#include <utility>

// The guard around long-running tasks that execute code driven by outside input. An exception
// that leaves the body is reported once on standard error with the task name, recorded in the
// process-wide error state (state 3) and the task ends or starts over; the process goes on.
// Processor faults are reported the same way and then end the process with the default action:
// after a fault the task's memory cannot be trusted any more.
namespace CrashGuard {

// Exception codes the report prints.
inline constexpr std::uint32_t accessViolation = 0xC0000005;
inline constexpr std::uint32_t moduleNotFound = 0xC06D007E;
inline constexpr std::uint32_t procedureNotFound = 0xC06D007F;
inline constexpr std::uint32_t integerDivideByZero = 0xC0000094;
inline constexpr std::uint32_t illegalInstruction = 0xC000001D;
inline constexpr std::uint32_t languageException = 0xE06D7363;

// The guarded tasks, named as their reports name them.
namespace Task {
inline constexpr const char* httpServer = "HTTP Server";    // the listener ends after a report
inline constexpr const char* httpWorker = "HTTP Worker";    // a worker enters its loop again
inline constexpr const char* modelAutoSave = "Model AutoSave";  // no further autosave in this run
inline constexpr const char* parsetUpdate = "Parset update by model";
inline constexpr const char* prepareParSet = "Preparing ParSet for redraw (Model::prepareParSet)";
inline constexpr const char* loadSettings = "LoadSts";      // applying a loaded settings file returns false
}  // namespace Task

struct ExceptionInfo {
    std::uint32_t code = languageException;
    std::uint64_t address = 0;       // where it happened, 0 when unknown
    std::int64_t accessKind = 0;     // access violations: 0 read, 1 write, 8 execution
    std::uint64_t accessAddress = 0; // access violations: the address that was accessed
};

// Composes the report into the error text (cut to 1023 characters), prints it on standard
// error with one call and marks the process crashed (state 3).
void reportException(const char* taskName, const ExceptionInfo& info);

// The load displacement of the program image: run-time minus link-time address of a fixed code
// location, so that addresses in a report map back to the image.
std::uint64_t offsetInfo();

// Routes processor faults in guarded bodies to a report before the default action; an
// alternate signal stack is set up for the calling thread. Safe to call more than once.
void installFaultReporter();

namespace detail {
void enterTask(const char* taskName);   // names the running task for the fault reporter
void leaveTask(const char* previous);
const char* currentTask();
void reportCurrentException(const char* taskName);
}  // namespace detail

// Runs the body; true when it completed, false when an exception was caught and reported.
template <class Body>
bool run(const char* taskName, Body&& body) {
    const char* previous = detail::currentTask();
    detail::enterTask(taskName);
    bool completed = false;
    try {
        std::forward<Body>(body)();
        completed = true;
    } catch (...) {
        detail::reportCurrentException(taskName);
    }
    detail::leaveTask(previous);
    return completed;
}

// Runs the body, and again after every caught exception, for as long as keepGoing() holds:
// a worker that faults on one request goes on serving the next.
template <class Body, class KeepGoing>
void repeat(const char* taskName, Body&& body, KeepGoing&& keepGoing) {
    while (keepGoing()) {
        if (run(taskName, body)) return;
    }
}

}  // namespace CrashGuard
