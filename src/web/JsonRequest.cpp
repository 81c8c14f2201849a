#include "web/JsonRequest.h"
#include "web/RequestExcerpt.h"

#include "web/JsonText.h"

#include <algorithm>
#include <cstdio>

namespace kestrava::web {

namespace {

constexpr std::string_view prefix = "/json";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

std::string quoted(std::string_view word) {
    std::string text = "\"";
    text += word;
    text += '"';
    return text;
}

}  // namespace

std::string_view JsonRequest::bodyOf(std::string_view path) {
    if (path.size() <= prefix.size()) return {};
    const std::size_t slash = path.find('/', prefix.size());
    return slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
}

std::size_t JsonRequest::urlDecode(char* text, std::size_t length) {
    std::size_t in = 0;
    std::size_t out = 0;
    while (in < length) {
        const char c = text[in];
        if (c == '%' && in + 1 < length) {
            int value = hexValue(text[in + 1]) << 4;
            if (in + 2 < length) value |= hexValue(text[in + 2]);
            text[out++] = static_cast<char>(value);
            in += 3;
        } else {
            text[out++] = c == '+' ? ' ' : c;
            ++in;
        }
    }
    return out;
}

JsonRequest::Result JsonRequest::parse(std::string_view body, JsonReply& reply, const ObjectHandler& onObject) {
    if (const std::size_t zero = body.find('\0'); zero != std::string_view::npos) body = body.substr(0, zero);
    Result result;
    auto note = [&](std::string_view word, std::size_t at) {
        if (result.error.empty()) {
            result.error = word;
            result.errorAt = at;
        }
    };
    auto fail = [&](std::string_view word, std::size_t at) {
        reply.entry(quoted(word));
        note(word, at);
    };

    clearMembers();
    colonSeen.fill(false);
    memberIndex.fill(0);
    reply.open();
    int depth = 0;
    std::optional<std::string_view> idText;
    bool stop = false;
    bool endNow = false;
    std::size_t i = 0;
    while (i < body.size() && !stop && !endNow) {
        const std::size_t at = i;
        const char c = body[i++];
        switch (c) {
            case '{':
                if (++depth > maxDepth) {
                    fail("ERROR_TOO_MANY_OPENING_BRACKETS", at);
                    stop = true;
                    depth = maxDepth;
                } else if (depth == 2) {
                    clearMembers();
                }
                colonSeen[static_cast<std::size_t>(depth)] = false;
                memberIndex[static_cast<std::size_t>(depth)] = 0;
                break;
            case '}':
                if (--depth < 0) {
                    fail("ERROR_TOO_MANY_CLOSING_BRACKETS", at);
                    depth = 0;
                    endNow = true;
                } else if (depth == 1) {
                    if (!idText) {
                        fail("ERROR_NO_ID_SENT", at);
                        endNow = true;
                        break;
                    }
                    std::optional<std::string_view> newValue;
                    for (const Member& m : members) {
                        if (!m.key) break;
                        if (*m.key == "forced") continue;
                        if (*m.key == "new_value") {
                            newValue = m.value;
                            continue;
                        }
                        std::string entry = "\"UNKNOWN_KEY_RECEIVED\": \"";
                        JsonText::appendEscaped(entry, JsonText::fromRequest(*m.key));
                        entry += '"';
                        reply.entry(entry);
                        note("UNKNOWN_KEY_RECEIVED", at);
                        stop = true;
                    }
                    onObject(reply, JsonText::readInteger(*idText), newValue);
                    idText.reset();
                }
                break;
            case ',': {
                const auto d = static_cast<std::size_t>(depth);
                if (!colonSeen[d]) {
                    fail("ERROR_COMMA_FOUND_BEFORE_VALUE_FOR_KEY", at);
                    stop = true;
                }
                colonSeen[d] = false;
                memberIndex[d] = std::min(memberIndex[d] + 1, maxMembers - 1);
                break;
            }
            case ':': {
                const auto d = static_cast<std::size_t>(depth);
                if (colonSeen[d]) {
                    fail("ERROR_SEMICOLON_FOUND_WITHOUT_KEY", at);
                    stop = true;
                }
                colonSeen[d] = true;
                break;
            }
            case '"': {
                const std::size_t close = body.find('"', i);
                if (close == std::string_view::npos) {
                    fail("ERROR_REACHED_END_WITHOUT_CLOSING_QUITE", at);
                    stop = true;
                    break;
                }
                const std::string_view text = body.substr(i, close - i);
                i = close + 1;
                if (depth == 1) {
                    idText = text;
                } else if (depth == 2) {
                    Member& m = members[static_cast<std::size_t>(memberIndex[2])];
                    (colonSeen[2] ? m.value : m.key) = text;
                }
                break;
            }
            default:
                break;
        }
    }
    reply.close();
    if (depth != 0) {
        reply.entry(quoted("ERROR_NOT_ALL_BRACKETS_MATCHED"));
        note("ERROR_NOT_ALL_BRACKETS_MATCHED", body.size());
    }
    return result;
}

std::string JsonRequest::diagnostic(std::string_view body, const Result& result) {
    std::string line = "Bad /json request: ";
    line += result.error;
    line += " - ";
    const std::string_view rest = result.errorAt < body.size() ? body.substr(result.errorAt) : std::string_view{};
    appendRequestExcerpt(line, rest);
    if (rest.empty()) line += "(end of request)";
    return line;
}

}  // namespace kestrava::web
