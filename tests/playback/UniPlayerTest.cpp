#include <gtest/gtest.h>

#include <QFileInfo>

#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "TestSupport.h"
#include "engine/CodecFixtures.h"
#include "engine/PlayerFixtures.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/AudioQueue.h"
#include "platform/RunLoop.h"
#include "playback/UniPlayer.h"

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

// Answers a fixed list, then nil; remembers how often it was asked.
class ListDelegate : public UniPlayerDelegate {
public:
    std::vector<PlayableItemPtr> items;
    size_t next = 0;
    int asked = 0;
    bool exhausted = false;

    PlayableItemPtr nextItem() override
    {
        asked++;
        if (next < items.size())
            return items[next++];
        exhausted = true;
        return nullptr;
    }
};

// Records what the player reports through its handler table.
struct Recorder {
    UniPlayer *player;
    ListDelegate *delegate;
    std::vector<int32_t> events;
    std::vector<PlayableItemPtr> items;  // the current item at each file change
    std::vector<float> announcedAt;      // the heard position at each file change
    std::vector<float> positions;        // the heard position at each progress report
    bool pausedAtEnd = false;

    template <int32_t Event>
    static void on(void *target)
    {
        auto *r = static_cast<Recorder *>(target);
        r->events.push_back(Event);
        if (Event == UniPlayer::EventFileChanged) {
            r->items.push_back(r->player->currentItem());
            r->announcedAt.push_back(r->player->currentTime());
        }
        if (Event == UniPlayer::EventPosition)
            r->positions.push_back(r->player->currentTime());
        if (Event == UniPlayer::EventPaused && r->delegate && r->delegate->exhausted)
            r->pausedAtEnd = true;
    }

    void attach()
    {
        player->addEventHandler(this, &Recorder::on<0>, 0);
        player->addEventHandler(this, &Recorder::on<1>, 1);
        player->addEventHandler(this, &Recorder::on<2>, 2);
        player->addEventHandler(this, &Recorder::on<3>, 3);
        player->addEventHandler(this, &Recorder::on<4>, 4);
        player->addEventHandler(this, &Recorder::on<5>, 5);
    }

    // The reports other than progress ticks.
    std::vector<int32_t> changes() const
    {
        std::vector<int32_t> out;
        for (int32_t e : events) {
            if (e != UniPlayer::EventPosition)
                out.push_back(e);
        }
        return out;
    }
};

// PCM of a WAV file written by the output sink (or by the fixtures), without its header.
std::string renderedPcm(const std::string &path)
{
    std::string bytes = readFile(path);
    return bytes.size() >= 44 ? bytes.substr(44) : std::string();
}

// A player rendering in real time into out.wav (out.2.wav for its second queue, ...).
struct Session {
    TempDir dir;
    std::unique_ptr<UniPlayer> player;
    ListDelegate delegate;
    Recorder recorder{nullptr, nullptr, {}, {}, {}, {}};

    // "wav" renders in real time into out.wav; other outputs are taken as they are.
    explicit Session(const std::string &output = "wav")
    {
        std::string spec = output == "wav" ? "wav:" + dir.file("out.wav") : output;
        setenv("SONAVEL_AUDIO_OUTPUT", spec.c_str(), 1);
        player = UniPlayer::create();
        player->setDelegate(&delegate);
        recorder.player = player.get();
        recorder.delegate = &delegate;
        recorder.attach();
    }
    ~Session() { setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1); }

    PlayableItemPtr item(const std::string &name) { return PlayableItem::itemWithPath(q(dir.file(name))); }

    // Plays `first`, then what the delegate answers, until the player pauses after the list.
    bool playToEnd(const PlayableItemPtr &first)
    {
        player->play(first);
        bool done = runLoopUntil([&] { return recorder.pausedAtEnd; }, 30000);
        finish();
        return done;
    }

    // Ends output so the WAV files are complete.
    void finish()
    {
        player->setDelegate(nullptr);
        player.reset();
        AudioQueueWaitForDisposed();
    }

    std::string out(int k = 1) const
    {
        return renderedPcm(dir.file(k == 1 ? "out.wav" : "out." + std::to_string(k) + ".wav"));
    }
    bool hasOut(int k) const { return QFileInfo::exists(q(dir.file("out." + std::to_string(k) + ".wav"))); }
};

const uint32_t kRate = 44100;
const size_t kSecond = kRate * 4;  // bytes of one second of 16-bit stereo

// album.wav of six seconds with tracks at 0, 2 and 4 s.
Pcm writeAlbum(Session &s)
{
    Pcm album = makePcm(kRate, 2, 16, kRate * 6, 9);
    writeWav(s.dir.file("album.wav"), album);
    writeFile(s.dir.file("album.cue"),
              "TITLE \"Album\"\nFILE \"album.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n    TITLE \"one\"\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    TITLE \"two\"\n    INDEX 01 00:02:00\n"
              "  TRACK 03 AUDIO\n    TITLE \"three\"\n    INDEX 01 00:04:00\n");
    return album;
}

