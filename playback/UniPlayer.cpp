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
// A point counts as heard this close before it: less than one frame at any rate played.
constexpr double kHeardTolerance = 0.0005;
// Bounds of the wait before looking again whether a point has been heard.
constexpr double kMinHeardPoll = 0.002;
constexpr double kMaxHeardPoll = 0.25;

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

double pollDelay(double seconds)
{
    return std::clamp(seconds, kMinHeardPoll, kMaxHeardPoll);
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
    SVSetReadEndCallback(player, readEndCallback);
    return uni;
}

UniPlayer::UniPlayer(SVPlayer *player) : player_(player) {}

UniPlayer::~UniPlayer()
{
    RunLoop::cancelAllPerforms(this);
    heardTimer_.invalidate();
    fadeEnd_.invalidate();
    SVSetCallback(player_, nullptr, nullptr);
    SVDestroy(player_);
}

// Engine, main run loop, from inside a refill.
void UniPlayer::readEndCallback(void *userData)
{
    if (userData)
        static_cast<UniPlayer *>(userData)->onReadEnd();
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
    return SVIsAudible(player_);
}

// The item is heard from now on and read from its start: what was read ahead is no longer.
void UniPlayer::startCurrent(const PlayableItemPtr &item)
{
    setCurrentItem(item);
    readItem_ = item;
    queuedItem_.reset();
    upcoming_.clear();
    heardTimer_.invalidate();
    forgetEnd();
}

void UniPlayer::forgetEnd()
{
    itemEnded_ = false;
    nextChosen_ = false;
    chosenNext_.reset();
}

void UniPlayer::cancelPending()
{
    RunLoop::cancelPerform(this, kPlayAction, QVariant());
    RunLoop::cancelPerform(this, kPauseAction, QVariant());
    pendingItem_.reset();
    pendingPause_ = false;
    suspended_ = false;
}

void UniPlayer::play(const PlayableItemPtr &item)
{
    if (!item)
        return;
    // A change asked for now replaces one still waiting for its turn.
    cancelPending();
    cancelFadeEnd();
    const bool sameFile = readItem_ && readItem_->path() == item->path() && SVCurrentFile(player_) &&
                          SVGetStatus(player_) != SVStatusError;
    startCurrent(item);
    if (!sameFile) {
        if (startFile(item, -1.0))
            dispatchEvent(EventFileChanged);
        return;
    }
    // The queue drops what it holds of the old place and refills from the item's start.
    boundReading();
    SVSeek(player_, item->startTime());
    if (!playing())
        play();
    dispatchEvent(EventFileChanged);
}

void UniPlayer::setLocked(bool locked)
{
    locked_ = locked;
    if (!locked || !readItem_)
        return;
    // The lock is for the item heard: reading that ran on past it goes back to it.
    if (!upcoming_.empty() && currentItem_) {
        seekToTime(currentTime());
        return;
    }
    if (!nextChosen_ && !itemEnded_)
        return;  // the repeat comes at the read end
    // Reading stopped at the item's end and what follows was chosen unlocked: while that end
    // still plays, the item runs on into its repeat; once heard out, it starts again.
    if (SVIsAudible(player_)) {
        cancelPending();
        forgetEnd();
        repeatReadItem();
    } else if (pendingItem_) {
        pendingItem_ = readItem_;
    }
}

// Inside or after the read item's end: reading goes back to its start, announced when heard.
void UniPlayer::repeatReadItem()
{
    const double start = readItem_->ownFile() ? 0.0 : double(readItem_->startTime());
    SVContinueAt(player_, start);
    upcoming_.push_back({readItem_, {SVGetReadPoint(player_).stretch, start}});
    watchHeard();
}

// A cue track is read as if its file ended with it, so that what follows it is chosen exactly
// where its reading stops. Set whenever the read item changes; the engine keeps it across
// SVPlayFile, so it is in place before a new file's first reads.
void UniPlayer::boundReading()
{
    const PlayableItem *item = readItem_.get();
    if (item && !item->ownFile())
        SVSetReadEnd(player_, double(item->startTime()) + double(item->totalTime()));
    else
        SVSetReadEnd(player_, -1.0);
}

bool UniPlayer::startFile(const PlayableItemPtr &item, double at, bool seek)
{
    SVFile *file = openFile(*item);
    if (!file) {
        setCurrentItem(nullptr);
        readItem_.reset();
        onItemEnd();
        return false;
    }
    if (at >= 0)
        SVFileSeek(file, at);
    else if (!item->ownFile())
        SVFileSeek(file, item->startTime());
    knownFile_ = file;
    boundReading();
    if (seek)
        SVSeekFile(player_, file);
    else
        SVPlayFile(player_, file);
    return true;
}

