#pragma once

#include "params/ParamOwner.h"
#include "params/ViewFlags.h"

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace kestrava::params {

// A ready-made ParamOwner: per-view rights words (all bits set while access protection is off),
// the table of parameters by id (not owned: the first parameter registered under an id is the one
// found), and the callbacks for user changes and warnings. The settings store embeds or extends it.
class ParamTable : public ParamOwner {
public:
    ParamTable();

    std::uint32_t viewRights(int view) const override;
    std::uint32_t editRights(int view) const override;
    void setRights(int view, std::uint32_t viewWord, std::uint32_t editWord);

    Param* findParam(ParamId id) const override;
    // Registers under the parameter's id unless the id is taken or outside the table.
    void registerParam(Param& p);

    void userChanged() override;
    void warning(std::string_view text) override;
    const TextCatalog* translations() const override { return catalog; }

    std::function<void()> onUserChange;
    std::function<void(std::string_view)> onWarning;  // default: standard error
    const TextCatalog* catalog = nullptr;
    std::atomic<int> userChanges{0};

private:
    std::array<std::atomic<std::uint32_t>, viewCount> viewWords;
    std::array<std::atomic<std::uint32_t>, viewCount> editWords;
    std::vector<std::atomic<Param*>> byId;
};

}  // namespace kestrava::params
