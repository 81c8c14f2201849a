#include "FloatLevels.h"

namespace streamdecoder {

namespace {

struct ClassRule {
    std::uint32_t linearLimit;
    double ratio;
};

// The smallest linear limit L with L * (r - 1) >= 1, and the ratio r itself.
constexpr ClassRule classRules[floatLevelClassCount] = {
    {3, 1.42},      {6, 1.175},     {13, 1.0775},     {29, 1.03475},
    {65, 1.0156},   {144, 1.00698}, {325, 1.003085},  {748, 1.00133725},
};

std::array<FloatLevelClass, floatLevelClassCount> buildClasses() {
    std::array<FloatLevelClass, floatLevelClassCount> classes;
    for (int k = 0; k < floatLevelClassCount; ++k) {
        FloatLevelClass& c = classes[static_cast<std::size_t>(k)];
        c.count = 32u << k;
        c.bits = 5u + static_cast<std::uint32_t>(k);
        c.linearLimit = classRules[k].linearLimit;
        for (std::uint32_t i = 0; i < c.linearLimit; ++i) c.levels[i] = static_cast<float>(i);
        // Rounding the running product, never keeping it in float, is what fixes the last bits.
        double v = c.linearLimit;
        for (std::uint32_t i = c.linearLimit; i < c.count; ++i) {
            c.levels[i] = static_cast<float>(v);
            v = v * classRules[k].ratio;
        }
    }
    return classes;
}

}  // namespace

const std::array<FloatLevelClass, floatLevelClassCount>& floatLevelClasses() {
    static const std::array<FloatLevelClass, floatLevelClassCount> classes = buildClasses();
    return classes;
}

}  // namespace streamdecoder
