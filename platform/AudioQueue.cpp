#include "platform/AudioQueue.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/AudioSink.h"
#include "platform/PacketDecoder.h"
#include "platform/RunLoop.h"

namespace {

constexpr int64_t kUnityGain = 65536;  // volumes are applied as Q16 gains

// How samples lie in the owner's buffers (or in the decoder's output).
struct SampleLayout {
    uint32_t bytesPerSample;
    bool bigEndian;
    bool signed8;  // 8-bit samples are unsigned unless the format says signed
};

struct QueueCore;

struct QueueBuffer : AudioQueueBuffer {
    QueueCore *core;
    std::unique_ptr<uint8_t[]> storage;
    // Written by the owner's enqueue while the buffer is not enqueued; read by the sink
    // thread, under the queue's mutex, while it is.
    std::vector<AudioStreamPacketDescription> descriptions;
    uint32_t packetCount = 0;
    bool enqueued = false;  // guarded by QueueCore::mutex
};

// What the sink thread takes in order: the owner's buffers and, for compressed queues, where
// the decoder drains, starts a new run or ends the current one.
enum class EntryKind { Buffer, Drain, Trim, End };
struct Entry {
    EntryKind kind;
    QueueBuffer *buffer;  // Buffer entries only
    int64_t skip;         // Trim
    int64_t keep;         // Trim and End
};

struct Listener {
    AudioQueuePropertyListener call = nullptr;
    void *data = nullptr;
};

// Shared by the owner's handle (main thread) and the sink thread, which keeps it alive until
// it has finished with the buffers.
struct QueueCore {
    // Fixed at creation.
    uint64_t serial = 0;
    AudioStreamBasicDescription format{};
    bool compressed = false;
    SampleLayout layout{};
    AudioSinkSpec output;
    AudioSinkFormat sinkFormat{};

    std::mutex mutex;
    std::condition_variable wake;
    // Guarded by mutex.
    std::deque<Entry> pending;
    uint64_t generation = 0;            // bumped when an immediate stop or a reset drops what is queued
    bool started = false;
    bool paused = false;
    bool stopWhenDrained = false;
    // Buffers handed back whose callback has not run yet: the owner may still enqueue them,
    // so a stop after draining waits for them.
    int withOwner = 0;
    bool disposed = false;
    bool finishPlaying = false;  // disposed, but plays out what is enqueued first
    bool failed = false;         // the output broke; nothing more is played
    float volume = 1.0f;
    std::vector<uint8_t> cookie;

    // Written by the sink thread under mutex, so a reset's 0 is never overwritten by a count of
    // what it dropped; read from any thread.
    std::atomic<int64_t> playedFrames{0};

    // Main thread only.
    AudioQueue *handle = nullptr;
    AudioQueueOutputCallback callback = nullptr;
    void *userData = nullptr;
    Listener runningListener;
    Listener failedListener;
    bool ownerGone = false;
    bool reportedRunning = false;  // the is-running value the owner last learned
    bool reportedFailed = false;
    std::vector<std::unique_ptr<QueueBuffer>> buffers;
};

using Clock = std::chrono::steady_clock;

struct SinkThread {
    std::shared_ptr<QueueCore> core;
    uint64_t serial;
    std::thread thread;
    bool disposed = false;
    bool done = false;
    Clock::time_point tailEnd;  // disposed while playing: when its tail will have played
};

// Every sink thread until it has been joined.
std::mutex gRegistryMutex;
std::condition_variable gRegistryChanged;
std::list<SinkThread> gSinks;  // guarded by gRegistryMutex
bool gShutdown = false;        // guarded by gRegistryMutex
uint64_t gNextSerial = 0;      // main thread

// What a disposed queue's tail may take beyond its own length: the device's buffer and the
// chunk being written.
constexpr double kTailMargin = 0.5;

// Sink thread: nothing is posted once the application is going away.
void postToOwner(std::function<void()> call)
{
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    if (!gShutdown)
        RunLoop::postToMain(std::move(call));
}

void reapFinished()
{
    std::list<SinkThread> finished;
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        for (auto it = gSinks.begin(); it != gSinks.end();) {
            auto next = std::next(it);
            if (it->done)
                finished.splice(finished.end(), gSinks, it);
            it = next;
        }
    }
    for (SinkThread &s : finished)
        s.thread.join();
}