using playerfixtures::counterPcm;
using playerfixtures::counterRuns;
using playerfixtures::CounterRun;
using playerfixtures::runsText;
using Runs = std::vector<CounterRun>;

using playerfixtures::writeCounter;

// album.wav of the counter signal in one-second tracks, with its cue sheet; the album's tracks.
QList<PlayableItemPtr> writeCounterAlbum(Session &s, uint32_t rate, int tracks)
{
    playerfixtures::writeCounterAlbum(s.dir.path(), "album", rate, tracks);
    PlayableItemPtr album = s.item("album.wav");
    EXPECT_EQ(album->subItems().size(), tracks);
    return album->subItems();
}

TEST(UniPlayer, WholeFilesOfOneFormatJoinInOneQueueFile)
{
    Session s;
    Pcm a = makePcm(kRate, 2, 16, kRate * 23 / 10, 1), b = makePcm(kRate, 2, 16, kRate * 17 / 10, 2);
    writeWav(s.dir.file("a.wav"), a);
    writeWav(s.dir.file("b.wav"), b);
    PlayableItemPtr itemA = s.item("a.wav"), itemB = s.item("b.wav");
    s.delegate.items = {itemB};

    ASSERT_TRUE(s.playToEnd(itemA));
    EXPECT_TRUE(s.out() == a.bytes + b.bytes) << s.out().size() << " bytes rendered";
    EXPECT_FALSE(s.hasOut(2));
    // For B near A's end; near B's end and at it, to learn the list is over.
    EXPECT_EQ(s.delegate.asked, 3);
    EXPECT_EQ(s.recorder.items, std::vector<PlayableItemPtr>({itemA, itemB}));
}

TEST(UniPlayer, FormatChangeGivesTwoCompleteFiles)
{
    Session s;
    Pcm a = makePcm(kRate, 2, 16, kRate * 2, 3), c = makePcm(48000, 2, 16, 48000 * 3 / 2, 4);
    writeWav(s.dir.file("a.wav"), a);
    writeWav(s.dir.file("c.wav"), c);
    s.delegate.items = {s.item("c.wav")};

    ASSERT_TRUE(s.playToEnd(s.item("a.wav")));
    EXPECT_TRUE(s.out(1) == a.bytes) << s.out(1).size();
    EXPECT_TRUE(s.out(2) == c.bytes) << s.out(2).size();
    EXPECT_FALSE(s.hasOut(3));
    EXPECT_EQ(s.delegate.asked, 2);
}

TEST(UniPlayer, CueTracksRunOnWithoutSeek)
{
    Session s;
    Pcm album = writeAlbum(s);
    PlayableItemPtr albumItem = s.item("album.wav");
    ASSERT_EQ(albumItem->subItems().size(), 3);
    const auto &tracks = albumItem->subItems();
    s.delegate.items = {tracks[1], tracks[2]};

    ASSERT_TRUE(s.playToEnd(tracks[0]));
    // Any seek would have repeated or skipped audio.
    EXPECT_TRUE(s.out() == album.bytes) << s.out().size();
    EXPECT_FALSE(s.hasOut(2));
    std::vector<PlayableItemPtr> expected = {tracks[0], tracks[1], tracks[2]};
    EXPECT_EQ(s.recorder.items, expected);
    EXPECT_EQ(s.delegate.asked, 3);
}

