#include "engine/SVCoreAudioFile.h"

// PLACEHOLDER: this reader is not built yet, so every open fails.
SVFile *SVCoreAudioFileOpen(const char *) { return nullptr; }
