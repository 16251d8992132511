// The library probes: playable items, the headless player, lyric and playlist files.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "files/M3u.h"
#include "metadata/PlayableItem.h"
#include "platform/AudioQueue.h"
#include "platform/RunLoop.h"
#include "playback/Lrc.h"
#include "playback/UniPlayer.h"
#include "tools/Json.h"
#include "tools/ToolCommands.h"

namespace {

QJsonValue jsonString(const QString &text) { return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text); }

// Cover sizes found by the first pass, null size for no cover.
using Covers = std::map<const PlayableItem *, QSize>;

void askCovers(const PlayableItemPtr &item, Covers *covers)
{
    if (!item)
        return;
    (*covers)[item.get()] = item->coverImage().size();
    for (const PlayableItemPtr &sub : item->subItems())
        askCovers(sub, covers);
}

QJsonValue itemJson(const PlayableItemPtr &item, const Covers *covers)
{
    if (!item)
        return QJsonValue::Null;
    QJsonArray subItems;
    for (const PlayableItemPtr &sub : item->subItems())
        subItems.append(itemJson(sub, covers));
    QJsonObject json{
        {"title", jsonString(item->title())},
        {"tagtitle", jsonString(item->tagtitle())},
        {"path", jsonString(item->path())},
        {"ownFile", item->ownFile()},
        {"trackNumber", item->trackNumber()},
        {"startTime", jsonFloat(item->startTime())},
        {"totalTime", jsonFloat(item->totalTime())},
        {"subItems", subItems},
        {"audioType", item->audioType()},
        {"album", jsonString(item->album())},
        {"artist", jsonString(item->artist())},
        {"genre", jsonString(item->genre())},
        {"year", item->year()},
        {"sampleRate", item->sampleRate()},
        {"bitsPerSample", item->bitsPerSample()},
        {"hasEmbeddedCoverImage", item->hasEmbeddedCoverImage()},
        {"coverImagePath", jsonString(item->coverImagePath())},
    };
    if (covers) {
        auto found = covers->find(item.get());
        QSize size = found == covers->end() ? QSize() : found->second;
        json["cover"] = size.isEmpty() ? QJsonValue(QJsonValue::Null)
                                       : QJsonObject{{"width", size.width()}, {"height", size.height()}};
    }
    return json;
}

}  // namespace

int toolItem(int argc, char **argv)
{
    bool cover = argc > 0 && strcmp(argv[0], "--cover") == 0;
    if (cover) {
        argc--;
        argv++;
    }
    if (argc < 1)
        return toolUsage("item [--cover] PATH...");
    QJsonArray items;
    for (int i = 0; i < argc; i++) {
        PlayableItemPtr item = PlayableItem::itemWithPath(QString::fromLocal8Bit(argv[i]));
        Covers covers;
        if (cover)
            askCovers(item, &covers);
        items.append(itemJson(item, cover ? &covers : nullptr));
    }
    printJson(items);
    return 0;
}
namespace {

const char kPlayUsage[] = "play [--output OUT] [--loop-track] [--seconds N] ITEM...";

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

// Answers the items of the command line in order, then nil; reports every controller event.
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
        if (next_ < items_.size())
            return items_[next_++];
        exhausted_ = true;
        // The last item could not be opened: nothing will play out.
        if (!player_->currentItem())
            RunLoop::postToMain([] { RunLoop::quit(1); });
        return nullptr;
    }

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
        } else if (Event == UniPlayer::EventPaused && self->exhausted_) {
            RunLoop::quit(0);
        } else if (Event == UniPlayer::EventError) {
            RunLoop::quit(1);
        }
    }

    UniPlayer *player_;
    std::vector<PlayableItemPtr> items_;
    size_t next_ = 1;
    bool exhausted_ = false;
    PlayableItemPtr shown_;
};

}  // namespace

int toolPlay(int argc, char **argv)
{
    bool loop = false;
    double seconds = 0;
    std::vector<PlayableItemPtr> items;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--output") == 0 && i + 1 < argc) {
            setenv("SONAVEL_AUDIO_OUTPUT", argv[++i], 1);
        } else if (strcmp(argv[i], "--loop-track") == 0) {
            loop = true;
        } else if (strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = atof(argv[++i]);
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
