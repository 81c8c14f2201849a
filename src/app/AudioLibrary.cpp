#include "app/AudioLibrary.h"

#include <portaudio.h>

namespace AudioLibrary {

const char* versionText() { return Pa_GetVersionText(); }

}  // namespace AudioLibrary