TEST(UniPlayer, TrackEndsAreHeardBeforeMovingOn)
{
    struct Row {
        const char *name;
        bool wholeFileFirst;   // a.wav, then the second track of the album
        int track;             // 1-based track of the album played last
    } rows[] = {
        {"last cue track of the list, inside its file: heard to its end, then paused", false, 1},
        {"cue track queued after a whole file (cannot be chained): both complete", true, 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        Pcm album = writeAlbum(s);
        Pcm a = makePcm(kRate, 2, 16, kRate * 2, 5);
        writeWav(s.dir.file("a.wav"), a);
        PlayableItemPtr track = s.item("album.wav")->subItems()[row.track - 1];
        if (row.wholeFileFirst)
            s.delegate.items = {track};

        ASSERT_TRUE(s.playToEnd(row.wholeFileFirst ? s.item("a.wav") : track));
        std::string trackOut = s.out(row.wholeFileFirst ? 2 : 1);
        if (row.wholeFileFirst) {
            EXPECT_TRUE(s.out(1) == a.bytes) << s.out(1).size();
        }
        size_t start = size_t(row.track - 1) * 2 * kSecond;
        EXPECT_GE(trackOut.size(), 2 * kSecond) << "the track's end was not heard";
        EXPECT_LT(trackOut.size(), album.bytes.size() - start) << "did not stop after the track";
        EXPECT_TRUE(trackOut == album.bytes.substr(start, trackOut.size()));
    }
}

// The user moves the position: it is heard at once, in the same output, early or late in a
// file, while its end already plays out, or inside a cue track; the heard position follows the
// jump at once, and the item still ends where it ends.
TEST(UniPlayer, SeekIsHeardAtOnce)
{
    const uint32_t rate = 8000;
    struct Row {
        const char *name;
        bool track;    // the second track of a three-track album rather than a four-second file
        float at;      // the heard position at which the user seeks
        float target;
        bool endRead;  // the engine has read the end already (it reads two seconds ahead here)
        std::vector<int32_t> changes;
    } rows[] = {
        {"early in a file, forward", false, 0.5f, 3.0f, false, {3, 1, 4, 2}},
        {"late in a file, back", false, 1.8f, 0.5f, false, {3, 1, 4, 2}},
        {"in the last second, as the end plays out", false, 3.3f, 1.0f, true, {3, 1, 4, 3, 4, 2}},
        {"inside a cue track, which still ends at its end", true, 1.3f, 1.6f, false, {3, 1, 4, 2}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        PlayableItemPtr item;
        int64_t first = 0, last = 4 * rate;
        if (row.track) {
            item = writeCounterAlbum(s, rate, 3)[1];
            first = rate;
            last = 2 * rate;
        } else {
            writeCounter(s.dir.file("a.wav"), rate, last);
            item = s.item("a.wav");
        }
        s.player->play(item);
        ASSERT_TRUE(runLoopUntil([&] { return s.player->currentTime() >= row.at; }, 10000));
        EXPECT_EQ(s.recorder.changes().back(), row.endRead ? UniPlayer::EventEnded : UniPlayer::EventFileChanged);
        EXPECT_TRUE(s.player->playing());
        const int64_t heard = std::llround(double(s.player->currentTime()) * rate);
        s.player->seekToTime(row.target);
        // Within what the output plays while a loaded machine keeps this thread waiting.
        EXPECT_NEAR(s.player->currentTime(), row.target, 0.25) << "the heard position follows at once";
        EXPECT_TRUE(s.player->playing());
        ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 10000));
        EXPECT_EQ(s.player->currentItem(), item);
        s.finish();

        const int64_t target = std::llround(double(row.target) * rate);
        Runs runs = counterRuns(s.out());
        ASSERT_EQ(runs.size(), 2u) << runsText(runs);
        EXPECT_EQ(runs[0].first, first);
        // Nothing heard is lost; of the old place no more than the output's own lead follows.
        EXPECT_GE(runs[0].first + runs[0].count, heard) << runsText(runs);
        EXPECT_LE(runs[0].first + runs[0].count, heard + rate / 4) << runsText(runs);
        EXPECT_EQ(runs[1], (CounterRun{target, last - target})) << runsText(runs);
        EXPECT_FALSE(s.hasOut(2));
        EXPECT_EQ(s.recorder.changes(), row.changes);
    }
}

