#pragma once

#include "codec/BackwardLpc11.h"
#include "codec/BackwardLpc16.h"
#include "codec/BackwardLpc3.h"
#include "codec/BackwardLpc5.h"
#include "codec/LevelClass.h"
#include "codec/PreFilter.h"
#include "codec/Quantizer.h"

#include <array>
#include <cstddef>
#include <memory>

class KestravaInstanceConfig;

namespace kestrava::codec {

template <class T, int N>
struct CodecTraits;

template <>
struct CodecTraits<double, 0> {
    using MainPredictor = BackwardLpc16;
    using ThirdPredictor = BackwardLpc5;
};

template <>
struct CodecTraits<float, 4> {
    using MainPredictor = BackwardLpc11;
    using ThirdPredictor = BackwardLpc3;
};

// The coding state of one predictive codec generation: Codec<double, 0> (codec versions 1 and 2)
// and Codec<float, 4> (codec version 3), the base part of their encoders. Channel A's members (index
// 0) and the third channel's belong to the thread that runs the block coder, channel B's (index 1) to
// the encoder's worker thread. Members are read and written directly by the coders. Every thread that
// codes runs with gradual underflow (kestrava::FloatMode::GradualUnderflow): the far end's decoder
// keeps subnormal values, so flushing them would change the reconstruction.
template <class T, int N>
class Codec {
public:
    using MainPredictor = typename CodecTraits<T, N>::MainPredictor;
    using ThirdPredictor = typename CodecTraits<T, N>::ThirdPredictor;
    using QuantizerType = Quantizer<T, 1>;
    // Raw 64-byte aligned storage for a stand-alone quantiser; null on failure. Replaceable for tests.
    using Allocate = void* (*)(std::size_t size);

    // Builds every member. A stand-alone quantiser that cannot be allocated prints
    // "Memory allocation of size %d failed.\n" on standard error and leaves that handle empty
    // (the encoder must refuse to code then); construction goes on with the next channel.
    explicit Codec(KestravaInstanceConfig* config, Allocate allocate = defaultAllocate);
    virtual ~Codec();

    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;

    // Fills the eight level classes of one quantiser record (counts and geometric part).
    static void initTables(LevelClass<T>* classes);
    static void* defaultAllocate(std::size_t size);

    KestravaInstanceConfig* config;
    alignas(64) std::array<MainPredictor, 2> predictors;
    alignas(64) ThirdPredictor thirdPredictor;
    alignas(64) std::array<std::shared_ptr<QuantizerType>, 2> quantizers;
    alignas(64) QuantizerType thirdQuantizer;
    alignas(64) std::array<PreFilter, 2> preFilters;
};

extern template class Codec<double, 0>;
extern template class Codec<float, 4>;

}  // namespace kestrava::codec
