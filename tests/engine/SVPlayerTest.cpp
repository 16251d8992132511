#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "PlayerFixtures.h"
#include "RiffFixtures.h"
#include "TestSupport.h"
#include "engine/SVFile.h"
#include "engine/SVPlayer.h"
#include "platform/AudioQueue.h"
#include "platform/AudioSink.h"
#include "platform/RunLoop.h"

using namespace playerfixtures;

namespace {

// Points new queues at `output` for the life of the object.
class ScopedOutput {
public:
    explicit ScopedOutput(const std::string &output) { setenv("SONAVEL_AUDIO_OUTPUT", output.c_str(), 1); }
    ~ScopedOutput() { setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1); }
};

// Drives a player the way the controller and `render` do: a successor that cannot follow
// without a gap is started after the end, and a queue that stopped after the end of the last
// file means everything has been played.
struct Session {
    SVPlayer *player = SVCreate();
    std::vector<int32_t> events;
    std::vector<double> positions;  // the read position at each SVEventPosition
    std::vector<size_t> changesAt;  // positions.size() at each SVEventFileChanged
    bool successorPending = false;
    bool playedOut = false;

    Session() { SVSetCallback(player, onEvent, this); }
    ~Session()
    {
        SVDestroy(player);
        AudioQueueWaitForDisposed();
    }

    static void onEvent(void *user_data, int32_t event)
    {
        auto *s = static_cast<Session *>(user_data);
        s->events.push_back(event);
        if (event == SVEventPosition)
            s->positions.push_back(SVGetCurrentPosition(s->player));
        if (event == SVEventFileChanged)
            s->changesAt.push_back(s->positions.size());
        SVFile *current = SVCurrentFile(s->player);
        if (event == SVEventEnded && current && current->next && !s->successorPending) {
            s->successorPending = true;
            RunLoop::postToMain([s] {
                s->successorPending = false;
                // SVPlayFile starts its file with an empty chain: the files after it are
                // taken off first and queued again behind it.
                SVFile *now = SVCurrentFile(s->player);
                SVFile *next = now->next;
                SVFile *rest = next->next;
                now->next = nullptr;
                next->next = nullptr;
                SVPlayFile(s->player, next);
                while (rest) {
                    SVFile *after = rest->next;
                    SVAddFile(s->player, rest);
                    rest = after;
                }
            });
        }
        if (event == SVEventPaused && SVGetStatus(s->player) == SVStatusEnded && !s->successorPending)
            s->playedOut = true;
    }

    // Events other than position ticks, taken since the last call.
    std::vector<int32_t> take()
    {
        std::vector<int32_t> out;
        for (int32_t e : events) {
            if (e != SVEventPosition)
                out.push_back(e);
        }
        events.clear();
        return out;
    }

    bool playAll(const std::vector<std::string> &paths)
    {
        std::vector<SVFile *> files;
        for (const std::string &p : paths) {
            SVFile *f = SVFileOpen(p.c_str());
            if (!f) {
                ADD_FAILURE() << "cannot open " << p;
                return false;
            }
            files.push_back(f);
        }
        SVPlayFile(player, files[0]);
        for (size_t i = 1; i < files.size(); ++i)
            SVAddFile(player, files[i]);
        return waitPlayedOut();
    }

    bool waitPlayedOut()
    {
        playedOut = false;
        return runLoopUntil([this] { return playedOut; }, 60000);
    }
};

enum Kind { Wav, Aiff, Sowt, Flac, Ape };

struct Part {
    Kind kind;
    uint32_t bits, channels, rate;
    size_t frames;
};

// Writes one file of `part` with fresh noise; `played` receives what the WAV output must hold.
std::string makeFile(const TempDir &dir, const Part &part, int index, std::string *played)
{
    const char *extensions[] = {"wav", "aiff", "aif", "flac", "ape"};
    const std::string path = dir.file("part" + std::to_string(index) + "." + extensions[part.kind]);
    const std::string pcm = noise(part.frames * part.channels * part.bits / 8, uint32_t(index * 7919 + part.frames));
    switch (part.kind) {
    case Wav:
        writeFile(path, wavBytes(part.bits, part.channels, part.rate, pcm));
        *played = pcm;
        break;
    case Aiff:
        writeFile(path, aiffBytes(part.bits, part.channels, part.rate, pcm, false));
        *played = swapped(pcm, part.bits);
        if (part.bits == 8)
            for (char &c : *played)
                c = char(uint8_t(c) ^ 0x80);
        break;
    case Sowt:
        writeFile(path, aiffBytes(part.bits, part.channels, part.rate, pcm, true));
        *played = pcm;
        break;
    case Flac:
        EXPECT_TRUE(writeFlac(path, part.bits, part.channels, part.rate, pcm));
        *played = pcm;
        break;
    case Ape:
        EXPECT_TRUE(writeApe(path, part.bits, part.channels, part.rate, pcm));
        *played = pcm;
        break;
    }
    return path;
}

