// The headless players: render [--output OUT] FILE... plays files through the engine alone;
// play [...] ITEM... plays items through the player controller, as the screens do, and can
// replay a user's actions at given times (--do T:ACTION). Both exit once everything has been
// played out.
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/SVFile.h"
#include "engine/SVPlayer.h"
#include "metadata/PlayableItem.h"
#include "platform/AudioQueue.h"
#include "platform/RunLoop.h"
#include "playback/UniPlayer.h"
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

namespace {

const char kPlayUsage[] =
    "play [--output OUT] [--loop-track] [--seconds N] [--do T:ACTION]... ITEM...\n"
    "  ITEM: PATH, or PATH#N for the N-th cue track of PATH\n"
    "  T: seconds after playback starts; ACTION: pause, play, toggle, seek=S (seconds into the\n"
    "  current item), next, previous, lock, unlock, sleep, item=ITEM (as a tap on its row)";

// PATH, or PATH#N for the N-th cue track of that file.
PlayableItemPtr commandLineItem(const QString &argument)
{
    qsizetype hash = argument.lastIndexOf('#');
    if (hash > 0) {
        bool isNumber = false;
        int n = argument.mid(hash + 1).toInt(&isNumber);
        QString path = argument.left(hash);
        if (isNumber && QFileInfo::exists(path)) {
            PlayableItemPtr album = PlayableItem::itemWithPath(path);
            if (!album || n < 1 || n > album->subItems().size())
                return nullptr;
            return album->subItems()[n - 1];
        }
    }
    return PlayableItem::itemWithPath(argument);
}

// The items of the command line as a play list in its default mode: the next item is the row
// after the current one, none after the last. Reports every controller event.
class CommandLinePlayer : public UniPlayerDelegate {
public:
    CommandLinePlayer(UniPlayer *player, std::vector<PlayableItemPtr> items)
        : player_(player), items_(std::move(items))
    {
        registerEvents(std::make_integer_sequence<int32_t, UniPlayer::EventError + 1>());
    }
    ~CommandLinePlayer() { player_->removeEventHandler(this); }

    // Main thread.
    PlayableItemPtr nextItem() override
    {
        const PlayableItemPtr &current = player_->currentItem();
        size_t next = 0;
        for (size_t i = 0; i < items_.size(); i++) {
            if (items_[i] == current)
                next = i + 1;
        }
        if (next < items_.size())
            return items_[next];
        exhausted_ = true;
        // The last item could not be opened: nothing will play out.
        if (!current)
            RunLoop::postToMain([] { RunLoop::quit(1); });
        return nullptr;
    }

    // A pause asked for by an action is not the end of the list.
    void setHeld(bool held) { held_ = held; }
    // The session ends with the next pause (the sleep timer's).
    void endAtPause() { endAtPause_ = true; }

private:
    template <int32_t... Events>
    void registerEvents(std::integer_sequence<int32_t, Events...>)
    {
        (player_->addEventHandler(this, &CommandLinePlayer::onEvent<Events>, Events), ...);
    }

    // Main thread, called by the player's handler table.
    template <int32_t Event>
    static void onEvent(void *target)
    {
        auto *self = static_cast<CommandLinePlayer *>(target);
        fprintf(stderr, "event %d\n", int(Event));
        if (Event == UniPlayer::EventFileChanged) {
            const PlayableItemPtr &item = self->player_->currentItem();
            if (item && item != self->shown_) {
                self->shown_ = item;
                fprintf(stderr, "playing %s\n", item->description().toUtf8().constData());
            }
        } else if (Event == UniPlayer::EventPaused && (self->endAtPause_ || (self->exhausted_ && !self->held_))) {
            RunLoop::quit(0);
        } else if (Event == UniPlayer::EventError) {
            RunLoop::quit(1);
        }
    }

