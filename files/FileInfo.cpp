#include "files/FileInfo.h"

#include "files/FileSystemObject.h"
#include "metadata/PlayableItem.h"
#include "platform/Localization.h"

QString sizeString(qint64 size)
{
    constexpr qint64 kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
    if (size < kKiB)
        return SVLocalized("%1 Bytes").arg(size);
    if (size < kMiB)
        return QString::asprintf("%.1f KB", double(size) / kKiB);
    if (size < kGiB)
        return QString::asprintf("%.1f MB", double(size) / kMiB);
    return QString::asprintf("%.1f GB", double(size) / kGiB);
}

QString fileInfoFooter(const QString &path, const PlayableItem *item)
{
    auto line = [](const char *label, const QString &value) {
        return QStringLiteral("%1 : %2\n").arg(SVLocalized(label), value);
    };
    QString footer = line(SV_TEXT("File Size"), sizeString(FileSystemObject::sharedObject()->fileSize(path)));
    if (!item)
        return footer;
    if (item->sampleRate() != 0)
        footer += QStringLiteral("%1 Hz").arg(item->sampleRate());
    if (item->bitsPerSample() != 0)
        footer += QStringLiteral(", %1 bit").arg(item->bitsPerSample());
    footer += '\n';
    if (!item->tagtitle().isEmpty())
        footer += line(SV_TEXT("Title"), item->title());
    if (!item->artist().isEmpty())
        footer += line(SV_TEXT("Artist"), item->artist());
    if (!item->album().isEmpty())
        footer += line(SV_TEXT("Album"), item->album());
    if (!item->genre().isEmpty())
        footer += line(SV_TEXT("Genre"), item->genre());
    if (item->year() != 0)
        footer += line(SV_TEXT("Year"), QString::number(item->year()));
    if (item->trackNumber() != 0)
        footer += line(SV_TEXT("Track"), QString::number(item->trackNumber()));
    return footer;
}
