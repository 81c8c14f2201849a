// The parameter set as the settings store: ownership and lookup, the text of a save, loading a
// file into the rows, and how failed saves are reported and retried.
#include "model/Model.h"
#include "model/ParSet.h"
#include "params/LMEnumList.h"
#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PFloat.h"
#include "params/PInt.h"
#include "params/PString.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {

const NamePair web("Web interface");
const NamePair encoder("Corvix Kestrava Encoder");

LMEnum_StaticLengthList<8, 256>& interfaceList() {
    static LMEnum_StaticLengthList<8, 256> list;
    static const bool filled = list.add(0, "Automatic", "Automatic") && list.add(1, "eth0", "eth0");
    (void)filled;
    return list;
}

// A small settings tree with one row of each kind the file stores, and the rows it must not.
void declare(ParSet& set) {
    set.append(std::make_unique<PBool>(set, 4, kestrava::PARAM_WebserverEnable, true, 1, ShortKey("WebEnab"), web,
                                       NamePair("Enable web interface"), "Enable web interface"));
    set.append(std::make_unique<PDec>(set, 4, kestrava::PARAM_WebserverPort, 5, 8080, ShortKey("WebPort"), web,
                                      NamePair("Port"), "Port", "%d"));
    set.append(std::make_unique<PString>(set, 4, kestrava::PARAM_WebServer_Whitelist, 1024, "/0", ShortKey("WebWhite"),
                                         web, NamePair("Whitelist"), "Whitelist", "%s"));
    set.append(std::make_unique<PEnum>(set, 4, static_cast<ParamId>(4000), &bitRateList(), false, 4096, 320,
                                       ShortKey("KVBR"), encoder, NamePair("Corvix Kestrava Bitrate"), "Bitrate"));
    set.append(std::make_unique<PEnum>(set, 4, kestrava::PARAM_KVRA_Interface_0, &interfaceList(), true, 256, 0,
                                       ShortKey("KVIf000"), encoder, NamePair("Corvix Kestrava Interface 0"), "NIC"));
    set.append(std::make_unique<PString>(set, 4, kestrava::PARAM_KVRA_NAME_0, 32, "", ShortKey("KVRDe0"), encoder,
                                         NamePair("Corvix Kestrava target description 0"), "Description", "%s"));
    auto& reset = set.append(std::make_unique<PFloat>(set, 4, static_cast<ParamId>(4001), 1, 0.0f, 10.0f, 10, 0.5f,
                                                      3, 1.0f, ShortKey("KVRes"), encoder,
                                                      NamePair("Reset interval", ""), "Reset interval", "%.3f", 1.0f));
    reset.setLowSpecial(0.0f, "Off");
    set.append(std::make_unique<PInt>(set, 4, static_cast<ParamId>(4002), 7, -1000, 1000, 1000, 100, ShortKey("KVRl"),
                                      encoder, NamePair("Rate limit"), "Rate limit", "%d"));
    // Not in the file: a row made not persistent, a row without a key name, and (for its key) a
    // second row under an identifier that is already taken, which stays in creation order.
    set.append(std::make_unique<PString>(set, 4, static_cast<ParamId>(4003), 24, "1.0", ShortKey("SWVER"), web,
                                         NamePair("Software version"), "Software version", "%s"))
        .setPersistent(false);
    set.append(std::make_unique<PBool>(set, 4, static_cast<ParamId>(4004), true, 1, ShortKey("NoKey"), web, NamePair(),
                                       "No key"));
    set.append(std::make_unique<PBool>(set, 4, kestrava::PARAM_WebserverEnable, false, 1, ShortKey("Dup"), web,
                                       NamePair("Dup"), "Dup"));
    set.finishDeclaration();
}

struct Instance {
    explicit Instance(kestrava::model::SettingsFileSystem& fs = kestrava::model::posixSettingsFileSystem())
        : set(model, fs) {
        declare(set);
        set.reportProblem = [this](std::string_view t) { problems.emplace_back(t); };
        set.onWarning = [this](std::string_view t) { warnings.emplace_back(t); };
    }
    template <class P>
    P& row(int id) {
        return dynamic_cast<P&>(*set.findParam(static_cast<ParamId>(id)));
    }
    Model model;
    ParSet set;
    std::vector<std::string> problems;
    std::vector<std::string> warnings;
};

const std::string defaultText =
    "[Corvix Kestrava Encoder]\r\n"
    "Corvix Kestrava Bitrate=320\r\n"
    "Corvix Kestrava Interface 0=Automatic\r\n"
    "Corvix Kestrava target description 0=\r\n"
    "Rate limit=100\r\n"
    "Reset interval=0.5\r\n"
    "[Web interface]\r\n"
    "Dup=0\r\n"
    "Enable web interface=1\r\n"
    "Port=8080\r\n"
    "Whitelist=/0\r\n";