void UniPlayer::play()
{
    cancelFadeEnd();
    const int32_t status = SVGetStatus(player_);
    if (status == SVStatusError && currentItem_) {
        // The output broke or a read failed: the item starts again where it was heard.
        PlayableItemPtr item = currentItem_;
        const double at = SVGetHeardPoint(player_).position;
        cancelPending();
        readItem_ = item;
        queuedItem_.reset();
        upcoming_.clear();
        forgetEnd();
        startFile(item, at);
        return;
    }
    if (status == SVStatusEnded && SVIsAudible(player_))
        return;  // the end still plays
    if (status == SVStatusEnded && currentItem_ && !currentItem_->ownFile()) {
        // Played out: the track again, not its album from the start.
        play(currentItem_);
        return;
    }
    if (status == SVStatusStopped || status == SVStatusEnded) {
        upcoming_.clear();
        forgetEnd();
    }
    SVPlay(player_);
    if (suspended_ && SVGetStatus(player_) != SVStatusPaused) {
        suspended_ = false;
        if (pendingItem_)
            playWhenHeard(pendingItem_, 0);
        else if (pendingPause_)
            pauseWhenHeard(0);
    }
    watchHeard();
}

void UniPlayer::pause()
{
    // What waits for the end to be heard waits with the pause, instead of taking the pause for
    // the end.
    if (pendingItem_ || pendingPause_) {
        RunLoop::cancelPerform(this, kPlayAction, QVariant());
        RunLoop::cancelPerform(this, kPauseAction, QVariant());
        suspended_ = true;
    }
    SVPause(player_);
}

void UniPlayer::queueItem(const PlayableItemPtr &item)
{
    if (!item)
        return;
    // Set first: a file that joins may be taken at once, while the end plays out.
    queuedItem_ = item;
    if (item->ownFile()) {
        if (SVFile *file = openFile(*item))
            SVAddFile(player_, file);
    }
}

void UniPlayer::seekToTime(float seconds)
{
    cancelPending();
    forgetEnd();
    upcoming_.clear();
    heardTimer_.invalidate();
    PlayableItemPtr item = currentItem_;
    if (item && readItem_ && readItem_->path() != item->path()) {
        // Reading has moved on into the next file: the one heard is opened again at the target.
        readItem_ = item;
        queuedItem_.reset();
        startFile(item, seconds, true);
        return;
    }
    if (item)
        readItem_ = item;
    boundReading();
    SVSeek(player_, seconds);
}

