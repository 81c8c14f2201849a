#pragma once

#include "params/PFloat.h"

#include <cmath>

namespace kestrava::params {

// A linear factor (a gain) shown and typed in decibels, on a logarithmic slider. Decibel mode is
// on when the decibel range lies within about -100 dB .. +42 dB; otherwise it is a PFloat.
class PFloatDb : public PFloat {
public:
    PFloatDb(ParamOwner& owner, std::uint32_t viewMask, ParamId id, float minimum, float maximum,
             float sliderFullScale, float defaultValue, std::int32_t decimalsCode, float curveExponent,
             const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
             std::string_view format, float displayFactor, float low, float high);

    bool inDbMode() const noexcept { return dbMode; }

    float getStepBase() const override;
    void getSteps(int& normal, int& drag, int& fast) const override;
    void setMin(float v) override;
    void setMax(float v) override;
    void setLowSpecial(float v, std::optional<std::string> label) override;
    void setHighSpecial(float v, std::optional<std::string> label) override;
    float valueToPosition(float v) const override;
    float positionToValue(float x) const override;
    bool setFromTypedText(std::string_view text, bool raw) override;
    std::string getFieldText(int view) const override;
    std::string formatValue(int view, const float& v) const override;
    bool isKindSupported() const override { return kind() == 2; }

private:
    void updateLogMin() { log2Min.store(std::log(effMin.load()) / 0.6931472f); }
    void updateLogMax() { log2Max.store(std::log(effMax.load()) / 0.6931472f); }

    bool dbMode = false;
    std::atomic<float> log2Min{0.0f};
    std::atomic<float> log2Max{0.0f};
};

// The time constant of the input tilt correction in seconds: a steep slider curve from the
// shortest constants at both ends (negative left, positive right) to the longest in the middle;
// shown in microseconds, and as "DISABLED" beyond 4.5 s. Setting 0 stores 5.0 (disabled).
class PTilt : public PFloat {
public:
    PTilt(ParamOwner& owner, std::uint32_t viewMask, ParamId id, float minimum, float maximum,
          float sliderFullScale, float defaultValue, std::int32_t decimalsCode, float curveExponent,
          const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
          std::string_view format, float displayFactor);

    float getStepBase() const override { return 10000.0f; }
    bool setFromPosition(float position) override;
    float valueToPosition(float v) const override;
    std::string getFieldText(int view) const override;
    bool setValue(float v) override;
    std::string formatValue(int view, const float& v) const override;
    bool isKindSupported() const override { return kind() == 5; }
};

}  // namespace kestrava::params