// Drops what a sink still has to play and makes it end. Registry mutex held or not.
void cutShort(QueueCore *core)
{
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        core->disposed = true;
        core->finishPlaying = false;
        ++core->generation;
    }
    core->wake.notify_all();
}

// Ends every sink at once and waits for them, so WAV files are complete and devices closed
// before the process goes.
void shutdownSinks()
{
    std::list<SinkThread> all;
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        gShutdown = true;
        all.splice(all.end(), gSinks);
    }
    gRegistryChanged.notify_all();
    for (SinkThread &s : all)
        cutShort(s.core.get());
    for (SinkThread &s : all)
        s.thread.join();
}

// A queue disposed while playing out its tail keeps the output until it is done, so the tail
// of one stream is heard before the head of the next. The wait lasts as long as the tail can;
// a tail still playing then is cut, and its output closed before this one opens (a hw: device
// takes one stream at a time).
void waitForOlderQueues(uint64_t serial)
{
    std::unique_lock<std::mutex> lock(gRegistryMutex);
    auto waiting = [serial](const SinkThread &s) { return s.serial < serial && s.disposed && !s.done; };
    for (;;) {
        if (gShutdown)
            return;
        Clock::time_point last = Clock::time_point::min();
        bool any = false;
        for (const SinkThread &s : gSinks) {
            if (waiting(s)) {
                any = true;
                last = std::max(last, s.tailEnd);
            }
        }
        if (!any)
            return;
        if (Clock::now() >= last)
            break;
        gRegistryChanged.wait_until(lock, last);
    }
    for (SinkThread &s : gSinks) {
        if (waiting(s))
            cutShort(s.core.get());
    }
    gRegistryChanged.wait(lock, [&] {
        if (gShutdown)
            return true;
        for (const SinkThread &s : gSinks) {
            if (waiting(s))
                return false;
        }
        return true;
    });
}

void markDone(QueueCore *core)
{
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        for (SinkThread &s : gSinks) {
            if (s.core.get() == core)
                s.done = true;
        }
    }
    gRegistryChanged.notify_all();
}

// Main thread: tells the listener when the value changed since the owner last learned it.
void deliverRunning(const std::shared_ptr<QueueCore> &core)
{
    if (core->ownerGone)
        return;
    bool running;
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        running = core->started && !core->paused && !core->failed;
    }
    if (running == core->reportedRunning)
        return;
    core->reportedRunning = running;
    if (core->runningListener.call)
        core->runningListener.call(core->runningListener.data, core->handle, kAudioQueueProperty_IsRunning);
}

// Main thread: the output broke; said once.
void deliverFailed(const std::shared_ptr<QueueCore> &core)
{
    if (core->ownerGone || core->reportedFailed)
        return;
    core->reportedFailed = true;
    core->reportedRunning = false;
    if (core->failedListener.call)
        core->failedListener.call(core->failedListener.data, core->handle, kAudioQueueProperty_OutputFailed);
}

// Copies `samples` samples as the sink wants them (little-endian, 8-bit unsigned), scaled by
// `gain`; at unity gain only the layout changes.
void convertSamples(const uint8_t *in, uint8_t *out, size_t samples, const SampleLayout &layout, int64_t gain)
{
    const uint32_t width = layout.bytesPerSample;
    if (gain == kUnityGain && !layout.bigEndian && !(width == 1 && layout.signed8)) {
        memcpy(out, in, samples * width);
        return;
    }
    const int shift = 32 - 8 * int(width);
    for (size_t i = 0; i < samples; ++i, in += width, out += width) {
        int64_t v;
        if (width == 1) {
            v = layout.signed8 ? int8_t(in[0]) : int(in[0]) - 128;
        } else {
            uint32_t u = 0;
            for (uint32_t b = 0; b < width; ++b)
                u |= uint32_t(in[layout.bigEndian ? width - 1 - b : b]) << (8 * b);
            v = int32_t(u << shift) >> shift;
        }
        if (gain != kUnityGain)
            v = (v * gain + kUnityGain / 2) >> 16;
        if (width == 1) {
            out[0] = uint8_t(v + 128);
        } else {
            for (uint32_t b = 0; b < width; ++b)
                out[b] = uint8_t(uint64_t(v) >> (8 * b));
        }
    }
}

