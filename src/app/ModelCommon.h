#pragma once

#include "app/KestravaParameters.h"

// The root object of an instance's working state, owned by its Model and always 64-byte aligned.
class ModelCommon final : public KestravaParameters {
public:
    using KestravaParameters::KestravaParameters;
    ~ModelCommon() override;
};