// Tracks of one album file: the list going on to a track that is not the next one, and the
// user tapping a track, are heard at once and without the tracks between, at CD rate and at
// 8 kHz, where the engine reads whole tracks ahead of what is heard. Each track is announced
// when its start is heard.
TEST(UniPlayer, SameFileTrackChangesAreHeardAtOnce)
{
    struct Row {
        const char *name;
        uint32_t rate;
        int tracks;
        std::vector<int> list;  // 1-based track numbers
        int tap;                // a track the user taps while the first plays; 0: none
        Runs runs;              // in tracks; a count of 0: cut where the user tapped
    } rows[] = {
        {"the list goes on from track 1 to track 3, 44.1 kHz", 44100, 3, {1, 3}, 0, {{0, 1}, {2, 1}}},
        {"the list goes on from track 1 to track 3, 8 kHz", 8000, 4, {1, 3}, 0, {{0, 1}, {2, 1}}},
        {"the user taps track 3 while track 1 plays, 8 kHz", 8000, 4, {1}, 3, {{0, 0}, {2, 1}}},
        {"the list runs on through four tracks, 8 kHz", 8000, 4, {1, 2, 3, 4}, 0, {{0, 4}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        const int64_t R = row.rate;
        const auto tracks = writeCounterAlbum(s, row.rate, row.tracks);
        std::vector<PlayableItemPtr> heardItems;
        for (size_t i = 0; i < row.list.size(); i++) {
            heardItems.push_back(tracks[row.list[i] - 1]);
            if (i > 0)
                s.delegate.items.push_back(tracks[row.list[i] - 1]);
        }
        s.player->play(heardItems[0]);
        int64_t heard = 0;
        if (row.tap) {
            ASSERT_TRUE(runLoopUntil([&] { return s.player->currentTime() >= 0.3f; }, 10000));
            heard = std::llround(double(s.player->currentTime()) * R);
            s.player->play(tracks[row.tap - 1]);
            EXPECT_EQ(s.player->currentItem(), tracks[row.tap - 1]);
            heardItems.push_back(tracks[row.tap - 1]);
        }
        ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 10000));
        EXPECT_EQ(s.player->previousItem(), heardItems[heardItems.size() - 2]);
        s.finish();

        Runs runs = counterRuns(s.out());
        ASSERT_EQ(runs.size(), row.runs.size()) << runsText(runs);
        for (size_t i = 0; i < runs.size(); i++) {
            EXPECT_EQ(runs[i].first, row.runs[i].first * R) << runsText(runs);
            if (row.runs[i].count > 0) {
                EXPECT_EQ(runs[i].count, row.runs[i].count * R) << runsText(runs);
                continue;
            }
            EXPECT_GE(runs[i].count, heard) << runsText(runs);
            EXPECT_LE(runs[i].count, heard + R / 4) << runsText(runs);
        }
        EXPECT_FALSE(s.hasOut(2));
        EXPECT_EQ(s.recorder.items, heardItems);
        ASSERT_EQ(s.recorder.announcedAt.size(), heardItems.size());
        // Announced as heard, not as read (reading runs seconds ahead at 8 kHz); the margin is
        // for a main thread that a loaded machine wakes late while the output plays on.
        for (size_t i = 0; i < heardItems.size(); i++)
            EXPECT_NEAR(s.recorder.announcedAt[i], heardItems[i]->startTime(), 0.25) << "announced as heard: " << i;
        // Once each: the start, every item, the end of reading (which may come before the last
        // items are heard), the output stopping.
        const std::vector<int32_t> changes = s.recorder.changes();
        ASSERT_FALSE(changes.empty());
        EXPECT_EQ(changes.front(), UniPlayer::EventPlaying);
        EXPECT_EQ(changes.back(), UniPlayer::EventPaused);
        EXPECT_EQ(std::count(changes.begin(), changes.end(), 1), long(heardItems.size()));
        EXPECT_EQ(std::count(changes.begin(), changes.end(), 4), 1);
        EXPECT_EQ(changes.size(), heardItems.size() + 3);
    }
}

// An MP3 album played by its cue sheet, list "track 1, track 3": the list ends where track 3
// ends, with nothing of tracks 2, 4 or 5.
TEST(UniPlayer, CompressedCueListEndsWithItsLastTrack)
{
    Session s;
    const uint32_t rate = 44100;
    const int levels[5] = {1500, 4000, 7000, 10000, 13000};  // one per track: what is heard tells the track
    std::string pcm;
    for (int t = 0; t < 5; t++) {
        for (uint32_t n = 0; n < rate; n++) {
            const int v = int(std::lround(levels[t] * std::sin(2 * M_PI * 441.0 * n / rate)));
            playerfixtures::putLE(pcm, uint16_t(int16_t(v)), 2);
            playerfixtures::putLE(pcm, uint16_t(int16_t(v)), 2);
        }
    }
    writeFile(s.dir.file("src.wav"), playerfixtures::wavBytes(16, 2, rate, pcm));
    ASSERT_TRUE(fixture::ffmpeg({"-i", s.dir.file("src.wav"), "-c:a", "libmp3lame", "-b:a", "256k", s.dir.file("album.mp3")}));
    std::string sheet = "FILE \"album.mp3\" MP3\n";
    for (int t = 0; t < 5; t++)
        sheet += "  TRACK 0" + std::to_string(t + 1) + " AUDIO\n    INDEX 01 00:0" + std::to_string(t) + ":00\n";
    writeFile(s.dir.file("album.cue"), sheet);
    const auto tracks = s.item("album.mp3")->subItems();
    ASSERT_EQ(tracks.size(), 5u);
    s.delegate.items = {tracks[2]};
    ASSERT_TRUE(s.playToEnd(tracks[0]));
    EXPECT_FALSE(s.hasOut(2));

    // The level of each 50 ms away from the join names the track heard there.
    const std::string out = s.out();
    const size_t window = rate / 20;
    const size_t windows = out.size() / 4 / window;
    EXPECT_NEAR(double(out.size() / 4) / rate, 2.0, 0.05) << "two tracks long";
    std::vector<int> heard;
    for (size_t w = 0; w < windows; w++) {
        double sum = 0;
        for (size_t i = w * window; i < (w + 1) * window; i++)
            sum += std::pow(double(fixture::sample16(out, 2 * i)), 2);
        const double level = std::sqrt(2 * sum / window);
        int nearest = 0;
        for (int t = 1; t < 5; t++) {
            if (std::fabs(level - levels[t]) < std::fabs(level - levels[nearest]))
                nearest = t;
        }
        heard.push_back(nearest + 1);
    }
    for (size_t w = 0; w < windows; w++) {
        if (w == 19 || w == 20)
            continue;  // the window that may straddle the join
        EXPECT_EQ(heard[w], w < 20 ? 1 : 3) << "at " << double(w) / 20 << " s";
    }
}

