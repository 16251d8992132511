// sonavel-tool: the command-line probe of the engine, the metadata readers, the theme
// interpreter and the FTP server.
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

#include "tools/ToolCommands.h"

namespace {

struct Command {
    const char *name;
    const char *usage;
    int (*run)(int argc, char **argv);
};

const Command kCommands[] = {
    {"tags", "tags FILE", toolTags},
    {"pcm", "pcm FILE [--seek SECONDS] [--chunk BYTES]", toolPcm},
    {"cue", "cue FILE", toolCue},
    {"text", "text  (bytes on standard input)", toolText},
    {"theme", "theme FILE", toolTheme},
    {"ftpd", "ftpd [--port N] [--root DIR]", toolFtpd},
    {"render", "render [--output OUT] FILE...", toolRender},
    {"item", "item [--cover] PATH...", toolItem},
    {"play", "play [--output OUT] [--loop-track] [--seconds N] [--do T:ACTION]... ITEM...\n"
             "      (ACTION: pause, play, toggle, seek=S, next, previous, lock, unlock, sleep, item=ITEM)",
     toolPlay},
    {"lrc", "lrc FILE", toolLrc},
    {"m3u", "m3u FILE", toolM3u},
};

void printHelp(FILE *out)
{
    fprintf(out, "usage: sonavel-tool COMMAND [ARGS]\ncommands:\n");
    for (const Command &c : kCommands)
        fprintf(out, "  %s\n", c.usage);
}

}  // namespace

int toolUsage(const char *usage)
{
    fprintf(stderr, "usage: sonavel-tool %s\n", usage);
    return 2;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        printHelp(stderr);
        return 2;
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
        printHelp(stdout);
        return 0;
    }
    for (const Command &c : kCommands) {
        if (strcmp(argv[1], c.name) == 0)
            return c.run(argc - 2, argv + 2);
    }
    fprintf(stderr, "sonavel-tool: unknown command '%s'\n", argv[1]);
    printHelp(stderr);
    return 2;
}
