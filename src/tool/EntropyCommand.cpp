#include "tool/Commands.h"

int runEntropyCommand(int, char**) { return commandNotAvailable("entropy"); }
