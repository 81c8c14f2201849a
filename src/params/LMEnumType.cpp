#include "params/LMEnumType.h"

#include "params/TextCatalog.h"

namespace kestrava::params {

namespace {
int capacityFor(std::string_view label) {
    int c = 2 * static_cast<int>(std::min<std::size_t>(label.size(), 1024));
    if (c >= 256) c = 256;
    if (c < 128) c = 128;
    return c;
}
}  // namespace

LMEnumType_Static::LMEnumType_Static(std::int32_t v, std::string_view k, std::string_view l)
    : LMEnumType(v, 0, true), capacity(capacityFor(l)),
      label(l.substr(0, std::min<std::size_t>(l.size(), static_cast<std::size_t>(capacity)))), key(k),
      sourceLabel(l) {}

int LMEnumType_Static::getLabelLength() const {
    std::lock_guard lock(labelMutex);
    return static_cast<int>(label.size());
}

std::string LMEnumType_Static::getLabel() const {
    std::lock_guard lock(labelMutex);
    return label;
}

bool LMEnumType_Static::retranslate(const TextCatalog* catalog, bool translatable) {
    std::lock_guard lock(labelMutex);
    return translateInto(label, static_cast<std::size_t>(capacity), catalog, sourceLabel, TextMode::label,
                         translatable);
}

void LMEnumType_Static::exportTexts(TextExport& out) const { out.add(sourceLabel, TextMode::label); }

}  // namespace kestrava::params
