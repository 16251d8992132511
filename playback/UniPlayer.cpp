#include "playback/UniPlayer.h"

#include <QFile>

#include <algorithm>
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

void UniPlayer::HeardClock::start(double position, double sampleRate)
{
    stretches.assign(1, {0, position});
    fileStart = 0;
    rate = sampleRate;
}

void UniPlayer::HeardClock::jump(double readBefore, double readAfter, int64_t played)
{
    if (!valid())
        return;
    const Stretch last = stretches.back();
    int64_t frame = last.frame + std::llround((readBefore - last.position) * rate);
    // Stretches wholly heard already are of no further use.
    while (stretches.size() > 1 && stretches[1].frame <= played)
        stretches.erase(stretches.begin());
    stretches.push_back({std::max(frame, last.frame), readAfter});
}

void UniPlayer::HeardClock::follow(double oldEnd, int64_t played)
{
    jump(oldEnd, 0.0, played);
    if (valid())
        fileStart = stretches.back().frame;
}

double UniPlayer::HeardClock::heard(int64_t played) const
{
    if (played < fileStart)
        return double(played - fileStart) / rate;
    const Stretch *at = &stretches.front();
    for (const Stretch &s : stretches) {
        if (s.frame <= played)
            at = &s;
    }
    return at->position + double(played - at->frame) / rate;
}

void UniPlayer::setCurrentItem(const PlayableItemPtr &item)
{
    if (!item)
        fprintf(stderr, "Why?\n");
    if (currentItem_)
        previousItem_ = currentItem_;
    currentItem_ = item;
    itemEnded_ = false;
}

bool UniPlayer::playing() const
{
    return SVGetStatus(player_) == SVStatusPlaying;
}

int64_t UniPlayer::playedFrames() const
{
    return AudioQueuePlayedFrames(player_->queue);
}

bool UniPlayer::runsOnInto(const PlayableItem &item) const
{
    return currentItem_ && currentItem_->path() == item.path() &&
           item.trackNumber() == currentItem_->trackNumber() + 1 && (playing() || starting_) &&
           std::fabs(item.startTime() - currentTime()) < kRunOnTolerance;
}

bool UniPlayer::followsOn(const PlayableItem &item) const
{
    if (!currentItem_ || currentItem_->ownFile() || item.ownFile() || currentItem_->path() != item.path() ||
        item.trackNumber() != currentItem_->trackNumber() + 1)
        return false;
    // An ended file has been read to its end, and its queue still holds what follows.
    int32_t status = SVGetStatus(player_);
    if (status != SVStatusPlaying && status != SVStatusEnded && !starting_)
        return false;
    if (status == SVStatusEnded && player_->read_end_reached)
        return false;  // read only to a locked track's end: nothing of this one is queued
    return currentTime() >= item.startTime() - kRunOnTolerance;
}

void UniPlayer::play(const PlayableItemPtr &item)
{
    if (!item)
        return;
    // A change asked for now replaces one still waiting for its turn.
    RunLoop::cancelPerform(this, kPlayAction, QVariant());
    RunLoop::cancelPerform(this, kPauseAction, QVariant());

    // An ended or failed file is started afresh: a seek and restart would drop what its
    // queue still holds, where a new start lets it play out first.
    int32_t status = SVGetStatus(player_);
    bool sameFile = currentItem_ && currentItem_->path() == item->path() &&
                    SVCurrentFile(player_) && status != SVStatusEnded && status != SVStatusError;
    if (sameFile && runsOnInto(*item)) {
        runOnInto(item);
        return;
    }
    setCurrentItem(item);
    queuedItem_.reset();
    if (!sameFile) {
        startFile(item);
        return;
    }
    boundReading();
    seekToTime(item->startTime());
    if (!playing())
        play();
    dispatchEvent(EventFileChanged);
}

void UniPlayer::runOnInto(const PlayableItemPtr &item)
{
    setCurrentItem(item);
    queuedItem_.reset();
    boundReading();
    dispatchEvent(EventFileChanged);
}

void UniPlayer::setLocked(bool locked)
{
    locked_ = locked;
    boundReading();
}