float UniPlayer::currentTime() const
{
    return float(SVGetHeardPoint(player_).position);
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
        // chain brings the queued item in. Either is reported when it is heard.
        if (SVFile *file = SVCurrentFile(player_); file != knownFile_) {
            knownFile_ = file;
            forgetEnd();
            if (queuedItem_) {
                readItem_ = queuedItem_;
                queuedItem_.reset();
                upcoming_.push_back({readItem_, {SVGetReadPoint(player_).stretch, 0.0}});
                watchHeard();
            }
            boundReading();
        }
        return;
    case EventPaused:
        // Played out: what was read ahead has been heard by now.
        watchHeard();
        break;
    case EventPlaying:
        watchHeard();
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

PlayableItemPtr UniPlayer::askNext()
{
    if (!delegate_)
        return nullptr;
    PlayableItemPtr heard = std::exchange(currentItem_, readItem_);
    PlayableItemPtr next = delegate_->nextItem();
    currentItem_ = heard;
    return next;
}

PlayableItemPtr UniPlayer::takeNext()
{
    if (queuedItem_) {
        PlayableItemPtr next = queuedItem_;
        queuedItem_.reset();
        return next;
    }
    return askNext();
}

// Reading of the read item stopped at its end, inside the engine's refill: a repeat, or the
// next track of the same file, goes on in the same queue without a gap.
void UniPlayer::onReadEnd()
{
    PlayableItemPtr item = readItem_;
    if (!item)
        return;
    if (locked_) {
        repeatReadItem();
        return;
    }
    // A whole file goes on into a joinable queued file, or ends.
    if (item->ownFile() || nextChosen_)
        return;
    PlayableItemPtr next = takeNext();
    nextChosen_ = true;
    chosenNext_ = next;
    if (!next || next->ownFile() || next->path() != item->path())
        return;  // another file, or nothing: once this end is heard
    nextChosen_ = false;
    chosenNext_.reset();
    readItem_ = next;
    // The next track where the last one ends reads on; any other is a jump.
    const double rate = SVCurrentFile(player_)->sample_rate;
    if (std::fabs(double(next->startTime()) - SVGetCurrentPosition(player_)) * rate >= 0.5)
        SVContinueAt(player_, next->startTime());
    boundReading();
    upcoming_.push_back({next, {SVGetReadPoint(player_).stretch, double(next->startTime())}});
    watchHeard();
}

void UniPlayer::onEnded()
{
    if (itemEnded_)
        return;
    itemEnded_ = true;
    endPoint_ = SVGetReadPoint(player_);
    if (locked_ && readItem_) {
        // The repeat could not run on in the queue: it starts again once this end is heard.
        nextChosen_ = false;
        chosenNext_.reset();
        playWhenHeard(readItem_, 0);
        return;
    }
    if (!nextChosen_) {
        onItemEnd();
        return;
    }
    PlayableItemPtr next = chosenNext_;
    nextChosen_ = false;
    chosenNext_.reset();
    if (next)
        playWhenHeard(next, kNextItemDelay);
}

void UniPlayer::checkPlayer()
{
    // A cue track's end is met where its reading stops; a whole file's successor is queued
    // near its end, so the engine can join it.
    const PlayableItem *item = readItem_.get();
    if (!item || !item->ownFile() || locked_ || queuedItem_)
        return;
    SVFile *file = SVCurrentFile(player_);
    if (file && file->next)
        return;
    if (std::fabs(float(SVGetCurrentPosition(player_)) - item->totalTime()) < 1.0f && delegate_)
        queueItem(askNext());
}

void UniPlayer::onItemEnd()
{
    // Where the read item's end is heard: where its data stopped, or where it is to stop.
    endPoint_ = SVGetReadPoint(player_);
    if (SVGetStatus(player_) != SVStatusEnded && readItem_)
        endPoint_.position = double(readItem_->startTime()) + double(readItem_->totalTime());
    PlayableItemPtr next;
    if (queuedItem_) {
        next = queuedItem_;
        queuedItem_.reset();
    } else if (delegate_) {
        next = askNext();
        if (!next) {
            // An ended stream stops by itself once played out; a playing one is paused there.
            if (SVGetStatus(player_) == SVStatusPlaying)
                pauseWhenHeard(0);
            return;
        }
    } else {
        return;
    }
    playWhenHeard(next, kNextItemDelay);
}

double UniPlayer::untilEndHeard() const
{
    return SVSecondsUntilHeard(player_, endPoint_);
}

bool UniPlayer::endHeard() const
{
    const int32_t status = SVGetStatus(player_);
    if (status == SVStatusStopped || status == SVStatusError)
        return true;  // nothing more will be heard
    if (status == SVStatusPaused)
        return false;  // the user paused: the end is not heard
    return untilEndHeard() <= kHeardTolerance;
}

void UniPlayer::playWhenHeard(const PlayableItemPtr &item, double delay)
{
    pendingItem_ = item;
    RunLoop::performAfterDelay(this, kPlayAction, QVariant(), delay, [this] {
        if (!endHeard()) {
            playWhenHeard(pendingItem_, pollDelay(untilEndHeard()));
            return;
        }
        PlayableItemPtr next = std::move(pendingItem_);
        pendingItem_.reset();
        play(next);
    });
}

void UniPlayer::pauseWhenHeard(double delay)
{
    pendingPause_ = true;
    RunLoop::performAfterDelay(this, kPauseAction, QVariant(), delay, [this] {
        if (!endHeard()) {
            pauseWhenHeard(pollDelay(untilEndHeard()));
            return;
        }
        pendingPause_ = false;
        SVPause(player_);
    });
}

// Announces each item read ahead once its start is heard.
void UniPlayer::watchHeard()
{
    heardTimer_.invalidate();
    while (!upcoming_.empty()) {
        const double until = SVSecondsUntilHeard(player_, upcoming_.front().start);
        if (until > kHeardTolerance) {
            heardTimer_.start(pollDelay(until), [this] { watchHeard(); });
            return;
        }
        PlayableItemPtr item = upcoming_.front().item;
        upcoming_.pop_front();
        setCurrentItem(item);
        dispatchEvent(EventFileChanged);
    }
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
    pendingItem_.reset();
    pendingPause_ = false;
    suspended_ = false;
    setVolume(0.0f);
    // What the output held at the last level plays out first, so the fade ends in silence.
    fadeEnd_.start(kFadeStepDelay, [this] {
        pause();
        setVolume(1.0f);
    });
}

// The user starts something while the faded-out player waits to pause: it plays at full volume.
void UniPlayer::cancelFadeEnd()
{
    if (!fadeEnd_.isValid())
        return;
    fadeEnd_.invalidate();
    setVolume(1.0f);
}
