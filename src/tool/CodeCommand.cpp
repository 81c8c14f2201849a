#include "tool/Commands.h"

int runCodeCommand(int, char**) { return commandNotAvailable("code"); }
