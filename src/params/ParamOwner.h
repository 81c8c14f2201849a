#pragma once

#include "params/ids/ParamId.h"

#include <cstdint>
#include <string_view>

namespace kestrava::params {

class Param;
class TextCatalog;

// What a parameter needs of the settings store that owns it. The store lives in a higher layer
// and implements this; `ParamTable` is a ready-made implementation.
class ParamOwner {
public:
    virtual ~ParamOwner() = default;
    // The rights words of the client in a view (all bits set while access protection is off).
    virtual std::uint32_t viewRights(int view) const = 0;
    virtual std::uint32_t editRights(int view) const = 0;
    // The parameter registered under an id, or null.
    virtual Param* findParam(ParamId id) const = 0;
    // A user changed a value: the model's client-change and settings-changed flags are set and
    // the autosave is woken.
    virtual void userChanged() = 0;
    virtual const TextCatalog* translations() const { return nullptr; }
    // How far before now a client's displays end, in seconds (0 when a session starts).
    virtual float displayTimeOffset(int view) const { (void)view; return 0.0f; }
    // A problem worth a log line: a loaded value refused, a malformed request group.
    virtual void warning(std::string_view text) = 0;
};

}  // namespace kestrava::params
