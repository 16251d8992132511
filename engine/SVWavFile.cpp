#include "engine/SVWavFile.h"

// PLACEHOLDER: this reader is not built yet, so every open fails.
SVFile *SVWavFileOpen(const char *) { return nullptr; }