void changeEveryRow(Instance& i) {
    i.row<PBool>(kestrava::PARAM_WebserverEnable).setValue(false);
    i.row<PDec>(kestrava::PARAM_WebserverPort).setValue(8081);
    i.row<PString>(kestrava::PARAM_WebServer_Whitelist).setValue("127.0.0.1 10.0.0.0/8");
    i.row<PEnum>(4000).setValue(384);
    i.row<PEnum>(kestrava::PARAM_KVRA_Interface_0).setValue(1);
    i.row<PString>(kestrava::PARAM_KVRA_NAME_0).setValue("Studio\nline \\2");
    i.row<PFloat>(4001).setValue(0.125f);
    i.row<PInt>(4002).setValue(-5);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> saveTexts(const ParSet& set) {
    std::vector<std::string> texts;
    for (const auto& p : set.params()) texts.push_back(p->saveText(0));
    return texts;
}

struct FailingRename : kestrava::model::SettingsFileSystem {
    SettingsFileSystem& real = kestrava::model::posixSettingsFileSystem();
    bool fail = true;
    int readFile(const std::string& p, std::size_t m, std::string& o) override { return real.readFile(p, m, o); }
    int writeDurably(const std::string& p, std::string_view t) override { return real.writeDurably(p, t); }
    Kind kind(const std::string& p) override { return real.kind(p); }
    int link(const std::string& f, const std::string& t) override { return real.link(f, t); }
    int rename(const std::string& f, const std::string& t) override { return fail ? EACCES : real.rename(f, t); }
    int remove(const std::string& p) override { return real.remove(p); }
    int syncFolderOf(const std::string& p) override { return real.syncFolderOf(p); }
};

}  // namespace

TEST(ParSet, OwnsItsRowsInCreationOrderAndFindsThemByIdentifier) {
    Instance i;
    ASSERT_EQ(i.set.params().size(), 11u);
    EXPECT_EQ(i.set.wholeFileCount(), 11u);
    // The first row registered under an identifier is the one found; the second stays listed.
    EXPECT_EQ(i.set.findParam(kestrava::PARAM_WebserverEnable), i.set.params()[0].get());
    EXPECT_EQ(i.set.orderIndexById(kestrava::PARAM_WebserverEnable), 0);
    EXPECT_EQ(i.set.params()[10]->keyName(0), "Dup");
    EXPECT_EQ(i.set.orderIndexById(kestrava::PARAM_KVRA_NAME_0), 5);
    for (const int id : {-1, 14690, 20000, 4005}) {
        EXPECT_EQ(i.set.findParam(static_cast<ParamId>(id)), nullptr) << id;
        EXPECT_EQ(i.set.orderIndexById(static_cast<ParamId>(id)), -1) << id;
    }
}

TEST(ParSet, SaveTextFollowsTheFileFormat) {
    Instance i;
    EXPECT_EQ(i.set.buildIniText(), defaultText);
    changeEveryRow(i);
    const std::string changed = i.set.buildIniText();
    EXPECT_EQ(changed,
              "[Corvix Kestrava Encoder]\r\n"
              "Corvix Kestrava Bitrate=384\r\n"
              "Corvix Kestrava Interface 0=eth0\r\n"
              "Corvix Kestrava target description 0=Studio\\nline \\\\2\r\n"
              "Rate limit=-5\r\n"
              "Reset interval=0.125\r\n"
              "[Web interface]\r\n"
              "Dup=0\r\n"
              "Enable web interface=0\r\n"
              "Port=8081\r\n"
              "Whitelist=127.0.0.1 10.0.0.0/8\r\n");
    EXPECT_EQ(i.set.buildIniText(), changed);  // two saves of the same settings are identical
    i.row<PFloat>(4001).setValue(0.0f);
    i.row<PString>(kestrava::PARAM_KVRA_NAME_0).setValue("");
    const std::string special = i.set.buildIniText();
    EXPECT_NE(special.find("\r\nReset interval=0 (Off)\r\n"), std::string::npos) << special;
    EXPECT_NE(special.find("\r\nCorvix Kestrava target description 0=\r\n"), std::string::npos) << special;
}

TEST(ParSet, AFileWrittenLoadsBackToTheSameValues) {
    kestrava::test::TempDir dir;
    const std::string path = dir.str() + "/Kestrava_Encoder.ini";
    Instance writer;
    changeEveryRow(writer);
    ASSERT_TRUE(writer.set.saveSettingsFile(path));
    const std::string file = readAll(path);

    Instance reader;
    int applied = 0;
    reader.set.applySettingsHook = [&] { ++applied; };
    ASSERT_TRUE(reader.set.loadSettingsFile(path));
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(saveTexts(reader.set), saveTexts(writer.set));
    EXPECT_EQ(reader.row<PString>(kestrava::PARAM_KVRA_NAME_0).current(), "Studio\nline \\2");
    EXPECT_EQ(reader.row<PDec>(kestrava::PARAM_WebserverPort).getValue(ValueKind::saved), 8081);
    EXPECT_TRUE(reader.set.saveSettingsFile(path));
    EXPECT_EQ(readAll(path), file);
    EXPECT_TRUE(reader.problems.empty());
}

