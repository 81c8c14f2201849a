#include "model/SettingsFile.h"

#include "platform/SystemError.h"

#include <cerrno>

namespace kestrava::model {

namespace {

std::string failure(std::string_view what, const std::string& path, int error) {
    return std::string(what) + " \"" + path + "\" failed: " + describeSystemError(error);
}

bool cannotLinkHere(int error) {
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EXDEV || error == EMLINK;
}

}  // namespace

int SettingsFile::keepBackup(const std::string& path, const std::string& backup) {
    // A leftover of an interrupted save would make the link fail.
    if (const int error = fs.remove(backup); error != 0) return error;
    const int error = fs.link(path, backup);
    if (error == 0 || !cannotLinkHere(error)) return error;
    // A file system without hard links: a copy serves as well.
    std::string old;
    if (const int readError = fs.readFile(path, maxFileBytes, old); readError != 0) return readError;
    return fs.writeDurably(backup, old);
}

SettingsFile::SaveResult SettingsFile::save(const std::string& path, std::string_view text) {
    SaveResult result;
    if (path.empty()) return result;
    if (path.size() > maxPathChars) {
        result.ok = false;
        result.problem = "Saving the settings failed: the path is longer than 385 characters: \"" + path + "\"";
        return result;
    }
    const std::string fresh = newPath(path);
    const std::string backup = backupPath(path);
    auto fail = [&](std::string_view what, const std::string& which, int error) {
        result.ok = false;
        result.problem = failure(what, which, error);
        return result;
    };

    if (const int error = fs.writeDurably(fresh, text); error != 0) {
        fs.remove(fresh);
        return fail("Saving the settings: writing", fresh, error);
    }
    if (fs.kind(path) == SettingsFileSystem::Kind::regularFile) {
        if (const int error = keepBackup(path, backup); error != 0) {
            return fail("Saving the settings: keeping the old file as", backup, error);
        }
    }
    if (const int error = fs.rename(fresh, path); error != 0) {
        return fail("Saving the settings: replacing", path, error);
    }
    result.written = true;
    if (const int error = fs.syncFolderOf(path); error != 0) {
        return fail("Saving the settings: making the folder entry durable for", path, error);
    }
    fs.remove(backup);
    return result;
}

int SettingsFile::parseFile(const std::string& path, SectionMap& sections) {
    std::string text;
    if (const int error = fs.readFile(path, maxFileBytes, text); error != 0) return error;
    SectionMap parsed;
    if (parseIniText(text, parsed) == 0) return ENODATA;
    sections = std::move(parsed);
    return 0;
}

SettingsFile::LoadResult SettingsFile::load(const std::string& path, SectionMap& sections) {
    LoadResult result;
    if (path.empty()) return result;
    const int error = parseFile(path, sections);
    if (error == 0) {
        result.loaded = true;
        return result;
    }
    const std::string backup = backupPath(path);
    const int backupError = parseFile(backup, sections);
    result.loaded = backupError == 0;
    result.fromBackup = result.loaded;
    // A first start has neither file: nothing to say. Otherwise say what was not usable.
    if (error != ENOENT) {
        result.problem = error == ENODATA ? "The settings file \"" + path + "\" holds no settings"
                                          : failure("Reading the settings file", path, error);
        result.problem += result.loaded ? "; the settings of \"" + backup + "\" are used"
                                        : "; the default settings are used";
    } else if (result.loaded) {
        result.problem = "The settings file \"" + path + "\" is missing; the settings of \"" + backup + "\" are used";
    }
    return result;
}

}  // namespace kestrava::model
