#include "engine/SVAiffFile.h"

// PLACEHOLDER: this reader is not built yet, so every open fails.
SVFile *SVAiffFileOpen(const char *) { return nullptr; }
