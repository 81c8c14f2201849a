#pragma once

#include "model/SettingsFile.h"
#include "model/StatusList.h"
#include "params/Param.h"
#include "params/ParamTable.h"
#include "platform/MessageThrottle.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class Model;

// The settings store of an instance: owns every parameter in creation order (the order every
// walk over the settings replays), finds them by identifier, and reads and writes the settings
// file. The declaration appends the rows and then calls finishDeclaration(); from then on the
// set of parameters never changes, only their values.
//
// Loading and saving are serialised by the settings mutex. A save builds the whole text under
// it, with buffers of its own, before the file is touched.
class ParSet : public kestrava::params::ParamTable {
public:
    using Param = kestrava::params::Param;
    using SectionMap = kestrava::model::SectionMap;

    static constexpr int settingsLockWaitMs = 10'000;
    static constexpr int destinationCount = 100;
    // How often a save that keeps failing is reported again.
    static constexpr std::int64_t saveFailureReportPeriodNs = 600'000'000'000;

    explicit ParSet(Model& model, kestrava::model::SettingsFileSystem& fileSystem =
                                      kestrava::model::posixSettingsFileSystem());
    ~ParSet() override;
    ParSet(const ParSet&) = delete;
    ParSet& operator=(const ParSet&) = delete;

    // ---- declaration
    // Appends a parameter (owned from now on) and registers its identifier unless the identifier
    // is taken or outside the table. Returns the parameter.
    template <class P>
    P& append(std::unique_ptr<P> p) {
        P& ref = *p;
        appendParam(std::unique_ptr<Param>(std::move(p)));
        return ref;
    }
    void appendParam(std::unique_ptr<Param> p);
    // Ends the declaration: the whole-file scope covers every row appended so far, and every
    // row's per-view visibility follows the initial rights words.
    void finishDeclaration();

    // ---- lookup (ParamTable::findParam gives the parameter of an identifier)
    std::int32_t orderIndexById(kestrava::ParamId id) const;
    const std::vector<std::unique_ptr<Param>>& params() const { return params_; }
    std::size_t wholeFileCount() const { return wholeFileCount_; }

    // ---- settings file
    // The text of every persistent row of the whole-file scope.
    std::string buildIniText() const;
    // Writes the settings file; false when it failed (then reported, and the settings count as
    // changed again so that the autosave tries again). Clears the model's pending flag and
    // signals its autosave event first: this save covers every change made so far.
    bool saveSettingsFile(const std::string& path);
    // Reads the file (or its ".bak") and applies it; without a usable file the rows keep their
    // defaults. True when a file was applied.
    bool loadSettingsFile(const std::string& path);
    // Sets every loadable row of the whole-file scope from the map and runs the apply hooks;
    // false when an exception stopped it (reported by the crash guard "LoadSts").
    bool applySettingsMap(SectionMap& sections);

    // What runs after the rows were set from a file: the store walk with the controller's apply,
    // then (for the whole file) the steps that bring accounts, mirrored rows and logins in line.
    std::function<void()> applySettingsHook;
    std::function<void()> afterWholeFileLoadHook;
    // Where problems of the settings file go (the log and the status messages); standard error
    // until it is set.
    std::function<void(std::string_view)> reportProblem;

    std::atomic<bool> settingsLoadInProgress{false};
    std::atomic<bool> visibilityRefreshInProgress{false};

    StatusDisplay& statusDisplay() { return errors; }
    Model& model;

private:
    void report(std::string_view text);

    std::vector<std::unique_ptr<Param>> params_;
    std::vector<std::int32_t> orderIndex;
    std::size_t wholeFileCount_ = 0;
    mutable std::mutex settingsMutex;
    kestrava::model::SettingsFile file;
    kestrava::platform::MessageThrottle saveFailureThrottle{saveFailureReportPeriodNs};
    bool lastSaveFailed = false;
    StatusList errors;
};
