#pragma once

#include "params/RequestValues.h"
#include "params/WordWriter.h"

#include <atomic>
#include <cstdint>

namespace kestrava::params {

// The slider part of a number parameter: a normalised position 0..1, a step base (the number of
// steps over the range; 0 means no steps) and three step granularities (normal, while dragging,
// fast) that the web client receives in the slider descriptor.
class ParamSlider {
public:
    virtual ~ParamSlider() = default;

    virtual float getPosition(int kind) const = 0;
    virtual float getStepBase() const = 0;
    // Sets the value from a position in 0..1 with the range test and the user-change notification.
    virtual bool setFromPosition(float position) = 0;
    virtual void getSteps(int& normal, int& drag, int& fast) const;

    // Refreshes the step counts when the step base changed since the last time.
    void updateSteps();
    // The three step counts, one word each.
    void writeSliderSteps(WordWriter& out);
    int stepsNormal() const noexcept { return steps[0].load(); }
    int stepsDrag() const noexcept { return steps[1].load(); }
    int stepsFast() const noexcept { return steps[2].load(); }

    // Slider commands of a request group: 1 moves to a position (float bits at values[2], mode at
    // values[3]), 2 moves by steps. The caller checked the command and the edit right. Returns
    // false only when the group is too short (noted on `values`).
    bool applySliderCommand(const RequestValues& values, int command);

private:
    std::atomic<float> cachedBase{-1.0f};
    std::atomic<int> steps[3] = {1, 1, 10};
};

// Nearest integer, halves away from zero, saturated to int32 (NaN gives 0).
std::int32_t nearestInt32(double x) noexcept;

}  // namespace kestrava::params
