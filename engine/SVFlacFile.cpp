#include "engine/SVFlacFile.h"

// PLACEHOLDER: this reader is not built yet, so every open fails.
SVFile *SVFlacFileOpen(const char *) { return nullptr; }
