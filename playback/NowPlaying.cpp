#include "playback/NowPlaying.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "files/FileSystemObject.h"
#include "platform/Preferences.h"
#include "playback/PlayList.h"
#include "playback/UniPlayer.h"

namespace {

const int kDefaultBackstep = 30;

}  // namespace

NowPlaying::NowPlaying(PlayingSource *source, UniPlayer *player)
    : source_(source), player_(player ? player : UniPlayer::defaultPlayer())
{
}

PlayableItemPtr NowPlaying::currentItem() const
{
    return player_ ? player_->currentItem() : nullptr;
}

QString NowPlaying::promptText(float elapsed, float total)
{
    return PlayableItem::humanTime(elapsed) + QStringLiteral(" / ") + PlayableItem::humanTime(total);
}

float NowPlaying::elapsed() const
{
    PlayableItemPtr item = currentItem();
    if (!item)
        return 0;
    return std::max(0.0f, player_->currentTime() - item->startTime());
}

QString NowPlaying::prompt() const
{
    PlayableItemPtr item = currentItem();
    return item ? promptText(elapsed(), item->totalTime()) : QString();
}

std::optional<float> NowPlaying::sliderValue() const
{
    PlayableItemPtr item = currentItem();
    if (!item || !(item->totalTime() > 0))
        return std::nullopt;
    return elapsed() / item->totalTime();
}

int NowPlaying::backstep()
{
    qint64 step = Preferences::integerForKey(QStringLiteral("BackStep"));
    return step > 0 && step <= INT32_MAX ? int(step) : kDefaultBackstep;
}

void NowPlaying::playBack()
{
    PlayableItemPtr item = currentItem();
    if (!item)
        return;
    float t = player_->currentTime() - float(backstep());
    player_->seekToTime(std::max(item->startTime(), t));
}

float NowPlaying::lastSeekablePosition(const PlayableItem &item)
{
    float total = item.totalTime() > 0 ? item.totalTime() : 0;
    return item.startTime() + std::max(0.0f, std::ceil(total) - 1);
}

float NowPlaying::seekPosition(const PlayableItem &item, double seconds)
{
    if (!(seconds > 0))
        seconds = 0;
    return std::min(float(item.startTime() + seconds), lastSeekablePosition(item));
}

void NowPlaying::endSeeking(float value)
{
    PlayableItemPtr item = currentItem();
    if (!item)
        return;
    player_->seekToTime(seekPosition(*item, double(item->totalTime()) * value));
    if (!player_->playing())
        player_->play();
}

void NowPlaying::seekIntoItem(double seconds)
{
    if (PlayableItemPtr item = currentItem())
        player_->seekToTime(seekPosition(*item, seconds));
}

void NowPlaying::togglePlay()
{
    if (!player_)
        return;
    if (player_->playing())
        player_->pause();
    else
        player_->play();
}

void NowPlaying::prev()
{
    if (source_)
        source_->previous();
}

void NowPlaying::next()
{
    if (!source_ || !player_)
        return;
    if (PlayableItemPtr item = source_->nextItem())
        player_->play(item);
}

QString NowPlaying::lyricFileForItem(const PlayableItem &item)
{
    const QString &path = item.path();
    if (path.isEmpty())
        return QString();
    FileSystemObject *fs = FileSystemObject::sharedObject();
    qsizetype slash = path.lastIndexOf('/');
    // A title that is empty or holds a separator names no file in the folder.
    const QString &title = item.title();
    if (!title.isEmpty() && !title.contains('/')) {
        QString byTitle = path.left(slash + 1) + title + QStringLiteral(".lrc");
        if (fs->fileExists(byTitle))
            return byTitle;
    }
    qsizetype dot = path.lastIndexOf('.');
    QString byFile = (dot > slash + 1 ? path.left(dot) : path) + QStringLiteral(".lrc");
    return fs->fileExists(byFile) ? byFile : QString();
}
