#include "tools/ToolCommands.h"

// PLACEHOLDER until the readers' commands are written.
int toolTags(int, char **) { return toolUsage("tags FILE"); }
int toolPcm(int, char **) { return toolUsage("pcm FILE [--seek SECONDS] [--chunk BYTES]"); }
