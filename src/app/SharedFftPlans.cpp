#include "app/SharedFftPlans.h"

namespace SharedFftPlans {

namespace {
int liveControllers = 0;
}

// The plans themselves come with the platform's real-FFT layer; until it exists these two are
// where it is called (create on the first controller, free on the last), and only the count is kept.
void acquire() { ++liveControllers; }

void release() {
    if (liveControllers > 0) --liveControllers;
}

int liveControllerCount() { return liveControllers; }

}  // namespace SharedFftPlans
