#include "tool/Commands.h"

int runAudioCommand(int, char**) { return commandNotAvailable("audio"); }
