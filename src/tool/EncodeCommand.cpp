#include "tool/Commands.h"

int runEncodeCommand(int, char**) { return commandNotAvailable("encode"); }