int64_t gainOf(float volume)
{
    return volume >= 1.0f ? kUnityGain : int64_t(std::lround(double(volume) * kUnityGain));
}

// How long what is enqueued lasts, in seconds. Mutex held.
double queuedSeconds(const QueueCore *core)
{
    double frames = 0;
    for (const Entry &e : core->pending) {
        if (e.kind != EntryKind::Buffer)
            continue;
        if (core->compressed)
            frames += double(e.buffer->packetCount) * (core->format.mFramesPerPacket ? core->format.mFramesPerPacket : 4096);
        else
            frames += double(e.buffer->mAudioDataByteSize) / std::max(1u, core->format.mBytesPerFrame);
    }
    return frames / core->format.mSampleRate;
}

// The sink thread's decoder of a compressed queue and the settings of its current run.
struct SinkDecoder {
    SVPacketDecoder *decoder = nullptr;
    bool tried = false;
    int64_t skip = 0;  // for the next decoder made
    int64_t keep = -1;

    void reset()
    {
        if (decoder)
            SVPacketDecoderFree(decoder);
        decoder = nullptr;
        tried = false;
        skip = 0;
        keep = -1;
    }
    // Decodes (or drains, or starts a new run for) one entry into `out`. Outside the mutex.
    void take(const QueueCore *core, const Entry &e, const std::vector<uint8_t> &packets,
              const std::vector<AudioStreamPacketDescription> &descriptions, uint32_t packetCount,
              std::vector<uint8_t> &out)
    {
        out.clear();
        switch (e.kind) {
        case EntryKind::Buffer:
            if (!tried) {
                tried = true;
                decoder = SVPacketDecoderCreate(&core->format, core->cookie.data(), uint32_t(core->cookie.size()));
                if (decoder)
                    SVPacketDecoderSetTrim(decoder, skip, keep);
                else
                    fprintf(stderr, "Audio output: no decoder for this format; playing silence\n");
            }
            if (decoder)
                SVPacketDecoderDecode(decoder, packets.data(), uint32_t(packets.size()),
                                      descriptions.empty() ? nullptr : descriptions.data(), packetCount, out);
            break;
        case EntryKind::Drain:
            if (decoder)
                SVPacketDecoderDrain(decoder, out);
            break;
        case EntryKind::Trim:
            // What the previous run still holds plays before the new one starts.
            if (decoder)
                SVPacketDecoderDrain(decoder, out);
            if (decoder)
                SVPacketDecoderFree(decoder);
            decoder = nullptr;
            tried = false;
            skip = e.skip;
            keep = e.keep;
            break;
        case EntryKind::End:
            if (decoder)
                SVPacketDecoderSetEnd(decoder, e.keep);
            else
                keep = e.keep;
            break;
        }
    }
};

