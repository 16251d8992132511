#include "tools/ToolCommands.h"

// PLACEHOLDER until the theme interpreter exists.
int toolTheme(int, char **) { return toolUsage("theme FILE"); }