bool apeEncoderPresent()
{
    return access("/usr/share/java/jmac.jar", R_OK) == 0 && runProgram({"java", "-version"}).exitCode == 0;
}

TEST(SVPlayer, GaplessJoinsAreTheExactConcatenation)
{
    struct Row {
        const char *name;
        std::vector<Part> parts;
    };
    const Row rows[] = {
        {"WAV+WAV 16-bit stereo 44.1 kHz", {{Wav, 16, 2, 44100, 30011}, {Wav, 16, 2, 44100, 22051}}},
        {"WAV+WAV 24-bit stereo 96 kHz", {{Wav, 24, 2, 96000, 50003}, {Wav, 24, 2, 96000, 40001}}},
        {"WAV+WAV 8-bit mono", {{Wav, 8, 1, 22050, 20001}, {Wav, 8, 1, 22050, 9999}}},
        {"AIFF+AIFF 16-bit big-endian", {{Aiff, 16, 2, 44100, 25013}, {Aiff, 16, 2, 44100, 17011}}},
        {"AIFF+AIFF 24-bit big-endian", {{Aiff, 24, 2, 48000, 23011}, {Aiff, 24, 2, 48000, 9001}}},
        {"AIFC sowt + WAV", {{Sowt, 16, 2, 44100, 20011}, {Wav, 16, 2, 44100, 20011}}},
        {"three WAVs, the middle shorter than a buffer",
         {{Wav, 16, 2, 44100, 40000}, {Wav, 16, 2, 44100, 1001}, {Wav, 16, 2, 44100, 30000}}},
        {"first file shorter than the primed buffers", {{Wav, 16, 2, 44100, 3001}, {Wav, 16, 2, 44100, 40000}}},
        {"FLAC+FLAC 16-bit", {{Flac, 16, 2, 44100, 50011}, {Flac, 16, 2, 44100, 30001}}},
        {"FLAC+FLAC 24-bit 96 kHz", {{Flac, 24, 2, 96000, 60013}, {Flac, 24, 2, 96000, 20011}}},
        {"WAV+FLAC", {{Wav, 16, 2, 44100, 30011}, {Flac, 16, 2, 44100, 30011}}},
        {"FLAC+WAV", {{Flac, 16, 2, 44100, 30011}, {Wav, 16, 2, 44100, 30011}}},
        {"APE+APE 16-bit", {{Ape, 16, 2, 44100, 30011}, {Ape, 16, 2, 44100, 20011}}},
    };
    const bool ape = apeEncoderPresent();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.parts[0].kind == Ape && !ape) {
            printf("skipped row \"%s\": no Monkey's Audio encoder\n", row.name);
            continue;
        }
        TempDir dir;
        const std::string out = dir.file("out.wav");
        std::vector<std::string> paths;
        std::string expected;
        for (size_t i = 0; i < row.parts.size(); ++i) {
            std::string played;
            paths.push_back(makeFile(dir, row.parts[i], int(i), &played));
            expected += played;
        }
        ScopedOutput output("wav-fast:" + out);
        {
            Session s;
            ASSERT_TRUE(s.playAll(paths));
            std::vector<int32_t> events = s.take();
            // One file-change per file, and the stream never ended between them.
            size_t first = 0;
            while (first < events.size() && events[first] != SVEventFileChanged)
                ++first;
            size_t changes = 0;
            size_t lastChange = 0;
            for (size_t i = first; i < events.size(); ++i) {
                if (events[i] == SVEventFileChanged) {
                    ++changes;
                    lastChange = i;
                }
            }
            EXPECT_EQ(changes, row.parts.size());
            for (size_t i = first; i < lastChange; ++i)
                EXPECT_NE(events[i], SVEventEnded) << "at event " << i;
            EXPECT_EQ(events.back(), SVEventPaused);
        }
        WavOutput w = parseWav(readFile(out));
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(w.rate, row.parts[0].rate);
        EXPECT_EQ(w.bits, row.parts[0].bits);
        EXPECT_EQ(w.data.size(), expected.size());
        EXPECT_TRUE(w.data == expected);
        EXPECT_TRUE(readFile(AudioSinkNumberedPath(out, 2)).empty()) << "one queue only";
    }
}

