#include <gtest/gtest.h>

#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "TestSupport.h"
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
    std::vector<float> positions;        // the read position at each progress report
    bool pausedAtEnd = false;

    template <int32_t Event>
    static void on(void *target)
    {
        auto *r = static_cast<Recorder *>(target);
        r->events.push_back(Event);
        if (Event == UniPlayer::EventFileChanged)
            r->items.push_back(r->player->currentItem());
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
        player->addEventHandler(this, &Recorder::on<4>, 4);
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
    Recorder recorder{nullptr, nullptr, {}, {}, {}};

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

TEST(UniPlayer, SeekInsideTheLastTrackStillHearsItsEnd)
{
    Session s;
    Pcm album = writeAlbum(s);
    PlayableItemPtr track = s.item("album.wav")->subItems()[0];  // 0 to 2 s
    s.player->play(track);
    // Three buffers of 65,536 bytes were read ahead and are still heard before the jump.
    const size_t primed = 3 * 65536, from = kSecond * 3 / 2;
    s.player->seekToTime(1.5f);
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 30000));
    s.finish();

    std::string out = s.out();
    ASSERT_GT(out.size(), primed);
    EXPECT_TRUE(out.substr(0, primed) == album.bytes.substr(0, primed));
    std::string after = out.substr(primed);
    EXPECT_GE(after.size(), 2 * kSecond - from) << "paused before the track's end was heard";
    // Paused within a few output periods of the end: a seek left out of the reckoning of what
    // is heard would make it late by what was read ahead.
    EXPECT_LT(after.size(), 2 * kSecond - from + kSecond * 35 / 100) << "did not stop at the track's end";
    EXPECT_TRUE(after == album.bytes.substr(from, after.size()));
}

TEST(UniPlayer, LockedWholeFileRepeatsComplete)
{
    Session s;
    Pcm b = makePcm(kRate, 2, 16, kRate * 3 / 2, 6);
    writeWav(s.dir.file("b.wav"), b);
    PlayableItemPtr item = s.item("b.wav");
    s.player->setLocked(true);
    s.player->play(item);
    // Unlock once the repeat has started; the list then ends after it.
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.items.size() == 2; }, 30000));
    s.player->setLocked(false);
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 30000));
    EXPECT_EQ(s.player->currentItem(), item);
    s.finish();

    EXPECT_TRUE(s.out(1) == b.bytes) << s.out(1).size();
    EXPECT_TRUE(s.out(2) == b.bytes) << s.out(2).size();
    EXPECT_FALSE(s.hasOut(3));
    EXPECT_EQ(s.delegate.asked, 1);
}

TEST(UniPlayer, LockedCueTrackSeeksBackToItsStart)
{
    Session s("null");
    writeAlbum(s);
    PlayableItemPtr track = s.item("album.wav")->subItems()[1];
    s.player->setLocked(true);
    s.player->play(track);
    // The read position falls back once the track's end has been reached.
    auto wentBack = [&] {
        const auto &p = s.recorder.positions;
        for (size_t i = 1; i < p.size(); i++) {
            if (p[i] < p[i - 1])
                return true;
        }
        return false;
    };
    ASSERT_TRUE(runLoopUntil(wentBack, 30000));
    EXPECT_EQ(s.player->currentItem(), track);
    EXPECT_TRUE(s.player->playing());
    EXPECT_EQ(s.delegate.asked, 0);
    EXPECT_GE(s.recorder.positions.back(), 2.0f);
    EXPECT_LT(s.recorder.positions.back(), 4.0f);
}

TEST(UniPlayer, LockedCueTrackRepeatsWithoutTheNextTrack)
{
    Session s;
    Pcm album = writeAlbum(s);
    PlayableItemPtr albumItem = s.item("album.wav");
    const auto &tracks = albumItem->subItems();
    const std::string two = album.bytes.substr(2 * kSecond, 2 * kSecond);
    s.player->setLocked(true);
    s.player->play(tracks[1]);
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.items.size() == 2; }, 30000));
    // A track's end is also seen in the position reports: they must not move on or seek back.
    EXPECT_EQ(s.player->currentItem(), tracks[1]);
    s.player->setLocked(false);
    ASSERT_TRUE(runLoopUntil([&] { return s.recorder.pausedAtEnd; }, 30000));
    s.finish();

    // What was read past the track's end before the repeat is never heard.
    EXPECT_TRUE(s.out(1) == two) << s.out(1).size() << " bytes rendered, track is " << two.size();
    std::string again = s.out(2);
    EXPECT_GE(again.size(), two.size()) << "the repeat was not heard to its end";
    EXPECT_TRUE(again == album.bytes.substr(2 * kSecond, again.size()));
    EXPECT_FALSE(s.hasOut(3));
    EXPECT_EQ(s.delegate.asked, 1);
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

TEST(UniPlayer, SameFileChangesSeekUnlessTheNextTrackRunsOn)
{
    Session s("null");  // real-time pace: the read position stays near what was asked
    writeAlbum(s);
    PlayableItemPtr album = s.item("album.wav");
    const auto &t = album->subItems();
    auto now = [&] { return s.player->currentTime(); };

    s.player->play(t[0]);
    float primed = now();  // three buffers read ahead
    EXPECT_GT(primed, 0.5f);
    EXPECT_LT(primed, 2.0f);

    // The next track while paused: seek to its start and play.
    s.player->pause();
    s.player->play(t[1]);
    EXPECT_TRUE(s.player->playing());
    EXPECT_GE(now(), 2.0f);
    EXPECT_LT(now(), 2.0f + primed + 0.01f);

    // The next track while playing, within two seconds of its start: no seek at all.
    float before = now();
    s.player->play(t[2]);
    EXPECT_EQ(now(), before);

    // A track that is not the next one: a seek, while playing (no fresh read-ahead).
    s.player->play(t[0]);
    EXPECT_EQ(now(), 0.0f);
    s.player->play(t[2]);
    EXPECT_EQ(now(), 4.0f);

    std::vector<PlayableItemPtr> expected = {t[0], t[1], t[2], t[0], t[2]};
    EXPECT_EQ(s.recorder.items, expected);
    EXPECT_EQ(s.player->previousItem(), t[0]);
    EXPECT_EQ(s.delegate.asked, 0);
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

TEST(UniPlayer, SleepFadesOutAndPauses)
{
    Session s("null");
    writeWav(s.dir.file("long.wav"), makePcm(kRate, 2, 16, kRate * 12, 3));
    s.player->play(s.item("long.wav"));
    ASSERT_TRUE(s.player->playing());

    std::vector<float> volumes;
    s.player->sleep();
    runLoopUntil([&] {
        float v = s.player->getVolume();
        if (volumes.empty() || volumes.back() != v)
            volumes.push_back(v);
        return RunLoop::pendingPerforms(s.player.get()) == 0;
    }, 30000);
    std::vector<float> expected;
    for (int n = 20; n >= 1; n--)
        expected.push_back(float(n) * 0.05f);
    expected.push_back(1.0f);  // back to full volume once paused
    EXPECT_EQ(volumes, expected);
    EXPECT_FALSE(s.player->playing());
    EXPECT_FLOAT_EQ(s.player->getVolume(), 1.0f);
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
    EXPECT_FALSE(s.player->playing());
    EXPECT_FLOAT_EQ(s.player->getVolume(), 1.0f);
    EXPECT_EQ(s.player->currentItem(), a);
}

}  // namespace
