#pragma once

#include "params/NamePair.h"
#include "params/Param.h"
#include "settings/TreeSources.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrava::settings {

// The state the declaration carries from row to row: the rows so far, the current section and
// the owner every row belongs to.
class TreeBuilder {
public:
    TreeBuilder(params::ParamOwner& owner, const TreeSources& sources) : owner(owner), sources(sources) {}

    template <typename P>
    P* append(std::unique_ptr<P> p) {
        P* raw = p.get();
        raw->updateTextWidth();
        rows.push_back(std::move(p));
        return raw;
    }
    // The row registered first under an id among the rows so far, or null.
    params::Param* find(ParamId id) const {
        for (const auto& p : rows) {
            if (p->id() == id) return p.get();
        }
        return nullptr;
    }

    params::ParamOwner& owner;
    const TreeSources& sources;
    params::NamePair section{"FAKE DUMMY"};
    std::vector<std::unique_ptr<params::Param>> rows;
};

// "%d"-style formatting of one index into a key or short key.
std::string formatIndex(const char* format, int index);

// The account builders (account settings, then the accounts page).
void declareAccountSettings(TreeBuilder& b);
void declareAccountPage(TreeBuilder& b);

}  // namespace kestrava::settings