TEST(SVPlayer, FormatChangeEndsOneQueueAndStartsAnother)
{
    struct Row {
        const char *name;
        std::vector<Part> parts;
        std::vector<std::vector<int>> queues;  // which parts each queue's output holds
    };
    const Row rows[] = {
        {"44.1 kHz then 48 kHz", {{Wav, 16, 2, 44100, 30011}, {Wav, 16, 2, 48000, 20011}}, {{0}, {1}}},
        {"44.1 kHz then two at 48 kHz", {{Wav, 16, 2, 44100, 30011}, {Wav, 16, 2, 48000, 20011}, {Wav, 16, 2, 48000, 10001}},
         {{0}, {1, 2}}},
        {"16-bit then 24-bit", {{Wav, 16, 2, 44100, 1001}, {Wav, 24, 2, 44100, 3001}}, {{0}, {1}}},
        {"8-bit WAV (unsigned) then 8-bit AIFF (signed)", {{Wav, 8, 1, 8000, 7001}, {Aiff, 8, 1, 8000, 5001}}, {{0}, {1}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string out = dir.file("out.wav");
        std::vector<std::string> paths;
        std::vector<std::string> played(row.parts.size());
        for (size_t i = 0; i < row.parts.size(); ++i)
            paths.push_back(makeFile(dir, row.parts[i], int(i), &played[i]));
        ScopedOutput output("wav-fast:" + out);
        {
            Session s;
            ASSERT_TRUE(s.playAll(paths));
            // The end of the first queue comes before the second file's start.
            std::vector<int32_t> events = s.take();
            size_t firstEnd = 0;
            while (firstEnd < events.size() && events[firstEnd] != SVEventEnded)
                ++firstEnd;
            size_t changesAfter = 0;
            for (size_t i = firstEnd; i < events.size(); ++i)
                changesAfter += events[i] == SVEventFileChanged;
            EXPECT_EQ(changesAfter, row.queues.size() - 1 + (row.parts.size() - row.queues.size()));
        }
        for (size_t q = 0; q < row.queues.size(); ++q) {
            std::string expected;
            for (int part : row.queues[q])
                expected += played[part];
            WavOutput w = parseWav(readFile(AudioSinkNumberedPath(out, int(q) + 1)));
            ASSERT_TRUE(w.ok) << "queue " << q + 1;
            EXPECT_EQ(w.rate, row.parts[row.queues[q][0]].rate);
            EXPECT_EQ(w.data.size(), expected.size()) << "queue " << q + 1;
            EXPECT_TRUE(w.data == expected) << "queue " << q + 1;
        }
        EXPECT_TRUE(readFile(AudioSinkNumberedPath(out, int(row.queues.size()) + 1)).empty());
    }
}

// Each change of state is reported once: a pause, a resume, and the end, however many buffers
// come back after it.
TEST(SVPlayer, StartPauseResumeAndEndAreEachReportedOnce)
{
    TempDir dir;
    std::string pcm = noise(8000 * 2 * 3 / 2, 1);  // 1.5 s, read whole while priming
    writeFile(dir.file("a.wav"), wavBytes(16, 1, 8000, pcm));
    ScopedOutput output("null");
    Session s;
    SVPlayFile(s.player, SVFileOpen(dir.file("a.wav").c_str()));
    EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventPlaying, SVEventFileChanged}));
    EXPECT_EQ(SVGetStatus(s.player), SVStatusPlaying);

    SVPause(s.player);
    EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventPaused});
    EXPECT_EQ(SVGetStatus(s.player), SVStatusPaused);
    SVPause(s.player);
    runLoopUntil([] { return false; }, 300);
    EXPECT_TRUE(s.take().empty()) << "a paused queue reports nothing";

    SVPlay(s.player);
    EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventPlaying});
    EXPECT_EQ(SVGetStatus(s.player), SVStatusPlaying);
    SVResume(s.player);
    SVPlay(s.player);
    EXPECT_TRUE(s.take().empty());
    SVPause(s.player);
    SVResume(s.player);
    EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventPaused, SVEventPlaying}));
    ASSERT_TRUE(s.waitPlayedOut());
    EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventEnded, SVEventPaused}));
}

