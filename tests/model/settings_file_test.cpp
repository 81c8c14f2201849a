// Saving and loading the settings file with its ".NEW" and ".bak" companions, on the real file
// system and through a file layer that fails or stops (as in a crash) at a chosen step.
#include "model/SettingsFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrava::model;
namespace fs = std::filesystem;

namespace {

const std::string oldText = "[S]\r\nk=old\r\nother=1\r\n";
const std::string newText = "[S]\r\nk=new value\r\nother=2\r\n[T]\r\nx=y\r\n";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

SectionMap parsed(const std::string& text) {
    SectionMap m;
    parseIniText(text, m);
    return m;
}

// The real file system, with one chosen operation failing, or a crash: from the operation with
// index crashAt on, nothing reaches the disk any more (a write gets only its first bytes there).
struct FaultyFileSystem : SettingsFileSystem {
    SettingsFileSystem& real = posixSettingsFileSystem();
    std::string failing;  // "write", "link", "rename", "sync"
    int failError = EIO;
    int crashAt = -1;
    std::size_t writtenBeforeCrash = 0;
    int operations = 0;

    bool crashed() {
        const int operation = operations++;
        return crashAt >= 0 && operation >= crashAt;
    }

    int readFile(const std::string& p, std::size_t max, std::string& out) override {
        if (crashed()) return EIO;
        return real.readFile(p, max, out);
    }
    int writeDurably(const std::string& p, std::string_view text) override {
        if (crashed()) {
            if (operations - 1 == crashAt) real.writeDurably(p, text.substr(0, writtenBeforeCrash));
            return EIO;
        }
        return failing == "write" ? failError : real.writeDurably(p, text);
    }
    Kind kind(const std::string& p) override { return crashed() ? Kind::missing : real.kind(p); }
    int link(const std::string& from, const std::string& to) override {
        if (crashed()) return EIO;
        return failing == "link" ? failError : real.link(from, to);
    }
    int rename(const std::string& from, const std::string& to) override {
        if (crashed()) return EIO;
        return failing == "rename" ? failError : real.rename(from, to);
    }
    int remove(const std::string& p) override { return crashed() ? EIO : real.remove(p); }
    int syncFolderOf(const std::string& p) override {
        if (crashed()) return EIO;
        return failing == "sync" ? failError : real.syncFolderOf(p);
    }
};

struct Files {
    kestrava::test::TempDir dir;
    std::string path = dir.str() + "/Kestrava_Encoder.ini";
    std::string fresh = path + ".NEW";
    std::string backup = path + ".bak";

    // The content of a companion, or "absent".
    std::string state(const std::string& p) const { return fs::exists(p) ? readAll(p) : "absent"; }
};

}  // namespace

