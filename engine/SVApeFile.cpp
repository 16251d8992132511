#include "engine/SVApeFile.h"

// PLACEHOLDER: this reader is not built yet, so every open fails.
SVFile *SVApeFileOpen(const char *) { return nullptr; }