    UniPlayer *player_;
    std::vector<PlayableItemPtr> items_;
    bool exhausted_ = false;
    bool held_ = false;
    bool endAtPause_ = false;
    PlayableItemPtr shown_;
};

struct Session {
    UniPlayer *player;
    CommandLinePlayer *list;
};

// What a user does, as the play list and now-playing screens do it.
void doPause(Session &s, const PlayableItemPtr &, double)
{
    s.list->setHeld(true);
    s.player->pause();
}

void doPlay(Session &s, const PlayableItemPtr &, double)
{
    s.list->setHeld(false);
    s.player->play();
}

void doToggle(Session &s, const PlayableItemPtr &item, double seconds)
{
    if (s.player->playing())
        doPause(s, item, seconds);
    else if (s.player->currentItem())
        doPlay(s, item, seconds);
    else if (PlayableItemPtr next = s.list->nextItem())
        s.player->play(next);
}

void doSeek(Session &s, const PlayableItemPtr &, double seconds)
{
    const PlayableItemPtr &current = s.player->currentItem();
    s.player->seekToTime(float((current ? current->startTime() : 0.0) + seconds));
}

void doNext(Session &s, const PlayableItemPtr &, double)
{
    if (PlayableItemPtr next = s.list->nextItem()) {
        s.list->setHeld(false);
        s.player->play(next);
    }
}

// More than 3 seconds into the item: back to its start; otherwise the item played before.
void doPrevious(Session &s, const PlayableItemPtr &, double)
{
    const PlayableItemPtr current = s.player->currentItem();
    if (current && s.player->currentTime() > current->startTime() + 3.0f) {
        s.player->seekToTime(current->startTime());
    } else if (PlayableItemPtr previous = s.player->previousItem()) {
        s.list->setHeld(false);
        s.player->play(previous);
    }
}

void doLock(Session &s, const PlayableItemPtr &, double) { s.player->setLocked(true); }
void doUnlock(Session &s, const PlayableItemPtr &, double) { s.player->setLocked(false); }

void doSleep(Session &s, const PlayableItemPtr &, double)
{
    s.list->endAtPause();
    s.player->sleep();
}

void doItem(Session &s, const PlayableItemPtr &item, double)
{
    s.list->setHeld(false);
    s.player->play(item);
}

enum class Argument { None, Seconds, Item };

struct Action {
    const char *name;
    Argument argument;
    void (*run)(Session &s, const PlayableItemPtr &item, double seconds);
};

const Action kActions[] = {
    {"pause", Argument::None, doPause},   {"play", Argument::None, doPlay},
    {"toggle", Argument::None, doToggle}, {"seek", Argument::Seconds, doSeek},
    {"next", Argument::None, doNext},     {"previous", Argument::None, doPrevious},
    {"lock", Argument::None, doLock},     {"unlock", Argument::None, doUnlock},
    {"sleep", Argument::None, doSleep},   {"item", Argument::Item, doItem},
};

struct Step {
    double at;
    std::string text;  // as given, for the line printed when it happens
    const Action *action;
    PlayableItemPtr item;
    double seconds;
};

// T:ACTION, or T:ACTION=ARGUMENT: 0. Otherwise a line is said and the exit code returned: 2
// for what is not an action, 1 for an item that cannot be played.
int parseStep(const char *text, Step *step)
{
    const char *colon = strchr(text, ':');
    char *end = nullptr;
    step->at = colon ? strtod(text, &end) : -1;
    if (!colon || end != colon || !(step->at >= 0)) {
        fprintf(stderr, "sonavel-tool: --do wants T:ACTION, not '%s'\n", text);
        return 2;
    }
    step->text = colon + 1;
    const std::string name = step->text.substr(0, step->text.find('='));
    const bool hasArgument = step->text.size() > name.size();
    const std::string argument = hasArgument ? step->text.substr(name.size() + 1) : "";
    for (const Action &a : kActions) {
        if (name != a.name || hasArgument != (a.argument != Argument::None))
            continue;
        step->action = &a;
        if (a.argument == Argument::Seconds) {
            step->seconds = strtod(argument.c_str(), &end);
            if (argument.empty() || *end || !(step->seconds >= 0))
                break;
        } else if (a.argument == Argument::Item) {
            step->item = commandLineItem(QString::fromLocal8Bit(argument.c_str()));
            if (!step->item) {
                fprintf(stderr, "sonavel-tool: cannot play '%s'\n", argument.c_str());
                return 1;
            }
        }
        return 0;
    }
    fprintf(stderr, "sonavel-tool: unknown action '%s'\n", step->text.c_str());
    return 2;
}

}  // namespace

int toolPlay(int argc, char **argv)
{
    bool loop = false;
    double seconds = 0;
    std::vector<PlayableItemPtr> items;
    std::vector<Step> steps;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--output") == 0 && i + 1 < argc) {
            setenv("SONAVEL_AUDIO_OUTPUT", argv[++i], 1);
        } else if (strcmp(argv[i], "--loop-track") == 0) {
            loop = true;
        } else if (strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = atof(argv[++i]);
        } else if (strcmp(argv[i], "--do") == 0 && i + 1 < argc) {
            Step step{};
            if (int code = parseStep(argv[++i], &step))
                return code;
            steps.push_back(step);
        } else if (strncmp(argv[i], "--", 2) == 0) {
            return toolUsage(kPlayUsage);
        } else {
            PlayableItemPtr item = commandLineItem(QString::fromLocal8Bit(argv[i]));
            if (!item) {
                fprintf(stderr, "sonavel-tool: cannot play '%s'\n", argv[i]);
                return 1;
            }
            items.push_back(item);
        }
    }
    if (items.empty())
        return toolUsage(kPlayUsage);

    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    if (!player)
        return 1;
    PlayableItemPtr first = items.front();
    int code;
    {
        CommandLinePlayer commandLine(player.get(), std::move(items));
        player->setDelegate(&commandLine);
        player->setLocked(loop);
        Session session = {player.get(), &commandLine};
        std::vector<std::unique_ptr<OneShotTimer>> timers;
        for (const Step &step : steps) {
            timers.push_back(std::make_unique<OneShotTimer>());
            timers.back()->start(step.at, [&session, &step] {
                fprintf(stderr, "do %s\n", step.text.c_str());
                step.action->run(session, step.item, step.seconds);
            });
        }
        OneShotTimer timeout;
        if (seconds > 0)
            timeout.start(seconds, [] { RunLoop::quit(0); });
        player->play(first);
        code = RunLoop::run();
        player->setDelegate(nullptr);
    }
    player.reset();
    AudioQueueWaitForDisposed();
    return code;
}
