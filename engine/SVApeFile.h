#pragma once

#include "engine/SVFile.h"

SVFile *SVApeFileOpen(const char *path);
