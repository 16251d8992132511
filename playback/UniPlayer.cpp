#include "playback/UniPlayer.h"

#include <QFile>

#include <cmath>
#include <cstdio>

#include "engine/SVPlayer.h"
#include "platform/AudioQueue.h"
#include "platform/RunLoop.h"

namespace {

// Delayed calls, cancelled by these names; the last fade step cancels them all.
const char kPlayAction[] = "play:";
const char kPauseAction[] = "pause";
const char kSleepAction[] = "sleepTransition:";

constexpr double kNextItemDelay = 0.25;
constexpr double kFadeStepDelay = 0.3;
// How often a waiting change looks again whether the current track has been heard out.
constexpr double kHeardPollDelay = 0.02;
// The next cue track runs on when the engine has read no further than this into it.
constexpr float kRunOnTolerance = 2.0f;

// Engine callback, main run loop.
void engineCallback(void *userData, int32_t event)
{
    if (userData)
        static_cast<UniPlayer *>(userData)->onPlayerEvent(event);
}

SVFile *openFile(const PlayableItem &item)
{
    return SVFileOpen(QFile::encodeName(item.path()).constData());
}

}  // namespace

UniPlayer *UniPlayer::defaultPlayer()
{
    static UniPlayer *shared = create().release();
    return shared;
}

std::unique_ptr<UniPlayer> UniPlayer::create()
{
    SVPlayer *player = SVCreate();
    if (!player)
        return nullptr;
    std::unique_ptr<UniPlayer> uni(new UniPlayer(player));
    SVSetCallback(player, engineCallback, uni.get());
    return uni;
}

UniPlayer::UniPlayer(SVPlayer *player) : player_(player) {}

UniPlayer::~UniPlayer()
{
    RunLoop::cancelAllPerforms(this);
    SVSetCallback(player_, nullptr, nullptr);
    SVDestroy(player_);
}

void UniPlayer::setCurrentItem(const PlayableItemPtr &item)
{
    if (!item)
        fprintf(stderr, "Why?\n");
    if (currentItem_)
        previousItem_ = currentItem_;
    currentItem_ = item;
}

bool UniPlayer::playing() const
{
    return SVGetStatus(player_) == SVStatusPlaying;
}

bool UniPlayer::runsOnInto(const PlayableItem &item) const
{
    return currentItem_ && currentItem_->path() == item.path() &&
           item.trackNumber() == currentItem_->trackNumber() + 1 && playing() &&
           std::fabs(item.startTime() - currentTime()) < kRunOnTolerance;
}

void UniPlayer::play(const PlayableItemPtr &item)
{
    if (!item)
        return;
    // A change asked for now replaces one still waiting for its turn.
    RunLoop::cancelPerform(this, kPlayAction, QVariant());
    RunLoop::cancelPerform(this, kPauseAction, QVariant());

    // An ended or failed file is started afresh: its queue then plays out what it still
    // holds before the new one sounds, where a seek and restart would drop it.
    int32_t status = SVGetStatus(player_);
    bool sameFile = currentItem_ && currentItem_->path() == item->path() && SVCurrentFile(player_) &&
                    status != SVStatusEnded && status != SVStatusError;
    bool runOn = sameFile && runsOnInto(*item);

    setCurrentItem(item);
    queuedItem_.reset();
    itemEnded_ = false;

    if (!sameFile) {
        startFile(item);
        return;
    }
    if (!runOn) {
        seekToTime(item->startTime());
        if (!playing())
            play();
    }
    dispatchEvent(EventFileChanged);
}

void UniPlayer::startFile(const PlayableItemPtr &item)
{
    SVFile *file = openFile(*item);
    if (!file) {
        setCurrentItem(nullptr);
        onItemEnd();
        return;
    }
    if (!item->ownFile())
        SVFileSeek(file, item->startTime());
    queueOrigin_ = SVFileTell(file);
    originValid_ = true;
    startingFile_ = true;
    SVPlayFile(player_, file);
    startingFile_ = false;
}

void UniPlayer::play()
{
    RunLoop::cancelPerform(this, kPauseAction, QVariant());
    itemEnded_ = false;
    int32_t status = SVGetStatus(player_);
    if (status == SVStatusStopped || status == SVStatusEnded) {
        // A fresh queue starts here (an ended file from its start).
        queueOrigin_ = status == SVStatusEnded ? 0.0 : SVGetCurrentPosition(player_);
        originValid_ = true;
    }
    SVPlay(player_);
}

void UniPlayer::pause()
{
    SVPause(player_);
}

void UniPlayer::queueItem(const PlayableItemPtr &item)
{
    if (!item)
        return;
    if (item->ownFile()) {
        if (SVFile *file = openFile(*item))
            SVAddFile(player_, file);
    }
    queuedItem_ = item;
}

void UniPlayer::seekToTime(float seconds)
{
    if (SVGetStatus(player_) == SVStatusPlaying) {
        // The queue keeps playing what it holds from before; what it reads next comes from
        // the new position.
        double before = SVGetCurrentPosition(player_);
        SVSeek(player_, seconds);
        queueOrigin_ += SVGetCurrentPosition(player_) - before;
        return;
    }
    SVSeek(player_, seconds);
}

float UniPlayer::currentTime() const
{
    return float(SVGetCurrentPosition(player_));
}

void UniPlayer::setVolume(float volume)
{
    SVSetVolume(player_, volume);
}

