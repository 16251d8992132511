#pragma once

#include "engine/SVFile.h"

SVFile *SVCoreAudioFileOpen(const char *path);
