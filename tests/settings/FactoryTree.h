#pragma once

#include "params/ParamTable.h"
#include "settings/ChoiceLists.h"
#include "settings/EncoderSettings.h"
#include "settings/EncoderSettingsTree.h"

#include <memory>
#include <vector>

namespace settingstest {

// The interface list of a machine given as a table.
class FixedInterfaces final : public NetworkInterfaceList {
public:
    explicit FixedInterfaces(std::vector<kestrava::net::NetworkInterface> list = {}) : list(std::move(list)) {}
    std::int32_t networkInterfaceCount() override { return static_cast<std::int32_t>(list.size()); }
    kestrava::net::NetworkInterface getNetworkInterface(std::int32_t n) override {
        if (n < 0 || n >= networkInterfaceCount()) return {"Invalid index", "0.0.0.0", "::0", n};
        return list[static_cast<std::size_t>(n)];
    }

private:
    std::vector<kestrava::net::NetworkInterface> list;
};

// A new instance's settings tree, on a machine with the given sound cards and no adapters
// unless told otherwise. `prepare` may change the sources before the declaration.
struct FactoryTree {
    std::unique_ptr<kestrava::settings::EncoderSettings> settings =
        std::make_unique<kestrava::settings::EncoderSettings>(192000);
    std::unique_ptr<kestrava::settings::SoundcardChoices> cards = std::make_unique<kestrava::settings::SoundcardChoices>();
    std::unique_ptr<kestrava::settings::InterfaceChoices> nics = std::make_unique<kestrava::settings::InterfaceChoices>();
    kestrava::params::ParamTable owner;
    kestrava::settings::TreeSources sources;
    std::vector<std::unique_ptr<kestrava::params::Param>> rows;

    explicit FactoryTree(const std::vector<kestrava::audio::soundcard::SoundcardEntry>& devices = {}) {
        FixedInterfaces none;
        kestrava::settings::fillSoundcardList(*cards, devices);
        kestrava::settings::fillInterfaceList(*nics, none);
        sources.settings = settings.get();
        sources.programVersion = "1.2.3.4 test";
        sources.soundcards = cards.get();
        sources.interfaces = nics.get();
    }
    FactoryTree& build() {
        rows = kestrava::settings::buildEncoderSettings(owner, sources);
        for (auto& p : rows) owner.registerParam(*p);
        return *this;
    }
    int indexOf(kestrava::ParamId id) const {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i]->id() == id) return static_cast<int>(i);
        }
        return -1;
    }
    template <typename P = kestrava::params::Param>
    P& row(kestrava::ParamId id) const {
        auto* p = dynamic_cast<P*>(owner.findParam(id));
        if (p == nullptr) throw std::runtime_error("no such row");
        return *p;
    }
};

}  // namespace settingstest
