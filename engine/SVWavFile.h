#pragma once

#include "engine/SVFile.h"

SVFile *SVWavFileOpen(const char *path);
