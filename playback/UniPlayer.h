// The application's player: knows the current, queued and previous item, plays cue-sheet
// tracks as stretches of their album file, prepares the next file near the end so the engine
// can join it without a gap, repeats when locked, fades out for the sleep timer, and passes
// the engine's events on to a small table of handlers. What it reports follows what is heard:
// the current item changes (code 1) when its first sample is heard, however far the engine
// has read ahead. Main thread only.
#pragma once

#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/SVPlayer.h"
#include "metadata/PlayableItem.h"
#include "platform/RunLoop.h"

class UniPlayerDelegate {
public:
    // Main thread. The item to play after the current one, or null to stop. While this is
    // asked, the player's currentItem is the item being read, which the answer must follow (it
    // runs ahead of the item heard when short tracks are buffered).
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

    // Starts the item; a change inside the file being played is heard at once.
    void play(const PlayableItemPtr &item);
    // Resumes; after an output failure, starts the current item again where it was heard.
    void play();
    // Pauses what is heard, at any moment; a change waiting for the end to be heard waits
    // with it until play().
    void pause();
    void queueItem(const PlayableItemPtr &item);
    // File-relative seconds; heard at once while playing.
    void seekToTime(float seconds);
    float currentTime() const;  // seconds into the current item's file that have been heard
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
    // Something is heard: playing, or the end of the last item playing out.
    bool playing() const;

private:
    explicit UniPlayer(SVPlayer *player);

    struct Handler {
        UniPlayerAction action;
        void *target;
        int32_t event;
    };
    // An item the engine reads already, announced once its start is heard.
    struct Upcoming {
        PlayableItemPtr item;
        SVPoint start;
    };

    static void readEndCallback(void *userData);
    void setCurrentItem(const PlayableItemPtr &item);
    void startCurrent(const PlayableItemPtr &item);
    // `seek`: the user moved the position; a paused or stopped player stays so.
    bool startFile(const PlayableItemPtr &item, double at, bool seek = false);
    void boundReading();
    PlayableItemPtr askNext();
    PlayableItemPtr takeNext();
    void onReadEnd();
    void repeatReadItem();
    void onEnded();
    void forgetEnd();
    void cancelPending();
    void playWhenHeard(const PlayableItemPtr &item, double delay);
    void pauseWhenHeard(double delay);
    bool endHeard() const;
    double untilEndHeard() const;
    void watchHeard();
    void cancelFadeEnd();

    SVPlayer *player_;
    PlayableItemPtr currentItem_;  // the item heard
    PlayableItemPtr previousItem_;
    PlayableItemPtr queuedItem_;
    UniPlayerDelegate *delegate_ = nullptr;
    bool locked_ = false;
    Handler handlers_[kHandlerCount] = {};

    // The item the engine reads: the current one, or one after it that is not heard yet.
    PlayableItemPtr readItem_;
    std::deque<Upcoming> upcoming_;
    OneShotTimer heardTimer_;
    // The engine's current file as last seen here: a file change that leaves it in place is
    // our own start, not a gapless switch to the queued item.
    SVFile *knownFile_ = nullptr;

    // The engine may report one end several times, and the read item's end is also met where
    // its reading stops: it ends once.
    bool itemEnded_ = false;
    // Chosen where the read item's reading stopped, to play once its end is heard.
    bool nextChosen_ = false;
    PlayableItemPtr chosenNext_;
    // A change waiting for the read item's end to be heard (the next item, or a pause at the
    // end of the list), and where that end is heard. Held while the user has paused.
    PlayableItemPtr pendingItem_;
    bool pendingPause_ = false;
    bool suspended_ = false;
    SVPoint endPoint_ = {0, 0.0};
    // The fade's last step: silence, then the pause.
    OneShotTimer fadeEnd_;
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
