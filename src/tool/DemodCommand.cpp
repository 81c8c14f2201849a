#include "tool/Commands.h"

int runDemodCommand(int, char**) { return commandNotAvailable("demod"); }
