#include "model/ParSet.h"

#include "model/Model.h"
#include "platform/Clock.h"
#include "platform/CrashGuard.h"

#include <chrono>
#include <cstdio>
#include <thread>

using kestrava::ParamId;
using kestrava::model::escapeSettingValue;
using kestrava::model::SettingsFile;
using kestrava::model::unescapeSettingValue;

namespace {

constexpr int textKind = 12;  // PString: the one kind whose value is escaped in the file
constexpr const char* encoderSection = "Corvix Kestrava Encoder";

// Waits up to `ms` for the lock by trying it every millisecond. A save or load holds it for
// a moment only, and plain try_lock (unlike a timed lock) is followed by the thread checker.
bool lockWithin(std::unique_lock<std::mutex>& lock, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The rows a file may hold and the file gives values to: persistent value rows with a key.
// A row without a key name is neither saved nor loaded (it would collide with every other).
bool isFileRow(const kestrava::params::Param& p) {
    return p.isPersistentInView(-1) && p.valueCount() >= 1 && !p.keyName(0).empty();
}

}  // namespace

ParSet::ParSet(Model& model_, kestrava::model::SettingsFileSystem& fileSystem)
    : model(model_), orderIndex(static_cast<std::size_t>(kestrava::ID_IDCOUNT), -1), file(fileSystem) {
    onUserChange = [this] { model.markChanged(); };
}

ParSet::~ParSet() {
    for (auto& p : params_) p.reset();
}

void ParSet::appendParam(std::unique_ptr<Param> p) {
    if (!p) return;
    const ParamId id = p->id();
    if (kestrava::isParamIdIndex(id) && findParam(id) == nullptr) {
        registerParam(*p);
        orderIndex[static_cast<std::size_t>(id)] = static_cast<std::int32_t>(params_.size());
    }
    params_.push_back(std::move(p));
}

void ParSet::finishDeclaration() {
    wholeFileCount_ = params_.size();
    for (auto& p : params_) p->updateViewFlags();
}

std::int32_t ParSet::orderIndexById(ParamId id) const {
    return kestrava::isParamIdIndex(id) ? orderIndex[static_cast<std::size_t>(id)] : -1;
}

void ParSet::report(std::string_view text) {
    if (reportProblem) {
        reportProblem(text);
    } else {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
}

std::string ParSet::buildIniText() const {
    SectionMap sections;
    for (std::size_t i = 0; i < wholeFileCount_; ++i) {
        const Param& p = *params_[i];
        if (!isFileRow(p)) continue;
        std::string value = p.saveText(0);
        if (p.kind() == textKind) escapeSettingValue(value);
        // A later row with the same section and key wins.
        sections[p.sectionName()][p.keyName(0)] = std::move(value);
    }
    std::string text;
    kestrava::model::writeIniSections(text, sections);
    return text;
}

bool ParSet::saveSettingsFile(const std::string& path) {
    model.autosaveEvent.set();
    model.settingsChanged = false;

    std::unique_lock lock(settingsMutex, std::defer_lock);
    SettingsFile::SaveResult result;
    if (!lockWithin(lock, settingsLockWaitMs)) {
        // Never two writers on the ".NEW" file: this save gives way and is tried again.
        result.ok = false;
        result.problem = "Saving the settings: the settings stayed locked for 10 s";
    } else {
        result = file.save(path, buildIniText());
    }
    if (result.ok) {
        if (lastSaveFailed && result.written) report("The settings file \"" + path + "\" was saved again");
        lastSaveFailed = lastSaveFailed && !result.written;
        saveFailureThrottle.reset();
        return true;
    }
    model.settingsChanged = true;  // the next autosave period tries again
    lastSaveFailed = true;
    std::uint32_t heldBack = 0;
    if (saveFailureThrottle.shouldReport(kestrava::steadyNowNs(), heldBack)) {
        report(heldBack == 0 ? result.problem
                             : result.problem + " (" + std::to_string(heldBack) + " more failed saves since the last report)");
    }
    return false;
}

bool ParSet::loadSettingsFile(const std::string& path) {
    std::unique_lock lock(settingsMutex, std::defer_lock);
    // The only other holder is a save. Loading anyway is better than starting from defaults,
    // which the next save would write over the user's file.
    if (!lockWithin(lock, settingsLockWaitMs)) {
        report("Loading the settings: the settings stayed locked for 10 s; loading without the lock");
    }
    settingsLoadInProgress = true;
    for (int i = 0; i < 100 && visibilityRefreshInProgress; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    SectionMap sections;
    const SettingsFile::LoadResult result = file.load(path, sections);
    if (!result.problem.empty()) report(result.problem);
    bool applied = false;
    if (result.loaded) applied = applySettingsMap(sections);
    settingsLoadInProgress = false;
    return applied;
}

bool ParSet::applySettingsMap(SectionMap& sections) {
    return CrashGuard::run(CrashGuard::Task::loadSettings, [&] {
        // A destination whose interface is stored empty means the automatic choice; an absent key
        // leaves the row as it is.
        if (auto s = sections.find(encoderSection); s != sections.end()) {
            for (int i = 0; i < destinationCount; ++i) {
                auto k = s->second.find("Corvix Kestrava Interface " + std::to_string(i));
                if (k != s->second.end() && k->second.empty()) k->second = "Automatic";
            }
        }
        const bool unescape = kestrava::model::unescapesTextValues(kestrava::model::settingsFileVersion(sections));
        for (std::size_t i = 0; i < wholeFileCount_; ++i) {
            Param& p = *params_[i];
            if (!p.isPersistent() || !p.isLoadableInView(true, -1) || p.valueCount() < 1 || p.keyName(0).empty()) {
                continue;
            }
            const std::string* stored = nullptr;
            if (const auto s = sections.find(p.sectionName()); s != sections.end()) {
                if (const auto k = s->second.find(p.keyName(0)); k != s->second.end()) stored = &k->second;
            }
            std::string text;
            if (stored != nullptr) {
                text = *stored;
                if (p.kind() == textKind && unescape) unescapeSettingValue(text);
            } else {
                // Not in the file: set again from its own text, which also makes it the saved value.
                text = p.saveText(0);
            }
            p.setFromSaveText(0, text);
        }
        if (applySettingsHook) applySettingsHook();
        if (afterWholeFileLoadHook) afterWholeFileLoadHook();
    });
}
