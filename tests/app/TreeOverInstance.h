#pragma once

#include "params/Param.h"
#include "params/ParamTable.h"
#include "settings/ChangePropagation.h"
#include "settings/ChoiceLists.h"
#include "settings/DestinationRows.h"
#include "settings/EncoderSettings.h"
#include "settings/EncoderSettingsTree.h"
#include "settings/LiveFields.h"
#include "settings/TreeWalks.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

// The settings tree over an instance's live settings, with the walks and the change propagation
// that ends in `apply` (the instance's applySettings): what a client's change goes through.
struct TreeOverInstance {
    class NoAdapters final : public NetworkInterfaceList {
    public:
        std::int32_t networkInterfaceCount() override { return 0; }
        kestrava::net::NetworkInterface getNetworkInterface(std::int32_t n) override { return {"", "", "", n}; }
    };

    TreeOverInstance(kestrava::settings::EncoderSettings& settings, std::function<void()> apply,
                     const std::vector<kestrava::audio::soundcard::SoundcardEntry>& soundcards = {}) {
        NoAdapters none;
        kestrava::settings::fillSoundcardList(cards, soundcards);
        kestrava::settings::fillInterfaceList(nics, none);
        sources.settings = &settings;
        sources.programVersion = "0.0.0.0 test";
        sources.soundcards = &cards;
        sources.interfaces = &nics;
        sources.destinationRows = kestrava::settings::destinationRowActions(owner);
        rows = kestrava::settings::buildEncoderSettings(owner, sources);
        for (auto& p : rows) owner.registerParam(*p);
        fields = std::make_unique<kestrava::settings::InstanceFields>(sources);
        walks = std::make_unique<kestrava::settings::TreeWalks>(rows, settings, *fields);
        propagation = std::make_unique<kestrava::settings::ChangePropagation>(*walks, std::move(apply));
    }

    template <typename P>
    P& row(kestrava::ParamId first, int n = 0) {
        auto* p = dynamic_cast<P*>(owner.findParam(static_cast<kestrava::ParamId>(first + n)));
        if (p == nullptr) throw std::runtime_error("no such row");
        return *p;
    }

    kestrava::settings::SoundcardChoices cards;
    kestrava::settings::InterfaceChoices nics;
    kestrava::params::ParamTable owner;
    kestrava::settings::TreeSources sources;
    std::vector<std::unique_ptr<kestrava::params::Param>> rows;
    std::unique_ptr<kestrava::settings::InstanceFields> fields;
    std::unique_ptr<kestrava::settings::TreeWalks> walks;
    std::unique_ptr<kestrava::settings::ChangePropagation> propagation;
};
