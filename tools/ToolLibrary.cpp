// The library probes: playable items, lyric and playlist files.

#include <charconv>
#include <cmath>
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

std::string jsonNumber(float value)
{
    if (!std::isfinite(value))
        return "null";
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string jsonString(const QString &text)
{
    return text.isNull() ? "null" : jsonQuote(text.toUtf8().toStdString());
}

std::string jsonBool(bool value) { return value ? "true" : "false"; }

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

std::string itemJson(const PlayableItemPtr &item, const Covers *covers, const std::string &indent)
{
    if (!item)
        return "null";
    std::string subItems;
    for (const PlayableItemPtr &sub : item->subItems())
        subItems += (subItems.empty() ? "\n" : ",\n") + indent + "    " +
                    itemJson(sub, covers, indent + "    ");
    if (!subItems.empty())
        subItems += "\n" + indent + "  ";
    std::string json = "{\"title\": " + jsonString(item->title()) +
        ", \"tagtitle\": " + jsonString(item->tagtitle()) +
        ", \"path\": " + jsonString(item->path()) +
        ", \"ownFile\": " + jsonBool(item->ownFile()) +
        ", \"trackNumber\": " + std::to_string(item->trackNumber()) +
        ", \"startTime\": " + jsonNumber(item->startTime()) +
        ", \"totalTime\": " + jsonNumber(item->totalTime()) +
        ", \"subItems\": [" + subItems + "]" +
        ", \"audioType\": " + std::to_string(item->audioType()) +
        ", \"album\": " + jsonString(item->album()) +
        ", \"artist\": " + jsonString(item->artist()) +
        ", \"genre\": " + jsonString(item->genre()) +
        ", \"year\": " + std::to_string(item->year()) +
        ", \"sampleRate\": " + std::to_string(item->sampleRate()) +
        ", \"bitsPerSample\": " + std::to_string(item->bitsPerSample()) +
        ", \"hasEmbeddedCoverImage\": " + jsonBool(item->hasEmbeddedCoverImage()) +
        ", \"coverImagePath\": " + jsonString(item->coverImagePath());
    if (covers) {
        auto found = covers->find(item.get());
        QSize size = found == covers->end() ? QSize() : found->second;
        json += ", \"cover\": ";
        json += size.isEmpty() ? std::string("null")
                               : "{\"width\": " + std::to_string(size.width()) +
                                     ", \"height\": " + std::to_string(size.height()) + "}";
    }
    return json + "}";
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
    printf("[");
    for (int i = 0; i < argc; i++) {
        PlayableItemPtr item = PlayableItem::itemWithPath(QString::fromLocal8Bit(argv[i]));
        Covers covers;
        if (cover)
            askCovers(item, &covers);
        printf("%s\n  %s", i ? "," : "", itemJson(item, cover ? &covers : nullptr, "  ").c_str());
    }
    printf("\n]\n");
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
