#include "tools/ToolCommands.h"

// PLACEHOLDER until the metadata commands are written.
int toolCue(int, char **) { return toolUsage("cue FILE"); }
int toolText(int, char **) { return toolUsage("text"); }
