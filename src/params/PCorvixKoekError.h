#pragma once

#include "logging/StatusDisplay.h"
#include "params/Param.h"

#include <array>
#include <mutex>
#include <string>
#include <vector>

namespace kestrava::params {

// The page's list of user-visible status messages: 64 entries, each with its key, its text (the
// first 256 characters) and how often it was added since it was last dismissed. Posting threads
// add and replace entries while web workers dismiss and write them, all under one mutex. A view
// receives only the entries that changed since it was last served (all 64 when forced or
// expanded); the client replaces entry i with each record it reads.
class PCorvixKoekError : public Param, public StatusDisplay {
public:
    static constexpr int entryCount = 64;
    static constexpr std::size_t maxTextChars = 256;

    struct Entry {
        std::int32_t key = 0;
        std::string text;
        std::int32_t count = 0;
    };

    PCorvixKoekError(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::string_view name);

    void addError(const char* text, std::int32_t key) override;
    bool replaceError(std::int32_t replaceKey, std::int32_t key, const char* text) override;
    void addError(std::string_view text, std::int32_t key);
    // The entry with this key takes the text with count 1; without one, the text is added.
    void replaceError(std::int32_t key, std::string_view text);
    // Clears entry index (0..63), or every entry for -1; true when something was cleared.
    bool dismissError(std::int32_t index);
    std::vector<Entry> entries() const;

    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;

private:
    struct Slot {
        Entry entry;
        std::uint32_t pendingViews = 0;  // views that have not received this entry's change
    };
    void changed(Slot& s);

    mutable std::mutex mutex;
    std::array<Slot, entryCount> slots;
};

}  // namespace kestrava::params