// The sink thread: takes enqueued buffers in order, writes them to the output in small chunks
// (so pause, stop and dispose take effect quickly), hands each played buffer back.
void sinkMain(std::shared_ptr<QueueCore> core)
{
    waitForOlderQueues(core->serial);
    AudioSink *sink = AudioSinkOpen(core->output, core->sinkFormat);

    const uint32_t channels = core->sinkFormat.channels;
    const uint32_t chunkFrames = core->output.realTime ? std::max(1u, core->sinkFormat.sampleRate / 50) : UINT_MAX;
    const SampleLayout decodedLayout = {2, false, true};
    SinkDecoder decoder;

    bool haveCurrent = false;        // working on pending.front()
    uint64_t currentGeneration = 0;
    size_t offset = 0;               // bytes of the current source already written
    std::vector<uint8_t> decoded;    // compressed queues: the current entry as 16-bit PCM
    std::vector<uint8_t> packets;
    std::vector<AudioStreamPacketDescription> descriptions;
    uint32_t packetCount = 0;
    std::vector<uint8_t> chunk;
    bool held = false;               // the output is paused
    uint64_t seenGeneration = 0;
    int64_t written = 0;             // frames written since the queue's start or last reset

    std::unique_lock<std::mutex> lock(core->mutex);
    // The count of what is heard, unless a reset made it start again meanwhile. Mutex held.
    auto setPlayed = [&](int64_t frames) {
        if (core->generation == seenGeneration)
            core->playedFrames = frames;
    };
    for (;;) {
        if (core->disposed && !core->finishPlaying)
            break;
        if (core->generation != seenGeneration) {
            seenGeneration = core->generation;
            haveCurrent = false;
            lock.unlock();
            AudioSinkDrop(sink);  // what the device held is dropped unheard
            written = 0;
            if (core->compressed)
                decoder.reset();
            lock.lock();
            continue;
        }
        if (core->failed || !core->started || core->paused) {
            if (core->disposed)
                break;
            if (core->paused && !held && !core->failed) {
                held = true;
                lock.unlock();
                AudioSinkPause(sink, true);
                const int64_t delay = AudioSinkDelay(sink);
                lock.lock();
                setPlayed(written - delay);
                continue;
            }
            core->wake.wait(lock);
            continue;
        }
        if (held) {
            held = false;
            lock.unlock();
            AudioSinkPause(sink, false);
            lock.lock();
            continue;
        }

        if (!haveCurrent) {
            if (core->pending.empty()) {
                const bool ownerMayRefill = core->withOwner > 0 && !core->disposed;
                if ((!core->stopWhenDrained && !core->disposed) || ownerMayRefill) {
                    core->wake.wait(lock);
                    continue;
                }
                // Played out: a paced output is waited for here rather than in the sink, so a
                // reset or a dispose that comes meanwhile is taken at once.
                const uint64_t generation = core->generation;
                while (core->output.kind != AudioSinkKind::Alsa) {
                    lock.unlock();
                    const int64_t delay = AudioSinkDelay(sink);
                    lock.lock();
                    setPlayed(written - delay);
                    if (delay <= 0 || core->generation != generation || (core->disposed && !core->finishPlaying))
                        break;
                    core->wake.wait_for(lock, std::chrono::milliseconds(std::clamp<int64_t>(
                                                  delay * 1000 / core->sinkFormat.sampleRate, 1, 10)));
                }
                if (core->generation != generation || (core->disposed && !core->finishPlaying))
                    continue;
                lock.unlock();
                AudioSinkDrain(sink);
                lock.lock();
                if (core->generation != generation)
                    continue;
                setPlayed(written);
                core->started = false;
                core->stopWhenDrained = false;
                bool disposed = core->disposed;
                lock.unlock();
                postToOwner([core] { deliverRunning(core); });
                lock.lock();
                if (disposed)
                    break;
                continue;
            }
            const Entry next = core->pending.front();
            haveCurrent = true;
            currentGeneration = core->generation;
            offset = 0;
            if (core->compressed) {
                // Decoding happens outside the lock, on a copy of the packets.
                if (next.kind == EntryKind::Buffer) {
                    const uint8_t *data = static_cast<const uint8_t *>(next.buffer->mAudioData);
                    packets.assign(data, data + next.buffer->mAudioDataByteSize);
                    descriptions = next.buffer->descriptions;
                    packetCount = next.buffer->packetCount;
                }
                lock.unlock();
                decoder.take(core.get(), next, packets, descriptions, packetCount, decoded);
                lock.lock();
                continue;
            }
        }

        const Entry current = core->pending.front();
        const uint8_t *source;
        size_t sourceBytes;
        const SampleLayout *layout;
        if (core->compressed) {
            source = decoded.data();
            sourceBytes = decoded.size();
            layout = &decodedLayout;
        } else {
            source = current.buffer ? static_cast<const uint8_t *>(current.buffer->mAudioData) : nullptr;
            sourceBytes = current.buffer ? current.buffer->mAudioDataByteSize : 0;
            layout = &core->layout;
        }
        const size_t inFrameBytes = size_t(layout->bytesPerSample) * channels;
        const size_t frames = std::min<size_t>(chunkFrames, (sourceBytes - offset) / inFrameBytes);
        const size_t outFrameBytes = size_t(core->sinkFormat.bytesPerSample) * channels;
        if (frames > 0) {
            // Converted under the lock: the owner may not touch an enqueued buffer, and an
            // immediate stop hands it back only once this copy is done.
            chunk.resize(frames * outFrameBytes);
            convertSamples(source + offset, chunk.data(), frames * channels, *layout, gainOf(core->volume));
            offset += frames * inFrameBytes;
        }
        const bool finished = sourceBytes - offset < inFrameBytes;
        lock.unlock();
        if (frames > 0) {
            if (!AudioSinkWrite(sink, chunk.data(), uint32_t(frames))) {
                // The sink said why; what it holds still counts as heard up to where it broke.
                const int64_t delay = AudioSinkDelay(sink);
                lock.lock();
                setPlayed(written - delay);
                core->failed = true;
                lock.unlock();
                postToOwner([core] { deliverFailed(core); });
                lock.lock();
                continue;
            }
            written += int64_t(frames);
        }
        const int64_t delay = frames > 0 ? AudioSinkDelay(sink) : 0;
        lock.lock();
        if (frames > 0)
            setPlayed(written - delay);
        if (finished && haveCurrent && core->generation == currentGeneration) {
            core->pending.pop_front();
            haveCurrent = false;
            if (QueueBuffer *buffer = current.buffer) {
                buffer->enqueued = false;
                ++core->withOwner;
                const uint64_t generation = core->generation;
                lock.unlock();
                postToOwner([core, buffer, generation] {
                    bool stale;
                    {
                        std::lock_guard<std::mutex> lock(core->mutex);
                        stale = core->generation != generation;
                    }
                    // A reset since gave every buffer back already; the owner may have refilled this one.
                    if (!stale && !core->ownerGone && core->callback)
                        core->callback(core->userData, core->handle, buffer);
                    {
                        std::lock_guard<std::mutex> lock(core->mutex);
                        --core->withOwner;
                    }
                    core->wake.notify_all();
                });
                lock.lock();
            }
        }
    }
    const bool drop = !core->finishPlaying;
    lock.unlock();
    if (drop)
        AudioSinkDrop(sink);
    AudioSinkClose(sink);
    decoder.reset();
    markDone(core.get());
}

