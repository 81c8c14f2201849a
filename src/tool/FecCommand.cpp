#include "tool/Commands.h"

int runFecCommand(int, char**) { return commandNotAvailable("fec"); }
