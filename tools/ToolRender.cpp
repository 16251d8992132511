#include "tools/ToolCommands.h"

// PLACEHOLDER until the player core exists.
int toolRender(int, char **) { return toolUsage("render [--output OUT] FILE..."); }