bool validRate(double rate) { return rate >= 1000.0 && rate <= 384000.0; }

// Fills the layouts of a new queue; false for what it cannot play.
bool describe(QueueCore *core, const AudioStreamBasicDescription &f)
{
    if (f.mChannelsPerFrame < 1 || f.mChannelsPerFrame > 8 || !validRate(f.mSampleRate))
        return false;
    core->format = f;
    core->sinkFormat.sampleRate = uint32_t(f.mSampleRate);
    core->sinkFormat.channels = f.mChannelsPerFrame;
    if (f.mFormatID != kAudioFormatLinearPCM) {
        core->compressed = true;
        core->sinkFormat.bytesPerSample = 2;
        return true;
    }
    const uint32_t bits = f.mBitsPerChannel;
    if ((f.mFormatFlags & kAudioFormatFlagIsFloat) || (bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        f.mBytesPerFrame != f.mChannelsPerFrame * bits / 8)
        return false;
    core->layout.bytesPerSample = bits / 8;
    core->layout.bigEndian = (f.mFormatFlags & kAudioFormatFlagIsBigEndian) != 0;
    core->layout.signed8 = (f.mFormatFlags & kAudioFormatFlagIsSignedInteger) != 0;
    core->sinkFormat.bytesPerSample = bits / 8;
    return true;
}

}  // namespace

struct AudioQueue {
    std::shared_ptr<QueueCore> core;
};

int32_t AudioQueueNewOutput(const AudioStreamBasicDescription *format, AudioQueueOutputCallback callback,
                            void *userData, AudioQueue **queue, const char *output)
{
    static std::once_flag exitHooks;
    std::call_once(exitHooks, [] {
        if (QCoreApplication::instance())
            qAddPostRoutine(shutdownSinks);
        std::atexit(shutdownSinks);
    });
    if (!format || !queue)
        return kAudioQueueErrInvalidParameter;
    *queue = nullptr;
    auto core = std::make_shared<QueueCore>();
    if (!describe(core.get(), *format))
        return kAudioQueueErrUnsupportedFormat;
    const char *text = output ? output : getenv("SONAVEL_AUDIO_OUTPUT");
    if (!AudioSinkSpecForNewQueue(text, &core->output)) {
        fprintf(stderr, "Audio output: unknown output \"%s\"\n", text);
        return kAudioQueueErrInvalidOutput;
    }
    reapFinished();
    core->serial = ++gNextSerial;
    core->callback = callback;
    core->userData = userData;
    auto *handle = new AudioQueue{core};
    core->handle = handle;
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        if (gShutdown) {
            delete handle;
            return kAudioQueueErrInvalidQueue;
        }
        SinkThread &s = gSinks.emplace_back();
        s.core = core;
        s.serial = core->serial;
        s.thread = std::thread(sinkMain, core);
    }
    *queue = handle;
    return kAudioQueueNoErr;
}

