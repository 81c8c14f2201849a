#include "tool/Commands.h"

int runTestSignalCommand(int, char**) { return commandNotAvailable("test-signal"); }
