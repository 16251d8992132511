#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "TestSupport.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "playback/NowPlaying.h"
#include "playback/UniPlayer.h"

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

// A 75-second song and a 30-second album of three 10-second cue tracks, both small (8 kHz
// mono), on a private player that would play in real time.
class NowPlayingTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SONAVEL_AUDIO_OUTPUT", "null", 1);
        Preferences::setObject("BackStep", QVariant());
        player = UniPlayer::create();
        writeWav(docs.file("song.wav"), makePcm(8000, 1, 16, 75 * 8000), id3v23({{"TIT2", "Song"}}));
        song = PlayableItem::itemWithPath(q(docs.file("song.wav")));
        writeFile(docs.file("album.cue"), "FILE \"album.wav\" WAVE\n"
                                          "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                          "  TRACK 02 AUDIO\n    INDEX 01 00:10:00\n"
                                          "  TRACK 03 AUDIO\n    INDEX 01 00:20:00\n");
        writeWav(docs.file("album.wav"), makePcm(8000, 1, 16, 30 * 8000));
        album = PlayableItem::itemWithPath(q(docs.file("album.wav")));
        ASSERT_TRUE(song && album && album->subItems().size() == 3);
    }
    void TearDown() override
    {
        player.reset();
        AudioQueueWaitForDisposed();
        setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
    }

    // Makes `item` current, held paused at file position `at`.
    void holdAt(const PlayableItemPtr &item, float at)
    {
        player->play(item);
        ASSERT_TRUE(runLoopUntil([&] { return player->playing(); }));
        player->pause();
        ASSERT_TRUE(runLoopUntil([&] { return !player->playing(); }));
        player->seekToTime(at);
    }

    TempDir docs;
    std::unique_ptr<UniPlayer> player;
    PlayableItemPtr song, album;
};

}  // namespace

TEST_F(NowPlayingTest, PromptAndSliderFollowTheItem)
{
    NowPlaying now(nullptr, player.get());
    EXPECT_EQ(now.prompt(), "");
    EXPECT_FALSE(now.sliderValue());

    // The same stretch of the album with no length, as a sheet longer than its file gives.
    PlayableItemPtr empty = PlayableItem::itemWithTrackNumber(4, "Empty", album->path(), 20, 0);
    struct Row {
        const char *name;
        PlayableItemPtr item;
        float at;
        const char *prompt;
        std::optional<float> slider;
    } rows[] = {
        {"whole file", song, 61.5f, "01:01 / 01:15", 61.5f / 75},
        {"cue track: time from the track's start", album->subItems()[1], 15.5f, "00:05 / 00:10", 0.55f},
        {"cue track at its start", album->subItems()[2], 20, "00:00 / 00:10", 0.0f},
        {"no length: zero total, slider left alone", empty, 20.5f, "00:00 / 00:00", std::nullopt},
    };
    for (const Row &row : rows) {
        holdAt(row.item, row.at);
        EXPECT_EQ(now.prompt(), row.prompt) << row.name;
        ASSERT_EQ(now.sliderValue().has_value(), row.slider.has_value()) << row.name;
        if (row.slider) {
            EXPECT_NEAR(*now.sliderValue(), *row.slider, 0.001) << row.name;
        }
    }

    // Minutes past the hour and seconds modulo 60, as the list shows durations.
    EXPECT_EQ(NowPlaying::promptText(3725.9f, 7200), "62:05 / 120:00");
}