// Within the file, or into it opened again (the chain having moved on): nothing starts before
// SVPlay, and what is heard meanwhile is exactly the target.
TEST(SVPlayer, SeekWhilePausedThenPlayStartsAFreshQueueAtTheTarget)
{
    for (bool reopened : {false, true}) {
        SCOPED_TRACE(reopened ? "the file opened again" : "the same file");
        TempDir dir;
        const uint32_t rate = 8000;
        std::string pcm = noise(rate * 2 * 6, 2);  // six seconds, 16-bit mono
        writeFile(dir.file("a.wav"), wavBytes(16, 1, rate, pcm));
        const std::string out = dir.file("out.wav");
        ScopedOutput output("wav:" + out);
        {
            Session s;
            SVPlayFile(s.player, SVFileOpen(dir.file("a.wav").c_str()));
            SVPause(s.player);
            s.take();
            if (reopened) {
                SVFile *file = SVFileOpen(dir.file("a.wav").c_str());
                SVFileSeek(file, 5.5);
                SVSeekFile(s.player, file);
                EXPECT_EQ(SVCurrentFile(s.player), file);
                EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventFileChanged});
            } else {
                SVSeek(s.player, 5.5);
                EXPECT_TRUE(s.take().empty());
            }
            EXPECT_EQ(SVGetStatus(s.player), SVStatusStopped);
            EXPECT_FALSE(SVIsAudible(s.player));
            EXPECT_EQ(SVGetHeardPoint(s.player).position, 5.5);
            SVPlay(s.player);
            EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventPlaying});
            ASSERT_TRUE(s.waitPlayedOut());
        }
        WavOutput before = parseWav(readFile(out));
        WavOutput after = parseWav(readFile(AudioSinkNumberedPath(out, 2)));
        ASSERT_TRUE(before.ok);
        ASSERT_TRUE(after.ok);
        // Whatever the first queue played before the pause is the file's start; the fresh queue
        // plays exactly from the target, none of the old buffers.
        EXPECT_LT(before.data.size(), pcm.size() / 2);
        EXPECT_TRUE(before.data == pcm.substr(0, before.data.size()));
        EXPECT_TRUE(after.data == pcm.substr(size_t(5.5 * rate) * 2));
    }
}

TEST(SVPlayer, PlayAfterTheEndRestartsFromTheBeginning)
{
    TempDir dir;
    std::string pcm = noise(44100 * 4 / 2, 3);  // half a second, 16-bit stereo
    writeFile(dir.file("a.wav"), wavBytes(16, 2, 44100, pcm));
    const std::string out = dir.file("out.wav");
    ScopedOutput output("wav-fast:" + out);
    {
        Session s;
        ASSERT_TRUE(s.playAll({dir.file("a.wav")}));
        std::vector<int32_t> first = s.take();
        EXPECT_EQ(first.back(), SVEventPaused);
        EXPECT_EQ(SVGetStatus(s.player), SVStatusEnded);
        SVPlay(s.player);
        EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventPlaying});
        ASSERT_TRUE(s.waitPlayedOut());
    }
    WavOutput once = parseWav(readFile(out));
    WavOutput again = parseWav(readFile(AudioSinkNumberedPath(out, 2)));
    ASSERT_TRUE(once.ok);
    ASSERT_TRUE(again.ok);
    EXPECT_TRUE(once.data == pcm);
    EXPECT_TRUE(again.data == pcm);
}

// A stream with nothing left gives no buffer back to report its end, so the start reports it.
TEST(SVPlayer, NothingLeftToPlayEndsRightAfterTheStart)
{
    TempDir dir;
    writeFile(dir.file("empty.wav"), wavBytes(16, 2, 44100, ""));
    writeFile(dir.file("a.wav"), wavBytes(16, 2, 44100, noise(4 * 44100, 13)));
    struct Row {
        const char *name;
        const char *file;
        double seek;
    };
    const Row rows[] = {{"empty file", "empty.wav", 0.0}, {"started at its end", "a.wav", 1.0}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        SVFile *file = SVFileOpen(dir.file(row.file).c_str());
        ASSERT_NE(file, nullptr);
        SVFileSeek(file, row.seek);
        SVPlayFile(s.player, file);
        EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventPlaying, SVEventEnded, SVEventFileChanged}));
        ASSERT_TRUE(s.waitPlayedOut());
        EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventPaused});
        EXPECT_EQ(SVGetStatus(s.player), SVStatusEnded);
    }
}

