#include "tool/Commands.h"

int runNetifsCommand(int, char**) { return commandNotAvailable("netifs"); }
