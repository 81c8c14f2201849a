#include "app/ModelCommon.h"

ModelCommon::~ModelCommon() = default;
