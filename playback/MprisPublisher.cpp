#include "playback/MprisPublisher.h"

#include <QFileInfo>

#include <cmath>

#include "platform/RemoteControl.h"
#include "platform/SystemVolume.h"
#include "playback/PlayList.h"
#include "playback/UniPlayer.h"

MprisPublisher::MprisPublisher(RemoteControl *remote, PlayList *playList, UniPlayer *player, QObject *parent)
    : QObject(parent), remote_(remote), playList_(playList), nowPlaying_(playList, player)
{
    // The play list hears the player's events for the whole run, so following it keeps the
    // player's small handler table free for the screens.
    connect(playList_, &PlayList::playStateChanged, this, [this] {
        publishStatus();
        publishCapabilities();
    });
    connect(playList_, &PlayList::currentItemChanged, this, [this] {
        update();
        lastSeen_.invalidate();  // a new track: clients read its position afresh
    });
    // One handler: the screens need most of the player's small table.
    if (UniPlayer *player = nowPlaying_.player())
        player->addEventHandler(this, UniPlayer::action<&MprisPublisher::onPositionTick>(), UniPlayer::EventPosition);
    connect(playList_, &QAbstractItemModel::modelReset, this, &MprisPublisher::publishCapabilities);
    connect(remote_, &RemoteControl::seekRequested, this, [this](double seconds) { nowPlaying_.seekIntoItem(seconds); });
    remote_->setPositionProvider([this] { return double(nowPlaying_.elapsed()); });
    update();
}

MprisPublisher::~MprisPublisher()
{
    if (UniPlayer *player = nowPlaying_.player())
        player->removeEventHandler(this);
    remote_->setPositionProvider(nullptr);
}

void MprisPublisher::update()
{
    publishTrack();
    publishStatus();
    publishCapabilities();
}

void MprisPublisher::setSystemVolume(SystemVolume *volume)
{
    if (volume_)
        disconnect(volume_, nullptr, this, nullptr);
    disconnect(remote_, &RemoteControl::volumeRequested, this, nullptr);
    volume_ = volume && volume->isAvailable() ? volume : nullptr;
    if (!volume_)
        return;
    remote_->setVolume(volume_->volume());
    connect(volume_, &SystemVolume::volumeChanged, remote_, &RemoteControl::setVolume);
    connect(remote_, &RemoteControl::volumeRequested, this, [this](double v) {
        if (volume_ && volume_->setVolume(v))
            remote_->setVolume(volume_->volume());
    });
}

namespace {

// Progress reports come once a second of reading, and reading runs ahead of what is heard by
// up to about a second: a jump beyond this is a seek.
const double kSeekTolerance = 2.5;

}  // namespace

void MprisPublisher::onPositionTick()
{
    UniPlayer *player = nowPlaying_.player();
    followPosition(player && player->playing());
}

void MprisPublisher::followPosition(bool playing)
{
    const double position = nowPlaying_.elapsed();
    if (lastSeen_.isValid()) {
        double expected = lastPosition_ + (lastPlaying_ ? double(lastSeen_.elapsed()) / 1000 : 0.0);
        if (std::fabs(position - expected) > kSeekTolerance)
            remote_->notifySeeked();
    }
    lastPosition_ = position;
    lastPlaying_ = playing;
    lastSeen_.start();
}

void MprisPublisher::publishStatus()
{
    UniPlayer *player = nowPlaying_.player();
    // A seek made while paused shows when playback goes on or stops.
    followPosition(player && player->playing());
    if (player && player->playing())
        remote_->setPlaybackStatus(RemoteControl::Status::Playing);
    else if (nowPlaying_.currentItem())
        remote_->setPlaybackStatus(RemoteControl::Status::Paused);
    else
        remote_->setPlaybackStatus(RemoteControl::Status::Stopped);
}

void MprisPublisher::publishTrack()
{
    PlayableItemPtr item = nowPlaying_.currentItem();
    if (!item) {
        remote_->setTrack(RemoteControl::Track());
        return;
    }
    RemoteControl::Track track;
    track.key = item->path() + QLatin1Char('#') + QString::number(double(item->startTime()));
    // Untitled cue tracks would show as nothing at all.
    track.title = item->title().isEmpty() ? QFileInfo(item->path()).fileName() : item->title();
    track.artist = item->artist();
    track.album = item->album();
    track.length = item->totalTime() > 0 ? item->totalTime() : 0;
    // Decoding and writing a cover takes a while: once per file, which the tracks of a cue
    // album share.
    if (item->path() != coverKey_) {
        coverKey_ = item->path();
        coverPath_ = RemoteControl::writeCoverArt(item->coverImage());
    }
    track.coverPath = coverPath_;
    remote_->setTrack(track);
}

void MprisPublisher::publishCapabilities()
{
    PlayableItemPtr item = nowPlaying_.currentItem();
    bool listed = !playList_->playList().isEmpty();
    remote_->setCanGoNext(listed);
    remote_->setCanGoPrevious(bool(item));
    remote_->setCanPlay(item || listed);
    remote_->setCanPause(bool(item));
    remote_->setCanSeek(item && item->totalTime() > 0);
}
