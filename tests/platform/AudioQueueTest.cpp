#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "TestSupport.h"
#include "platform/AudioQueue.h"
#include "platform/AudioSink.h"

namespace {

uint32_t le(const std::string &b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(uint8_t(b[at + i])) << (8 * i);
    return v;
}

struct WavOutput {
    bool ok = false;
    uint32_t formatTag = 0, channels = 0, rate = 0, blockAlign = 0, bits = 0;
    std::string data;
};

// Walks the chunks the way any WAV reader does, checking the sizes the sink wrote.
WavOutput parseWav(const std::string &b)
{
    WavOutput w;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
        return w;
    if (le(b, 4, 4) + 8 != b.size())
        return w;
    size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= b.size()) {
        std::string id = b.substr(at, 4);
        uint32_t size = le(b, at + 4, 4);
        if (at + 8 + size > b.size())
            return w;
        if (id == "fmt ") {
            w.formatTag = le(b, at + 8, 2);
            w.channels = le(b, at + 10, 2);
            w.rate = le(b, at + 12, 4);
            w.blockAlign = le(b, at + 20, 2);
            w.bits = le(b, at + 22, 2);
            haveFormat = true;
        } else if (id == "data") {
            w.data = b.substr(at + 8, size);
            w.ok = haveFormat;
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

std::string noise(size_t bytes, uint32_t seed)
{
    std::string s(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s[i] = char(seed >> 24);
    }
    return s;
}

AudioStreamBasicDescription pcmFormat(uint32_t bits, uint32_t channels, double rate, bool bigEndian, bool isSigned)
{
    AudioStreamBasicDescription f{};
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = (isSigned ? kAudioFormatFlagIsSignedInteger : 0) | (bigEndian ? kAudioFormatFlagIsBigEndian : 0);
    f.mBytesPerFrame = f.mBytesPerPacket = channels * bits / 8;
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = bits;
    return f;
}

// What a WAV of the input must hold: little-endian, 8-bit unsigned.
std::string asWav(const std::string &in, uint32_t bits, bool bigEndian, bool isSigned)
{
    const size_t width = bits / 8;
    std::string out = in;
    for (size_t i = 0; i + width <= out.size(); i += width) {
        if (bigEndian)
            std::reverse(out.begin() + i, out.begin() + i + width);
        if (width == 1 && isSigned)
            out[i] = char(uint8_t(out[i]) ^ 0x80);
    }
    return out;
}

int32_t sampleAt(const std::string &wav, size_t index, uint32_t bits)
{
    const size_t width = bits / 8;
    if (width == 1)
        return int32_t(uint8_t(wav[index])) - 128;
    uint32_t u = le(wav, index * width, int(width));
    const int shift = 32 - int(bits);
    return int32_t(u << shift) >> shift;
}

// Encodes 16-bit stereo PCM as Apple Lossless with libavcodec: the packets, their sizes and
// frame counts, and the codec's extradata (the magic cookie an M4A file carries).
struct AlacStream {
    std::string packets;
    std::vector<AudioStreamPacketDescription> descriptions;
    std::string cookie;
};

bool encodeAlac(const std::string &pcm, uint32_t rate, AlacStream *out)
{
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_ALAC);
    if (!codec)
        return false;
    AVCodecContext *c = avcodec_alloc_context3(codec);
    c->sample_rate = int(rate);
    c->sample_fmt = AV_SAMPLE_FMT_S16P;
    av_channel_layout_default(&c->ch_layout, 2);
    bool ok = avcodec_open2(c, codec, nullptr) == 0;
    if (ok)
        out->cookie.assign(reinterpret_cast<const char *>(c->extradata), size_t(c->extradata_size));
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    const size_t frames = pcm.size() / 4;
    auto drain = [&] {
        while (avcodec_receive_packet(c, packet) == 0) {
            AudioStreamPacketDescription d = {int64_t(out->packets.size()), uint32_t(packet->duration), uint32_t(packet->size)};
            out->descriptions.push_back(d);
            out->packets.append(reinterpret_cast<const char *>(packet->data), size_t(packet->size));
            av_packet_unref(packet);
        }
    };
    for (size_t at = 0; ok && at < frames; at += size_t(c->frame_size)) {
        const int n = int(std::min<size_t>(size_t(c->frame_size), frames - at));
        frame->nb_samples = n;
        frame->format = c->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
        ok = av_frame_get_buffer(frame, 0) == 0;
        for (int i = 0; ok && i < n; ++i) {
            for (int ch = 0; ch < 2; ++ch)
                reinterpret_cast<int16_t *>(frame->data[ch])[i] = int16_t(le(pcm, (at + size_t(i)) * 4 + size_t(ch) * 2, 2));
        }
        ok = ok && avcodec_send_frame(c, frame) == 0;
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(c, nullptr);
    drain();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    return ok && !out->descriptions.empty();
}

// Feeds `data` through a queue as its buffers come back, then stops after draining.
struct Feeder {
    AudioQueue *queue = nullptr;
    std::string data;
    uint32_t frameBytes = 1;
    size_t next = 0;
    int buffersBack = 0;
    bool stopRequested = false;
    std::vector<uint32_t> runningReports;  // each value the listener read

    static void onBuffer(void *user, AudioQueue *queue, AudioQueueBuffer *buffer)
    {
        auto *f = static_cast<Feeder *>(user);
        ++f->buffersBack;
        f->feed(queue, buffer);
    }
    static void onRunning(void *user, AudioQueue *queue, uint32_t property)
    {
        auto *f = static_cast<Feeder *>(user);
        uint32_t running = 99;
        EXPECT_EQ(property, kAudioQueueProperty_IsRunning);
        EXPECT_EQ(AudioQueueGetIsRunning(queue, &running), kAudioQueueNoErr);
        f->runningReports.push_back(running);
    }
    void feed(AudioQueue *q, AudioQueueBuffer *buffer)
    {
        if (next >= data.size()) {
            if (!stopRequested) {
                EXPECT_EQ(AudioQueueStop(q, false), kAudioQueueNoErr);
            }
            stopRequested = true;
            return;
        }
        size_t n = std::min<size_t>(buffer->mAudioDataBytesCapacity, data.size() - next);
        memcpy(buffer->mAudioData, data.data() + next, n);
        buffer->mAudioDataByteSize = uint32_t(n);
        next += n;
        EXPECT_EQ(AudioQueueEnqueueBuffer(q, buffer, 0, nullptr), kAudioQueueNoErr);
    }
    bool stopped() const { return !runningReports.empty() && runningReports.back() == 0; }
};

// Creates a queue, primes `buffers` buffers, starts it and runs the loop until it stopped.
bool playAll(Feeder &f, const AudioStreamBasicDescription &format, const std::string &output,
             float volume = 1.0f, uint32_t bufferBytes = 12000, int buffers = 3)
{
    if (AudioQueueNewOutput(&format, Feeder::onBuffer, &f, &f.queue, output.c_str()) != kAudioQueueNoErr)
        return false;
    f.frameBytes = format.mBytesPerFrame;
    bufferBytes -= bufferBytes % f.frameBytes;
    EXPECT_EQ(AudioQueueSetVolume(f.queue, volume), kAudioQueueNoErr);
    AudioQueueAddPropertyListener(f.queue, kAudioQueueProperty_IsRunning, Feeder::onRunning, &f);
    for (int i = 0; i < buffers; ++i) {
        AudioQueueBuffer *b = nullptr;
        EXPECT_EQ(AudioQueueAllocateBuffer(f.queue, bufferBytes, &b), kAudioQueueNoErr);
        f.feed(f.queue, b);
    }
    EXPECT_EQ(AudioQueueStart(f.queue), kAudioQueueNoErr);
    bool done = runLoopUntil([&] { return f.stopped(); }, 20000);
    return done;
}

std::string disposeAndRead(Feeder &f, const std::string &path)
{
    AudioQueueDispose(f.queue, true);
    AudioQueueWaitForDisposed();
    return readFile(path);
}

struct FormatRow {
    const char *name;
    uint32_t bits, channels;
    double rate;
    bool bigEndian, isSigned;
    size_t frames;
};

TEST(AudioQueue, EveryPcmLayoutReachesTheWavFileBitExact)
{
    const FormatRow rows[] = {
        {"16-bit stereo 44.1 kHz", 16, 2, 44100, false, true, 30011},
        {"24-bit stereo 96 kHz", 24, 2, 96000, false, true, 40009},
        {"32-bit six channels 48 kHz", 32, 6, 48000, false, true, 7001},
        {"16-bit big-endian mono", 16, 1, 22050, true, true, 9999},
        {"24-bit big-endian stereo", 24, 2, 48000, true, true, 8191},
        {"32-bit big-endian stereo", 32, 2, 44100, true, true, 5003},
        {"8-bit unsigned mono (WAV)", 8, 1, 8000, false, false, 12345},
        {"8-bit signed stereo (AIFF)", 8, 2, 11025, false, true, 7777},
        {"16-bit eight channels 384 kHz", 16, 8, 384000, false, true, 3001},
        {"16-bit mono 1 kHz", 16, 1, 1000, false, true, 1001},
    };
    for (const FormatRow &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.file("out.wav");
        AudioStreamBasicDescription format = pcmFormat(row.bits, row.channels, row.rate, row.bigEndian, row.isSigned);
        Feeder f;
        f.data = noise(row.frames * format.mBytesPerFrame, uint32_t(row.frames));
        ASSERT_TRUE(playAll(f, format, "wav-fast:" + path));
        EXPECT_EQ(AudioQueuePlayedFrames(f.queue), int64_t(row.frames));
        EXPECT_EQ(f.runningReports, std::vector<uint32_t>{0});
        WavOutput w = parseWav(disposeAndRead(f, path));
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(w.formatTag, 1u);
        EXPECT_EQ(w.channels, row.channels);
        EXPECT_EQ(w.rate, uint32_t(row.rate));
        EXPECT_EQ(w.bits, row.bits);
        EXPECT_EQ(w.blockAlign, format.mBytesPerFrame);
        EXPECT_TRUE(w.data == asWav(f.data, row.bits, row.bigEndian, row.isSigned));
    }
}

TEST(AudioQueue, VolumeScalesSamplesAndUnityLeavesThemIdentical)
{
    struct Row {
        const char *name;
        float volume;
        uint32_t bits;
        bool bigEndian, isSigned;
    };
    const Row rows[] = {
        {"unity 16-bit", 1.0f, 16, false, true},
        {"unity 24-bit big-endian", 1.0f, 24, true, true},
        {"half 16-bit", 0.5f, 16, false, true},
        {"half 24-bit", 0.5f, 24, false, true},
        {"half 32-bit big-endian", 0.5f, 32, true, true},
        {"half 8-bit unsigned", 0.5f, 8, false, false},
        {"silent 16-bit", 0.0f, 16, false, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.file("v.wav");
        AudioStreamBasicDescription format = pcmFormat(row.bits, 2, 44100, row.bigEndian, row.isSigned);
        Feeder f;
        f.data = noise(5000 * format.mBytesPerFrame, 7);
        ASSERT_TRUE(playAll(f, format, "wav-fast:" + path, row.volume));
        float volume = -1;
        AudioQueueGetVolume(f.queue, &volume);
        EXPECT_EQ(volume, row.volume);
        WavOutput w = parseWav(disposeAndRead(f, path));
        ASSERT_TRUE(w.ok);
        const std::string in = asWav(f.data, row.bits, row.bigEndian, row.isSigned);
        ASSERT_EQ(w.data.size(), in.size());
        if (row.volume == 1.0f) {
            EXPECT_TRUE(w.data == in);
            continue;
        }
        size_t wrong = 0;
        for (size_t i = 0; i < in.size() / (row.bits / 8); ++i) {
            int64_t x = sampleAt(in, i, row.bits);
            int64_t y = sampleAt(w.data, i, row.bits);
            // Within rounding of the exact product.
            if (std::fabs(double(y) - double(x) * row.volume) > 0.5)
                ++wrong;
        }
        EXPECT_EQ(wrong, 0u);
    }
}

TEST(AudioQueue, PausedQueueHoldsItsBuffersAndResumesWithoutLoss)
{
    TempDir dir;
    const std::string path = dir.file("paused.wav");
    AudioStreamBasicDescription format = pcmFormat(16, 2, 8000, false, true);
    Feeder f;
    f.data = noise(8000 * 4 * 2, 3);  // two seconds at real-time pace
    ASSERT_EQ(AudioQueueNewOutput(&format, Feeder::onBuffer, &f, &f.queue, ("wav:" + path).c_str()), kAudioQueueNoErr);
    AudioQueueAddPropertyListener(f.queue, kAudioQueueProperty_IsRunning, Feeder::onRunning, &f);
    for (int i = 0; i < 3; ++i) {
        AudioQueueBuffer *b = nullptr;
        ASSERT_EQ(AudioQueueAllocateBuffer(f.queue, 4000, &b), kAudioQueueNoErr);
        f.feed(f.queue, b);
    }
    // Nothing plays before the start.
    runLoopUntil([] { return false; }, 200);
    EXPECT_EQ(f.buffersBack, 0);
    EXPECT_EQ(AudioQueuePlayedFrames(f.queue), 0);

    AudioQueueStart(f.queue);
    ASSERT_TRUE(runLoopUntil([&] { return f.buffersBack >= 1; }));
    AudioQueuePause(f.queue);
    uint32_t running = 1;
    AudioQueueGetIsRunning(f.queue, &running);
    EXPECT_EQ(running, 0u);
    int backAtPause = f.buffersBack;
    runLoopUntil([] { return false; }, 600);
    // At most the buffer being written when the pause came finishes.
    EXPECT_LE(f.buffersBack, backAtPause + 1);
    EXPECT_LT(f.next, f.data.size());
    // The owner's own start and pause are not reported back to it.
    EXPECT_TRUE(f.runningReports.empty());
    // The file is a whole WAV at any moment, even before the queue is disposed.
    WavOutput partial = parseWav(readFile(path));
    ASSERT_TRUE(partial.ok);
    EXPECT_GT(partial.data.size(), 0u);
    EXPECT_TRUE(partial.data == f.data.substr(0, partial.data.size()));

    AudioQueueStart(f.queue);
    ASSERT_TRUE(runLoopUntil([&] { return f.stopped(); }, 20000));
    WavOutput w = parseWav(disposeAndRead(f, path));
    ASSERT_TRUE(w.ok);
    EXPECT_TRUE(w.data == f.data);
}

// Compressed packets with their cookie are decoded on the sink thread; Apple Lossless makes the
// result checkable bit for bit, and the decoder trim cuts exactly the frames asked.
TEST(AudioQueue, CompressedPacketsWithACookieAreDecoded)
{
    const uint32_t rate = 44100;
    const size_t frames = 20011;
    const std::string pcm = noise(frames * 4, 21);
    AlacStream alac;
    ASSERT_TRUE(encodeAlac(pcm, rate, &alac));
    struct Row {
        const char *name;
        int64_t skip, keep;
    };
    const Row rows[] = {{"whole stream", 0, -1}, {"trimmed", 1000, int64_t(frames) - 3000}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.file("alac.wav");
        AudioStreamBasicDescription format{};
        format.mSampleRate = rate;
        format.mFormatID = kAudioFormatAppleLossless;
        format.mFramesPerPacket = 4096;
        format.mChannelsPerFrame = 2;
        AudioQueue *queue = nullptr;
        int back = 0;
        auto onBuffer = [](void *user, AudioQueue *, AudioQueueBuffer *) { ++*static_cast<int *>(user); };
        ASSERT_EQ(AudioQueueNewOutput(&format, onBuffer, &back, &queue, ("wav-fast:" + path).c_str()), kAudioQueueNoErr);
        ASSERT_EQ(AudioQueueSetMagicCookie(queue, alac.cookie.data(), uint32_t(alac.cookie.size())), kAudioQueueNoErr);
        AudioQueueSetDecoderTrim(queue, row.skip, row.keep);
        // Two packets per buffer, each buffer's descriptions relative to that buffer.
        int enqueued = 0;
        for (size_t p = 0; p < alac.descriptions.size(); p += 2) {
            const size_t count = std::min<size_t>(2, alac.descriptions.size() - p);
            std::vector<AudioStreamPacketDescription> d(alac.descriptions.begin() + long(p), alac.descriptions.begin() + long(p + count));
            const int64_t base = d[0].mStartOffset;
            uint32_t bytes = 0;
            for (AudioStreamPacketDescription &x : d) {
                x.mStartOffset -= base;
                bytes += x.mDataByteSize;
            }
            AudioQueueBuffer *b = nullptr;
            ASSERT_EQ(AudioQueueAllocateBuffer(queue, bytes, &b), kAudioQueueNoErr);
            memcpy(b->mAudioData, alac.packets.data() + base, bytes);
            b->mAudioDataByteSize = bytes;
            ASSERT_EQ(AudioQueueEnqueueBuffer(queue, b, uint32_t(count), d.data()), kAudioQueueNoErr);
            ++enqueued;
        }
        AudioQueueFlush(queue);
        AudioQueueStop(queue, false);
        AudioQueueStart(queue);
        ASSERT_TRUE(runLoopUntil([&] { return back == enqueued; }));
        ASSERT_TRUE(runLoopUntil([&] {
            uint32_t running = 1;
            AudioQueueGetIsRunning(queue, &running);
            return running == 0;
        }));
        const size_t kept = row.keep < 0 ? frames - size_t(row.skip) : size_t(row.keep);
        EXPECT_EQ(AudioQueuePlayedFrames(queue), int64_t(kept));
        AudioQueueDispose(queue, true);
        AudioQueueWaitForDisposed();
        WavOutput w = parseWav(readFile(path));
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(w.bits, 16u);
        EXPECT_EQ(w.channels, 2u);
        EXPECT_EQ(w.data.size(), kept * 4);
        EXPECT_TRUE(w.data == pcm.substr(size_t(row.skip) * 4, kept * 4));
    }
}

TEST(AudioQueue, ImmediateStopDropsWhatIsQueuedAndGivesTheBuffersBack)
{
    TempDir dir;
    const std::string path = dir.file("stop.wav");
    AudioStreamBasicDescription format = pcmFormat(16, 2, 44100, false, true);
    AudioQueue *queue = nullptr;
    int back = 0;
    auto onBuffer = [](void *user, AudioQueue *, AudioQueueBuffer *) { ++*static_cast<int *>(user); };
    ASSERT_EQ(AudioQueueNewOutput(&format, onBuffer, &back, &queue, ("wav-fast:" + path).c_str()), kAudioQueueNoErr);
    std::vector<AudioQueueBuffer *> buffers(3);
    for (AudioQueueBuffer *&b : buffers) {
        ASSERT_EQ(AudioQueueAllocateBuffer(queue, 4096, &b), kAudioQueueNoErr);
        memset(b->mAudioData, 0x11, 4096);
        b->mAudioDataByteSize = 4096;
        ASSERT_EQ(AudioQueueEnqueueBuffer(queue, b, 0, nullptr), kAudioQueueNoErr);
    }
    EXPECT_EQ(AudioQueueEnqueueBuffer(queue, buffers[0], 0, nullptr), kAudioQueueErrBufferEnqueuedTwice);
    AudioQueueStop(queue, true);
    // The owner has them back: enqueueing again is allowed, and only these play.
    memset(buffers[2]->mAudioData, 0x22, 4096);
    ASSERT_EQ(AudioQueueEnqueueBuffer(queue, buffers[2], 0, nullptr), kAudioQueueNoErr);
    AudioQueueStop(queue, false);
    AudioQueueStart(queue);
    ASSERT_TRUE(runLoopUntil([&] { return back == 1; }));
    AudioQueueDispose(queue, true);
    AudioQueueWaitForDisposed();
    WavOutput w = parseWav(readFile(path));
    ASSERT_TRUE(w.ok);
    EXPECT_TRUE(w.data == std::string(4096, '\x22'));
}

// A disposed queue's tail plays out before the next queue opens its output, however long the
// tail is (here longer than any fixed wait would be), and the two never play at once.
TEST(AudioQueue, DisposingAfterDrainRequestPlaysTheTailBeforeTheNextQueue)
{
    TempDir dir;
    const std::string path = dir.file("tail.wav");
    const std::string next = AudioSinkNumberedPath(path, 2);
    AudioStreamBasicDescription format = pcmFormat(16, 1, 1000, false, true);
    // Real-time pace, so the tail is still queued when the owner moves on.
    const std::string output = "wav:" + path;
    std::string first = noise(2 * 5500, 1);  // 5.5 s
    std::string second = noise(2 * 200, 2);
    auto onBuffer = [](void *, AudioQueue *, AudioQueueBuffer *) { ADD_FAILURE() << "no callback after dispose"; };
    AudioQueue *a = nullptr;
    ASSERT_EQ(AudioQueueNewOutput(&format, onBuffer, nullptr, &a, output.c_str()), kAudioQueueNoErr);
    for (int i = 0; i < 2; ++i) {
        AudioQueueBuffer *b = nullptr;
        ASSERT_EQ(AudioQueueAllocateBuffer(a, uint32_t(first.size() / 2), &b), kAudioQueueNoErr);
        memcpy(b->mAudioData, first.data() + i * first.size() / 2, first.size() / 2);
        b->mAudioDataByteSize = uint32_t(first.size() / 2);
        ASSERT_EQ(AudioQueueEnqueueBuffer(a, b, 0, nullptr), kAudioQueueNoErr);
    }
    AudioQueueStart(a);
    AudioQueueStop(a, false);
    AudioQueueDispose(a, false);

    Feeder f;
    f.data = second;
    ASSERT_EQ(AudioQueueNewOutput(&format, Feeder::onBuffer, &f, &f.queue, output.c_str()), kAudioQueueNoErr);
    AudioQueueAddPropertyListener(f.queue, kAudioQueueProperty_IsRunning, Feeder::onRunning, &f);
    for (int i = 0; i < 2; ++i) {
        AudioQueueBuffer *b = nullptr;
        ASSERT_EQ(AudioQueueAllocateBuffer(f.queue, 200, &b), kAudioQueueNoErr);
        f.feed(f.queue, b);
    }
    AudioQueueStart(f.queue);
    size_t overlaps = 0;
    ASSERT_TRUE(runLoopUntil([&] {
        if (!parseWav(readFile(next)).data.empty() && parseWav(readFile(path)).data.size() < first.size())
            ++overlaps;
        return f.stopped();
    }, 20000));
    EXPECT_EQ(overlaps, 0u) << "the next queue played while the tail still did";
    AudioQueueDispose(f.queue, true);
    AudioQueueWaitForDisposed();
    WavOutput wa = parseWav(readFile(path));
    WavOutput wb = parseWav(readFile(next));
    ASSERT_TRUE(wa.ok);
    ASSERT_TRUE(wb.ok);
    EXPECT_TRUE(wa.data == first);
    EXPECT_TRUE(wb.data == second);
}

TEST(AudioQueue, RejectsWhatItCannotPlay)
{
    struct Row {
        const char *name;
        AudioStreamBasicDescription format;
        const char *output;
        int32_t expected;
    };
    AudioStreamBasicDescription floats = pcmFormat(32, 2, 44100, false, true);
    floats.mFormatFlags |= kAudioFormatFlagIsFloat;
    AudioStreamBasicDescription loose = pcmFormat(16, 2, 44100, false, true);
    loose.mBytesPerFrame = 6;
    const Row rows[] = {
        {"float samples", floats, "null-fast", kAudioQueueErrUnsupportedFormat},
        {"20-bit samples", pcmFormat(20, 2, 44100, false, true), "null-fast", kAudioQueueErrUnsupportedFormat},
        {"nine channels", pcmFormat(16, 9, 44100, false, true), "null-fast", kAudioQueueErrUnsupportedFormat},
        {"no channels", pcmFormat(16, 0, 44100, false, true), "null-fast", kAudioQueueErrUnsupportedFormat},
        {"768 kHz", pcmFormat(16, 2, 768000, false, true), "null-fast", kAudioQueueErrUnsupportedFormat},
        {"frame size not the samples'", loose, "null-fast", kAudioQueueErrUnsupportedFormat},
        {"unknown output", pcmFormat(16, 2, 44100, false, true), "speakers", kAudioQueueErrInvalidOutput},
        {"WAV output without a path", pcmFormat(16, 2, 44100, false, true), "wav:", kAudioQueueErrInvalidOutput},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        AudioQueue *queue = reinterpret_cast<AudioQueue *>(1);
        EXPECT_EQ(AudioQueueNewOutput(&row.format, nullptr, nullptr, &queue, row.output), row.expected);
        EXPECT_EQ(queue, nullptr);
    }
}

TEST(AudioQueue, EnqueueRejectsForeignEmptyAndOutOfRangeBuffers)
{
    AudioStreamBasicDescription format = pcmFormat(16, 2, 44100, false, true);
    AudioQueue *a = nullptr;
    AudioQueue *b = nullptr;
    ASSERT_EQ(AudioQueueNewOutput(&format, nullptr, nullptr, &a, "null-fast"), kAudioQueueNoErr);
    ASSERT_EQ(AudioQueueNewOutput(&format, nullptr, nullptr, &b, "null-fast"), kAudioQueueNoErr);
    AudioQueueBuffer *buffer = nullptr;
    ASSERT_EQ(AudioQueueAllocateBuffer(a, 1024, &buffer), kAudioQueueNoErr);
    buffer->mAudioDataByteSize = 0;
    EXPECT_EQ(AudioQueueEnqueueBuffer(a, buffer, 0, nullptr), kAudioQueueErrBufferEmpty);
    buffer->mAudioDataByteSize = 2048;
    EXPECT_EQ(AudioQueueEnqueueBuffer(a, buffer, 0, nullptr), kAudioQueueErrInvalidParameter);
    buffer->mAudioDataByteSize = 1024;
    EXPECT_EQ(AudioQueueEnqueueBuffer(b, buffer, 0, nullptr), kAudioQueueErrInvalidBuffer);
    AudioStreamPacketDescription past = {1000, 0, 100};
    EXPECT_EQ(AudioQueueEnqueueBuffer(a, buffer, 1, &past), kAudioQueueErrInvalidParameter);
    EXPECT_EQ(AudioQueueSetVolume(a, 2.0f), kAudioQueueNoErr);
    float volume = 0;
    AudioQueueGetVolume(a, &volume);
    EXPECT_EQ(volume, 1.0f);
    AudioQueueDispose(a, true);
    AudioQueueDispose(b, true);
}

TEST(AudioQueue, NumberedWavPaths)
{
    struct Row {
        const char *path;
        int k;
        const char *expected;
    };
    const Row rows[] = {
        {"out.wav", 1, "out.wav"},
        {"out.wav", 2, "out.2.wav"},
        {"/tmp/a.b/out.wav", 3, "/tmp/a.b/out.3.wav"},
        {"/tmp/a.b/out", 2, "/tmp/a.b/out.2"},
        {".hidden", 2, ".hidden.2"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(AudioSinkNumberedPath(row.path, row.k), row.expected) << row.path << " " << row.k;
}

// ALSA's "null" device exists wherever ALSA is installed and takes any format.
TEST(AudioQueue, AlsaSinkPlaysEveryBufferToTheNullDevice)
{
    const FormatRow rows[] = {
        {"16-bit stereo 44.1 kHz", 16, 2, 44100, false, true, 22050},
        {"24-bit big-endian stereo 96 kHz", 24, 2, 96000, true, true, 24000},
        {"8-bit unsigned mono", 8, 1, 8000, false, false, 3000},
    };
    for (const FormatRow &row : rows) {
        SCOPED_TRACE(row.name);
        AudioStreamBasicDescription format = pcmFormat(row.bits, row.channels, row.rate, row.bigEndian, row.isSigned);
        Feeder f;
        f.data = noise(row.frames * format.mBytesPerFrame, 5);
        ASSERT_TRUE(playAll(f, format, "alsa:null", 0.5f, 16384));
        EXPECT_EQ(f.next, f.data.size());
        EXPECT_EQ(AudioQueuePlayedFrames(f.queue), int64_t(row.frames));
        EXPECT_EQ(f.runningReports, std::vector<uint32_t>{0});
        AudioQueueDispose(f.queue, true);
    }
}

TEST(AudioQueue, MissingAlsaDeviceFallsBackToNull)
{
    AudioStreamBasicDescription format = pcmFormat(16, 2, 44100, false, true);
    Feeder f;
    f.data = noise(4410 * 4, 9);
    ASSERT_TRUE(playAll(f, format, "alsa:sonavel-no-such-device", 1.0f, 8192));
    EXPECT_EQ(AudioQueuePlayedFrames(f.queue), 4410);
    AudioQueueDispose(f.queue, true);
}

TEST(AudioQueue, AlsaSinkOnTheFirstCard)
{
    if (access("/proc/asound/card0", F_OK) != 0)
        GTEST_SKIP() << "no sound card";
    AudioStreamBasicDescription format = pcmFormat(16, 2, 44100, false, true);
    Feeder f;
    f.data = std::string(44100, '\0');  // a quarter second of silence
    ASSERT_TRUE(playAll(f, format, "alsa:hw:0", 1.0f, 8192));
    EXPECT_EQ(AudioQueuePlayedFrames(f.queue), 44100 / 4);
    AudioQueueDispose(f.queue, true);
}

}  // namespace
