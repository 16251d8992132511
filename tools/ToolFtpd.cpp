#include "tools/ToolCommands.h"

// PLACEHOLDER until the FTP server exists.
int toolFtpd(int, char **) { return toolUsage("ftpd [--port N] [--root DIR]"); }
