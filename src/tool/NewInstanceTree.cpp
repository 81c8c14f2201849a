#include "tool/NewInstanceTree.h"

#include "platform/ProgramVersion.h"
#include "settings/EncoderSettingsTree.h"

namespace kestrava::tool {
namespace {

class NoInterfaces final : public NetworkInterfaceList {
public:
    std::int32_t networkInterfaceCount() override { return 0; }
    net::NetworkInterface getNetworkInterface(std::int32_t n) override {
        return {"Invalid index", "0.0.0.0", "::0", n};
    }
};

}  // namespace

void NewInstanceTree::build() {
    NoInterfaces none;
    settings::fillSoundcardList(*soundcards, {});
    settings::fillInterfaceList(*interfaces, none);
    settings::TreeSources sources;
    sources.settings = settings.get();
    sources.programVersion = ProgramVersion::versionText();
    sources.soundcards = soundcards.get();
    sources.interfaces = interfaces.get();
    rows = settings::buildEncoderSettings(owner, sources);
    for (auto& row : rows) owner.registerParam(*row);
}

std::vector<params::Param*> NewInstanceTree::rowPointers() const {
    std::vector<params::Param*> pointers;
    pointers.reserve(rows.size());
    for (const auto& row : rows) pointers.push_back(row.get());
    return pointers;
}

}  // namespace kestrava::tool
