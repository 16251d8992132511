// The application's player: knows the current, queued and previous item, plays cue-sheet
// tracks as stretches of their album file, prepares the next file near the end so the engine
// can join it without a gap, repeats when locked, fades out for the sleep timer, and passes
// every engine event on to a small table of handlers. Main thread only.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "metadata/PlayableItem.h"

struct SVFile;
struct SVPlayer;

class UniPlayerDelegate {
public:
    // Main thread. The item to play after the current one, or null to stop.
    virtual PlayableItemPtr nextItem() = 0;

protected:
    ~UniPlayerDelegate() = default;
};

// A handler: called on the main thread with the target it was registered with.
using UniPlayerAction = void (*)(void *target);

class UniPlayer {
public:
    enum : int32_t {
        EventPosition = 0,
        EventFileChanged = 1,
        EventPaused = 2,
        EventPlaying = 3,
        EventEnded = 4,
        EventError = 5,
    };
    static constexpr int kHandlerCount = 10;

    // The shared player, made on first use and kept for the process; null when the engine
    // player cannot be created.
    static UniPlayer *defaultPlayer();
    // A private player (tools, tests); null when the engine player cannot be created.
    static std::unique_ptr<UniPlayer> create();
    ~UniPlayer();
    UniPlayer(const UniPlayer &) = delete;
    UniPlayer &operator=(const UniPlayer &) = delete;

    // The handler that calls `Method` on its target: action<&PlayList::onItemChange>().
    template <auto Method>
    static UniPlayerAction action();

    void play(const PlayableItemPtr &item);
    void play();
    void pause();
    void queueItem(const PlayableItemPtr &item);
    void seekToTime(float seconds);
    float currentTime() const;  // read position in the current file, ahead of what is heard
    void setVolume(float volume);
    float getVolume() const;

    bool addEventHandler(void *target, UniPlayerAction action, int32_t event);
    void removeEventHandler(void *target);
    void dispatchEvent(int32_t event);
    void onPlayerEvent(int32_t event);

    void checkPlayer();
    void onItemEnd();
    void sleep();
    void sleepTransition(int step);
    static QString humanTime(float seconds) { return PlayableItem::humanTime(seconds); }

    const PlayableItemPtr &currentItem() const { return currentItem_; }
    const PlayableItemPtr &previousItem() const { return previousItem_; }
    void setPreviousItem(const PlayableItemPtr &item) { previousItem_ = item; }
    const PlayableItemPtr &queuedItem() const { return queuedItem_; }
    void setQueuedItem(const PlayableItemPtr &item) { queuedItem_ = item; }
    UniPlayerDelegate *delegate() const { return delegate_; }
    void setDelegate(UniPlayerDelegate *delegate) { delegate_ = delegate; }
    bool locked() const { return locked_; }
    void setLocked(bool locked);
    bool playing() const;

private:
    explicit UniPlayer(SVPlayer *player);

    struct Handler {
        UniPlayerAction action;
        void *target;
        int32_t event;
    };

    // Where in the current file the output is: the file position at which each stretch of
    // played frames of the current output queue began. The engine's read position runs ahead
    // of what is heard by what the queue holds.
    struct HeardClock {
        struct Stretch {
            int64_t frame;    // played-frame count of the queue at which the stretch starts
            double position;  // file position there, seconds
        };
        std::vector<Stretch> stretches;
        int64_t fileStart = 0;  // where the current file's first stretch starts
        double rate = 0;

        void start(double position, double sampleRate);
        // A seek while playing: what is read next follows what was read before.
        void jump(double readBefore, double readAfter, int64_t played);
        // A gapless switch: the new file begins where the old one ended.
        void follow(double oldEnd, int64_t played);
        bool valid() const { return rate > 0 && !stretches.empty(); }
        // Seconds into the current file; negative while the previous file is still heard.
        double heard(int64_t played) const;
    };

    void setCurrentItem(const PlayableItemPtr &item);
    void onEnded();
    void runOnInto(const PlayableItemPtr &item);
    bool runsOnInto(const PlayableItem &item) const;
    bool followsOn(const PlayableItem &item) const;
    void playWhenHeard(const PlayableItemPtr &item, double delay);
    void pauseWhenHeard(double delay);
    bool currentEndHeard() const;
    void startFile(const PlayableItemPtr &item);
    void boundReading();
    void adoptFile(SVFile *file, double position);
    int64_t playedFrames() const;

    SVPlayer *player_;
    PlayableItemPtr currentItem_;
    PlayableItemPtr previousItem_;
    PlayableItemPtr queuedItem_;
    UniPlayerDelegate *delegate_ = nullptr;
    bool locked_ = false;
    Handler handlers_[kHandlerCount] = {};

    // The engine may report one end several times while its buffers drain, and a cue track's
    // end is also seen in the position reports: the current item ends once.
    bool itemEnded_ = false;
    // The engine's current file as last seen here, and where it ends: a file change that
    // leaves it in place is our own start, not a gapless switch to the queued item.
    SVFile *knownFile_ = nullptr;
    double knownFileEnd_ = 0;
    HeardClock clock_;
    // While our own call primes a new queue: reading has begun though the engine does not
    // report playing yet, so a short track that ends inside the priming can still run on.
    bool starting_ = false;
};

template <class Member>
struct UniPlayerMemberClass;
template <class C>
struct UniPlayerMemberClass<void (C::*)()> {
    using type = C;
};

template <auto Method>
UniPlayerAction UniPlayer::action()
{
    using Class = typename UniPlayerMemberClass<decltype(Method)>::type;
    return [](void *target) { (static_cast<Class *>(target)->*Method)(); };
}
