#include "model/CommonBase.h"

#include "model/InstanceAccounts.h"
#include "model/Model.h"

CommonBase::CommonBase(Model* owner_, const char* argv0)
    : owner(owner_),
      instancePaths(std::make_unique<InstancePaths>(initDataFolders(argv0, owner_ != nullptr ? owner_->index : 0))) {}

CommonBase::~CommonBase() = default;
