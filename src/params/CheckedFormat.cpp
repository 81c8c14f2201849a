#include "params/CheckedFormat.h"

#include <cstdio>
#include <cstring>

namespace kestrava::params {

namespace {

bool typeFits(char conversion, CheckedFormat::Arg wanted) {
    switch (conversion) {
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
            return wanted == CheckedFormat::Arg::integer;
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
            return wanted == CheckedFormat::Arg::real;
        case 's':
            return wanted == CheckedFormat::Arg::text;
        default:
            return false;
    }
}

}  // namespace

CheckedFormat::CheckedFormat(std::string_view format, std::initializer_list<Arg> accepted) {
    std::vector<Arg> args(accepted);
    std::string literal;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%') {
            literal.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            literal.push_back('%');
            i += 2;
            continue;
        }
        std::string spec = "%";
        ++i;
        while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr) spec.push_back(format[i++]);
        int width = 0;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
            width = width * 10 + (format[i] - '0');
            if (width > maxWidth) return;
            spec.push_back(format[i++]);
        }
        if (i < format.size() && format[i] == '.') {
            spec.push_back(format[i++]);
            int precision = 0;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                precision = precision * 10 + (format[i] - '0');
                if (precision > maxPrecision) return;
                spec.push_back(format[i++]);
            }
        }
        while (i < format.size() && std::strchr("hlLqjzt", format[i]) != nullptr) ++i;  // sizes are ours
        if (i >= format.size()) return;
        const char conversion = format[i++];
        const std::size_t index = specs.size();
        if (index >= args.size() || !typeFits(conversion, args[index])) return;
        const Arg arg = args[index];
        if (arg == Arg::integer) spec += "ll";
        spec.push_back(conversion);
        specs.push_back(Piece{std::move(literal), std::move(spec), arg});
        literal.clear();
    }
    tail = std::move(literal);
    ok = true;
}

std::string CheckedFormat::format(std::initializer_list<Value> args, std::size_t maxChars) const {
    if (!ok) return {};
    std::string out;
    const Value* arg = args.begin();
    char buffer[512];  // the widest double with the bounded precision fits
    for (const Piece& p : specs) {
        out += p.literal;
        if (arg == args.end()) break;
        int n = 0;
        if (p.arg == Arg::integer) {
            const auto* v = std::get_if<std::int64_t>(arg);
            n = std::snprintf(buffer, sizeof buffer, p.spec.c_str(), static_cast<long long>(v ? *v : 0));
        } else if (p.arg == Arg::real) {
            const auto* v = std::get_if<double>(arg);
            n = std::snprintf(buffer, sizeof buffer, p.spec.c_str(), v ? *v : 0.0);
        } else {
            const auto* v = std::get_if<std::string_view>(arg);
            const std::string text(v ? *v : std::string_view{});
            // A text may be long: size the output first.
            const int need = std::snprintf(nullptr, 0, p.spec.c_str(), text.c_str());
            if (need > 0) {
                std::string piece(static_cast<std::size_t>(need) + 1, '\0');
                std::snprintf(piece.data(), piece.size(), p.spec.c_str(), text.c_str());
                piece.resize(static_cast<std::size_t>(need));
                out += piece;
            }
            ++arg;
            if (out.size() > maxChars) break;
            continue;
        }
        if (n > 0) out.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n) : sizeof buffer - 1);
        ++arg;
        if (out.size() > maxChars) break;
    }
    out += tail;
    if (out.size() > maxChars) out.resize(maxChars);
    return out;
}

}  // namespace kestrava::params
