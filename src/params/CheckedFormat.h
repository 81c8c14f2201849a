#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrava::params {

// printf-style value formats ("%d packets", "%+.2f dB (%.1f%%)", "%s") come from the settings
// tree and from translations, so they are never handed to printf as they stand. A format is
// parsed once; each conversion must take the argument type its position is given, width and
// precision are bounded, and "*" or "%n" are refused. Formatting a refused format gives "".
class CheckedFormat {
public:
    enum class Arg { integer, real, text };
    using Value = std::variant<std::int64_t, double, std::string_view>;

    CheckedFormat() = default;
    // `accepted`: the argument types the caller will pass, in order. A format may use fewer
    // conversions than there are arguments, never more.
    CheckedFormat(std::string_view format, std::initializer_list<Arg> accepted);

    bool valid() const noexcept { return ok; }
    int conversions() const noexcept { return static_cast<int>(specs.size()); }
    // At most `maxChars` characters.
    std::string format(std::initializer_list<Value> args, std::size_t maxChars = 8192) const;

    static constexpr int maxWidth = 64;
    static constexpr int maxPrecision = 32;

private:
    struct Piece {
        std::string literal;  // text before the conversion
        std::string spec;     // the conversion, rebuilt without length modifiers
        Arg arg = Arg::integer;
    };
    std::vector<Piece> specs;
    std::string tail;
    bool ok = false;
};

}  // namespace kestrava::params
