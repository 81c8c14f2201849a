#pragma once

#include "audio/demod/BandMask.h"
#include "audio/demod/CarrierTables.h"
#include "audio/demod/DemodKernels.h"
#include "audio/demod/PilotTracker.h"
#include "audio/SampleFifo.h"
#include "audio/demod/RampTables.h"
#include "platform/NonCopyable.h"

#include <algorithm>
#include <cstdint>

class KestravaInstanceConfig;

namespace kestrava::audio::demod {

// The MPX demodulator of one composite input. Frames of 4096 samples, 3072 apart, are windowed
// and transformed; the sum band and the 19 kHz pilot band are cut out of the spectrum, a
// phase-locked loop follows the pilot, and the regenerated 38 kHz and 57 kHz carriers bring the
// difference, quadrature and both RDS phases to base band. Left, right, RDS and quadrature are
// overlap-added into their rings and the pilot phase is appended to its own; each frame step makes
// 3072 more samples readable in every output ring, all for the same input positions.
//
// Threads: the producer appends to inputBuffer() without a lock; everything else (processFrames,
// readOutput, setSampleRate, reset and the published values) runs under the owner's mutex.
// Everything is allocated with the object (about 5.5 MB); nothing is allocated per frame.
class MPXD : kestrava::NonCopyable {
public:
    static constexpr std::uint32_t frameLength = 4096;
    static constexpr std::uint32_t hop = 3072;
    static constexpr std::uint32_t bufferFloats = 4128;
    static constexpr std::uint32_t ringCapacity = 192000;
    static constexpr std::uint32_t minSampleRate = 38400;
    static constexpr std::uint32_t maxSampleRate = 384000;

    using Ring = kestrava::audio::SampleFifo<float, ringCapacity>;
    using PilotRing = kestrava::audio::SampleFifo<float, frameLength>;

    // The configuration's logger takes the demodulator's and the rings' messages. The kernels are
    // the process's choice unless a test or benchmark names a build.
    explicit MPXD(KestravaInstanceConfig* config, const DemodKernels& kernels = demodKernels());

    // Builds the band masks and the loop's rate constants for a sample rate; false (and logged,
    // nothing changed) for a rate outside 38,400..384,000 Hz. The caller resets afterwards.
    bool setSampleRate(std::uint32_t rate);

    // Empties the pilot ring and the five output rings (counts and pending tails); the input ring,
    // the loop, the masks and the published values stay.
    void reset();

    // One frame step when 4096 input samples wait, else nothing.
    void processFrames();

    // Runs one frame step, then writes n = min(available, maximum, 3072) records (fields left,
    // right, quad, pilot, rds, mpx) from the output rings and the frame's raw composite samples.
    template <class Record>
    std::uint32_t readOutput(Record* records, std::uint32_t maximum) {
        const std::uint32_t n = collectOutput(maximum);
        for (std::uint32_t i = 0; i < n; ++i) {
            records[i].left = leftBuffer[i];
            records[i].right = rightBuffer[i];
            records[i].quad = quadBuffer[i];
            records[i].pilot = pilotBuffer[i];
            records[i].rds = rdsInPhaseBuffer[i];
            records[i].mpx = mpxBlock[i];
        }
        return n;
    }

    Ring& inputBuffer() { return input; }
    float pilotMeanSquare() const { return tracker.pilotMeanSquare; }
    bool rdsQuadrature() const { return rdsQuadratureFlag; }
    bool transformsAvailable() const { return fftReady; }

    // Read-only views for the owner's status and for checks.
    const PilotTracker& pilotTracker() const { return tracker; }
    const RampTables& ramps() const { return rampTables; }
    const CarrierTables& carriers() const { return carrierTables; }
    const BandMask& audioMask() const { return audio; }
    const BandMask& pilotMask() const { return pilot; }
    const BandMask& rdsMask() const { return rds; }
    const float* mpxSamples() const { return mpxBlock; }
    Ring& leftReconstructionBuffer() { return leftRing; }
    Ring& rightReconstructionBuffer() { return rightRing; }
    Ring& pilotOutputBuffer() { return pilotOutputRing; }
    Ring& rdsReconstructionBuffer() { return rdsRing; }
    Ring& quadReconstructionBuffer() { return quadRing; }
    PilotRing& pilotReconstructionBuffer() { return pilotRing; }

private:
    std::uint32_t collectOutput(std::uint32_t maximum);
    void skipFrame();
    static bool hasRoomForFrame(const Ring& ring);
    void mask(float* spectrum, const BandMask& band) const;
    void filter(float* buffer, const BandMask& band) const;
    void trackPilot();
    void mixCarriers();
    void decideRdsPhase();
    void writeOutputs();

    KestravaInstanceConfig* const config;
    const DemodKernels& kernels;
    bool fftReady = false;
    PilotTracker tracker;
    CarrierTables carrierTables;
    Ring input;
    alignas(64) float frame[bufferFloats];
    RampTables rampTables;
    alignas(64) float monoBuffer[bufferFloats];
    alignas(64) float differenceBuffer[bufferFloats];
    alignas(64) float pilotBuffer[bufferFloats];
    alignas(64) float rdsInPhaseBuffer[bufferFloats];
    alignas(64) float rdsQuadratureBuffer[bufferFloats];
    alignas(64) float quadBuffer[bufferFloats];
    alignas(64) float leftBuffer[bufferFloats];
    alignas(64) float rightBuffer[bufferFloats];
    alignas(64) float mpxBlock[3104];
    // The loop's phases for the frame's first 3072 samples, then the carriers' free-running
    // phases over the 1024 samples that the next frame completes.
    alignas(64) float pilotPhaseBuffer[frameLength];
    PilotRing pilotRing;
    Ring leftRing;
    Ring rightRing;
    Ring pilotOutputRing;
    Ring rdsRing;
    Ring quadRing;
    BandMask audio{0, 16500, 500};
    BandMask pilot{18675, 19325, 150};
    BandMask rds{0, 2375, 150};
    bool rdsQuadratureFlag = false;
};

}  // namespace kestrava::audio::demod