// The user pauses while the end of a file plays out and the next item waits for that end to be
// heard: what is heard stops at once and nothing starts; play goes on with the rest of the
// file, then the next item.
TEST(UniPlayer, PauseHoldsWhatIsHeardEvenAtTheEnd)
{
    Session s;
    writeCounter(s.dir.file("a.wav"), 8000, 4 * 8000);  // read to its end two seconds before it is heard
    writeCounter(s.dir.file("b.wav"), 11025, 11025, 100000);  // another rate: a new output
    PlayableItemPtr a = s.item("a.wav");
    s.delegate.items = {s.item("b.wav")};
    s.player->play(a);
    ASSERT_TRUE(runLoopUntil([&] { return s.player->currentTime() >= 3.2f; }, 10000));
    EXPECT_EQ(s.recorder.changes().back(), UniPlayer::EventEnded) << "reading has ended";
    EXPECT_TRUE(s.player->playing());
    s.player->pause();
    EXPECT_FALSE(s.player->playing());
    runLoopUntil([] { return false; }, 150);
    const float pausedAt = s.player->currentTime();
    const size_t written = readFile(s.dir.file("out.wav")).size();
    runLoopUntil([] { return false; }, 700);
    EXPECT_EQ(s.player->currentTime(), pausedAt) << "nothing heard while paused";
    EXPECT_EQ(readFile(s.dir.file("out.wav")).size(), written);
    EXPECT_FALSE(s.hasOut(2)) << "the next item waits";
    EXPECT_EQ(s.player->currentItem(), a);
    s.player->play();
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 10000));
    s.finish();

    EXPECT_EQ(counterRuns(s.out(1)), (Runs{{0, 4 * 8000}})) << runsText(counterRuns(s.out(1)));
    EXPECT_EQ(counterRuns(s.out(2)), (Runs{{100000, 11025}})) << runsText(counterRuns(s.out(2)));
    const std::vector<int32_t> changes = s.recorder.changes();
    const std::vector<int32_t> start = {3, 1, 4, 2, 3};
    ASSERT_GE(changes.size(), start.size());
    EXPECT_EQ(std::vector<int32_t>(changes.begin(), changes.begin() + 5), start);
    EXPECT_EQ(std::count(changes.begin(), changes.end(), 1), 2);
    EXPECT_EQ(std::count(changes.begin(), changes.end(), 4), 2);
}

// Repeat one: the item repeats exactly, its last sample followed by its first in the same
// output, whatever is queued behind it; unlocked, the list goes on from the end of a repeat.
TEST(UniPlayer, LockRepeatsTheItemSeamlessly)
{
    const int64_t R = 44100;
    struct Row {
        const char *name;
        bool track;
    } rows[] = {{"a whole file, with a file of the same format queued", false}, {"a cue track", true}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        PlayableItemPtr item, next;
        CounterRun unit, last;
        if (row.track) {
            const auto tracks = writeCounterAlbum(s, R, 3);
            item = tracks[1];
            next = tracks[2];
            unit = {R, R};
            last = {R, 2 * R};  // the last repeat runs on into the next track
            s.delegate.items = {next};
            s.player->setLocked(true);
            s.player->play(item);
        } else {
            writeCounter(s.dir.file("a.wav"), R, R * 3 / 2);
            writeCounter(s.dir.file("b.wav"), R, R, 1000000);
            item = s.item("a.wav");
            next = s.item("b.wav");
            unit = {0, R * 3 / 2};
            last = {1000000, R};
            s.delegate.items = {next};
            s.player->play(item);
            ASSERT_EQ(s.player->queuedItem(), next) << "queued while priming, the end being near";
            s.player->setLocked(true);
        }
        ASSERT_TRUE(runLoopUntil([&] { return s.recorder.items.size() >= 3; }, 10000));
        EXPECT_EQ(s.player->currentItem(), item);
        s.player->setLocked(false);
        ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 10000));
        s.finish();

        Runs runs = counterRuns(s.out());
        ASSERT_GE(runs.size(), 3u) << runsText(runs);
        for (size_t i = 0; i + 1 < runs.size(); i++)
            EXPECT_EQ(runs[i], unit) << "run " << i << ": " << runsText(runs);
        EXPECT_EQ(runs.back(), last) << runsText(runs);
        EXPECT_FALSE(s.hasOut(2));
        // Each repeat is announced, and the next item; a track's last repeat runs on into it.
        ASSERT_EQ(s.recorder.items.size(), runs.size() + (row.track ? 1 : 0));
        EXPECT_EQ(s.recorder.items.back(), next);
        for (size_t i = 0; i + 1 < s.recorder.items.size(); i++)
            EXPECT_EQ(s.recorder.items[i], item) << "announced at " << i;
    }
}

