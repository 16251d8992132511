// What the now-playing screen shows and does, without its widgets: the prompt line with the
// elapsed and total time, the seek slider's value, the backward step, the seek of a slider
// release, play/pause, previous and next through the play source, and where an item's lyric
// file lies. The screen only binds it. Main thread only.
#pragma once

#include <QString>

#include <optional>

#include "metadata/PlayableItem.h"

class PlayingSource;
class UniPlayer;

class NowPlaying {
public:
    // Neither is owned. A null player is the shared one; a null source makes previous and
    // next do nothing.
    explicit NowPlaying(PlayingSource *source, UniPlayer *player = nullptr);

    UniPlayer *player() const { return player_; }
    PlayingSource *source() const { return source_; }
    void setSource(PlayingSource *source) { source_ = source; }
    // The player's current item, or null (also when there is no player).
    PlayableItemPtr currentItem() const;

    // "%02d:%02d / %02d:%02d": elapsed and total minutes and seconds, each whole.
    static QString promptText(float elapsed, float total);
    // Seconds played of the current item: the file position less the item's start, never
    // below 0 (the position of the track before may still be reported for a moment).
    float elapsed() const;
    // The prompt for the current item; empty without one.
    QString prompt() const;
    // elapsed / total of the current item; none without one or when its length is 0.
    std::optional<float> sliderValue() const;

    // The backward step in seconds: "BackStep", 30 when it is not above 0.
    static int backstep();
    // Steps back by backstep(), never before the item's start.
    void playBack();

    // The latest file position a seek into `item` may land on: the start of its last whole
    // second. A cue track's very end is the next track's start.
    static float lastSeekablePosition(const PlayableItem &item);
    // A seek `seconds` into `item`, as a file position no later than lastSeekablePosition.
    static float seekPosition(const PlayableItem &item, double seconds);
    // The slider was let go at `value` (0..1): seeks there and plays when paused.
    void endSeeking(float value);
    // Seeks `seconds` into the current item without starting playback (remote clients).
    void seekIntoItem(double seconds);

    void togglePlay();
    void prev();
    void next();

    // The lyric file of `item`: its title with ".lrc" in the item's folder, else its path
    // with the extension replaced by "lrc"; empty when neither exists.
    static QString lyricFileForItem(const PlayableItem &item);

private:
    PlayingSource *source_;
    UniPlayer *player_;
};
