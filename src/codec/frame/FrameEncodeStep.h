#pragma once

#include "audio/EncodeStep.h"
#include "codec/Encoder.h"
#include "codec/LegacyEncoder.h"
#include "codec/frame/AudioPayload.h"
#include "codec/frame/RdsEncoder.h"
#include "platform/AlignedNew.h"

#include <array>
#include <cstdint>
#include <memory>

namespace kestrava::codec::entropy { class EntropyCoder; }
class KestravaInstanceConfig;

namespace kestrava::codec::frame {

class FrameSender;
class GpsStamper;

// The per-block encode step: one block of demodulated records becomes one coded frame.
//
//   [ reset block r (when due) ][ pilot phase 2, BE ][ RDS section s ][ main streams ][ third stream ]
//
// Per block: take the records, measure the composite peak, stamp (GPS), convert left / right /
// quad to 38,400 samples per second (interpolation at 176.4 kHz, decimation otherwise), make the
// generation of the configured codec version exist, write the reset block when due, the phase and
// the RDS section, code the block and its payload, hand the frame to the sender, and feed the sent
// length (less the reset block) back into rate control.
//
// A reset block is due on the first block, on the first block of a new generation, when the
// records counted since the last reset exceed interval x input rate, and after a frame that was
// not sent. A frame that is not sent skips rate control. Feed thread only; allocates only when it
// creates a generation.
// Sees every sent frame's planes: the converted input before coding and the encoder's own
// reconstruction (what a decoder rebuilds). For the offline chain and its checks.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    // Three planes each, `stride` apart, n samples of each; called after the frame was sent.
    virtual void frameSent(const float* input, const float* reconstruction, std::uint32_t stride, std::uint32_t n) = 0;
};

class FrameEncodeStep : public EncodeStep, public kestrava::AlignedNew {
public:
    static constexpr std::uint32_t planeStride = 8192;
    static constexpr std::uint32_t packetCapacity = AudioPayload::bufferSize;

    // sender must outlive the step; gps may be null (no stamping).
    FrameEncodeStep(KestravaInstanceConfig* config, FrameSender* sender, GpsStamper* gps = nullptr);
    ~FrameEncodeStep() override;

    // Returns the packet length sent, or -1 when no frame left for this block.
    std::int32_t encodeAndSendBlock(const BlockView& block) override;

    // The generation in use (at most one is non-null after a block).
    std::shared_ptr<kestrava::codec::Encoder<double, 0>> doubleEncoder;
    std::shared_ptr<kestrava::codec::Encoder<float, 4>> floatEncoder;
    std::shared_ptr<kestrava::codec::LegacyEncoder> legacyEncoder;
    RdsEncoder rdsEncoder;

    // Fills the first m samples of the three planes from n records; returns m, or 0 for a rate
    // the codec cannot take (decimation needs a whole multiple of 38,400 Hz).
    std::uint32_t convertPlanes(const DemodulatedSample* records, std::uint32_t n, std::uint32_t inputRate);
    const float* plane(int index) const { return planes + index * planeStride; }

    // Observer of the sent frames (null: none). Allocates its plane copies here, never per block.
    void setFrameObserver(FrameObserver* observer);

private:
    // Makes the generation of version v exist; false when it could not be built.
    bool ensureGeneration(SourceSignals& signals, std::int32_t v);
    std::uint32_t prepareResetPacket(SourceSignals& signals, std::int32_t v);
    void logOnce(bool& flag, const char* text);
    // The float coder's third-channel last and prior prediction (zeros without that coder).
    std::array<float, 2> thirdPredictions() const;
    // Both main energies and every third-channel sample finite. The main planes need no scan: a
    // non-finite sample makes its channel's energy non-finite.
    static bool finiteReconstruction(const float* rebuilt, std::uint32_t m, float energy);

    KestravaInstanceConfig* const config;
    FrameSender* const sender;
    GpsStamper* const gps;
    std::unique_ptr<kestrava::codec::entropy::EntropyCoder> coder;
    std::unique_ptr<AudioPayload> payload;
    std::int32_t bitrate;                      // kbit/s; each reset packet reloads it
    std::uint32_t samplesSinceReset = 1'000'000;  // input records since the last reset packet
    bool reportedRate = false;
    bool reportedVersion = false;
    bool reportedNonFinite = false;  // until the next sent frame
    alignas(64) std::uint8_t packetBuffer[packetCapacity];
    alignas(64) float planes[3 * planeStride];
    alignas(64) std::int32_t codes[3 * planeStride];
    std::unique_ptr<float[]> reconstruction;  // of the block being coded
    FrameObserver* observer = nullptr;
    std::unique_ptr<float[]> observedInput;
};

}  // namespace kestrava::codec::frame
