// The library probes: playable items, the headless player, lyric and playlist files.
#include <cstdio>

#include "files/M3u.h"
#include "playback/Lrc.h"
#include "tools/ToolCommands.h"

int toolItem(int, char **) { return toolUsage("item [--cover] PATH..."); }
int toolPlay(int, char **) { return toolUsage("play [--output OUT] [--loop-track] [--seconds N] ITEM..."); }

int toolLrc(int argc, char **argv)
{
    if (argc != 1)
        return toolUsage("lrc FILE");
    LyricList *list = LrcParseFile(argv[0]);
    if (!list) {
        fprintf(stderr, "sonavel-tool: cannot read %s\n", argv[0]);
        return 1;
    }
    for (LyricLine *line = list->head; line; line = line->next)
        printf("%.2f\t%s\n", double(line->time), line->text);
    LrcFree(list);
    return 0;
}

int toolM3u(int argc, char **argv)
{
    if (argc != 1)
        return toolUsage("m3u FILE");
    M3uList *list = M3uRead(argv[0]);
    if (!list)
        return 1;
    for (int32_t i = 0; i < M3uCount(list); i++)
        printf("%s\n", M3uEntryAt(list, i));
    M3uFree(list);
    return 0;
}
