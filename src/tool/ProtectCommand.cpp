#include "tool/Commands.h"

int runProtectCommand(int, char**) { return commandNotAvailable("protect"); }
