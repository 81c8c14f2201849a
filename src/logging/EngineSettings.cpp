#include "logging/EngineSettings.h"

std::string EngineSettings::getText(int index) const {
    if (index < 0 || index >= textCount) return {};
    std::lock_guard lock(textMutex);
    return texts[index];
}

void EngineSettings::setText(int index, const std::string& text) {
    if (index < 0 || index >= textCount) return;
    std::lock_guard lock(textMutex);
    texts[index] = text;
}

std::string EngineSettings::exchangeText(int index, const std::string& text) {
    if (index < 0 || index >= textCount) return {};
    std::lock_guard lock(textMutex);
    std::string old = std::move(texts[index]);
    texts[index] = text;
    return old;
}
