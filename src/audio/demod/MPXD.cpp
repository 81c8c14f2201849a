#include "audio/demod/MPXD.h"

#include "logging/KestravaInstanceConfig.h"
#include "platform/RealFft.h"

#include <cstring>

namespace kestrava::audio::demod {

using kestrava::RealFft;

namespace {

constexpr int fftOrder = 12;

void copyBuffer(float* to, const float* from) { std::memcpy(to, from, MPXD::bufferFloats * sizeof(float)); }

}  // namespace

MPXD::MPXD(KestravaInstanceConfig* config, const DemodKernels& kernels)
    : config(config),
      kernels(kernels),
      input("MPXD.inputBuffer", config),
      pilotRing("MPXD.pilotReconstructionBuffer", config),
      leftRing("MPXD.leftReconstructionBuffer", config),
      rightRing("MPXD.rightReconstructionBuffer", config),
      pilotOutputRing("MPXD.pilotOutputBuffer", config),
      rdsRing("MPXD.rdsReconstructionBuffer", config),
      quadRing("MPXD.quadReconstructionBuffer", config) {
    RealFft::prepare();
    fftReady = RealFft::hasPlan(fftOrder);
    if (!fftReady) {
        config->logger.log(1, KestravaLogger::Error, "Demodulator: no 4096-point FFT plan, unable to demodulate");
    }
    for (float* buffer : {frame, monoBuffer, differenceBuffer, pilotBuffer, rdsInPhaseBuffer, rdsQuadratureBuffer,
                          quadBuffer, leftBuffer, rightBuffer}) {
        std::memset(buffer, 0, bufferFloats * sizeof(float));
    }
    // Until the first frame the composite field reads as the records' default, 1.0 then zeros.
    std::memset(mpxBlock, 0, sizeof mpxBlock);
    mpxBlock[0] = 1.0f;
    std::memset(pilotPhaseBuffer, 0, sizeof pilotPhaseBuffer);
}

bool MPXD::setSampleRate(std::uint32_t rate) {
    if (rate < minSampleRate || rate > maxSampleRate) {
        config->logger.log(1, KestravaLogger::Error,
                           "Demodulator: sample rate {} Hz refused (accepted: {} to {} Hz), keeping {} Hz", rate,
                           minSampleRate, maxSampleRate, audio.sampleRate);
        return false;
    }
    audio.setSampleRate(rate);
    pilot.setSampleRate(rate);
    rds.setSampleRate(rate);
    tracker.setSampleRate(rate);
    return true;
}

void MPXD::reset() {
    config->logger.log(1, KestravaLogger::Info, "Demodulator reset");
    pilotRing.reset();
    leftRing.reset();
    rightRing.reset();
    pilotOutputRing.reset();
    rdsRing.reset();
    quadRing.reset();
}

void MPXD::mask(float* spectrum, const BandMask& band) const {
    kernels.applyBandMask(spectrum, band.gains, band.passStart, band.passEnd, band.zeroStart);
}

// Forward transform, mask, inverse transform, in place.
void MPXD::filter(float* buffer, const BandMask& band) const {
    RealFft::forward(fftOrder, buffer);
    mask(buffer, band);
    RealFft::inverse(fftOrder, buffer);
}

// Without transforms nothing can be demodulated: the frame is consumed so that the input keeps
// flowing, and no output is made.
void MPXD::skipFrame() { input.readSliding(frame, frameLength, hop); }

bool MPXD::hasRoomForFrame(const Ring& ring) { return ring.available() + frameLength <= ringCapacity; }

void MPXD::processFrames() {
    if (input.available() < frameLength) return;
    if (!fftReady) {
        skipFrame();
        return;
    }

    // Intake: the frame, its raw first 3072 samples, the analysis window, three time-domain copies
    // for the mixing, the spectrum.
    input.readSliding(frame, frameLength, hop);
    std::memcpy(mpxBlock, frame, hop * sizeof(float));
    kernels.taper(frame, rampTables.analysisWindow);
    copyBuffer(differenceBuffer, frame);
    copyBuffer(rdsInPhaseBuffer, frame);
    copyBuffer(rdsQuadratureBuffer, frame);
    RealFft::forward(fftOrder, frame);

    // Sum band (L+R).
    copyBuffer(monoBuffer, frame);
    mask(monoBuffer, audio);
    RealFft::inverse(fftOrder, monoBuffer);

    // Pilot band, joined across frames in its own ring.
    copyBuffer(pilotBuffer, frame);
    mask(pilotBuffer, pilot);
    RealFft::inverse(fftOrder, pilotBuffer);
    kernels.taper(pilotBuffer, rampTables.synthesisWindow);
    pilotRing.writeOverlapped(pilotBuffer, frameLength, hop);

    trackPilot();
    mixCarriers();

    filter(differenceBuffer, audio);
    filter(quadBuffer, audio);
    filter(rdsInPhaseBuffer, rds);
    filter(rdsQuadratureBuffer, rds);
    decideRdsPhase();
    kernels.stereoMatrix(monoBuffer, differenceBuffer, leftBuffer, rightBuffer);
    writeOutputs();
}

void MPXD::trackPilot() {
    pilotRing.readSliding(pilotBuffer, hop, hop);
    tracker.track(pilotBuffer, pilotPhaseBuffer, hop);
    pilotOutputRing.write(pilotBuffer, hop);
}

// The settled phases cover the frame's first 3072 samples; over the last 1024 the carriers run on
// from the last phase at the loop's final frequency, by repeated addition.
void MPXD::mixCarriers() {
    const float increment = tracker.pilotIncrement * tracker.inverseTwoPi;
    float phase = pilotPhaseBuffer[hop - 1];
    for (std::uint32_t i = hop; i < frameLength; ++i) {
        phase = phase + increment;
        if (phase >= 1.0f) phase = phase - 1.0f;
        pilotPhaseBuffer[i] = phase;
    }
    kernels.mixCarriers(pilotPhaseBuffer, carrierTables.carrierTable, carrierTables.rdsQuadratureCarrierTable,
                        differenceBuffer, quadBuffer, rdsInPhaseBuffer, rdsQuadratureBuffer);
}

// Scalar and in index order in every build: the choice between nearly equal energies depends on
// the order of the additions.
void MPXD::decideRdsPhase() {
    float inPhase = 0.0f;
    float quadrature = 0.0f;
    for (std::uint32_t i = 0; i < frameLength; ++i) {
        inPhase = inPhase + rdsInPhaseBuffer[i] * rdsInPhaseBuffer[i];
        quadrature = quadrature + rdsQuadratureBuffer[i] * rdsQuadratureBuffer[i];
    }
    rdsQuadratureFlag = quadrature > inPhase;
}

// The four rings stay aligned: a frame that does not fit in all of them goes into none, and the
// demodulator starts over from empty rings.
void MPXD::writeOutputs() {
    Ring* rings[] = {&leftRing, &rightRing, &rdsRing, &quadRing};
    bool refused = false;
    for (Ring* ring : rings) {
        if (!hasRoomForFrame(*ring)) {
            ring->writeOverlapped(frame, frameLength, hop);  // refused whole: only logs
            refused = true;
        }
    }
    if (refused) {
        reset();
        return;
    }
    float* rdsSignal = rdsQuadratureFlag ? rdsQuadratureBuffer : rdsInPhaseBuffer;
    float* signals[] = {leftBuffer, rightBuffer, rdsSignal, quadBuffer};
    for (int i = 0; i < 4; ++i) {
        kernels.taper(signals[i], rampTables.synthesisWindow);
        rings[i]->writeOverlapped(signals[i], frameLength, hop);
    }
}

std::uint32_t MPXD::collectOutput(std::uint32_t maximum) {
    processFrames();
    const auto waiting = static_cast<std::uint32_t>(std::min<std::size_t>(leftRing.available(), ringCapacity));
    const std::uint32_t n = std::min({waiting, maximum, hop});
    if (n == 0) return 0;
    leftRing.readSliding(leftBuffer, n, n);
    rightRing.readSliding(rightBuffer, n, n);
    pilotOutputRing.readSliding(pilotBuffer, n, n);
    rdsRing.readSliding(rdsInPhaseBuffer, n, n);
    quadRing.readSliding(quadBuffer, n, n);
    return n;
}

}  // namespace kestrava::audio::demod