int32_t AudioQueueDispose(AudioQueue *queue, bool immediate)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    std::shared_ptr<QueueCore> core = queue->core;
    core->ownerGone = true;
    double tail = 0;
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        core->disposed = true;
        core->finishPlaying = !immediate && core->started && !core->paused && !core->failed;
        if (core->finishPlaying)
            tail = queuedSeconds(core.get()) + kTailMargin;
        else
            ++core->generation;
    }
    core->wake.notify_all();
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        for (SinkThread &s : gSinks) {
            if (s.core == core) {
                s.disposed = true;
                s.tailEnd = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(tail));
            }
        }
    }
    gRegistryChanged.notify_all();
    delete queue;
    return kAudioQueueNoErr;
}

int32_t AudioQueueAllocateBuffer(AudioQueue *queue, uint32_t capacity, AudioQueueBuffer **buffer)
{
    if (!queue || !buffer)
        return kAudioQueueErrInvalidQueue;
    if (capacity == 0)
        return kAudioQueueErrInvalidParameter;
    auto b = std::make_unique<QueueBuffer>();
    b->storage.reset(new (std::nothrow) uint8_t[capacity]);
    if (!b->storage)
        return kAudioQueueErrInvalidParameter;
    b->core = queue->core.get();
    b->mAudioData = b->storage.get();
    b->mAudioDataBytesCapacity = capacity;
    b->mAudioDataByteSize = 0;
    b->mUserData = nullptr;
    *buffer = b.get();
    queue->core->buffers.push_back(std::move(b));
    return kAudioQueueNoErr;
}

int32_t AudioQueueEnqueueBuffer(AudioQueue *queue, AudioQueueBuffer *buffer, uint32_t packetCount,
                                const AudioStreamPacketDescription *descriptions)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    QueueCore *core = queue->core.get();
    auto *b = static_cast<QueueBuffer *>(buffer);
    if (!buffer || b->core != core)
        return kAudioQueueErrInvalidBuffer;
    if (b->mAudioDataByteSize == 0)
        return kAudioQueueErrBufferEmpty;
    if (b->mAudioDataByteSize > b->mAudioDataBytesCapacity)
        return kAudioQueueErrInvalidParameter;
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (b->enqueued)
            return kAudioQueueErrBufferEnqueuedTwice;
    }
    b->descriptions.clear();
    b->packetCount = packetCount;
    if (descriptions && packetCount > 0) {
        for (uint32_t i = 0; i < packetCount; ++i) {
            const AudioStreamPacketDescription &d = descriptions[i];
            if (d.mStartOffset < 0 || uint64_t(d.mStartOffset) + d.mDataByteSize > b->mAudioDataByteSize)
                return kAudioQueueErrInvalidParameter;
        }
        b->descriptions.assign(descriptions, descriptions + packetCount);
    }
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        b->enqueued = true;
        core->pending.push_back({EntryKind::Buffer, b, 0, 0});
    }
    core->wake.notify_all();
    return kAudioQueueNoErr;
}

int32_t AudioQueueStart(AudioQueue *queue)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    QueueCore *core = queue->core.get();
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        core->started = true;
        core->paused = false;
    }
    core->reportedRunning = true;
    core->wake.notify_all();
    return kAudioQueueNoErr;
}

int32_t AudioQueuePause(AudioQueue *queue)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    QueueCore *core = queue->core.get();
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (core->started)
            core->paused = true;
    }
    core->reportedRunning = false;
    core->wake.notify_all();
    return kAudioQueueNoErr;
}

namespace {

// Compressed queues only: PCM has nothing held back and no runs to mark.
int32_t pushMarker(AudioQueue *queue, Entry entry)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    QueueCore *core = queue->core.get();
    if (!core->compressed)
        return kAudioQueueNoErr;
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        core->pending.push_back(entry);
    }
    core->wake.notify_all();
    return kAudioQueueNoErr;
}

