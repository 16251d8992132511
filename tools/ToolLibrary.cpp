// The library probes: playable items, lyric and playlist files.
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "files/M3u.h"
#include "metadata/PlayableItem.h"
#include "playback/Lrc.h"
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
