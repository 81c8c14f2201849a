#include "texts/TranslationTable.h"

#include <cstring>

namespace kestrava::texts {

const std::string* TranslationTable::find(std::string_view key) const {
    const auto it = entries.find(std::string(key));
    return it == entries.end() ? nullptr : &it->second;
}

std::string& TranslationTable::emplace(std::string_view key) {
    return entries.try_emplace(std::string(key)).first->second;
}

namespace {

// "C" locale classes, ASCII only: bytes of 0x80 and above are never digits.
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

void appendPlaceholder(std::string& key, std::vector<std::string>& arguments) {
    key += '{';
    key += std::to_string(arguments.size());
    key += '}';
    arguments.emplace_back();
}

std::string numbersKey(std::string_view text, std::vector<std::string>& arguments) {
    std::string key;
    bool inRun = false;
    for (const char byte : text) {
        if (byte == '\0') break;
        if (isDigit(static_cast<unsigned char>(byte))) {
            if (!inRun) appendPlaceholder(key, arguments);
            inRun = true;
            arguments.back() += byte;
        } else {
            key += byte;
            inRun = false;
        }
    }
    return key;
}

bool isConversion(char c) {
    return c != '\0' && std::strchr("AEFGXacdefginopsux%", c) != nullptr;
}

std::string formatKey(std::string_view text, std::vector<std::string>& arguments) {
    // Reading past the end of the text reads a NUL byte.
    const auto at = [&](std::size_t j) { return j < text.size() ? text[j] : '\0'; };
    std::string key;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            key += text[i++];
            continue;
        }
        std::size_t j = i + 1;
        while (at(j) != '\0' && std::strchr("-+ #0", at(j)) != nullptr) ++j;
        while (isDigit(static_cast<unsigned char>(at(j)))) ++j;
        if (at(j) == '.') {
            ++j;
            while (isDigit(static_cast<unsigned char>(at(j)))) ++j;
        }
        if (at(j) != '\0' && std::strchr("hlLjzt", at(j)) != nullptr) {
            ++j;
            if (at(j) == 'l') ++j;
        }
        if (!isConversion(at(j))) {
            key += text[i++];  // an ordinary '%'; the scanned bytes follow one by one
            continue;
        }
        ++j;
        if (at(j) == '$') ++j;
        appendPlaceholder(key, arguments);
        arguments.back().assign(text.substr(i, j - i));
        i = j;
    }
    return key;
}

// Copies at most size - 1 bytes of text and NUL-fills the rest; the last byte is always NUL.
void copyToBuffer(char* buffer, int size, const char* text) {
    const auto n = static_cast<std::size_t>(size);
    std::strncpy(buffer, text, n - 1);
    buffer[n - 1] = '\0';
}

}  // namespace

std::string makeTranslationKey(std::string_view text, TranslationKeyMode mode, std::vector<std::string>& arguments) {
    switch (mode) {
    case TranslationKeyMode::Numbers: return numbersKey(text, arguments);
    case TranslationKeyMode::Format: return formatKey(text, arguments);
    }
    return {};
}

void substituteArguments(std::string& text, const std::vector<std::string>& arguments) {
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const std::string placeholder = '{' + std::to_string(k) + '}';
        const std::size_t at = text.find(placeholder);
        if (at != std::string::npos) text.replace(at, placeholder.size(), arguments[k]);
    }
}

bool translateText(const TranslationTable& table, char* buffer, int bufferSize, const char* text,
                   TranslationKeyMode mode, bool enabled) {
    if (buffer == nullptr || bufferSize <= 0 || text == nullptr) return false;
    if (enabled) {
        std::vector<std::string> arguments;
        const std::string key = makeTranslationKey(text, mode, arguments);
        if (!key.empty()) {
            const std::string* translated = table.find(key);
            if (translated != nullptr && !translated->empty()) {
                std::string shown = *translated;
                substituteArguments(shown, arguments);
                copyToBuffer(buffer, bufferSize, shown.c_str());
                return true;
            }
        }
    }
    if (std::strncmp(buffer, text, static_cast<std::size_t>(bufferSize)) == 0) return false;
    copyToBuffer(buffer, bufferSize, text);
    return true;
}

}  // namespace kestrava::texts