TEST(ParSet, LoadRules) {
    const struct {
        const char* name;
        std::string file;
        int id;
        std::string expected;  // the row's save text after the load
    } cases[] = {
        {"an old file takes texts literally", "[Preset info]\nSoftware version=9\n[Corvix Kestrava Encoder]\n"
                                              "Corvix Kestrava target description 0=a\\nb\n",
         kestrava::PARAM_KVRA_NAME_0, "a\\nb"},
        {"a file of 9.7 unescapes", "[Preset info]\nSoftware version=9.7\n[Corvix Kestrava Encoder]\n"
                                    "Corvix Kestrava target description 0=a\\nb\n",
         kestrava::PARAM_KVRA_NAME_0, "a\nb"},
        {"an empty interface is the automatic choice", "[Corvix Kestrava Encoder]\nCorvix Kestrava Interface 0=\n",
         kestrava::PARAM_KVRA_Interface_0, "Automatic"},
        {"an absent interface stays", "[Corvix Kestrava Encoder]\nRate limit=1\n", kestrava::PARAM_KVRA_Interface_0,
         "eth0"},
        {"an adapter that is gone is kept by name", "[Corvix Kestrava Encoder]\nCorvix Kestrava Interface 0=wlan7\n",
         kestrava::PARAM_KVRA_Interface_0, "wlan7"},
        {"an enumeration key that matches nothing keeps the default", "[Corvix Kestrava Encoder]\n"
                                                                      "Corvix Kestrava Bitrate=330\n",
         4000, "320"},
        {"a missing text keeps backslashes and line feeds", "[Preset info]\nSoftware version=9\n[Web interface]\nPort=1\n",
         kestrava::PARAM_KVRA_NAME_0, "x\\y\nz"},
        {"a port out of range keeps the default", "[Web interface]\nPort=100000\n", kestrava::PARAM_WebserverPort,
         "8080"},
        {"a row that is not persistent is not loaded", "[Web interface]\nSoftware version=9.9\nPort=1\n", 4003, "1.0"},
        {"a float with its special text", "[Corvix Kestrava Encoder]\nReset interval=3 (Off)\n", 4001, "0 (Off)"},
    };
    for (const auto& c : cases) {
        kestrava::test::TempDir dir;
        const std::string path = dir.str() + "/s.ini";
        std::ofstream(path, std::ios::binary) << c.file;
        Instance i;
        i.row<PEnum>(kestrava::PARAM_KVRA_Interface_0).setValue(1);
        i.row<PString>(kestrava::PARAM_KVRA_NAME_0).setValue("x\\y\nz");
        ASSERT_TRUE(i.set.loadSettingsFile(path)) << c.name;
        EXPECT_EQ(i.set.findParam(static_cast<ParamId>(c.id))->saveText(0), c.expected) << c.name;
    }
}

TEST(ParSet, AFailedSaveIsReportedAndLeftPendingAndTheModelIsSignalled) {
    kestrava::test::TempDir dir;
    const std::string path = dir.str() + "/s.ini";
    FailingRename fs;
    Instance i(fs);
    i.model.settingsChanged = true;
    EXPECT_FALSE(i.set.saveSettingsFile(path));
    EXPECT_TRUE(i.model.settingsChanged);
    EXPECT_TRUE(i.model.autosaveEvent.waitFor(std::chrono::milliseconds(0)));
    ASSERT_EQ(i.problems.size(), 1u);
    EXPECT_NE(i.problems[0].find("Permission denied"), std::string::npos) << i.problems[0];
    EXPECT_FALSE(i.set.saveSettingsFile(path));
    EXPECT_EQ(i.problems.size(), 1u);  // a save that keeps failing is not reported every time

    fs.fail = false;
    EXPECT_TRUE(i.set.saveSettingsFile(path));
    EXPECT_FALSE(i.model.settingsChanged);
    EXPECT_EQ(readAll(path), defaultText);
    ASSERT_EQ(i.problems.size(), 2u);
    EXPECT_NE(i.problems[1].find("saved again"), std::string::npos);

    // A save with no path writes nothing, and still counts as done.
    i.model.settingsChanged = true;
    EXPECT_TRUE(i.set.saveSettingsFile(""));
    EXPECT_FALSE(i.model.settingsChanged);
}

TEST(ParSet, AnExceptionWhileApplyingIsCaughtAndEndsTheLoad) {
    kestrava::test::TempDir dir;
    const std::string path = dir.str() + "/s.ini";
    std::ofstream(path, std::ios::binary) << "[Web interface]\nPort=1234\n";
    Instance i;
    bool afterRan = false;
    i.set.applySettingsHook = [] { throw std::runtime_error("apply failed"); };
    i.set.afterWholeFileLoadHook = [&] { afterRan = true; };
    EXPECT_FALSE(i.set.loadSettingsFile(path));
    EXPECT_FALSE(afterRan);
    EXPECT_FALSE(i.set.settingsLoadInProgress);
    EXPECT_EQ(i.row<PDec>(kestrava::PARAM_WebserverPort).current(), 1234);
}
