#pragma once

#include "engine/SVFile.h"

SVFile *SVAiffFileOpen(const char *path);
