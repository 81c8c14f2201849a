#include "logging/LogTracer.h"

#include <algorithm>

namespace KestravaLogger {

LogTracer::LogTracer(const kestrava::SystemClock& clock_) : clock(clock_), ring(ringSize) {}

void LogTracer::writeRecord(const LogRecord& record) {
    if (record.level == Trace) {
        ring[writeIndex] = record;
        writeIndex = (writeIndex + 1) % ringSize;
        count = std::min(count + 1, ringSize);
        return;
    }
    dispatch(record);
    if (record.level > Info && count != 0) {
        dispatch(LogRecord(TraceBegin, "", clock.now100ns()));
        for (int i = count; i > 0; --i) {
            dispatch(ring[(writeIndex - i + ringSize) % ringSize]);
        }
        count = 0;
        dispatch(LogRecord(TraceEnd, "", clock.now100ns()));
    }
}

}  // namespace KestravaLogger
