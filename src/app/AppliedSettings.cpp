#include "app/AppliedSettings.h"

void AppliedSettings::reset() {
    AppliedSettings fresh;
    for (int i = 0; i < destinationCount; ++i) {
        if (destinationId[i] >= 0) {
            fresh.destinationOn[i] = destinationOn[i];
            fresh.destinationHost[i] = destinationHost[i];
            fresh.destinationInterface[i] = destinationInterface[i];
            fresh.destinationPort[i] = destinationPort[i];
            fresh.destinationId[i] = destinationId[i];
        }
    }
    *this = fresh;
}
