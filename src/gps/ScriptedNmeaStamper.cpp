#include "gps/ScriptedNmeaStamper.h"

namespace kestrava::gps {

ScriptedNmeaStamper::ScriptedNmeaStamper(KestravaInstanceConfig& config, std::uint32_t inputRate, NmeaScript script)
    : rate(inputRate), script(std::move(script)), sync(config, clock, nullptr, false) {}

ScriptedNmeaStamper::ScriptedNmeaStamper(KestravaInstanceConfig& config, std::uint32_t inputRate,
                                         SyntheticNmea synthetic)
    : rate(inputRate), synthetic(synthetic), sync(config, clock, nullptr, false) {}

bool ScriptedNmeaStamper::nextRead(NmeaRead& out) {
    if (synthetic) {
        out = synthetic->read(nextSynthetic);
        return true;
    }
    if (nextScripted >= script.reads.size()) return false;
    out = script.reads[nextScripted];
    return true;
}

bool ScriptedNmeaStamper::process(std::uint32_t count, double, float& offset, std::int32_t& second) {
    samples += count;
    const auto now = rate == 0 ? std::int64_t{0}
                              : static_cast<std::int64_t>(static_cast<__int128>(samples) * 1'000'000'000 / rate);
    NmeaRead read;
    while (nextRead(read) && read.arrivalNs <= now) {
        sync.reader().feed(reinterpret_cast<const std::uint8_t*>(read.bytes.data()), read.bytes.size(), read.arrivalNs);
        if (synthetic) {
            ++nextSynthetic;
        } else {
            ++nextScripted;
        }
    }
    clock.ns = now;
    return sync.process(count, static_cast<double>(rate), offset, second);
}

}  // namespace kestrava::gps
