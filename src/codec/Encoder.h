#pragma once

#include "codec/Codec.h"
#include "codec/EncoderKernels.h"
#include "codec/EncoderSemaphore.h"
#include "codec/EncoderState.h"
#include "platform/AlignedNew.h"

#include <atomic>
#include <cstdint>
#include <thread>

class KestravaInstanceConfig;

namespace kestrava::codec {

// The encoder of codec versions 1 and 2 (Encoder<double, 0>) and of version 3 (Encoder<float, 4>):
// the codec state, the coder and rate-control state, and a worker thread that codes the second main
// channel of every block while the calling thread codes the first.
//
// Contract for the frame encoder (one feed thread per encoder):
//  - Build it with `new` (AlignedNew: null when storage is missing) and keep it in a shared pointer;
//    check ready() before use. The constructor starts the worker at the configuration's encoder
//    priority and affinity mask; the configuration must outlive the encoder.
//  - Before the first block: the reset capture loads the channel states, then the rate controller's
//    configure() runs (RateController.h). Between blocks only the feed thread touches the state.
//  - encodeBlock() codes one block; after the frame is sent, RateController<T>::update().
//  - Destroying the encoder stops and joins the worker, whether it waits or codes a block (it
//    finishes the block first). The feed thread holds its own shared pointer for the whole of
//    encodeBlock(), so the encoder is never destroyed under it; a block coder woken by the
//    semaphores' close returns 1 without output.
//  - Requires a configuration (its logger, encoder priority and affinity mask are read).
template <class T, int N>
class Encoder : public kestrava::AlignedNew, public Codec<T, N> {
public:
    static constexpr std::uint32_t planeStride = 8192;      // samples per input or code plane
    static constexpr std::uint32_t maxBlockLength = 8192;

    explicit Encoder(KestravaInstanceConfig* config, const EncoderKernels& kernels = encoderKernels());
    ~Encoder() override;

    // Both quantisers exist (their allocation can fail) and the worker runs.
    bool ready() const;

    // Codes n samples of three planes (planeStride apart: first main, second main, third channel)
    // into three code planes of the same layout. Plane 0 is pre-filtered in place; with monoMode
    // (float coder) planes 0 and 1 are first replaced by their average. Writes *energy (squared
    // reconstructions of both main channels) and *codeCount (2n); returns 1 when every third-channel
    // code is 0, else 0. Returns 1 and writes nothing when stopped, when n > maxBlockLength or when
    // the encoder is not ready(). reconstructionPlanes, when given, receives the reconstructed samples
    // of the three channels in the planes' layout (the main channels' after their pre-filter).
    std::uint32_t encodeBlock(float* planes, std::int32_t* codePlanes, std::uint32_t n, float* energy,
                              std::uint32_t* codeCount, float* reconstructionPlanes = nullptr);

    EncoderState<T> state;
    EncoderSemaphore workSemaphore;
    EncoderSemaphore doneSemaphore;
    std::atomic<bool> running{true};
    alignas(64) float workerInput[maxBlockLength];
    alignas(64) std::int32_t mainCodes[2][maxBlockLength];
    std::uint32_t blockLength = 0;
    float workerEnergy = 0.0f;
    alignas(64) T mainSteps[2][maxBlockLength];
    alignas(64) float mainReconstruction[2][maxBlockLength];  // row c: channel c's reconstruction

private:
    void workerThread();
    // Pre-filters x in place and codes it with channel c's state into row c; returns its energy.
    float codeMainChannel(int c, float* x, std::uint32_t n);

    const EncoderKernels& kernels;
    std::thread worker;  // last: started when everything above is built
};

extern template class Encoder<double, 0>;
extern template class Encoder<float, 4>;

}  // namespace kestrava::codec
