#include "codec/Quantizer.h"

namespace kestrava::codec {

namespace {

// Double levels of class k into `out` from index linearLimit on: one rounded multiplication per step.
template <class Store>
void generateClass(int k, Store store) {
    const LevelClassParameters& p = levelClassParameters[k];
    double level = static_cast<double>(p.linearLimit);
    for (std::uint32_t i = p.linearLimit; i < p.levelCount; ++i) {
        store(i, level);
        level = level * p.ratio;
    }
}

template <class T>
void fillClasses(LevelClass<T>* classes) {
    for (int k = 0; k < levelClassCount; ++k) {
        LevelClass<T>& c = classes[k];
        generateClass(k, [&c](std::uint32_t i, double level) { c.levels[i] = static_cast<T>(level); });
        c.levelCount = levelClassParameters[k].levelCount;
        c.levelBits = static_cast<std::uint32_t>(5 + k);
        c.linearLimit = levelClassParameters[k].linearLimit;
    }
}

}  // namespace

void fillLevelClasses(LevelClass<double>* classes) { fillClasses(classes); }
void fillLevelClasses(LevelClass<float>* classes) { fillClasses(classes); }

template <class T, int N>
Quantizer<T, N>::Quantizer() : minStepFactor(static_cast<T>(100000.0)), minStep(static_cast<T>(0x1p-15)) {
    fillLevelClasses(levelClasses);
    for (LevelClass<T>& c : levelClasses) {
        for (std::uint32_t i = 0; i < c.linearLimit; ++i) c.levels[i] = static_cast<T>(i);
    }
}

template struct Quantizer<double, 1>;
template struct Quantizer<float, 1>;

}  // namespace kestrava::codec