// A locked cue track is read as if its file ended with it: the engine then reports the end
// and plays out its queue, which holds nothing of the next track, before the repeat starts
// afresh. Set again whenever the item or the lock changes; the engine keeps it across
// SVPlayFile, so it is in place before a new file's first reads.
void UniPlayer::boundReading()
{
    const PlayableItem *item = currentItem_.get();
    if (locked_ && item && !item->ownFile())
        SVSetReadEnd(player_, double(item->startTime()) + double(item->totalTime()));
    else
        SVSetReadEnd(player_, -1.0);
}

void UniPlayer::adoptFile(SVFile *file, double position)
{
    knownFile_ = file;
    knownFileEnd_ = file ? file->duration : 0.0;
    if (file)
        clock_.start(position, file->sample_rate);
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
    adoptFile(file, SVFileTell(file));
    boundReading();
    starting_ = true;
    SVPlayFile(player_, file);
    starting_ = false;
}

void UniPlayer::play()
{
    RunLoop::cancelPerform(this, kPauseAction, QVariant());
    itemEnded_ = false;
    int32_t status = SVGetStatus(player_);
    // These two build a fresh queue (an ended file from its start).
    if (status == SVStatusStopped || status == SVStatusEnded)
        adoptFile(SVCurrentFile(player_), status == SVStatusEnded ? 0.0 : SVGetCurrentPosition(player_));
    starting_ = true;
    SVPlay(player_);
    starting_ = false;
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
    // While playing, the queue still plays what it holds from before the seek.
    bool wasPlaying = playing();
    double before = SVGetCurrentPosition(player_);
    SVSeek(player_, seconds);
    if (wasPlaying)
        clock_.jump(before, SVGetCurrentPosition(player_), playedFrames());
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
        // Our own SVPlayFile reports the file we handed it; only a switch inside the engine's
        // chain brings the queued item in. (Priming may already have queued the next item.)
        if (SVFile *file = SVCurrentFile(player_); file != knownFile_) {
            clock_.follow(knownFileEnd_, playedFrames());
            knownFile_ = file;
            knownFileEnd_ = file ? file->duration : 0.0;
            if (queuedItem_) {
                setCurrentItem(queuedItem_);
                queuedItem_.reset();
            }
            boundReading();
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
    // Out of the engine's callback; the ended queue is heard out before the repeat starts.
    if (currentItem_)
        playWhenHeard(currentItem_, 0);
}

void UniPlayer::checkPlayer()
{
    if (!currentItem_)
        return;
    PlayableItemPtr current = currentItem_;  // onItemEnd may replace it
    const PlayableItem &item = *current;
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
        // A bounded read brings the end as an engine end instead, once the track is heard.
        if (locked_ && SVReadEndActive(player_))
            return;
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
    PlayableItemPtr next;
    if (queuedItem_) {
        next = queuedItem_;
        queuedItem_.reset();
    } else if (delegate_) {
        next = delegate_->nextItem();
        if (!next) {
            pauseWhenHeard(0);
            return;
        }
    } else {
        return;
    }
    // The next track of the same file follows on from what has been read: it takes over
    // now, so that its own end is seen in the reports to come however fast output runs. One
    // report can cover several short tracks (a buffer of low-rate audio lasts seconds), and
    // an ended file reports nothing more: its end may already have been read too.
    if (followsOn(*next)) {
        runOnInto(next);
        checkPlayer();
        return;
    }
    playWhenHeard(next, kNextItemDelay);
}

bool UniPlayer::currentEndHeard() const
{
    if (!currentItem_)
        return true;
    int32_t status = SVGetStatus(player_);
    if (status != SVStatusPlaying && status != SVStatusEnded)
        return true;  // paused or stopped: waiting would not bring the end any nearer
    AudioQueue *queue = player_->queue;
    uint32_t running = 0;
    if (!queue || !clock_.valid() || AudioQueueGetIsRunning(queue, &running) != kAudioQueueNoErr ||
        !running)
        return true;  // a queue that stopped has played all it had
    double end = double(currentItem_->startTime()) + double(currentItem_->totalTime());
    return clock_.heard(playedFrames()) >= end - 0.5 / clock_.rate;
}

void UniPlayer::playWhenHeard(const PlayableItemPtr &item, double delay)
{
    RunLoop::performAfterDelay(this, kPlayAction, QVariant(), delay, [this, item] {
        if (!currentEndHeard()) {
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
