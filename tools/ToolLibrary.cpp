#include "tools/ToolCommands.h"

// PLACEHOLDER until the library core exists.
int toolItem(int, char **) { return toolUsage("item [--cover] PATH..."); }
int toolPlay(int, char **) { return toolUsage("play [--output OUT] [--loop-track] [--seconds N] ITEM..."); }
int toolLrc(int, char **) { return toolUsage("lrc FILE"); }
int toolM3u(int, char **) { return toolUsage("m3u FILE"); }