float UniPlayer::getVolume() const
{
    return SVGetVolume(player_);
}

bool UniPlayer::addEventHandler(void *target, UniPlayerAction action, int32_t event)
{
    // A null target would look like a free entry and never be called.
    if (!target || !action)
        return false;
    int free = -1;
    for (int i = 0; i < kHandlerCount; i++) {
        const Handler &h = handlers_[i];
        if (h.target == target && h.action == action && h.event == event)
            return true;
        if (!h.target)
            free = i;
    }
    if (free < 0) {
        fprintf(stderr, "Warning: Event handlers full!!\n");
        return false;
    }
    handlers_[free] = {action, target, event};
    return true;
}

void UniPlayer::removeEventHandler(void *target)
{
    for (Handler &h : handlers_) {
        if (h.target == target)
            h = {};
    }
}

void UniPlayer::dispatchEvent(int32_t event)
{
    // Read entry by entry: a handler may remove itself or others while this runs.
    for (int i = 0; i < kHandlerCount; i++) {
        Handler h = handlers_[i];
        if (h.target && h.action && h.event == event)
            h.action(h.target);
    }
}

void UniPlayer::onPlayerEvent(int32_t event)
{
    switch (event) {
    case EventPosition:
        checkPlayer();
        break;
    case EventFileChanged:
        if (!startingFile_)
            originValid_ = false;  // a gapless switch: the queue began in the previous file
        if (queuedItem_) {
            setCurrentItem(queuedItem_);
            queuedItem_.reset();
            itemEnded_ = false;
        }
        break;
    case EventPaused:
    case EventPlaying:
        break;
    case EventEnded:
        onEnded();
        break;
    case EventError:
        fprintf(stderr, "Error player event\n");
        break;
    default:
        fprintf(stderr, "unsupported player event\n");
        break;
    }
    dispatchEvent(event);
}

void UniPlayer::onEnded()
{
    if (itemEnded_)
        return;
    itemEnded_ = true;
    if (!locked_) {
        onItemEnd();
        return;
    }
    // Out of the engine's callback first; the ended queue still plays out what it holds.
    PlayableItemPtr item = currentItem_;
    RunLoop::performAfterDelay(this, kPlayAction, QVariant(), 0, [this, item] { play(item); });
}

void UniPlayer::checkPlayer()
{
    if (!currentItem_)
        return;
    const PlayableItem &item = *currentItem_;
    float now = currentTime();
    if (item.ownFile()) {
        if (locked_ || queuedItem_)
            return;
        SVFile *file = SVCurrentFile(player_);
        if (file && file->next)
            return;
        if (std::fabs(now - item.totalTime()) < 1.0f && delegate_)
            queueItem(delegate_->nextItem());
        return;
    }
    if (itemEnded_)
        return;
    if (now >= item.startTime() + item.totalTime() - 0.1f) {
        if (locked_) {
            seekToTime(item.startTime());
        } else {
            itemEnded_ = true;
            onItemEnd();
        }
    }
}

void UniPlayer::onItemEnd()
{
    if (queuedItem_) {
        PlayableItemPtr item = queuedItem_;
        queuedItem_.reset();
        playWhenHeard(item, kNextItemDelay);
        return;
    }
    if (!delegate_)
        return;
    PlayableItemPtr next = delegate_->nextItem();
    if (next)
        playWhenHeard(next, kNextItemDelay);
    else
        pauseWhenHeard(0);
}

bool UniPlayer::currentEndHeard() const
{
    // The engine plays a whole file out by itself; only a cue track stops inside its file,
    // and the read position runs ahead of what is heard by what the queue holds.
    if (!currentItem_ || currentItem_->ownFile())
        return true;
    int32_t status = SVGetStatus(player_);
    if (status != SVStatusPlaying && status != SVStatusEnded)
        return true;
    SVFile *file = SVCurrentFile(player_);
    if (!originValid_ || !file || file->sample_rate == 0 || !player_->queue)
        return true;
    double heard = queueOrigin_ + double(AudioQueuePlayedFrames(player_->queue)) / file->sample_rate;
    double end = double(currentItem_->startTime()) + double(currentItem_->totalTime());
    return heard >= end - 0.5 / file->sample_rate;
}

void UniPlayer::playWhenHeard(const PlayableItemPtr &item, double delay)
{
    RunLoop::performAfterDelay(this, kPlayAction, QVariant(), delay, [this, item] {
        if (!runsOnInto(*item) && !currentEndHeard()) {
            playWhenHeard(item, kHeardPollDelay);
            return;
        }
        play(item);
    });
}

void UniPlayer::pauseWhenHeard(double delay)
{
    RunLoop::performAfterDelay(this, kPauseAction, QVariant(), delay, [this] {
        if (!currentEndHeard()) {
            pauseWhenHeard(kHeardPollDelay);
            return;
        }
        pause();
    });
}

void UniPlayer::sleep()
{
    sleepTransition(20);
}

void UniPlayer::sleepTransition(int step)
{
    if (step > 0) {
        setVolume(float(step) * 0.05f);
        RunLoop::performAfterDelay(this, kSleepAction, QVariant(step - 1), kFadeStepDelay,
                                   [this, step] { sleepTransition(step - 1); });
        return;
    }
    RunLoop::cancelAllPerforms(this);
    setVolume(0.0f);
    pause();
    setVolume(1.0f);
}
