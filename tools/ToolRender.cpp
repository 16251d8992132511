// render [--output OUT] FILE...: plays the files through the engine as the player controller
// would, one after the other, and exits once the last has been played out.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/SVFile.h"
#include "engine/SVPlayer.h"
#include "platform/AudioQueue.h"
#include "platform/RunLoop.h"
#include "tools/ToolCommands.h"

namespace {

struct Render {
    SVPlayer *player = nullptr;
    bool successorPending = false;  // a successor's start is posted
};

// Main run loop. A successor that could not follow without a gap (a format change) is started
// on the next pass, outside the engine call that reported the end.
void startSuccessor(Render *render)
{
    render->successorPending = false;
    SVFile *current = SVCurrentFile(render->player);
    if (!current || !current->next)
        return;
    // SVPlayFile starts its file with an empty chain: the files after it are taken off first
    // and queued again behind it.
    SVFile *next = current->next;
    SVFile *rest = next->next;
    current->next = nullptr;
    next->next = nullptr;
    SVPlayFile(render->player, next);
    while (rest) {
        SVFile *after = rest->next;
        SVAddFile(render->player, rest);
        rest = after;
    }
}

// Main run loop, from inside the engine.
void onEvent(void *user_data, int32_t event)
{
    auto *render = static_cast<Render *>(user_data);
    fprintf(stderr, "event %d\n", event);
    switch (event) {
    case SVEventEnded: {
        SVFile *current = SVCurrentFile(render->player);
        if (current && current->next && !render->successorPending) {
            render->successorPending = true;
            RunLoop::postToMain([render] { startSuccessor(render); });
        }
        break;
    }
    case SVEventPaused:
        // The queue stopped after the end of the last file: everything has been played.
        if (SVGetStatus(render->player) == SVStatusEnded && !render->successorPending)
            RunLoop::quit(0);
        break;
    case SVEventError:
        RunLoop::quit(1);
        break;
    default:
        break;
    }
}

}  // namespace

int toolRender(int argc, char **argv)
{
    const char *usage = "render [--output OUT] FILE...";
    int first = 0;
    if (argc >= 1 && strcmp(argv[0], "--output") == 0) {
        if (argc < 2)
            return toolUsage(usage);
        setenv("SONAVEL_AUDIO_OUTPUT", argv[1], 1);
        first = 2;
    }
    if (first >= argc)
        return toolUsage(usage);

    std::vector<SVFile *> files;
    for (int i = first; i < argc; ++i) {
        SVFile *file = SVFileOpen(argv[i]);
        if (!file) {
            fprintf(stderr, "sonavel-tool: cannot open %s\n", argv[i]);
            for (SVFile *f : files)
                SVFileClose(f);
            return 1;
        }
        files.push_back(file);
    }

    Render render;
    render.player = SVCreate();
    if (!render.player)
        return 1;
    SVSetCallback(render.player, onEvent, &render);
    SVPlayFile(render.player, files[0]);
    for (size_t i = 1; i < files.size(); ++i)
        SVAddFile(render.player, files[i]);
    int code = SVGetStatus(render.player) == SVStatusError ? 1 : RunLoop::run();
    SVDestroy(render.player);
    // The outputs of the queues are complete before the process ends.
    AudioQueueWaitForDisposed();
    return code;
}