// Drops what is enqueued and gives every buffer back. Mutex held.
void dropPending(QueueCore *core)
{
    for (const Entry &e : core->pending) {
        if (e.buffer)
            e.buffer->enqueued = false;
    }
    core->pending.clear();
    ++core->generation;
    core->stopWhenDrained = false;
    core->playedFrames = 0;
}

}  // namespace

int32_t AudioQueueFlush(AudioQueue *queue)
{
    return pushMarker(queue, {EntryKind::Drain, nullptr, 0, 0});
}

int32_t AudioQueueStop(AudioQueue *queue, bool immediate)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    QueueCore *core = queue->core.get();
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (immediate) {
            dropPending(core);
            core->started = false;
            core->paused = false;
        } else {
            // Also before a start: the queue then stops once what it holds has played.
            core->stopWhenDrained = true;
        }
    }
    if (immediate)
        core->reportedRunning = false;
    core->wake.notify_all();
    return kAudioQueueNoErr;
}

int32_t AudioQueueReset(AudioQueue *queue)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    QueueCore *core = queue->core.get();
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        dropPending(core);
    }
    core->wake.notify_all();
    return kAudioQueueNoErr;
}

int32_t AudioQueueSetVolume(AudioQueue *queue, float volume)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    if (std::isnan(volume))
        return kAudioQueueErrInvalidParameter;
    std::lock_guard<std::mutex> lock(queue->core->mutex);
    queue->core->volume = std::clamp(volume, 0.0f, 1.0f);
    return kAudioQueueNoErr;
}

int32_t AudioQueueGetVolume(AudioQueue *queue, float *volume)
{
    if (!queue || !volume)
        return kAudioQueueErrInvalidQueue;
    std::lock_guard<std::mutex> lock(queue->core->mutex);
    *volume = queue->core->volume;
    return kAudioQueueNoErr;
}

int32_t AudioQueueSetMagicCookie(AudioQueue *queue, const void *cookie, uint32_t size)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    if (size > 0 && !cookie)
        return kAudioQueueErrInvalidParameter;
    std::lock_guard<std::mutex> lock(queue->core->mutex);
    const uint8_t *bytes = static_cast<const uint8_t *>(cookie);
    queue->core->cookie.assign(bytes, bytes + size);
    return kAudioQueueNoErr;
}

int32_t AudioQueueSetDecoderTrim(AudioQueue *queue, int64_t skipFrames, int64_t keepFrames)
{
    return pushMarker(queue, {EntryKind::Trim, nullptr, std::max<int64_t>(0, skipFrames), keepFrames < 0 ? -1 : keepFrames});
}

int32_t AudioQueueSetDecoderEnd(AudioQueue *queue, int64_t keepFrames)
{
    return pushMarker(queue, {EntryKind::End, nullptr, 0, keepFrames < 0 ? -1 : keepFrames});
}

int32_t AudioQueueAddPropertyListener(AudioQueue *queue, uint32_t property,
                                      AudioQueuePropertyListener listener, void *userData)
{
    if (!queue)
        return kAudioQueueErrInvalidQueue;
    Listener *slot = property == kAudioQueueProperty_IsRunning      ? &queue->core->runningListener
                     : property == kAudioQueueProperty_OutputFailed ? &queue->core->failedListener
                                                                    : nullptr;
    if (!slot)
        return kAudioQueueErrInvalidParameter;
    *slot = {listener, userData};
    return kAudioQueueNoErr;
}

int32_t AudioQueueGetIsRunning(AudioQueue *queue, uint32_t *running)
{
    if (!queue || !running)
        return kAudioQueueErrInvalidQueue;
    std::lock_guard<std::mutex> lock(queue->core->mutex);
    *running = queue->core->started && !queue->core->paused && !queue->core->failed;
    return kAudioQueueNoErr;
}

int64_t AudioQueuePlayedFrames(AudioQueue *queue)
{
    return queue ? queue->core->playedFrames.load() : 0;
}

void AudioQueueWaitForDisposed()
{
    {
        std::unique_lock<std::mutex> lock(gRegistryMutex);
        gRegistryChanged.wait(lock, [] {
            for (const SinkThread &s : gSinks) {
                if (s.disposed && !s.done)
                    return false;
            }
            return true;
        });
    }
    reapFinished();
}
