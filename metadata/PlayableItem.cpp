#include "metadata/PlayableItem.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

#include <cmath>
#include <cstring>

#include "engine/SVFile.h"
#include "metadata/CharacterEncoding.h"
#include "metadata/CueSheet.h"

namespace {

struct TypeRow {
    const char *extension;
    int32_t type;
};

const TypeRow kTypes[] = {
    {"FLAC", PlayableItem::AudioTypeFlac}, {"APE", PlayableItem::AudioTypeApe},
    {"M4A", PlayableItem::AudioTypeM4a},   {"MP3", PlayableItem::AudioTypeMp3},
    {"WAV", PlayableItem::AudioTypeWav},   {"WV", PlayableItem::AudioTypeWav},
    {"AIF", PlayableItem::AudioTypeAiff},  {"AIFF", PlayableItem::AudioTypeAiff},
    {"AIFC", PlayableItem::AudioTypeAiff},
};

// Both spellings of each, since existence is tested with the exact name.
const char *const kCoverExtensions[] = {"bmp", "BMP", "tif",  "TIF",  "png", "PNG",
                                        "jpg", "JPG", "jpeg", "JPEG", "gif", "GIF"};

// Tag readers deliver UTF-8; anything else is no value at all.
QString utf8OrNull(const char *bytes)
{
    if (!bytes)
        return QString();
    QByteArrayView view(bytes);
    if (!view.isValidUtf8())
        return QString();
    return view.isEmpty() ? QString("") : QString::fromUtf8(view);
}

// album.flac -> album.EXT, beside it.
QString withExtension(const QString &path, const char *extension)
{
    qsizetype slash = path.lastIndexOf('/');
    qsizetype dot = path.lastIndexOf('.');
    QString base = dot > slash ? path.left(dot) : path;
    return base + '.' + QLatin1String(extension);
}

// A plain access() keeps a library scan from paying for a QFileInfo per candidate name.
bool exists(const QString &path) { return access(QFile::encodeName(path).constData(), F_OK) == 0; }

SVFile *openFile(const QString &path) { return SVFileOpen(QFile::encodeName(path).constData()); }

// The embedded sheet goes to album.flac.cue once; later scans find the file and keep it.
QString embeddedCueSheetPath(const QString &path, const char *cuesheet)
{
    QString sidePath = path + ".cue";
    if (exists(sidePath))
        return sidePath;
    QByteArrayView text(cuesheet);
    // Nothing is written for a text that is not UTF-8, so this scan finds no sheet.
    if (!text.isValidUtf8())
        return QString();
    // Written whole or not at all; a failed write is not reported and leaves no sheet.
    QSaveFile out(sidePath);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), text.size()) != text.size() ||
        !out.commit())
        return QString();
    return sidePath;
}

void addSubItems(PlayableItem *item, CueSheet *sheet)
{
    if (sheet->title) {
        item->setTitle(CharacterEncoding::parseCString(sheet->title));
        item->setAlbum(item->title());
    }
    if (sheet->performer)
        item->setArtist(CharacterEncoding::parseCString(sheet->performer));
    QList<PlayableItemPtr> tracks;
    for (int32_t n = 1; n <= sheet->trackCount; n++) {
        const CueTrack &track = sheet->tracks[n - 1];
        float duration = n == sheet->trackCount ? item->totalTime() - track.start : track.duration;
        // Starts that go backwards, or a sheet longer than its file, would give negative times.
        if (!(duration > 0))
            duration = 0;
        QString title = track.title ? CharacterEncoding::parseCString(track.title) : QString("");
        PlayableItemPtr sub =
            PlayableItem::itemWithTrackNumber(n, title, item->path(), track.start, duration);
        sub->setAudioType(item->audioType());
        sub->setHasEmbeddedCoverImage(item->hasEmbeddedCoverImage());
        sub->setCoverImagePath(item->coverImagePath());
        tracks << sub;
    }
    item->setSubItems(tracks);
}

QImage loadImage(const QString &path)
{
    QImage image;
    image.load(path);
    return image;
}

}  // namespace

int32_t PlayableItem::typeOfAudioFile(const QString &path)
{
    QString fileName = QFileInfo(path).fileName();
    qsizetype dot = fileName.lastIndexOf('.');
    if (dot < 0)
        return AudioTypeNone;
    QString extension = fileName.mid(dot + 1).toUpper();
    for (const TypeRow &row : kTypes) {
        if (extension == row.extension)
            return row.type;
    }
    return AudioTypeNone;
}

