#include "tool/Commands.h"

int runTablesCommand(int, char**) { return commandNotAvailable("tables"); }