TEST(SettingsFile, SaveWritesTheTextWithMode0600AndLeavesNoCompanion) {
    Files f;
    writeAll(f.path, oldText);
    writeAll(f.backup, "leftover of an interrupted save");
    writeAll(f.fresh, "leftover");
    ::chmod(f.fresh.c_str(), 0644);
    SettingsFile file;
    const auto result = file.save(f.path, newText);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(readAll(f.path), newText);
    EXPECT_FALSE(fs::exists(f.fresh));
    EXPECT_FALSE(fs::exists(f.backup));
    struct stat st {};
    ASSERT_EQ(::stat(f.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The first save of an instance, and an empty path that writes nothing.
    Files first;
    EXPECT_TRUE(file.save(first.path, newText).written);
    EXPECT_EQ(readAll(first.path), newText);
    const auto none = file.save("", newText);
    EXPECT_TRUE(none.ok);
    EXPECT_FALSE(none.written);
    EXPECT_FALSE(file.save(first.dir.str() + "/" + std::string(400, 'x'), newText).ok);
}

TEST(SettingsFile, EveryFailingStepLeavesTheOldFileOrTheNewOneInPlace) {
    const struct {
        const char* failing;
        int error;
        bool ok;
        const char* file;  // "old", "new"
        const char* fresh;
        const char* backup;
    } cases[] = {
        {"", 0, true, "new", "absent", "absent"},
        {"write", ENOSPC, false, "old", "absent", "leftover"},
        {"link", EIO, false, "old", "new", "absent"},
        {"link", EPERM, true, "new", "absent", "absent"},  // no hard links here: a copy serves
        {"rename", EIO, false, "old", "new", "old"},
        {"sync", EIO, false, "new", "absent", "old"},
    };
    for (const auto& c : cases) {
        Files f;
        writeAll(f.path, oldText);
        writeAll(f.backup, "leftover");
        FaultyFileSystem faulty;
        faulty.failing = c.failing;
        faulty.failError = c.error;
        SettingsFile file(faulty);
        const auto result = file.save(f.path, newText);
        const std::string name = std::string(c.failing) + " " + std::to_string(c.error);
        EXPECT_EQ(result.ok, c.ok) << name;
        EXPECT_EQ(result.problem.empty(), c.ok) << name << ": " << result.problem;
        auto text = [](const char* s) -> std::string {
            const std::string v = s;
            return v == "old" ? oldText : v == "new" ? newText : v;
        };
        EXPECT_EQ(f.state(f.path), text(c.file)) << name;
        EXPECT_EQ(f.state(f.fresh), text(c.fresh)) << name;
        EXPECT_EQ(f.state(f.backup), text(c.backup)) << name;
    }
}

TEST(SettingsFile, AFolderNamedLikeTheFileIsLeftAloneAndTheNewTextKept) {
    Files f;
    fs::create_directory(f.path);
    writeAll(f.path + "/inside", "x");
    SettingsFile file;
    const auto result = file.save(f.path, newText);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(readAll(f.path + "/inside"), "x");
    EXPECT_EQ(readAll(f.fresh), newText);
}

// A crash at every operation of a save, and inside the write at many offsets: afterwards the
// file holds the complete old or the complete new text, a load reads one of the two, and the
// next save cleans up.
TEST(SettingsFile, ACrashAtAnyStepKeepsACompleteFile) {
    const unsigned seed = [] {
        const char* s = std::getenv("KESTRAVA_TEST_SEED");
        return s != nullptr ? static_cast<unsigned>(std::strtoul(s, nullptr, 10)) : 20261211u;
    }();
    std::mt19937 random(seed);
    for (const bool firstSave : {false, true}) {
        FaultyFileSystem counter;
        {
            Files f;
            if (!firstSave) writeAll(f.path, oldText);
            ASSERT_TRUE(SettingsFile(counter).save(f.path, newText).ok);
        }
        const int steps = counter.operations;
        ASSERT_GE(steps, firstSave ? 4 : 6);
        for (int crashAt = 0; crashAt < steps; ++crashAt) {
            for (int cut = 0; cut < 8; ++cut) {
                Files f;
                if (!firstSave) writeAll(f.path, oldText);
                writeAll(f.fresh, "stale");
                FaultyFileSystem crashing;
                crashing.crashAt = crashAt;
                crashing.writtenBeforeCrash = std::uniform_int_distribution<std::size_t>(0, newText.size())(random);
                SettingsFile(crashing).save(f.path, newText);

                const std::string where = "seed " + std::to_string(seed) + ", first save " +
                                          std::to_string(firstSave) + ", crash at operation " + std::to_string(crashAt) +
                                          " after " + std::to_string(crashing.writtenBeforeCrash) + " bytes";
                const std::string file = f.state(f.path);
                if (firstSave) {
                    EXPECT_TRUE(file == "absent" || file == newText) << where;
                } else {
                    EXPECT_TRUE(file == oldText || file == newText) << where;
                }
                SectionMap loaded;
                const auto result = SettingsFile().load(f.path, loaded);
                if (result.loaded) {
                    EXPECT_TRUE(loaded == parsed(oldText) || loaded == parsed(newText)) << where;
                } else {
                    EXPECT_TRUE(firstSave) << where;
                }
                ASSERT_TRUE(SettingsFile().save(f.path, newText).ok) << where;
                EXPECT_EQ(f.state(f.fresh), "absent") << where;
                EXPECT_EQ(f.state(f.backup), "absent") << where;
            }
        }
    }
}

TEST(SettingsFile, AnUnusableFileLoadsFromTheBackup) {
    const struct {
        const char* name;
        void (*make)(const std::string& path);
        bool reported;
    } cases[] = {
        {"empty file", [](const std::string& p) { writeAll(p, ""); }, true},
        {"no key lines", [](const std::string& p) { writeAll(p, "[S]\r\njunk\r\n"); }, true},
        {"missing", [](const std::string&) {}, true},
        {"a folder", [](const std::string& p) { fs::create_directory(p); }, true},
        {"a FIFO (must not block)", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, true},
        {"larger than the limit",
         [](const std::string& p) {
             writeAll(p, "[S]\nk=v\n");
             fs::resize_file(p, SettingsFile::maxFileBytes + 1);
         },
         true},
    };
    for (const auto& c : cases) {
        Files f;
        c.make(f.path);
        writeAll(f.backup, oldText);
        SectionMap loaded;
        const auto result = SettingsFile().load(f.path, loaded);
        EXPECT_TRUE(result.loaded) << c.name;
        EXPECT_TRUE(result.fromBackup) << c.name;
        EXPECT_EQ(loaded, parsed(oldText)) << c.name;
        EXPECT_EQ(!result.problem.empty(), c.reported) << c.name;
    }

    // Neither file: a first start, nothing to report. A usable file wins over its backup.
    Files f;
    SectionMap loaded;
    auto result = SettingsFile().load(f.path, loaded);
    EXPECT_FALSE(result.loaded);
    EXPECT_TRUE(result.problem.empty());
    writeAll(f.path, newText);
    writeAll(f.backup, oldText);
    result = SettingsFile().load(f.path, loaded);
    EXPECT_TRUE(result.loaded && !result.fromBackup);
    EXPECT_EQ(loaded, parsed(newText));
}
