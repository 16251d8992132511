#include "engine/SVPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/SVCoreAudioFile.h"
#include "platform/AudioQueue.h"

namespace {

constexpr int kBufferCount = 3;
constexpr uint32_t kMinBufferBytes = 65536;

void player_fire(SVPlayer *player, int32_t event)
{
    if (player->callback)
        player->callback(player->user_data, event);
}

uint32_t player_frame_bytes(const SVFile *file)
{
    return file->num_channels * file->bits_per_sample / 8;
}

// The read unit; a reader reporting none reads in whole frames.
uint32_t player_read_unit(const SVFile *file)
{
    if (file->block_size > 0)
        return file->block_size;
    return std::max(1u, player_frame_bytes(file));
}

// WAV stores 8-bit samples unsigned; every other reader's are signed.
bool player_unsigned_samples(const SVFile *file)
{
    return file->type == SVFileTypeWav && file->bits_per_sample == 8;
}

bool player_same_format(const SVFile *a, const SVFile *b)
{
    return a->bits_per_sample != 0 && b->bits_per_sample != 0 && a->big_endian == b->big_endian &&
           a->bits_per_sample == b->bits_per_sample && a->num_channels == b->num_channels &&
           a->sample_rate == b->sample_rate && player_unsigned_samples(a) == player_unsigned_samples(b);
}

void player_close_chain(SVFile *file)
{
    while (file) {
        SVFile *next = file->next;
        SVFileClose(file);
        file = next;
    }
}

// Where reading of `file` stops, in frames: the player's read end, or -1 for the file's own end.
int64_t player_end_frame(const SVPlayer *player, const SVFile *file)
{
    if (player->read_end < 0 || file->type == SVFileTypeCoreAudio || player_frame_bytes(file) == 0 ||
        file->sample_rate == 0)
        return -1;
    return std::llround(player->read_end * file->sample_rate);
}

// Reads whole read units into `space` bytes until it is full or the file is exhausted, which
// only a read returning nothing proves: readers such as FLAC's return short reads mid-stream.
// Reading stops at frame `end` (-1: none) as at the file's end; `*at_end` tells it did.
uint32_t player_read_pcm(SVFile *file, uint8_t *data, uint32_t space, int64_t end, bool *exhausted, bool *at_end)
{
    const uint32_t unit = player_read_unit(file);
    const uint32_t frame = player_frame_bytes(file);
    uint32_t total = 0;
    *exhausted = false;
    *at_end = false;
    for (;;) {
        uint32_t want = space - total;
        want -= want % unit;
        if (want == 0)
            break;
        int64_t left = 0;
        if (end >= 0) {
            left = end - std::llround(SVFileTell(file) * file->sample_rate);
            if (left <= 0) {
                *exhausted = *at_end = true;
                break;
            }
        }
        int32_t n = SVFileRead(file, data + total, int32_t(std::min<uint32_t>(want, INT32_MAX)));
        if (n <= 0) {
            *exhausted = true;
            break;
        }
        // Readers may need whole blocks: the request stays as it is, only what lies before the
        // end is kept, and the file goes back to the end so that lifting it loses nothing.
        if (end >= 0 && int64_t(n / frame) > left) {
            n = int32_t(left * frame);
            SVFileSeek(file, double(end) / file->sample_rate);
        }
        total += std::min(uint32_t(n), want);
    }
    // A truncated file can end inside a frame; half a frame would shift the next file's.
    if (*exhausted && frame > 0)
        total -= total % frame;
    return total;
}

// No more data: the queue plays out what it holds and stops.
void player_end(SVPlayer *player, AudioQueue *queue)
{
    AudioQueueFlush(queue);
    AudioQueueStop(queue, false);
    player->status = SVStatusEnded;
    player_fire(player, SVEventEnded);
}

// The refill of one empty buffer. Returns false when the current file had no more data.
// Priming refills (`priming`) leave the end to be reported once the queue runs: a stream shorter
// than the primed buffers is not over before it has started.
bool player_refill(SVPlayer *player, AudioQueue *queue, AudioQueueBuffer *buffer, bool priming)
{
    SVFile *file = player->file;
    if (!file)
        return false;
    auto *data = static_cast<uint8_t *>(buffer->mAudioData);
    const uint32_t capacity = buffer->mAudioDataBytesCapacity;
    AudioStreamPacketDescription *descriptions = nullptr;
    uint32_t packets = 0;
    int64_t total;
    bool switched = false;

    player->read_end_reached = false;
    if (file->type == SVFileTypeCoreAudio) {
        const uint32_t unit = player_read_unit(file);
        total = SVCoreAudioFileRead(file, data, int32_t(capacity - capacity % unit), &descriptions, &packets);
    } else {
        bool exhausted;
        bool at_end;
        total = player_read_pcm(file, data, capacity, player_end_frame(player, file), &exhausted, &at_end);
        player->read_end_reached = at_end;
        SVFile *next = file->next;
        if (exhausted && next && player_same_format(file, next)) {
            file->next = nullptr;
            SVFileClose(file);
            player->file = next;
            // The end belonged to the file left behind.
            player->read_end = -1.0;
            player->read_end_reached = false;
            switched = true;
            total += player_read_pcm(next, data + total, capacity - uint32_t(total), -1, &exhausted, &at_end);
        }
    }

    if (total <= 0) {
        free(descriptions);
        if (switched)
            player_fire(player, SVEventFileChanged);
        if (!priming)
            player_end(player, queue);
        return false;
    }
    if (player->status == SVStatusEnded) {
        // A file queued after the end was seen: the stream goes on in the same queue.
        player->status = SVStatusPlaying;
        player_fire(player, SVEventPlaying);
    }
    buffer->mAudioDataByteSize = uint32_t(total);
    int32_t err = AudioQueueEnqueueBuffer(queue, buffer, descriptions ? packets : 0, descriptions);
    free(descriptions);
    // Announced once the buffer is queued, so a handler may start or stop playback.
    if (switched)
        player_fire(player, SVEventFileChanged);
    if (err != kAudioQueueNoErr) {
        SV_FAILED("err == noErr");
        return true;
    }
    if (!player->file)
        return true;
    double position = SVFileTell(player->file);
    if (std::fabs(position - player->last_position) >= 1.0) {
        player_fire(player, SVEventPosition);
        player->last_position = position;
    }
    return true;
}

// Queue callback (main run loop): `buffer` came back empty.
void player_fill_buffer(void *user_data, AudioQueue *queue, AudioQueueBuffer *buffer)
{
    auto *player = static_cast<SVPlayer *>(user_data);
    // Stopped by a seek after the end: a draining queue must not read from the new position,
    // which belongs to the fresh queue that SVPlay builds.
    if (player->status == SVStatusStopped)
        return;
    player_refill(player, queue, buffer, false);
}

// Listener (main run loop) of the queue's is-running property.
void player_on_running_changed(void *user_data, AudioQueue *queue, uint32_t property)
{
    (void)queue;
    if (property != kAudioQueueProperty_IsRunning)
        return;
    auto *player = static_cast<SVPlayer *>(user_data);
    uint32_t running = 0;
    if (player->queue && AudioQueueGetIsRunning(player->queue, &running) == kAudioQueueNoErr && running) {
        player->status = SVStatusPlaying;
        player_fire(player, SVEventPlaying);
    } else {
        // A queue that ran dry after the end keeps SVStatusEnded (and one stopped after a seek
        // keeps SVStatusStopped), so that SVPlay builds a fresh queue instead of resuming one
        // that has nothing left to play.
        if (player->status != SVStatusEnded && player->status != SVStatusStopped)
            player->status = SVStatusPaused;
        player_fire(player, SVEventPaused);
    }
}

AudioQueue *player_new_pcm_queue(SVPlayer *player, const SVFile *file, uint32_t *buffer_size)
{
    AudioStreamBasicDescription format{};
    const uint32_t frame = player_frame_bytes(file);
    format.mSampleRate = file->sample_rate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = player_unsigned_samples(file) ? 0 : kAudioFormatFlagIsSignedInteger;
    if (file->big_endian)
        format.mFormatFlags |= kAudioFormatFlagIsBigEndian;
    format.mBytesPerPacket = frame;
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = frame;
    format.mChannelsPerFrame = file->num_channels;
    format.mBitsPerChannel = file->bits_per_sample;

    const uint64_t per_second = uint64_t(file->sample_rate) * frame;
    const uint64_t size = per_second < 262144 ? kMinBufferBytes : per_second / 4;
    *buffer_size = uint32_t(std::max<uint64_t>(2ull * player_read_unit(file), size));

    AudioQueue *queue = nullptr;
    if (AudioQueueNewOutput(&format, player_fill_buffer, player, &queue) != kAudioQueueNoErr)
        return nullptr;
    return queue;
}

AudioQueue *player_new_packet_queue(SVPlayer *player, SVFile *file, uint32_t *buffer_size)
{
    const AudioStreamBasicDescription *format = SVCoreAudioFileFormat(file);
    *buffer_size = std::max(kMinBufferBytes, 2 * player_read_unit(file));
    AudioQueue *queue = nullptr;
    if (!format || AudioQueueNewOutput(format, player_fill_buffer, player, &queue) != kAudioQueueNoErr)
        return nullptr;
    std::vector<uint8_t> cookie = SVCoreAudioFileMagicCookie(file);
    if (!cookie.empty())
        AudioQueueSetMagicCookie(queue, cookie.data(), uint32_t(cookie.size()));
    int64_t skip = 0;
    int64_t keep = -1;
    SVCoreAudioFileTrim(file, &skip, &keep);
    AudioQueueSetDecoderTrim(queue, skip, keep);
    return queue;
}

// Builds, primes and starts a queue for the current file.
void player_start(SVPlayer *player)
{
    if (player->queue) {
        // An ended queue still holds the last of its stream; it plays that out before the
        // new queue's output starts. Any other queue is dropped at once.
        AudioQueueDispose(player->queue, player->status != SVStatusEnded);
        player->queue = nullptr;
    }
    SVFile *file = player->file;
    int primed = 0;
    bool dry = false;  // a priming refill found no data
    if (file) {
        uint32_t buffer_size = 0;
        AudioQueue *queue = file->type == SVFileTypeCoreAudio ? player_new_packet_queue(player, file, &buffer_size)
                                                              : player_new_pcm_queue(player, file, &buffer_size);
        if (queue) {
            player->queue = queue;
            for (int i = 0; i < kBufferCount; ++i) {
                AudioQueueBuffer *buffer = nullptr;
                if (AudioQueueAllocateBuffer(queue, buffer_size, &buffer) != kAudioQueueNoErr)
                    break;
                if (player_refill(player, queue, buffer, true))
                    ++primed;
                else
                    dry = true;
                // An event handler started another queue meanwhile; that one is current now.
                if (player->queue != queue)
                    return;
            }
            AudioQueueAddPropertyListener(queue, kAudioQueueProperty_IsRunning, player_on_running_changed, player);
        }
    }
    if (player->queue && AudioQueueStart(player->queue) == kAudioQueueNoErr) {
        player->status = SVStatusPlaying;
        player_fire(player, SVEventPlaying);
        // Nothing to play at all (an empty stream, or a start at its very end): no buffer
        // will come back to report the end, so report it now.
        if (primed == 0 && dry && player->status == SVStatusPlaying)
            player_end(player, player->queue);
    } else {
        player->status = SVStatusError;
        player_fire(player, SVEventError);
    }
}

}  // namespace

