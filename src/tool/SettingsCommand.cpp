// kestrava-tool settings dump-tree | interfaces: the encoder's settings tree as a new instance
// declares it, one line per row in creation order; or the network-interface choices of the
// destinations as this machine offers them.
#include "net/NetworkInterfaceCache.h"
#include "settings/ChoiceLists.h"
#include "settings/TreeDump.h"
#include "tool/Commands.h"
#include "tool/NewInstanceTree.h"

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
    tool::NewInstanceTree tree;
    tree.build();
    std::fputs(settings::dumpTree(tree.rows).c_str(), stdout);
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