// The output breaks while playing (the WAV file can grow no further): it is said in one line
// and one error event, the file holds whole frames, the heard position stays where the output
// stopped, and play starts the item again from there.
TEST(UniPlayer, OutputFailureIsReportedAndPlayGoesOnFromWhereItStopped)
{
    Session s;
    const int64_t rate = 8000;
    writeCounter(s.dir.file("a.wav"), rate, 3 * rate);
    PlayableItemPtr a = s.item("a.wav");
    // Room for the header, one second and half a frame: the write after that fails.
    signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    rlimit limited = unlimited;
    limited.rlim_cur = 44 + 4 * rate + 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    testing::internal::CaptureStderr();
    s.player->play(a);
    const bool failed = runLoopUntil([&] { return !s.recorder.events.empty() && s.recorder.events.back() == 5; }, 5000);
    const float stoppedAt = s.player->currentTime();
    runLoopUntil([] { return false; }, 300);
    const float later = s.player->currentTime();
    std::string log = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &unlimited);
    ASSERT_TRUE(failed);
    EXPECT_EQ(log, "Audio output: cannot write \"" + s.dir.file("out.wav") + "\" (File too large)\nError player event\n");
    EXPECT_EQ(s.recorder.changes(), (std::vector<int32_t>{3, 1, 5}));
    EXPECT_FALSE(s.player->playing());
    EXPECT_EQ(later, stoppedAt) << "the position is kept";
    EXPECT_GT(stoppedAt, 0.8f);
    EXPECT_LE(stoppedAt, 1.0f);

    s.player->play();
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 10000));
    s.finish();
    const Runs before = counterRuns(s.out(1));
    EXPECT_EQ(before, (Runs{{0, rate}})) << "whole frames up to the failure: " << runsText(before);
    const Runs after = counterRuns(s.out(2));
    ASSERT_EQ(after.size(), 1u) << runsText(after);
    EXPECT_EQ(after[0].first, std::llround(double(stoppedAt) * rate)) << runsText(after);
    EXPECT_EQ(after[0].first + after[0].count, 3 * rate);
}

TEST(UniPlayer, DelegateNilPausesAndKeepsTheItem)
{
    Session s("null-fast");
    writeWav(s.dir.file("a.wav"), makePcm(kRate, 2, 16, kRate, 7));
    PlayableItemPtr a = s.item("a.wav");
    s.player->play(a);
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 30000));
    EXPECT_FALSE(s.player->playing());
    EXPECT_EQ(s.player->currentItem(), a);
    // Near the end (while priming, the file being short) and at the end.
    EXPECT_EQ(s.delegate.asked, 2);

    // Further reports of the same end, as the engine gives while its buffers drain: no new
    // reaction, so nothing is asked or scheduled again.
    s.player->onPlayerEvent(UniPlayer::EventEnded);
    s.player->onPlayerEvent(UniPlayer::EventEnded);
    EXPECT_EQ(s.delegate.asked, 2);
    EXPECT_EQ(RunLoop::pendingPerforms(s.player.get()), 0);
    EXPECT_EQ(s.player->currentItem(), a);
}

TEST(UniPlayer, UnreadableFileIsSkipped)
{
    Session s("null-fast");
    writeWav(s.dir.file("good.wav"), makePcm(kRate, 2, 16, kRate / 2, 8));
    PlayableItemPtr good = s.item("good.wav");
    PlayableItemPtr gone = PlayableItem::itemWithTrackNumber(1, "gone", q(s.dir.file("gone.wav")), 0, 1);
    gone->setOwnFile(true);
    s.delegate.items = {good};
    testing::internal::CaptureStderr();
    s.player->play(gone);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Why?"), std::string::npos);
    EXPECT_EQ(s.player->currentItem(), nullptr);
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 30000));
    EXPECT_EQ(s.player->currentItem(), good);
}

TEST(UniPlayer, PreviousItemIsTheOneBefore)
{
    Session s("null-fast");
    writeWav(s.dir.file("a.wav"), makePcm(kRate, 2, 16, kRate, 1));
    writeWav(s.dir.file("b.wav"), makePcm(kRate, 2, 16, kRate, 2));
    PlayableItemPtr a = s.item("a.wav"), b = s.item("b.wav");
    s.player->play(a);
    s.player->play(b);
    s.player->play(a);
    EXPECT_EQ(s.player->currentItem(), a);
    EXPECT_EQ(s.player->previousItem(), b);
}

