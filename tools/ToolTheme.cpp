// sonavel-tool theme FILE: loads FILE as the theme loader does and prints its value.
#include <cstdio>

#include "theme/ThmInterpreter.h"
#include "theme/ThmPort.h"
#include "theme/ThmPrinter.h"
#include "tools/ToolCommands.h"

int toolTheme(int argc, char **argv)
{
    if (argc < 1)
        return toolUsage("theme FILE");
    ThmObject *path = ThmStringFromUTF8(argv[0]);
    ThmInterpreter *interp = ThmNewInterpreter();
    ThmObject *port = ThmOpenFile(path);
    ThmRelease(path);
    if (!port) {
        ThmFreeInterpreter(interp);
        fprintf(stderr, "sonavel-tool: cannot open %s\n", argv[0]);
        return 1;
    }
    ThmObject *value = ThmLoad(interp, port);
    ThmRelease(port);
    // The value outlives its interpreter, as a theme's association list does.
    ThmFreeInterpreter(interp);
    if (!value) {
        fflush(stdout);
        return 1;
    }
    ThmObject *out = ThmOpenOutput(stdout);
    ThmPrint(value, out);
    ThmPortWrite(out, '\n');
    ThmRelease(out);
    ThmRelease(value);
    return 0;
}
