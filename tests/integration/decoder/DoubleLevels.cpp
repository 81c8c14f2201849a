#include "DoubleLevels.h"

namespace streamdecoder {

namespace {

struct ClassRule {
    std::uint32_t count, linearLimit;
    double ratio;
};

constexpr ClassRule rules[8] = {
    {32, 3, 1.42},     {64, 6, 1.175},     {128, 13, 1.0775},    {256, 29, 1.03475},
    {512, 65, 1.0156}, {1024, 144, 1.00698}, {2048, 325, 1.003085}, {4096, 748, 1.00133725},
};

std::array<DoubleLevelClass, 8> build() {
    std::array<DoubleLevelClass, 8> classes;
    for (std::size_t k = 0; k < classes.size(); ++k) {
        DoubleLevelClass& c = classes[k];
        c.linearLimit = rules[k].linearLimit;
        c.levels.resize(rules[k].count);
        for (std::uint32_t i = 0; i <= c.linearLimit; ++i) c.levels[i] = static_cast<double>(i);
        // The running product is the definition; a power function differs in the last bits.
        for (std::uint32_t i = c.linearLimit + 1; i < rules[k].count; ++i) c.levels[i] = c.levels[i - 1] * rules[k].ratio;
    }
    return classes;
}

}  // namespace

const std::array<DoubleLevelClass, 8>& doubleLevelClasses() {
    static const std::array<DoubleLevelClass, 8> classes = build();
    return classes;
}

}  // namespace streamdecoder