TEST(UniPlayer, ToolPlaysItemsWithoutLosingASample)
{
    TempDir dir;
    Pcm a = makePcm(kRate, 2, 16, kRate * 3 / 2, 11), b = makePcm(kRate, 2, 16, kRate * 6 / 5, 12);
    Pcm c = makePcm(48000, 2, 16, 48000, 13), album = makePcm(kRate, 2, 16, kRate * 6, 14);
    writeWav(dir.file("a.wav"), a);
    writeWav(dir.file("b.wav"), b);
    writeWav(dir.file("c.wav"), c);
    writeWav(dir.file("album.wav"), album);
    // A buffer of 8 kHz mono lasts seconds: one position report covers several tracks.
    Pcm low = makePcm(8000, 1, 16, 8000 * 6, 15);
    writeWav(dir.file("low.wav"), low);
    std::string lowSheet = "FILE \"low.wav\" WAVE\n";
    for (int t = 0; t < 6; t++)
        lowSheet += "  TRACK 0" + std::to_string(t + 1) + " AUDIO\n    INDEX 01 00:0" + std::to_string(t) + ":00\n";
    writeFile(dir.file("low.cue"), lowSheet);
    writeFile(dir.file("album.cue"),
              "FILE \"album.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"one\"\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    TITLE \"two\"\n    INDEX 01 00:02:00\n"
              "  TRACK 03 AUDIO\n    TITLE \"three\"\n    INDEX 01 00:04:00\n");
    struct Row {
        const char *name;
        std::vector<std::string> items;
        std::vector<std::string> outputs;  // PCM expected in out.wav, out.2.wav, ...
        std::string shown;                 // a line of standard error
    } rows[] = {
        {"whole files of one format join", {"a.wav", "b.wav"}, {a.bytes + b.bytes}, "playing b(" + dir.file("b.wav") + ")\n"},
        {"cue tracks of one file run on", {"album.wav#1", "album.wav#2", "album.wav#3"}, {album.bytes},
         "playing Track 2 two start at 00:02\n"},
        {"short cue tracks of a low-rate file run on", {"low.wav#1", "low.wav#2", "low.wav#3", "low.wav#4",
         "low.wav#5", "low.wav#6"}, {low.bytes}, "playing Track 6  start at 00:05\n"},
        {"a format change starts a second output", {"a.wav", "c.wav"}, {a.bytes, c.bytes},
         "playing c(" + dir.file("c.wav") + ")\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        for (int k = 1; k <= 3; k++)
            std::remove(dir.file(k == 1 ? "out.wav" : "out." + std::to_string(k) + ".wav").c_str());
        std::vector<std::string> args = {"play", "--output", "wav-fast:" + dir.file("out.wav")};
        for (const std::string &item : row.items)
            args.push_back(dir.file(item));
        ToolResult r = runTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find(row.shown), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("event 1\n"), std::string::npos);
        for (size_t k = 1; k <= row.outputs.size() + 1; k++) {
            std::string name = k == 1 ? "out.wav" : "out." + std::to_string(k) + ".wav";
            if (k > row.outputs.size()) {
                EXPECT_FALSE(QFileInfo::exists(q(dir.file(name)))) << name;
                continue;
            }
            std::string pcm = renderedPcm(dir.file(name));
            EXPECT_TRUE(pcm == row.outputs[k - 1]) << name << ": " << pcm.size() << " bytes";
        }
    }

    ToolResult bad = runTool({"play", dir.file("album.wav#4")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("cannot play"), std::string::npos);
}

// Handler targets that log the order in which they are called.
std::vector<int> gCalls;
struct Target {
    int id;
    void hit() { gCalls.push_back(id); }
    void other() { gCalls.push_back(100 + id); }
};

TEST(UniPlayer, HandlerTable)
{
    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    Target t[12];
    for (int i = 0; i < 12; i++)
        t[i].id = i;
    UniPlayerAction hit = UniPlayer::action<&Target::hit>();
    UniPlayerAction other = UniPlayer::action<&Target::other>();

    // The same registration twice takes one entry.
    EXPECT_TRUE(player->addEventHandler(&t[0], hit, 1));
    EXPECT_TRUE(player->addEventHandler(&t[0], hit, 1));
    gCalls.clear();
    player->dispatchEvent(1);
    EXPECT_EQ(gCalls, std::vector<int>({0}));

    // Newest first: each takes the highest free entry.
    for (int i = 1; i < 10; i++)
        EXPECT_TRUE(player->addEventHandler(&t[i], hit, i < 5 ? 1 : 2)) << i;
    gCalls.clear();
    player->dispatchEvent(1);
    EXPECT_EQ(gCalls, std::vector<int>({4, 3, 2, 1, 0}));
    gCalls.clear();
    player->dispatchEvent(2);
    EXPECT_EQ(gCalls, std::vector<int>({9, 8, 7, 6, 5}));

    // Full: an eleventh answers no, logs, and changes nothing.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(player->addEventHandler(&t[10], hit, 1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning: Event handlers full!!\n");
    EXPECT_TRUE(player->addEventHandler(&t[3], hit, 1)) << "an existing registration still answers yes";

    // Removal clears every entry of the target, whatever its action and event.
    player->removeEventHandler(&t[3]);
    EXPECT_TRUE(player->addEventHandler(&t[10], other, 2));
    EXPECT_FALSE(player->addEventHandler(&t[11], hit, 2));
    gCalls.clear();
    player->dispatchEvent(1);
    EXPECT_EQ(gCalls, std::vector<int>({4, 2, 1, 0}));
    gCalls.clear();
    player->dispatchEvent(2);
    EXPECT_EQ(gCalls, std::vector<int>({9, 8, 7, 6, 5, 110}));
    gCalls.clear();
    player->dispatchEvent(7);
    EXPECT_TRUE(gCalls.empty());
}

TEST(UniPlayer, EngineEventsPassedOnAndLogged)
{
    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    Target t{5};
    player->addEventHandler(&t, UniPlayer::action<&Target::hit>(), 5);
    player->addEventHandler(&t, UniPlayer::action<&Target::other>(), 9);
    struct Row {
        int32_t event;
        const char *log;
        std::vector<int> calls;
    } rows[] = {{5, "Error player event\n", {5}}, {9, "unsupported player event\n", {105}}, {2, "", {}}};
    for (const Row &row : rows) {
        gCalls.clear();
        testing::internal::CaptureStderr();
        player->onPlayerEvent(row.event);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.log) << row.event;
        EXPECT_EQ(gCalls, row.calls) << row.event;
    }
}