// A seek while the end plays out is heard from the target in the same queue, as any seek.
TEST(SVPlayer, SeekWhileTheEndPlaysOutIsHeardFromTheTarget)
{
    TempDir dir;
    const uint32_t rate = 96000;
    std::string pcm = noise(size_t(rate) * 6 * 6 / 5, 14);  // 1.2 s of 24-bit stereo
    writeFile(dir.file("a.wav"), wavBytes(24, 2, rate, pcm));
    const std::string out = dir.file("out.wav");
    ScopedOutput output("wav:" + out);  // real-time pace, so buffers are still draining
    {
        Session s;
        SVPlayFile(s.player, SVFileOpen(dir.file("a.wav").c_str()));
        ASSERT_TRUE(runLoopUntil([&] { return !s.events.empty() && s.events.back() == SVEventEnded; }));
        s.take();
        SVSeek(s.player, 0.3);
        EXPECT_EQ(SVGetStatus(s.player), SVStatusPlaying);
        EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventPlaying});
        ASSERT_TRUE(s.waitPlayedOut());
        EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventEnded, SVEventPaused}));
    }
    const std::string heard = parseWav(readFile(out)).data;
    const std::string tail = pcm.substr(size_t(0.3 * rate) * 6);
    ASSERT_GT(heard.size(), tail.size());
    const size_t before = heard.size() - tail.size();
    EXPECT_EQ(before % 6, 0u);
    EXPECT_TRUE(heard.substr(0, before) == pcm.substr(0, before));
    EXPECT_TRUE(heard.substr(before) == tail);
    EXPECT_TRUE(readFile(AudioSinkNumberedPath(out, 2)).empty()) << "the output stays open";
}

// Reading stops at the read end as at the file's end, mid-block for FLAC; lifting the end before
// the queue reaches it lets the rest play on without a frame lost at the cut.
TEST(SVPlayer, ReadEndStopsReadingAndLiftingItPlaysTheRest)
{
    TempDir dir;
    const int64_t endFrame = 26901;  // inside a FLAC block, and inside the second primed buffer
    for (Kind kind : {Wav, Flac}) {
        for (bool lift : {false, true}) {
            SCOPED_TRACE(std::string(kind == Wav ? "wav" : "flac") + (lift ? ", lifted" : ""));
            std::string pcm;
            const std::string path = makeFile(dir, {kind, 16, 2, 44100, 2 * 44100}, int(kind), &pcm);
            const std::string out = dir.file(std::string("out") + (lift ? "1" : "0") + std::to_string(kind) + ".wav");
            ScopedOutput output("wav-fast:" + out);
            std::vector<int32_t> events;
            {
                Session s;
                SVSetReadEnd(s.player, double(endFrame) / 44100);
                SVFile *file = SVFileOpen(path.c_str());
                ASSERT_NE(file, nullptr);
                SVPlayFile(s.player, file);  // set before: it caps the priming reads too
                EXPECT_TRUE(SVReadEndActive(s.player));
                if (lift)
                    SVSetReadEnd(s.player, -1);
                ASSERT_TRUE(s.waitPlayedOut());
                events = s.take();
                EXPECT_EQ(SVGetStatus(s.player), SVStatusEnded);
                EXPECT_EQ(s.player->read_end_reached, !lift);
                EXPECT_NEAR(SVGetCurrentPosition(s.player), lift ? 2.0 : double(endFrame) / 44100, 0.5 / 44100);
            }
            // Each buffer that comes back after the end reports it again.
            EXPECT_NE(std::find(events.begin(), events.end(), SVEventEnded), events.end());
            WavOutput heard = parseWav(readFile(out));
            ASSERT_TRUE(heard.ok);
            const std::string want = lift ? pcm : pcm.substr(0, size_t(endFrame) * 4);
            EXPECT_EQ(heard.data.size(), want.size());
            EXPECT_TRUE(heard.data == want);
        }
    }
}