SVPlayer *SVCreate()
{
    auto *player = static_cast<SVPlayer *>(calloc(1, sizeof(SVPlayer)));
    if (player)
        player->read_end = -1.0;
    return player;
}

void SVDestroy(SVPlayer *player)
{
    if (!player)
        return;
    if (player->queue)
        AudioQueueDispose(player->queue, true);
    player_close_chain(player->file);
    free(player);
}

void SVSetCallback(SVPlayer *player, SVEventCallback callback, void *user_data)
{
    if (!player)
        return;
    player->callback = callback;
    player->user_data = user_data;
}

void SVPlayFile(SVPlayer *player, SVFile *file)
{
    if (!player || !file)
        return;
    // The file may come from the chain itself (a successor that could not follow without a
    // gap): it is taken out so that closing the old chain does not close it, and the files
    // the player held after it are closed rather than lost.
    for (SVFile **link = &player->file; *link; link = &(*link)->next) {
        if (*link == file) {
            *link = nullptr;
            player_close_chain(file->next);
            break;
        }
    }
    player_close_chain(player->file);
    file->next = nullptr;
    player->file = file;
    player_start(player);
    player_fire(player, SVEventFileChanged);
}

int SVAddFile(SVPlayer *player, SVFile *file)
{
    if (!player || !file)
        return 0;
    file->next = nullptr;
    if (!player->file) {
        player->file = file;
        return 0;
    }
    SVFile *last = player->file;
    while (last->next)
        last = last->next;
    last->next = file;
    return 0;
}

