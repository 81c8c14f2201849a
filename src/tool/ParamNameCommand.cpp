#include "tool/Commands.h"

int runParamNameCommand(int, char**) { return commandNotAvailable("param-name"); }