// A file handed to SVPlayFile straight from the chain is taken out of it, not closed with it;
// the files after it are closed (ASan would see a double close or a leak).
TEST(SVPlayer, PlayFileTakesItsFileOutOfTheChain)
{
    TempDir dir;
    // The first file long enough that the others still wait in the chain.
    writeFile(dir.file("a.wav"), wavBytes(16, 2, 44100, noise(4 * 44100 * 2, 15)));
    for (const char *name : {"b.wav", "c.wav"})
        writeFile(dir.file(name), wavBytes(16, 2, 44100, noise(4 * 3000, 15)));
    Session s;
    SVPlayFile(s.player, SVFileOpen(dir.file("a.wav").c_str()));
    SVFile *b = SVFileOpen(dir.file("b.wav").c_str());
    SVAddFile(s.player, b);
    SVAddFile(s.player, SVFileOpen(dir.file("c.wav").c_str()));
    SVPlayFile(s.player, b);
    EXPECT_EQ(SVCurrentFile(s.player), b);
    EXPECT_EQ(b->next, nullptr);
    ASSERT_TRUE(s.waitPlayedOut());
}

// The output of a packet queue is cut at the stream's length counted from where its decoder
// started; a seek back while playing starts the decoder afresh there, or the end goes missing.
TEST(SVPlayer, SeekBackInACompressedFileStillPlaysToTheEnd)
{
    TempDir dir;
    const std::string wav = dir.file("tone.wav");
    const std::string m4a = dir.file("tone.m4a");
    ASSERT_TRUE(fixture::toneWav(wav, 2.0));
    ASSERT_TRUE(fixture::ffmpeg({"-i", wav, "-c:a", "aac", "-b:a", "128k", m4a}));
    const std::string out = dir.file("out.wav");
    ScopedOutput output("wav:" + out);
    {
        Session s;
        SVPlayFile(s.player, SVFileOpen(m4a.c_str()));
        ASSERT_EQ(SVGetStatus(s.player), SVStatusPlaying);
        ASSERT_TRUE(runLoopUntil([&] { return SVGetHeardPosition(s.player) > 0.5; }));
        SVSeek(s.player, 0.0);
        EXPECT_EQ(SVGetStatus(s.player), SVStatusPlaying);
        EXPECT_LT(SVGetHeardPosition(s.player), 0.1);
        ASSERT_TRUE(s.waitPlayedOut());
    }
    // The stream from the seek on is whole, in the same output.
    const std::string played = parseWav(readFile(out)).data;
    const std::string reference = fixture::ffmpegDecode(m4a);
    const size_t whole = size_t(2 * 44100) * 4;
    ASSERT_GT(played.size(), whole);
    EXPECT_LE(fixture::maxDifference16(played.substr(played.size() - whole), reference), 1);
    EXPECT_TRUE(readFile(AudioSinkNumberedPath(out, 2)).empty());
}

// A level set before the queue exists is the new queue's level (a fade carries across queues);
// a change while playing applies from then on, and exactly 1.0 leaves samples untouched.
TEST(SVPlayer, VolumeCarriesIntoNewQueuesAndScalesFromWhenItIsSet)
{
    struct Row {
        const char *name;
        float volume;
    };
    const Row rows[] = {{"to half", 0.5f}, {"to unity", 1.0f}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const uint32_t rate = 8000;
        std::string pcm = noise(rate * 2, 4);  // one second, 16-bit mono, at real-time pace
        writeFile(dir.file("a.wav"), wavBytes(16, 1, rate, pcm));
        const std::string out = dir.file("out.wav");
        ScopedOutput output("wav:" + out);
        {
            Session s;
            EXPECT_EQ(SVGetVolume(s.player), 0.0f);
            SVSetVolume(s.player, 0.25f);
            SVPlayFile(s.player, SVFileOpen(dir.file("a.wav").c_str()));
            EXPECT_EQ(SVGetVolume(s.player), 0.25f);
            ASSERT_TRUE(runLoopUntil([&] { return SVGetHeardPosition(s.player) > 0.2; }));
            SVSetVolume(s.player, row.volume);
            EXPECT_EQ(SVGetVolume(s.player), row.volume);
            ASSERT_TRUE(s.waitPlayedOut());
        }
        WavOutput w = parseWav(readFile(out));
        ASSERT_TRUE(w.ok);
        ASSERT_EQ(w.data.size(), pcm.size());
        auto scaled = [&](size_t i, float v) {
            int16_t x = int16_t(getLE(pcm, i * 2, 2));
            int16_t y = int16_t(getLE(w.data, i * 2, 2));
            return std::fabs(y - x * double(v)) <= 0.5;
        };
        // A quarter up to one point, the new level from there on.
        const size_t samples = pcm.size() / 2;
        size_t k = 0;
        while (k < samples && scaled(k, 0.25f))
            ++k;
        EXPECT_GT(k, size_t(rate / 10));
        EXPECT_LT(k, samples / 2);
        size_t wrong = 0;
        for (size_t i = k; i < samples; ++i)
            wrong += !scaled(i, row.volume);
        EXPECT_EQ(wrong, 0u);
        if (row.volume == 1.0f) {
            EXPECT_TRUE(w.data.substr(k * 2) == pcm.substr(k * 2));
        }
    }
}

