#include "app/SharedFftPlans.h"

#include "platform/ErrorState.h"
#include "platform/RealFft.h"

namespace SharedFftPlans {

namespace {
int liveControllers = 0;
}

void acquire() {
    if (liveControllers++ == 0 && !kestrava::RealFft::prepare()) {
        // An order without plans stays without; its users find that out when they ask for it.
        ErrorState::record(ErrorState::Crashed, "Real FFT plans could not be made, unable to proceed.");
    }
}

// The plans are kept for the life of the process (making them again costs the start-up time and
// nothing else uses their memory), so the last controller only counts down.
void release() {
    if (liveControllers > 0) --liveControllers;
}

int liveControllerCount() { return liveControllers; }

}  // namespace SharedFftPlans
