// kestrava-tool settings dump-tree | interfaces: the encoder's settings tree as a new instance
// declares it, one line per row in creation order; or the network-interface choices of the
// destinations as this machine offers them.
#include "net/NetworkInterfaceCache.h"
#include "params/ParamTable.h"
#include "platform/ProgramVersion.h"
#include "settings/ChoiceLists.h"
#include "settings/EncoderSettings.h"
#include "settings/EncoderSettingsTree.h"
#include "settings/TreeDump.h"
#include "tool/Commands.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace kestrava;

class CachedInterfaces final : public NetworkInterfaceList {
public:
    std::int32_t networkInterfaceCount() override {
        if (!filled) {
            cache.refreshNetworkInterfaces();
            filled = true;
        }
        return static_cast<std::int32_t>(cache.count());
    }
    net::NetworkInterface getNetworkInterface(std::int32_t n) override { return cache.at(n); }

private:
    net::NetworkInterfaceCache cache;
    bool filled = false;
};

class NoInterfaces final : public NetworkInterfaceList {
public:
    std::int32_t networkInterfaceCount() override { return 0; }
    net::NetworkInterface getNetworkInterface(std::int32_t n) override {
        return {"Invalid index", "0.0.0.0", "::0", n};
    }
};

int usage(std::FILE* out, int code) {
    std::fprintf(out,
                 "usage: kestrava-tool settings dump-tree | interfaces\n"
                 "  dump-tree   every row of a new instance's settings tree in creation order, tab-separated:\n"
                 "              index, identifier, class, section, key, short key, view mask, persistent,\n"
                 "              default (choice lists as on a machine without sound cards or adapters)\n"
                 "  interfaces  the network-interface choices of this machine: value, key\n");
    return code;
}

int dumpTree() {
    auto settings = std::make_unique<settings::EncoderSettings>(192000);
    auto soundcards = std::make_unique<settings::SoundcardChoices>();
    auto interfaces = std::make_unique<settings::InterfaceChoices>();
    NoInterfaces none;
    settings::fillSoundcardList(*soundcards, {});
    settings::fillInterfaceList(*interfaces, none);
    settings::TreeSources sources;
    sources.settings = settings.get();
    sources.programVersion = ProgramVersion::versionText();
    sources.soundcards = soundcards.get();
    sources.interfaces = interfaces.get();
    params::ParamTable owner;
    const auto rows = settings::buildEncoderSettings(owner, sources);
    std::fputs(settings::dumpTree(rows).c_str(), stdout);
    return 0;
}

int listInterfaces() {
    auto list = std::make_unique<settings::InterfaceChoices>();
    CachedInterfaces machine;
    settings::fillInterfaceList(*list, machine);
    for (int i = 0; i < list->getCount(); ++i) {
        const params::LMEnumType* e = list->getEntry(i);
        std::printf("%d\t%s\n", e->value.load(), e->getKey().c_str());
    }
    return 0;
}

}  // namespace

int runSettingsCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) return usage(stdout, 0);
    if (argc != 1) return usage(stderr, 2);
    if (std::strcmp(argv[0], "dump-tree") == 0) return dumpTree();
    if (std::strcmp(argv[0], "interfaces") == 0) return listInterfaces();
    return usage(stderr, 2);
}
