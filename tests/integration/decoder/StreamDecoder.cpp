#include "StreamDecoder.h"

namespace streamdecoder {

StreamDecodeResult decodeStream(const std::vector<Bytes>& packets, const DecoderOptions& options) {
    StreamDecodeResult result;
    result.received = receiveStream(packets, options.key);
    std::optional<StreamParameters> parameters;
    std::optional<std::uint32_t> expected;
    for (const StreamFrame& frame : result.received.frames) {
        const auto& h = frame.header;
        if (expected && h.position != *expected) {
            ++result.gaps;
            parameters.reset();  // the coding state is lost with the missing frames
        }
        expected = h.position + h.sampleCount;
        const bool hasReset = (h.flags & 0x40) != 0;
        if (!parameters && !hasReset) {
            ++result.skippedFrames;
            continue;
        }
        try {
            DecodedFrame d = decodeFrame(frame, parameters, options.inputRate);
            if (options.diagnostics != nullptr) {
                *options.diagnostics << "frame " << h.position << " version " << h.version << " count "
                                     << h.sampleCount << (frame.rebuilt ? " rebuilt" : "")
                                     << (d.reset ? " reset" : "") << (d.difference ? " difference" : " joint")
                                     << (d.thirdSilent ? " third-silent" : "") << " phase " << d.pilotPhase
                                     << " rds-bits " << d.rds.bitCount << " bytes " << frame.packet.size() << "\n";
            }
            result.frames.push_back(std::move(d));
            result.positions.push_back(h.position);
        } catch (const std::out_of_range& e) {
            ++result.unreadableFrames;
            parameters.reset();
            if (options.diagnostics != nullptr) {
                *options.diagnostics << "frame " << h.position << " unreadable: " << e.what() << "\n";
            }
        }
    }
    return result;
}

}  // namespace streamdecoder
