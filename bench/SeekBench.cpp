// How soon a seek is heard, and what a repeat adds. Playback runs through the player controller
// into the real-time `wav:` output; a watcher thread reads the WAV file as the sink writes it,
// and the signal, whose frame n holds n, tells when the target's first frame was written.
// Seek latency: from the seekToTime call to that write (goal <= 50 ms), printed with its ratio
// to the start latency (play to the first frame written) measured the same way in this run.
// Repeat gap: frames other than the item's own between repeats of a locked item (goal 0).
#include "BenchSupport.h"
#include "LibraryGenerator.h"

#include <FLAC/stream_encoder.h>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioQueue.h"
#include "platform/RunLoop.h"
#include "playback/UniPlayer.h"

namespace {

using Clock = std::chrono::steady_clock;

const uint32_t kRate = 44100;

void putLe(std::string &s, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        s += char(v >> (8 * i));
}

// Stereo 16-bit frames holding their own index: the low 16 bits left, the high right.
std::string counter(int64_t frames)
{
    std::string pcm;
    pcm.reserve(size_t(frames) * 4);
    for (int64_t n = 0; n < frames; n++) {
        putLe(pcm, uint64_t(n) & 0xFFFF, 2);
        putLe(pcm, uint64_t(n) >> 16, 2);
    }
    return pcm;
}

bool writeWav(const std::string &path, const std::string &pcm)
{
    return library::writeText(path, wavHeader(kRate, 16, pcm.size()) + pcm);
}

bool writeFlac(const std::string &path, const std::string &pcm)
{
    const size_t frames = pcm.size() / 4;
    std::vector<FLAC__int32> samples(frames * 2);
    for (size_t i = 0; i < frames * 2; i++)
        samples[i] = int16_t(uint8_t(pcm[2 * i]) | uint8_t(pcm[2 * i + 1]) << 8);
    FLAC__StreamEncoder *e = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(e, 2);
    FLAC__stream_encoder_set_bits_per_sample(e, 16);
    FLAC__stream_encoder_set_sample_rate(e, kRate);
    FLAC__stream_encoder_set_total_samples_estimate(e, frames);
    bool ok = FLAC__stream_encoder_init_file(e, path.c_str(), nullptr, nullptr) == FLAC__STREAM_ENCODER_INIT_STATUS_OK &&
              FLAC__stream_encoder_process_interleaved(e, samples.data(), uint32_t(frames)) &&
              FLAC__stream_encoder_finish(e);
    FLAC__stream_encoder_delete(e);
    return ok;
}

// Reads the output WAV as it grows and notes when a wanted frame is first written.
class Watcher {
public:
    explicit Watcher(std::string path) : path_(std::move(path)), thread_([this] { run(); }) {}
    ~Watcher() { finish(); }
    void finish()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // From now on, the time of the first frame holding `frame` (give or take one) is noted.
    void want(int64_t frame)
    {
        found_ = Clock::time_point::min().time_since_epoch().count();
        wanted_ = frame;
    }
    bool found(Clock::time_point *at) const
    {
        const auto ticks = found_.load();
        if (ticks == Clock::time_point::min().time_since_epoch().count())
            return false;
        *at = Clock::time_point(Clock::duration(ticks));
        return true;
    }
    // Every frame read, once finished.
    const std::vector<int64_t> &frames() const { return frames_; }

private:
    void run()
    {
        int fd = -1;
        off_t at = 44;
        std::string carry;
        char buffer[65536];
        while (!stop_) {
            if (fd < 0)
                fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
            ssize_t n = fd < 0 ? 0 : pread(fd, buffer, sizeof buffer, at);
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            const auto now = Clock::now();
            at += n;
            carry.append(buffer, size_t(n));
            size_t k = 0;
            for (; k + 4 <= carry.size(); k += 4) {
                const int64_t v = int64_t(uint8_t(carry[k]) | uint8_t(carry[k + 1]) << 8) |
                                  int64_t(uint8_t(carry[k + 2]) | uint8_t(carry[k + 3]) << 8) << 16;
                frames_.push_back(v);
                const int64_t wanted = wanted_;
                if (wanted >= 0 && std::llabs(v - wanted) <= 1) {
                    found_ = now.time_since_epoch().count();
                    wanted_ = -1;
                }
            }
            carry.erase(0, k);
        }
        if (fd >= 0)
            close(fd);
    }

    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> wanted_{-1};
    std::atomic<Clock::rep> found_{Clock::time_point::min().time_since_epoch().count()};
    std::vector<int64_t> frames_;
    std::thread thread_;
};

void runLoopFor(double seconds, const std::function<bool()> &done = [] { return false; })
{
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end && !done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Latencies {
    std::vector<double> start, seek;
};

// Fresh players started on the source: play to the first frame written.
bool measureStarts(const std::string &source, const std::string &out, Latencies *l)
{
    for (int i = 0; i < 7; i++) {
        const std::string path = out + std::to_string(i) + ".wav";
        setenv("SONAVEL_AUDIO_OUTPUT", ("wav:" + path).c_str(), 1);
        std::unique_ptr<UniPlayer> player = UniPlayer::create();
        PlayableItemPtr item = PlayableItem::itemWithPath(QString::fromStdString(source));
        if (!player || !item)
            return false;
        Watcher watcher(path);
        watcher.want(0);
        const auto call = Clock::now();
        player->play(item);
        Clock::time_point at;
        runLoopFor(2.0, [&] { return watcher.found(&at); });
        player.reset();
        AudioQueueWaitForDisposed();
        if (!watcher.found(&at))
            return false;
        l->start.push_back(ms(at - call));
    }
    return true;
}

// Seeks to random places, some of them from inside the file's last second (where reading
// has ended and the end plays out).
bool measureSeeks(const std::string &source, const std::string &out, int64_t frames, Latencies *l)
{
    setenv("SONAVEL_AUDIO_OUTPUT", ("wav:" + out).c_str(), 1);
    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    PlayableItemPtr item = PlayableItem::itemWithPath(QString::fromStdString(source));
    if (!player || !item)
        return false;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> anywhere(1.0, double(frames) / kRate - 3.0);
    bool ok = true;
    {
        Watcher watcher(out);
        watcher.want(0);
        player->play(item);
        Clock::time_point at;
        runLoopFor(2.0, [&] { return watcher.found(&at); });
        ok = watcher.found(&at);
        for (int i = 0; i < 24 && ok; i++) {
            runLoopFor(0.15);
            if (i % 6 == 5) {
                // Into the last second first: the end is read and plays out when the seek comes.
                player->seekToTime(float(double(frames) / kRate - 1.0));
                runLoopFor(0.4);
            }
            // Far from what plays now, so the old place cannot pass for the target.
            double target;
            do
                target = anywhere(random);
            while (std::abs(target - double(player->currentTime())) < 2.0);
            watcher.want(int64_t(float(target) * kRate));
            const auto call = Clock::now();
            player->seekToTime(float(target));
            runLoopFor(1.0, [&] { return watcher.found(&at); });
            ok = watcher.found(&at);
            if (ok)
                l->seek.push_back(ms(at - call));
        }
    }
    player.reset();
    AudioQueueWaitForDisposed();
    return ok;
}

// A locked item played a few times over: the frames between repeats that are not the item's,
// and those of the item missing before a repeat starts.
bool measureRepeatGap(const std::string &source, const std::string &out, int64_t itemFrames, int64_t *gap,
                      int *repeats)
{
    setenv("SONAVEL_AUDIO_OUTPUT", ("wav:" + out).c_str(), 1);
    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    PlayableItemPtr item = PlayableItem::itemWithPath(QString::fromStdString(source));
    if (!player || !item)
        return false;
    std::vector<int64_t> frames;
    {
        Watcher watcher(out);
        player->setLocked(true);
        player->play(item);
        runLoopFor(2.5);
        player.reset();
        AudioQueueWaitForDisposed();
        runLoopFor(0.05);
        watcher.finish();
        frames = watcher.frames();
    }
    // Whole repeats only: the run cut by the end of the session is left out.
    *gap = 0;
    *repeats = 0;
    int64_t expected = 0;
    for (size_t i = 0; i < frames.size(); i++) {
        if (frames[i] == expected) {
            expected = (expected + 1) % itemFrames;
            *repeats += expected == 0;
        } else if (frames[i] == 0) {
            *gap += itemFrames - expected;
            expected = 1;
        } else {
            ++*gap;
        }
    }
    return !frames.empty();
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string dir = makeBenchDir("seekbench");
    if (dir.empty())
        return 1;
    const int64_t frames = 20 * int64_t(kRate);
    const int64_t shortFrames = kRate / 5;  // a fifth of a second, repeated
    const std::string pcm = counter(frames);
    bool ok = writeWav(dir + "/long.wav", pcm) && writeFlac(dir + "/long.flac", pcm) &&
              writeWav(dir + "/short.wav", pcm.substr(0, size_t(shortFrames) * 4)) &&
              writeFlac(dir + "/short.flac", pcm.substr(0, size_t(shortFrames) * 4));
    if (!ok) {
        fprintf(stderr, "cannot write the test files in %s\n", dir.c_str());
        removeBenchDir(dir);
        return 1;
    }

    int status = 0;
    for (const char *kind : {"wav", "flac"}) {
        Latencies l;
        if (!measureStarts(dir + "/long." + kind, dir + "/start-" + kind, &l) ||
            !measureSeeks(dir + "/long." + kind, dir + "/seek-" + kind + ".wav", frames, &l) || l.seek.empty()) {
            fprintf(stderr, "%s: a seek was not heard within a second\n", kind);
            status = 1;
            continue;
        }
        const double start = median(l.start);
        const double seek = median(l.seek);
        const double worst = *std::max_element(l.seek.begin(), l.seek.end());
        printf("seek latency, 16-bit 44.1 kHz %s into wav: (call to the target's first frame written): median %.1f ms, "
               "worst %.1f ms over %zu seeks (goal <= 50 ms); start latency (median of %zu) %.1f ms; seek / start %.2f\n",
               kind, seek, worst, l.seek.size(), l.start.size(), start, start > 0 ? seek / start : 0.0);
        if (worst > 50)
            status = 1;

        int64_t gap = 0;
        int repeats = 0;
        if (!measureRepeatGap(dir + "/short." + kind, dir + "/repeat-" + kind + ".wav", shortFrames, &gap, &repeats)) {
            fprintf(stderr, "%s: the repeat was not heard\n", kind);
            status = 1;
            continue;
        }
        printf("repeat of a locked %.1f s %s: %d repeats, %lld frames of gap in all (goal 0)\n",
               double(shortFrames) / kRate, kind, repeats, (long long)gap);
        if (gap != 0 || repeats < 5)
            status = 1;
    }
    removeBenchDir(dir);
    return status;
}
