#pragma once

#include "audio/CountingSemaphore.h"
#include "audio/DemodulatedSample.h"
#include "audio/BlockView.h"
#include "audio/EncodeStep.h"
#include "audio/InputRateMeter.h"
#include "audio/RdsCarrierTables.h"
#include "audio/SampleFifo.h"
#include "logging/KestravaInstanceConfig.h"
#include "platform/AlignedNew.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace kestrava::transport { class TRPSender; }

namespace kestrava::audio {

class SoundcardStreamControl;

// The encoder's input side: the frame ring "AudioSource.inputBuffer" that the demodulator fills,
// the counting semaphore that tells the encoder how many records wait, and the encoder feed
// thread, which claims one block at a time and runs the encode step on it.
//
//   demodulator thread                          encoder feed thread
//   writeInput(records) --> inputBuffer --> claim n units, read the block, encode step
//            \--> inputSemaphore.release(count) --/
//
// The object is large (the ring holds 192,000 records) and allocated 64-byte aligned. The feed
// thread starts in the constructor and is joined in the destructor. An owner that builds the
// source without one (the offline chain) claims and encodes with encodeWaitingBlocks(), the same
// claim and block step the thread runs.
class AudioSource : public kestrava::AlignedNew {
public:
    static constexpr std::size_t inputCapacity = 192000;
    static constexpr std::uint32_t blockCapacity = 8192;  // records of the largest block
    using FrameRing = SampleFifo<DemodulatedSample, inputCapacity>;

    enum class FeedThread { Start, None };

    // Starts the feed thread; it waits for records. A missing encode step only drains blocks.
    // With FeedThread::None the owner claims blocks and runs its encode step itself (the offline
    // chain, which must give the same frames on every run).
    AudioSource(kestrava::transport::TRPSender* sender, KestravaInstanceConfig* config, std::unique_ptr<EncodeStep> encodeStep,
                FeedThread feedThreadMode = FeedThread::Start);
    virtual ~AudioSource();
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    virtual void start() = 0;
    virtual void stop() = 0;
    // The stream part of a sound-card source; null for any other kind of source.
    virtual SoundcardStreamControl* soundcardStream() { return nullptr; }

    // Demodulator thread. Writes the records and releases as many units; when not all fit, logs,
    // resets the input and returns false (the demodulator then resets itself).
    bool writeInput(const DemodulatedSample* frames, std::uint32_t count);
    // Demodulator thread. Asks the feed thread to drop the waiting records, clears the claimable
    // count and makes the next block carry a reset packet.
    void resetInput();

    // Records per block: blockLength x sampleRate / nominal rate, rounded down, within 1..8192.
    std::uint32_t blockSize() const;
    bool feedThreadHasExited() const { return feedThreadExited.load(std::memory_order_acquire); }
    // Encode step: true once after each resetInput(); its RDS carriage state starts over then.
    bool takeInputReset() { return inputWasReset.exchange(false, std::memory_order_acq_rel); }

    // Without a feed thread only: claims every whole block that waits and runs the block step on
    // each, as the feed thread would; never waits.
    void encodeWaitingBlocks();

    KestravaInstanceConfig* const config;
    const std::uint32_t codecSampleRate;
    FrameRing inputBuffer;
    const std::uint32_t sampleRate;  // input rate in Hz, fixed when the source is built
    const bool doublingFlag = false;

    // Written by the demodulator thread or the encode step, read by the other.
    SourceSignals signals;

    CountingSemaphore inputSemaphore;
    const RdsCarrierTables rdsCarriers;
    InputRateMeter rateMeter;                      // worked by the audio callback thread

    // Feed thread only: the records of the block being coded.
    DemodulatedSample blockFrames[blockCapacity];
    kestrava::transport::TRPSender* const sender;

private:
    void encoderThread();
    // Takes n units; false (after carrying out a pending reset of the ring) when the claim was
    // interrupted or the semaphore closed.
    bool claim(std::uint32_t n);
    // Reads the n claimed records into the block and runs the encode step on them. A block the
    // ring cannot fill (a reset dropped its records) is logged and skipped.
    void encodeClaimedBlock(std::uint32_t n, std::uint32_t rate);

    std::atomic<bool> running{true};
    std::atomic<bool> feedThreadExited{false};
    std::atomic<bool> inputWasReset{false};
    std::uint32_t lastWriteRate = 0;  // demodulator thread
    std::unique_ptr<EncodeStep> encodeStep;
    std::thread feedThread;           // last: started when everything else exists
};

}  // namespace kestrava::audio
