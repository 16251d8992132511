#include "playback/MprisPublisher.h"

#include <QFileInfo>

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
    connect(playList_, &PlayList::currentItemChanged, this, &MprisPublisher::update);
    connect(playList_, &QAbstractItemModel::modelReset, this, &MprisPublisher::publishCapabilities);
    connect(remote_, &RemoteControl::seekRequested, this, [this](double seconds) { nowPlaying_.seekIntoItem(seconds); });
    remote_->setPositionProvider([this] { return double(nowPlaying_.elapsed()); });
    update();
}

MprisPublisher::~MprisPublisher()
{
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

void MprisPublisher::publishStatus()
{
    UniPlayer *player = nowPlaying_.player();
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