TEST_F(NowPlayingTest, BackwardStepNeverLeavesTheTrack)
{
    struct Row {
        const char *name;
        QVariant backStep;
        PlayableItemPtr item;
        float at, lands;
    } rows[] = {
        {"unset: 30 seconds", QVariant(), song, 61.5f, 31.5f},
        {"0: 30 seconds", 0, song, 61.5f, 31.5f},
        {"negative: 30 seconds", -5, song, 61.5f, 31.5f},
        {"whole file near its start: the start", 30, song, 12, 0},
        {"cue track: a step inside it", 5, album->subItems()[1], 17.5f, 12.5f},
        {"cue track within a step of its start: exactly the start", 10, album->subItems()[1], 15.5f, 10},
        {"cue track at its start stays there", 5, album->subItems()[2], 20, 20},
    };
    NowPlaying now(nullptr, player.get());
    for (const Row &row : rows) {
        Preferences::setObject("BackStep", row.backStep);
        holdAt(row.item, row.at);
        now.playBack();
        EXPECT_NEAR(player->currentTime(), row.lands, 0.01) << row.name;
        EXPECT_EQ(player->currentItem(), row.item) << row.name;
    }
}

TEST_F(NowPlayingTest, SliderReleaseSeeksInsideTheItem)
{
    PlayableItemPtr track2 = album->subItems()[1];
    PlayableItemPtr odd = PlayableItem::itemWithTrackNumber(2, "Odd", album->path(), 10, 9.5f);
    struct Row {
        const char *name;
        PlayableItemPtr item;
        double seconds;
        float position;
    } rows[] = {
        {"start of a whole file", song, 0, 0},
        {"middle of a cue track", track2, 5, 15},
        {"start of a cue track", track2, 0, 10},
        {"end of a cue track: its last whole second, not the next track", track2, 10, 19},
        {"past the end", track2, 1e9, 19},
        {"before the start", track2, -3, 10},
        {"end of a whole file", song, 75, 74},
        {"end of a track of 9.5 s", odd, 9.5, 19},
    };
    for (const Row &row : rows)
        EXPECT_FLOAT_EQ(NowPlaying::seekPosition(*row.item, row.seconds), row.position) << row.name;

    // A remote client's seek to the end keeps a paused player paused, on the track's last
    // second; a release of the slider plays. (Once playing, the read position runs ahead of
    // what is heard by what the output queue holds.)
    NowPlaying now(nullptr, player.get());
    holdAt(track2, 12);
    now.seekIntoItem(10);
    EXPECT_FLOAT_EQ(player->currentTime(), 19);
    EXPECT_FALSE(player->playing());
    now.endSeeking(0);
    EXPECT_TRUE(runLoopUntil([&] { return player->playing(); }));
    EXPECT_EQ(player->currentItem(), track2);
    EXPECT_GE(player->currentTime(), 10);
}

TEST(NowPlaying, LyricFileLookupOrder)
{
    TempDir dir;
    struct Row {
        const char *name;
        const char *path;
        const char *title;
        std::vector<std::string> files;
        const char *found;
    } rows[] = {
        {"both: the title's file wins", "a/song.flac", "Title", {"a/Title.lrc", "a/song.lrc"}, "a/Title.lrc"},
        {"only the audio file's", "a/song.flac", "Title", {"a/song.lrc"}, "a/song.lrc"},
        {"only the title's", "a/song.flac", "Title", {"a/Title.lrc"}, "a/Title.lrc"},
        {"none", "a/song.flac", "Title", {"a/other.lrc"}, ""},
        {"extension replaced, not added", "b/live.set.ape", "", {"b/live.set.ape.lrc", "b/live.set.lrc"}, "b/live.set.lrc"},
        {"empty title names no file", "c/x.wav", "", {"c/.lrc"}, ""},
        {"title in another folder is not looked for", "d/x.wav", "../d2/y", {"d2/y.lrc"}, ""},
    };
    int n = 0;
    for (const Row &row : rows) {
        // Each row in a folder of its own.
        std::string base = dir.file(std::to_string(n++) + "/");
        for (const std::string &f : row.files) {
            QDir().mkpath(QFileInfo(q(base + f)).path());
            writeFile(base + f, "[00:01.00]x\n");
        }
        PlayableItem item;
        item.setPath(q(base + row.path));
        item.setTitle(row.title);
        std::string expected = *row.found ? base + row.found : "";
        EXPECT_EQ(NowPlaying::lyricFileForItem(item).toStdString(), expected) << row.name;
    }
}
