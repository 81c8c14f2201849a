#pragma once

#include "params/Param.h"
#include "params/ParamTable.h"
#include "settings/ChoiceLists.h"
#include "settings/EncoderSettings.h"

#include <memory>
#include <vector>

namespace kestrava::tool {

// The settings tree a new instance declares, on a machine without sound cards or network
// adapters (so that its rows are the same on every machine), owned by a ready-made table.
// Set the owner's catalog before building when the rows should show translations.
struct NewInstanceTree {
    std::unique_ptr<settings::EncoderSettings> settings = std::make_unique<settings::EncoderSettings>(192000);
    std::unique_ptr<settings::SoundcardChoices> soundcards = std::make_unique<settings::SoundcardChoices>();
    std::unique_ptr<settings::InterfaceChoices> interfaces = std::make_unique<settings::InterfaceChoices>();
    params::ParamTable owner;
    std::vector<std::unique_ptr<params::Param>> rows;

    // Declares the rows (in creation order) and registers them with the owner.
    void build();
    std::vector<params::Param*> rowPointers() const;
};

}  // namespace kestrava::tool
