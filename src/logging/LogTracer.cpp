#include "logging/LogTracer.h"

#include <algorithm>

namespace KestravaLogger {

LogTracer::LogTracer(const kestrava::SystemClock&) : ring(ringSize) {}

void LogTracer::writeRecord(const LogRecord& record) {
    if (record.level == Trace) {
        ring[writeIndex] = record;
        writeIndex = (writeIndex + 1) % ringSize;
        count = std::min(count + 1, ringSize);
        return;
    }
    dispatch(record);
    if (record.level > Info && count != 0) {
        // The markers take the time of the record they follow, so the log's times never step
        // back after the block (its records are the older context of that record).
        dispatch(LogRecord(TraceBegin, "", record.time));
        for (int i = count; i > 0; --i) {
            dispatch(ring[(writeIndex - i + ringSize) % ringSize]);
        }
        count = 0;
        dispatch(LogRecord(TraceEnd, "", record.time));
    }
}

}  // namespace KestravaLogger