PlayableItemPtr PlayableItem::itemWithPath(const QString &path)
{
    int32_t type = typeOfAudioFile(path);
    if (type == AudioTypeNone)
        return nullptr;
    auto item = std::make_shared<PlayableItem>();
    item->path_ = path;
    item->audioType_ = type;
    SVFile *file = openFile(path);
    if (!file)
        return nullptr;

    const SVTag &tag = file->tag;
    if (tag.title) {
        item->title_ = utf8OrNull(tag.title);
        item->tagtitle_ = item->title_;
    } else {
        item->title_ = QFileInfo(path).completeBaseName();
    }
    if (tag.album)
        item->album_ = utf8OrNull(tag.album);
    if (tag.artist)
        item->artist_ = utf8OrNull(tag.artist);
    if (tag.year)
        item->year_ = tag.year;
    if (tag.genre)
        item->genre_ = utf8OrNull(tag.genre);
    item->sampleRate_ = int32_t(file->sample_rate);
    item->bitsPerSample_ = int32_t(file->bits_per_sample);
    item->hasEmbeddedCoverImage_ = tag.picture && tag.picture_size > 0;
    item->trackNumber_ = tag.track;
    item->totalTime_ = float(file->duration);

    QString cuePath = withExtension(path, "cue");
    if (!exists(cuePath))
        cuePath = tag.cuesheet ? embeddedCueSheetPath(path, tag.cuesheet) : QString();
    CueSheet *sheet = cuePath.isNull() ? nullptr : CueSheetLoad(QFile::encodeName(cuePath).constData());
    SVFileClose(file);

    if (sheet) {
        addSubItems(item.get(), sheet);
        CueSheetFree(sheet);
    }
    item->ownFile_ = true;
    return item;
}

PlayableItemPtr PlayableItem::itemWithTrackNumber(int32_t trackNumber, const QString &title,
                                                  const QString &path, float startTime,
                                                  float totalTime)
{
    auto item = std::make_shared<PlayableItem>();
    item->trackNumber_ = trackNumber;
    item->title_ = title;
    item->path_ = path;
    item->startTime_ = startTime;
    item->totalTime_ = totalTime;
    item->ownFile_ = false;
    return item;
}

bool PlayableItem::isEqualToItem(const PlayableItem *other) const
{
    if (!other)
        return false;
    if (other == this)
        return true;
    return path_ == other->path_ && ownFile_ == other->ownFile_ &&
           trackNumber_ == other->trackNumber_;
}

QString PlayableItem::description() const
{
    // Logs show an absent value the way the system's own formatting does.
    QString title = title_.isNull() ? QString("(null)") : title_;
    if (ownFile_)
        return QString("%1(%2)").arg(title, path_);
    return QString("Track %1 %2 start at %3").arg(trackNumber_).arg(title, humanTime(startTime_));
}

QString PlayableItem::humanTime(float seconds)
{
    // Out-of-range and NaN values would make the integer conversion undefined.
    if (!(seconds >= 0))
        seconds = 0;
    if (seconds > 2e9f)
        seconds = 2e9f;
    int whole = int(seconds);
    return QString::asprintf("%02d:%02d", whole / 60, whole % 60);
}

QString PlayableItem::GetCoverArtFile(const QString &path, const QString &album)
{
    for (const char *extension : kCoverExtensions) {
        QString candidate = withExtension(path, extension);
        if (exists(candidate))
            return candidate;
    }
    // An album name is looked up as a file name in the folder, never as a path elsewhere.
    if (!album.isEmpty() && !album.contains('/')) {
        QString folder = QFileInfo(path).path();
        for (const char *extension : kCoverExtensions) {
            QString candidate = folder + "/" + album + "." + extension;
            if (exists(candidate))
                return candidate;
        }
    }
    return QString();
}

QImage PlayableItem::coverImage()
{
    if (!coverImagePath_.isNull()) {
        QImage image = loadImage(coverImagePath_);
        if (!image.isNull())
            return image;
        coverImagePath_ = QString();
    }
    coverImagePath_ = GetCoverArtFile(path_, album_);
    if (!coverImagePath_.isNull()) {
        QImage image = loadImage(coverImagePath_);
        if (!image.isNull())
            return image;
        coverImagePath_ = QString();
    }
    if (!hasEmbeddedCoverImage_)
        return QImage();
    SVFile *file = openFile(path_);
    if (!file)
        return QImage();
    QImage image;
    if (file->tag.picture && file->tag.picture_size > 0)
        image.loadFromData(file->tag.picture, int(file->tag.picture_size));
    SVFileClose(file);
    return image;
}
