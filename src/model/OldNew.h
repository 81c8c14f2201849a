#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrava::model {

// A value a user edits that takes effect only when confirmed: the committed side is what the
// system acts on, the pending side is what the editing rows and login fields write into.
template <class T>
class OldNew {
public:
    OldNew() = default;
    explicit OldNew(T both) : oldValue(both), newValue(both) {}
    OldNew(T committed, T pending) : oldValue(committed), newValue(pending) {}

    bool isChanged() const { return oldValue != newValue; }
    void accept() { oldValue = newValue; }
    void revert() { newValue = oldValue; }
    void init(T v) { oldValue = newValue = v; }

    T oldValue{};
    T newValue{};
};

// A text of at most N characters on each side. Texts are cut at N characters and at an embedded
// NUL, as the fixed buffers of the settings rows hold them, so two texts that agree in their
// first N characters are equal.
template <std::size_t N>
class OldNew_cstr {
public:
    static constexpr std::size_t maxLength = N;

    static std::string fit(std::string_view text) {
        const std::size_t nul = text.find('\0');
        if (nul != std::string_view::npos) text = text.substr(0, nul);
        return std::string(text.substr(0, N));
    }

    bool isChanged() const { return oldValue != newValue; }
    void accept() { oldValue = newValue; }
    void revert() { newValue = oldValue; }
    void init(std::string_view v) { oldValue = newValue = fit(v); }
    void setOld(std::string_view v) { oldValue = fit(v); }
    void setNew(std::string_view v) { newValue = fit(v); }
    const std::string& committed() const { return oldValue; }
    const std::string& pending() const { return newValue; }

private:
    std::string oldValue;
    std::string newValue;
};

}  // namespace kestrava::model
