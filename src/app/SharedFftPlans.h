#pragma once

// The process-wide real-FFT plans of orders 1 to 16 that the demodulator, the sample hooks and
// the display's analyser share: the first live encoder controller makes them, and the process
// keeps them for good. Controllers are made and destroyed on one thread only.
namespace SharedFftPlans {

// Counts a new controller; the first one makes the plans.
void acquire();
// Counts a controller down.
void release();
int liveControllerCount();

}  // namespace SharedFftPlans