// The sleep timer fades out in twenty steps, across a change of item into a new output: the
// level never rises, the fade ends in silence, paused, and the next play is at full volume.
TEST(UniPlayer, SleepFadeCarriesAcrossItemsAndEndsSilent)
{
    Session s;
    const int level = 8000;
    auto steady = [&](uint32_t rate, uint32_t frames) {
        std::string pcm;
        for (uint32_t i = 0; i < 2 * frames; i++)
            playerfixtures::putLE(pcm, uint64_t(level), 2);
        return playerfixtures::wavBytes(16, 2, rate, pcm);
    };
    writeFile(s.dir.file("a.wav"), steady(8000, 2 * 8000));
    writeFile(s.dir.file("b.wav"), steady(11025, 12 * 11025));  // another rate: a new output
    s.delegate.items = {s.item("b.wav")};
    s.player->play(s.item("a.wav"));
    ASSERT_TRUE(s.player->playing());

    std::vector<float> volumes;
    s.player->sleep();
    ASSERT_TRUE(runLoopUntil([&] {
        float v = s.player->getVolume();
        if (volumes.empty() || volumes.back() != v)
            volumes.push_back(v);
        return !s.player->playing() && v == 1.0f;
    }, 15000));
    EXPECT_EQ(RunLoop::pendingPerforms(s.player.get()), 0);
    ASSERT_EQ(s.recorder.items.size(), 2u) << "the fade went on into the next item";
    s.finish();

    std::vector<float> expected;
    for (int n = 20; n >= 0; n--)
        expected.push_back(float(n) * 0.05f);
    expected.push_back(1.0f);  // once paused
    EXPECT_EQ(volumes, expected);

    const std::string heard = s.out(1) + s.out(2);
    ASSERT_GT(s.out(2).size(), 0u);
    size_t rises = 0;
    for (size_t i = 1; i < heard.size() / 2; i++)
        rises += std::abs(fixture::sample16(heard, i)) > std::abs(fixture::sample16(heard, i - 1));
    EXPECT_EQ(rises, 0u);
    // At least the last tenth of a second before the pause is silence.
    const size_t tail = 11025 / 10 * 2;
    ASSERT_GT(heard.size() / 2, tail);
    for (size_t i = heard.size() / 2 - tail; i < heard.size() / 2; i++)
        ASSERT_EQ(fixture::sample16(heard, i), 0) << "sample " << i << " of " << heard.size() / 2;
}

TEST(UniPlayer, LastFadeStepCancelsPendingPlay)
{
    Session s("null");
    writeWav(s.dir.file("a.wav"), makePcm(kRate, 2, 16, kRate * 12, 1));
    writeWav(s.dir.file("b.wav"), makePcm(kRate, 2, 16, kRate, 2));
    PlayableItemPtr a = s.item("a.wav");
    s.delegate.items = {s.item("b.wav")};
    s.player->play(a);
    s.player->onItemEnd();  // B is now due in a quarter of a second
    ASSERT_EQ(RunLoop::pendingPerforms(s.player.get()), 1);
    s.player->sleepTransition(0);
    EXPECT_EQ(RunLoop::pendingPerforms(s.player.get()), 0);
    ASSERT_TRUE(runLoopUntil([&] { return !s.player->playing(); }));
    EXPECT_FLOAT_EQ(s.player->getVolume(), 1.0f);
    runLoopUntil([] { return false; }, 400);
    EXPECT_EQ(s.player->currentItem(), a);
}

}  // namespace
