#pragma once

#include "engine/SVFile.h"

SVFile *SVFlacFileOpen(const char *path);
