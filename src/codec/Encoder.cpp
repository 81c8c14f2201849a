#include "codec/Encoder.h"

#include "logging/KestravaInstanceConfig.h"
#include "platform/ThreadSetup.h"

#include <cstring>
#include <type_traits>

namespace kestrava::codec {

template <class T, int N>
Encoder<T, N>::Encoder(KestravaInstanceConfig* config, const EncoderKernels& kernels)
    : Codec<T, N>(config), kernels(kernels) {
    std::memset(workerInput, 0, sizeof workerInput);
    std::memset(mainCodes, 0, sizeof mainCodes);
    std::memset(mainSteps, 0, sizeof mainSteps);
    std::memset(mainReconstruction, 0, sizeof mainReconstruction);
    kestrava::ThreadOptions options;
    options.name = "KestravaEncWork";
    options.priority = config->engine.encoderPriority.load();
    options.affinityMask = config->affinityMask;
    // The far end's decoder keeps subnormal results, so the worker must too.
    options.floatMode = kestrava::FloatMode::GradualUnderflow;
    worker = kestrava::startThread(std::move(options), [this] { workerThread(); });
}

template <class T, int N>
Encoder<T, N>::~Encoder() {
    running.store(false);
    workSemaphore.close();
    doneSemaphore.close();
    if (worker.joinable()) worker.join();
}

template <class T, int N>
bool Encoder<T, N>::ready() const {
    return this->quantizers[0] != nullptr && this->quantizers[1] != nullptr && worker.joinable();
}

template <class T, int N>
void Encoder<T, N>::workerThread() {
    KestravaLogger::Logger& logger = this->config->logger;
    logger.log(1, KestravaLogger::Trace, "Starting encoder worker thread");
    while (running.load()) {
        workSemaphore.acquire();
        if (!running.load()) return;  // woken by the stop while idle: no closing line
        const std::uint32_t n = blockLength;
        workerEnergy = codeMainChannel(1, workerInput, n);
        doneSemaphore.release(1);
    }
    logger.log(1, KestravaLogger::Trace, "Encoder worker thread stopped");
}

template <class T, int N>
float Encoder<T, N>::codeMainChannel(int c, float* x, std::uint32_t n) {
    this->preFilters[c].process(x, n, *kernels.core);
    if constexpr (std::is_same_v<T, double>) {
        return kernels.codeMainDouble(this->predictors[c], state.histories[c], state.rateStates[c],
                                      *this->quantizers[c], x, n, mainCodes[c], mainSteps[c], mainReconstruction[c], *kernels.core);
    } else {
        return kernels.codeMainFloat(this->predictors[c], state.histories[c], state.rateStates[c],
                                     *this->quantizers[c], x, n, mainCodes[c], mainSteps[c], mainReconstruction[c], *kernels.core);
    }
}

template <class T, int N>
std::uint32_t Encoder<T, N>::encodeBlock(float* planes, std::int32_t* codePlanes, std::uint32_t n, float* energy,
                                         std::uint32_t* codeCount, float* reconstructionPlanes) {
    if (n > maxBlockLength || !ready()) return 1;
    float* first = planes;
    float* second = planes + planeStride;
    float* third = planes + 2 * planeStride;
    if constexpr (std::is_same_v<T, float>) {
        if (state.monoMode) {
            for (std::uint32_t i = 0; i < n; ++i) {
                const float average = 0.5f * (first[i] + second[i]);
                first[i] = average;
                second[i] = average;
            }
        }
    }
    std::memcpy(workerInput, second, n * sizeof(float));
    blockLength = n;
    workSemaphore.release(1);
    const float firstEnergy = codeMainChannel(0, first, n);
    doneSemaphore.acquire();
    if (!running.load()) return 1;
    std::memcpy(codePlanes, mainCodes[0], n * sizeof(std::int32_t));
    std::memcpy(codePlanes + planeStride, mainCodes[1], n * sizeof(std::int32_t));
    std::int32_t* thirdCodes = codePlanes + 2 * planeStride;
    float* thirdReconstruction = nullptr;
    if (reconstructionPlanes != nullptr) {
        std::memcpy(reconstructionPlanes, mainReconstruction[0], n * sizeof(float));
        std::memcpy(reconstructionPlanes + planeStride, mainReconstruction[1], n * sizeof(float));
        thirdReconstruction = reconstructionPlanes + 2 * planeStride;
    }
    const LevelClass<T>& thirdTable = this->thirdQuantizer.levelClasses[state.rateStates[2].levelClass];
    std::uint32_t silent;
    if constexpr (std::is_same_v<T, double>) {
        silent = kernels.codeThirdDouble(this->thirdPredictor, state.histories[2], thirdTable, third, n, mainSteps[0],
                                         mainSteps[1], thirdCodes, thirdReconstruction, *kernels.core);
    } else {
        silent = kernels.codeThirdFloat(this->thirdPredictor, state.histories[2], thirdTable, third, n, mainSteps[0],
                                        mainSteps[1], thirdCodes, thirdReconstruction, *kernels.core);
    }
    *energy = firstEnergy + workerEnergy;
    *codeCount = 2 * n;
    return silent;
}

template class Encoder<double, 0>;
template class Encoder<float, 4>;

}  // namespace kestrava::codec