TEST(SVPlayer, PositionEventsComeAtLeastASecondApartAndRestartAfterAJoin)
{
    // 96 kHz 24-bit stereo: quarter-second buffers, so most refills report nothing.
    TempDir dir;
    std::string played;
    const std::string a = makeFile(dir, {Wav, 24, 2, 96000, 96000 * 33 / 10}, 0, &played);
    const std::string b = makeFile(dir, {Wav, 24, 2, 96000, 96000 * 26 / 10}, 1, &played);
    ScopedOutput output("null-fast");
    Session s;
    ASSERT_TRUE(s.playAll({a, b}));
    ASSERT_EQ(s.changesAt.size(), 2u);
    const size_t join = s.changesAt[1];
    ASSERT_GE(join, 3u);
    ASSERT_GE(s.positions.size(), join + 3);
    for (size_t i = 1; i < s.positions.size(); ++i)
        EXPECT_GE(std::fabs(s.positions[i] - s.positions[i - 1]), 1.0) << "at " << i;
    EXPECT_GE(s.positions[0], 1.0);
    EXPECT_LE(s.positions[join - 1], 3.3);
    // The first refill of the joined file reports its position, back near the start.
    EXPECT_LE(s.positions[join], 0.25);
    EXPECT_LE(s.positions.back(), 2.6);
}

TEST(SVPlayer, QueueFailureIsAnErrorThatOnlyANewFileRecovers)
{
    TempDir dir;
    writeFile(dir.file("wide.wav"), wavBytes(16, 12, 44100, noise(12 * 2 * 1000, 6)));
    writeFile(dir.file("ok.wav"), wavBytes(16, 2, 44100, noise(4 * 1000, 7)));
    ScopedOutput output("null-fast");
    Session s;
    SVFile *wide = SVFileOpen(dir.file("wide.wav").c_str());
    ASSERT_NE(wide, nullptr);
    SVPlayFile(s.player, wide);
    EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventError, SVEventFileChanged}));
    EXPECT_EQ(SVGetStatus(s.player), SVStatusError);
    EXPECT_EQ(SVCurrentFile(s.player), wide);
    SVPlay(s.player);
    EXPECT_TRUE(s.take().empty());
    EXPECT_EQ(SVGetStatus(s.player), SVStatusError);

    SVPlayFile(s.player, SVFileOpen(dir.file("ok.wav").c_str()));
    EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventPlaying, SVEventFileChanged}));
    ASSERT_TRUE(s.waitPlayedOut());
}

// Every later read of the file open at `path` fails, as on a disk that went away: its
// descriptor now refers to a folder.
void breakOpenFile(const std::string &path, const std::string &folder)
{
    char real[PATH_MAX];
    ASSERT_NE(realpath(path.c_str(), real), nullptr);
    const int broken = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(broken, 0);
    int replaced = 0;
    DIR *fds = opendir("/proc/self/fd");
    ASSERT_NE(fds, nullptr);
    while (dirent *e = readdir(fds)) {
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, size_t(n)) == real && dup2(broken, atoi(e->d_name)) >= 0)
            ++replaced;
    }
    closedir(fds);
    close(broken);
    EXPECT_EQ(replaced, 1);
}

