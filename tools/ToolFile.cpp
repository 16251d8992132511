// sonavel-tool tags and pcm: what an engine reader makes of one audio file.
#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonObject>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/SVFile.h"
#include "tools/Json.h"
#include "tools/ToolCommands.h"

namespace {

const char kTagsUsage[] = "tags FILE";
const char kPcmUsage[] = "pcm FILE [--seek SECONDS] [--chunk BYTES]";

QJsonValue pictureSha256(const SVTag &tag)
{
    if (!tag.picture || tag.picture_size <= 0)
        return QJsonValue::Null;
    QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char *>(tag.picture), tag.picture_size),
        QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex());
}

QJsonObject tagsJson(const SVFile *f)
{
    const SVTag &t = f->tag;
    QJsonObject tag{
        {"title", jsonText(t.title)},   {"artist", jsonText(t.artist)},     {"album", jsonText(t.album)},
        {"comment", jsonText(t.comment)}, {"genre", jsonText(t.genre)},     {"cuesheet", jsonText(t.cuesheet)},
        {"picture_size", t.picture_size}, {"picture_sha256", pictureSha256(t)}, {"year", t.year},
        {"track", t.track},
    };
    return QJsonObject{
        {"type", f->type},
        {"num_channels", qint64(f->num_channels)},
        {"bits_per_sample", qint64(f->bits_per_sample)},
        {"sample_rate", qint64(f->sample_rate)},
        {"block_size", qint64(f->block_size)},
        {"big_endian", f->big_endian},
        {"duration", jsonNumber(f->duration)},
        {"tag", tag},
    };
}

bool parseSeconds(const char *text, double *out)
{
    char *end = nullptr;
    errno = 0;
    double value = strtod(text, &end);
    if (end == text || *end || errno || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}

bool parseChunk(const char *text, int32_t *out)
{
    char *end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (end == text || *end || errno || value <= 0 || value > INT32_MAX)
        return false;
    *out = int32_t(value);
    return true;
}

}  // namespace

int toolTags(int argc, char **argv)
{
    if (argc != 1)
        return toolUsage(kTagsUsage);
    SVFile *f = SVFileOpen(argv[0]);
    if (!f)
        return 1;
    QJsonObject json = tagsJson(f);
    SVFileClose(f);
    printJson(json);
    return 0;
}

int toolPcm(int argc, char **argv)
{
    const char *path = nullptr;
    bool seek = false;
    double seconds = 0;
    int32_t chunk = 65536;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--seek") == 0 && i + 1 < argc) {
            if (!parseSeconds(argv[++i], &seconds))
                return toolUsage(kPcmUsage);
            seek = true;
        } else if (strcmp(argv[i], "--chunk") == 0 && i + 1 < argc) {
            if (!parseChunk(argv[++i], &chunk))
                return toolUsage(kPcmUsage);
        } else if (!path && strncmp(argv[i], "--", 2) != 0) {
            path = argv[i];
        } else {
            return toolUsage(kPcmUsage);
        }
    }
    if (!path)
        return toolUsage(kPcmUsage);

    SVFile *f = SVFileOpen(path);
    if (!f)
        return 1;
    if (!f->read) {
        // MP3 and M4A hand out compressed packets only; the output queue decodes them.
        fprintf(stderr, "%s: no PCM read for this format\n", path);
        SVFileClose(f);
        return 1;
    }
    if (seek)
        SVFileSeek(f, seconds);
    // FLAC decodes nothing into less room than one maximal frame.
    if (uint32_t(chunk) < f->block_size)
        chunk = int32_t(f->block_size);
    std::vector<char> buffer(size_t(chunk), 0);
    int status = 0;
    int32_t got;
    while ((got = SVFileRead(f, buffer.data(), chunk)) > 0) {
        if (fwrite(buffer.data(), 1, size_t(got), stdout) != size_t(got)) {
            status = 1;  // a closed pipe or a full disk
            break;
        }
    }
    SVFileClose(f);
    if (fflush(stdout) != 0)
        status = 1;
    return status;
}