void SVPlay(SVPlayer *player)
{
    if (!player || !player->file)
        return;
    switch (player->status) {
    case SVStatusStopped:
        player_start(player);
        break;
    case SVStatusEnded:
        SVFileSeek(player->file, 0.0);
        player->status = SVStatusStopped;
        player_start(player);
        break;
    case SVStatusPaused:
        SVResume(player);
        break;
    default:
        break;
    }
}

void SVPause(SVPlayer *player)
{
    if (!player || player->status != SVStatusPlaying)
        return;
    AudioQueuePause(player->queue);
    player->status = SVStatusPaused;
    player_fire(player, SVEventPaused);
}

void SVResume(SVPlayer *player)
{
    if (!player || player->status != SVStatusPaused)
        return;
    AudioQueueStart(player->queue);
    player->status = SVStatusPlaying;
    player_fire(player, SVEventPlaying);
}

void SVSeek(SVPlayer *player, double seconds)
{
    if (!player || !player->file)
        return;
    SVFileSeek(player->file, seconds);
    if (player->status != SVStatusPlaying) {
        player->status = SVStatusStopped;
        return;
    }
    // A packet queue's decoder cuts its output at the stream's length as counted from where the
    // queue started; after a seek that count is wrong (a seek back would cut the end off), so a
    // platform-reader file goes on in a fresh queue from the target.
    if (player->file->type == SVFileTypeCoreAudio)
        player_start(player);
}

void SVSetVolume(SVPlayer *player, float volume)
{
    if (player && player->queue)
        AudioQueueSetVolume(player->queue, volume);
}

float SVGetVolume(SVPlayer *player)
{
    float volume = 0.0f;
    if (!player || !player->queue || AudioQueueGetVolume(player->queue, &volume) != kAudioQueueNoErr)
        return 0.0f;
    return volume;
}

int32_t SVGetStatus(SVPlayer *player)
{
    return player ? player->status : SVStatusStopped;
}

SVFile *SVCurrentFile(SVPlayer *player)
{
    return player ? player->file : nullptr;
}

double SVGetCurrentPosition(SVPlayer *player)
{
    return player && player->file ? SVFileTell(player->file) : 0.0;
}

void SVSetReadEnd(SVPlayer *player, double seconds)
{
    if (!player)
        return;
    // `read_end_reached` stays: it tells where what the queue holds ends, which this does not move.
    player->read_end = seconds < 0 || std::isnan(seconds) ? -1.0 : seconds;
}

bool SVReadEndActive(const SVPlayer *player)
{
    return player && player->file && player_end_frame(player, player->file) >= 0;
}