TEST(SVPlayer, AReadThatFailsIsAnErrorNotAnEnd)
{
    for (Kind kind : {Wav, Flac}) {
        SCOPED_TRACE(kind == Wav ? "WAV" : "FLAC");
        TempDir dir;
        std::string played;
        const std::string path = makeFile(dir, {kind, 16, 2, 44100, 441000}, 0, &played);
        const std::string out = dir.file("out.wav");
        ScopedOutput output("wav-fast:" + out);
        fixture::StderrCapture err;
        {
            Session s;
            SVFile *f = SVFileOpen(path.c_str());
            ASSERT_NE(f, nullptr);
            breakOpenFile(path, dir.path());
            SVPlayFile(s.player, f);
            ASSERT_TRUE(runLoopUntil([&] { return SVGetStatus(s.player) == SVStatusError; }, 10000));
            const std::vector<int32_t> events = s.take();
            EXPECT_EQ(std::count(events.begin(), events.end(), SVEventError), 1);
            EXPECT_EQ(std::count(events.begin(), events.end(), SVEventEnded), 0);
        }
        EXPECT_EQ(err.lines(), fixture::failed("SVPlayer", "read >= 0"));
        // What was read before the failure is heard, and nothing after it.
        WavOutput w = parseWav(readFile(out));
        ASSERT_TRUE(w.ok);
        EXPECT_LT(w.data.size(), played.size());
        EXPECT_TRUE(played.compare(0, w.data.size(), w.data) == 0);
    }
}

TEST(SVPlayer, UnknownOutputIsAnError)
{
    TempDir dir;
    writeFile(dir.file("a.wav"), wavBytes(16, 2, 44100, noise(4000, 8)));
    ScopedOutput output("loudspeaker");
    Session s;
    SVPlayFile(s.player, SVFileOpen(dir.file("a.wav").c_str()));
    EXPECT_EQ(s.take(), (std::vector<int32_t>{SVEventError, SVEventFileChanged}));
}

TEST(SVPlayer, EntriesWithoutAFile)
{
    TempDir dir;
    writeFile(dir.file("a.wav"), wavBytes(16, 2, 44100, noise(4 * 2000, 9)));
    ScopedOutput output("null-fast");
    Session s;
    SVPlayFile(s.player, nullptr);
    SVPlay(s.player);
    SVSeek(s.player, 3.0);
    SVPause(s.player);
    SVSetVolume(s.player, 0.5f);
    EXPECT_TRUE(s.take().empty());
    EXPECT_EQ(SVGetStatus(s.player), SVStatusStopped);
    EXPECT_EQ(SVGetCurrentPosition(s.player), 0.0);
    EXPECT_EQ(SVGetVolume(s.player), 0.0f);
    EXPECT_EQ(SVCurrentFile(s.player), nullptr);

    // A file added to an idle player becomes current without playing.
    SVFile *file = SVFileOpen(dir.file("a.wav").c_str());
    EXPECT_EQ(SVAddFile(s.player, file), 0);
    EXPECT_EQ(SVCurrentFile(s.player), file);
    EXPECT_EQ(SVGetStatus(s.player), SVStatusStopped);
    EXPECT_TRUE(s.take().empty());
    SVPlay(s.player);
    EXPECT_EQ(s.take(), std::vector<int32_t>{SVEventPlaying});
    ASSERT_TRUE(s.waitPlayedOut());
}

// The render command end to end: events on standard error, output complete when it exits.
TEST(SVPlayer, RenderCommand)
{
    TempDir dir;
    std::string a = noise(4 * 20011, 10);
    std::string b = noise(4 * 10007, 11);
    std::string c = noise(4 * 4001, 12);
    writeFile(dir.file("a.wav"), wavBytes(16, 2, 44100, a));
    writeFile(dir.file("b.wav"), wavBytes(16, 2, 44100, b));
    writeFile(dir.file("c.wav"), wavBytes(16, 2, 48000, c));
    const std::string out = dir.file("out.wav");

    ToolResult r = runTool({"render", "--output", "wav-fast:" + out, dir.file("a.wav"), dir.file("b.wav"), dir.file("c.wav")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.rfind("event 3\nevent 1\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("event 4\n"), std::string::npos);
    EXPECT_TRUE(parseWav(readFile(out)).data == a + b);
    EXPECT_TRUE(parseWav(readFile(AudioSinkNumberedPath(out, 2))).data == c);

    // Without a device: one line, then the files play to null at real-time pace.
    ToolResult fallback = runTool({"render", "--output", "alsa:sonavel-no-such-device", dir.file("c.wav"), dir.file("a.wav")});
    EXPECT_EQ(fallback.exitCode, 0) << fallback.err;
    size_t lines = 0;
    for (size_t at = fallback.err.find("does not open"); at != std::string::npos; at = fallback.err.find("does not open", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << fallback.err;

    ToolResult missing = runTool({"render", "--output", "null-fast", dir.file("nothing.wav")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(runTool({"render"}).exitCode, 2);
    EXPECT_EQ(runTool({"render", "--output"}).exitCode, 2);
}

}  // namespace
