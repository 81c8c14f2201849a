#pragma once

#include "params/Param.h"

#include <optional>

namespace kestrava::params {

// A section heading with a nesting level (0..2); a save scope that starts at a heading ends
// before the next heading whose level is not greater. On the wire: header and title only.
class PSubLevel : public Param {
public:
    PSubLevel(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int level, std::optional<std::string> name,
              const NamePair& section, std::string_view title);

    int level() const noexcept { return level_; }
    const std::optional<std::string>& optionalName() const noexcept { return name_; }
    const NamePair* sectionNames() const override { return &section_; }

    void updateViewFlags() override;
    bool isEditable(int view) const override;
    void markEditChanged(int view) override;
    bool takeEditChanged(int view) override { return edit.changed.take(view); }

private:
    const std::optional<std::string> name_;
    const NamePair section_;
    const int level_;
    EditRights edit;
};

// A titled separator row.
class PHr : public Param {
public:
    PHr(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::string_view title)
        : Param(owner, viewMask, id, 34, title) {}
};

}  // namespace kestrava::params
