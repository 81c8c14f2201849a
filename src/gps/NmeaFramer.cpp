#include "gps/NmeaFramer.h"

namespace kestrava::gps {

bool NmeaFramer::push(char c, std::int64_t nowNs) {
    if (c == '$') {
        if (!haveDollar || nowNs - previousDollar > burstGapNs) {
            burstArrival = nowNs;
            ++burst;
        }
        haveDollar = true;
        previousDollar = nowNs;
        collecting = true;
        line[0] = c;
        length = 1;
        return false;
    }
    if (!collecting) return false;
    if (c == '\n') {
        collecting = false;
        return true;
    }
    if (length == capacity) {
        collecting = false;  // too long for a sentence: skipped up to the next dollar sign
        return false;
    }
    line[length++] = c;
    return false;
}

void NmeaFramer::clear() { *this = NmeaFramer(); }

}  // namespace kestrava::gps
