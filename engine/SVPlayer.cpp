#include "engine/SVPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

#include "engine/SVCoreAudioFile.h"
#include "platform/AudioQueue.h"

namespace {

constexpr uint32_t kMinBufferBytes = 65536;
constexpr double kNotYet = std::numeric_limits<double>::max();

void player_fire(SVPlayer *player, int32_t event)
{
    if (player->callback)
        player->callback(player->user_data, event);
}

// A state entered and reported once, however many refills or reports lead to it again.
void player_enter(SVPlayer *player, int32_t status, int32_t event)
{
    if (player->status == status)
        return;
    player->status = status;
    player_fire(player, event);
}

bool player_packets(const SVFile *file)
{
    return file->type == SVFileTypeCoreAudio;
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

bool player_read_end_set(const SVPlayer *player, const SVFile *file)
{
    return player->read_end >= 0 && file->sample_rate > 0 && (player_packets(file) || player_frame_bytes(file) > 0);
}

// Where reading of `file` stops, in frames: the player's read end, or -1 for the file's own end.
int64_t player_end_frame(const SVPlayer *player, const SVFile *file)
{
    if (!player_read_end_set(player, file) || player_packets(file))
        return -1;
    return std::llround(player->read_end * file->sample_rate);
}

// ---- What is heard ----

int64_t player_played(const SVPlayer *player)
{
    return player->queue && !player->queue_stale ? AudioQueuePlayedFrames(player->queue) : 0;
}

double player_rate(const SVPlayer *player)
{
    return player->file && player->file->sample_rate > 0 ? player->file->sample_rate : 1.0;
}

// The mark of the stretch heard now, dropping the ones wholly heard before it.
const SVMark *player_heard_mark(SVPlayer *player, int64_t played)
{
    std::vector<SVMark> &marks = player->marks;
    size_t heard = 0;
    while (heard + 1 < marks.size() && marks[heard + 1].frame <= played)
        ++heard;
    marks.erase(marks.begin(), marks.begin() + long(heard));
    return marks.empty() ? nullptr : &marks.front();
}

// A new stretch begins with the next frame read into the queue.
void player_mark(SVPlayer *player)
{
    const SVFile *file = player->file;
    SVMark mark = {player->read_frames, ++player->stretch, file ? SVFileTell(player->file) : 0.0};
    player_heard_mark(player, player_played(player));
    // Two discontinuities without a frame between them: the later one is what is heard.
    while (!player->marks.empty() && player->marks.back().frame >= mark.frame)
        player->marks.pop_back();
    player->marks.push_back(mark);
}

// ---- Reading ----

// Reads whole read units into `space` bytes until it is full or the file is exhausted, which
// only a read returning nothing proves: readers such as FLAC's return short reads mid-stream.
// Reading stops at frame `end` (-1: none) as at the file's end; `*at_end` tells it did.
// `*failed`: the reader reported a read that failed for good.
uint32_t player_read_pcm(SVFile *file, uint8_t *data, uint32_t space, int64_t end, bool *exhausted, bool *at_end,
                         bool *failed)
{
    const uint32_t unit = player_read_unit(file);
    const uint32_t frame = player_frame_bytes(file);
    uint32_t total = 0;
    *exhausted = false;
    *at_end = false;
    *failed = false;
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
            *failed = n < 0;
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

// Platform-reader files: a decoder run starts at the read position; its length follows the
// read end.
void player_plan_run(SVPlayer *player)
{
    SVFile *file = player->file;
    int64_t skip = 0;
    int64_t keep = -1;
    SVCoreAudioFileTrim(file, &skip, &keep);
    player->run_begin = SVFileTell(file);
    player->run_file_keep = keep;
    player->run_keep = -2;  // told with the first refill
    player->next_skip = skip;
    player->run_pending = true;
}

// The decoded frames the current run plays: up to the read end, or the stream's end.
int64_t player_run_length(const SVPlayer *player)
{
    const SVFile *file = player->file;
    if (!player_read_end_set(player, file))
        return player->run_file_keep;
    int64_t to_end = std::max<int64_t>(0, std::llround((player->read_end - player->run_begin) * file->sample_rate));
    return player->run_file_keep < 0 ? to_end : std::min(to_end, player->run_file_keep);
}

// The frames of the current run read into the queue so far, as the decoder will play them.
int64_t player_run_frames(const SVPlayer *player)
{
    const int64_t length = player_run_length(player);
    const int64_t read =
        std::max<int64_t>(0, std::llround((SVFileTell(player->file) - player->run_begin) * player->file->sample_rate));
    return length < 0 ? read : std::min(read, length);
}

// Before the next packets: a pending run starts, and the current one ends where the read end
// now is (lengthened when the read end was moved on before its old place was decoded).
void player_tell_run(SVPlayer *player, AudioQueue *queue)
{
    if (player->run_pending) {
        player->run_pending = false;
        player->run_keep = player_run_length(player);
        AudioQueueSetDecoderTrim(queue, player->next_skip, player->run_keep);
        return;
    }
    const int64_t keep = player_run_length(player);
    if (keep != player->run_keep) {
        player->run_keep = keep;
        AudioQueueSetDecoderEnd(queue, keep);
    }
}

// No more data: the queue plays out what it holds and stops.
void player_end(SVPlayer *player, AudioQueue *queue)
{
    if (player->status == SVStatusEnded)
        return;
    AudioQueueFlush(queue);
    AudioQueueStop(queue, false);
    player_enter(player, SVStatusEnded, SVEventEnded);
}

// A read failed for good: what was read plays out, and the stream stops there.
void player_read_failed(SVPlayer *player, AudioQueue *queue)
{
    SV_FAILED("read >= 0");
    AudioQueueFlush(queue);
    AudioQueueStop(queue, false);
    player_enter(player, SVStatusError, SVEventError);
}

// Asks the read-end callback once per arrival at an end. False when the callback replaced the
// queue, which the refill then must not touch.
bool player_ask_at_end(SVPlayer *player, AudioQueue *queue)
{
    if (player->end_asked)
        return true;
    player->end_asked = true;
    if (player->read_end_callback)
        player->read_end_callback(player->user_data);
    return player->queue == queue;
}

struct Refill {
    int64_t bytes = 0;
    int switches = 0;
    bool failed = false;
    AudioStreamPacketDescription *descriptions = nullptr;
    uint32_t packets = 0;
};

// Fills a PCM buffer, running on at the ends as the read-end callback and the chain allow.
bool player_fill_pcm(SVPlayer *player, AudioQueue *queue, uint8_t *data, uint32_t capacity, Refill *r)
{
    for (;;) {
        SVFile *file = player->file;
        const uint32_t frame = player_frame_bytes(file);
        bool exhausted;
        bool at_end;
        uint32_t n = player_read_pcm(file, data + r->bytes, capacity - uint32_t(r->bytes),
                                     player_end_frame(player, file), &exhausted, &at_end, &r->failed);
        r->bytes += n;
        if (frame > 0)
            player->read_frames += n / frame;
        if (n > 0)
            player->end_asked = false;
        if (!exhausted || r->failed)
            return true;
        player->read_end_reached = at_end;
        if (!player->end_asked) {
            if (!player_ask_at_end(player, queue))
                return false;
            continue;  // the callee may have moved the read end or the position
        }
        SVFile *next = file->next;
        if (!next || !player_same_format(file, next))
            return true;
        file->next = nullptr;
        SVFileClose(file);
        player->file = next;
        // The end belonged to the file left behind.
        player->read_end = -1.0;
        player->read_end_reached = false;
        player->end_asked = false;
        player_mark(player);
        player->file_stretch = player->stretch;
        ++r->switches;
    }
}

// Fills a buffer with packets; a run ends with the buffer it ends in.
bool player_fill_packets(SVPlayer *player, AudioQueue *queue, uint8_t *data, uint32_t capacity, Refill *r)
{
    SVFile *file = player->file;
    const uint32_t unit = player_read_unit(file);
    for (int tries = 0; tries < 2; ++tries) {
        player_tell_run(player, queue);
        uint32_t limit = player_read_end_set(player, file) ? SVCoreAudioFilePacketsBefore(file, player->read_end)
                                                            : UINT32_MAX;
        int32_t n = limit == 0 ? 0
                               : SVCoreAudioFileReadPackets(file, data, int32_t(capacity - capacity % unit), limit,
                                                            &r->descriptions, &r->packets);
        r->bytes = std::max(0, n);
        if (n > 0)
            player->end_asked = false;
        const bool reached = n <= 0 || r->packets >= limit;
        if (!reached)
            return true;
        player->read_end_reached = player_read_end_set(player, file);
        if (!player_ask_at_end(player, queue))
            return false;
        // A new run (a repeat, a jump) begins after this buffer; otherwise the callee may have
        // moved the read end on, which the current run's end follows before this buffer plays.
        if (!player->run_pending)
            player_tell_run(player, queue);
        if (n > 0 || !player->run_pending)
            return true;
        // Nothing read, and the callee started a new run: read it into this buffer.
        free(r->descriptions);
        r->descriptions = nullptr;
        r->packets = 0;
    }
    return true;
}

// The refill of one empty buffer. Returns false when nothing was read into it.
// Priming refills (`priming`) leave the end to be reported once the queue runs: a stream shorter
// than the primed buffers is not over before it has started.
bool player_refill(SVPlayer *player, AudioQueue *queue, AudioQueueBuffer *buffer, bool priming)
{
    SVFile *file = player->file;
    if (!file)
        return false;
    auto *data = static_cast<uint8_t *>(buffer->mAudioData);
    const uint32_t capacity = buffer->mAudioDataBytesCapacity;
    Refill r;
    player->read_end_reached = false;
    const bool ok = player_packets(file) ? player_fill_packets(player, queue, data, capacity, &r)
                                         : player_fill_pcm(player, queue, data, capacity, &r);
    if (!ok) {
        free(r.descriptions);
        return false;
    }
    if (r.bytes <= 0) {
        free(r.descriptions);
        for (int i = 0; i < r.switches; ++i)
            player_fire(player, SVEventFileChanged);
        if (r.failed)
            player_read_failed(player, queue);
        else if (!priming)
            player_end(player, queue);
        return false;
    }
    if (player->status == SVStatusEnded) {
        // Something to play after the end was seen (a file queued late): the stream goes on.
        player->all_heard = false;
        AudioQueueStart(queue);
        player_enter(player, SVStatusPlaying, SVEventPlaying);
    }
    buffer->mAudioDataByteSize = uint32_t(r.bytes);
    int32_t err = AudioQueueEnqueueBuffer(queue, buffer, r.descriptions ? r.packets : 0, r.descriptions);
    free(r.descriptions);
    // Announced once the buffer is queued, so a handler may start or stop playback.
    for (int i = 0; i < r.switches; ++i)
        player_fire(player, SVEventFileChanged);
    if (err != kAudioQueueNoErr) {
        SV_FAILED("err == noErr");
        return true;
    }
    if (r.failed) {
        player_read_failed(player, queue);
        return true;
    }
    if (!player->file || player->queue != queue)
        return true;
    double position = SVFileTell(player->file);
    if (std::fabs(position - player->last_position) >= 1.0) {
        player_fire(player, SVEventPosition);
        player->last_position = position;
    }
    return true;
}

// Refills one of the player's buffers and keeps track of those left without data.
bool player_refill_at(SVPlayer *player, AudioQueue *queue, int index, bool priming)
{
    player->in_refill = true;
    const bool filled = player_refill(player, queue, player->buffers[index], priming);
    player->in_refill = false;
    if (player->queue == queue)
        player->buffer_idle[index] = !filled;
    return filled;
}

// Queue callback (main run loop): `buffer` came back empty.
void player_fill_buffer(void *user_data, AudioQueue *queue, AudioQueueBuffer *buffer)
{
    auto *player = static_cast<SVPlayer *>(user_data);
    // Stopped by a seek while nothing was heard, or failed: what is read next belongs to the
    // fresh queue that SVPlay builds.
    if (player->status == SVStatusStopped || player->status == SVStatusError || queue != player->queue)
        return;
    for (int i = 0; i < player->buffer_count; ++i) {
        if (player->buffers[i] == buffer) {
            player_refill_at(player, queue, i, false);
            return;
        }
    }
}

// Reading can go on after the end was found (a repeat, a file added): the buffers that came
// back with nothing to read take it now, before what the queue holds runs out.
void player_refill_idle(SVPlayer *player)
{
    AudioQueue *queue = player->queue;
    if (!queue || player->in_refill || player->all_heard ||
        (player->status != SVStatusPlaying && player->status != SVStatusEnded && player->status != SVStatusPaused))
        return;
    for (int i = 0; i < player->buffer_count && player->queue == queue; ++i) {
        if (player->buffer_idle[i] && !player_refill_at(player, queue, i, false))
            return;
    }
}

// Listener (main run loop) of the queue's is-running property: the queue stopped after
// playing out the end.
void player_on_running_changed(void *user_data, AudioQueue *queue, uint32_t property)
{
    auto *player = static_cast<SVPlayer *>(user_data);
    if (property != kAudioQueueProperty_IsRunning || queue != player->queue)
        return;
    uint32_t running = 0;
    if (AudioQueueGetIsRunning(queue, &running) != kAudioQueueNoErr || running)
        return;
    if (player->status == SVStatusEnded) {
        // Ended stays, so that SVPlay builds a fresh queue instead of resuming one that has
        // nothing left to play; what is reported is that the output stopped.
        if (!player->all_heard) {
            player->all_heard = true;
            player_fire(player, SVEventPaused);
        }
    } else if (player->status == SVStatusPlaying) {
        player_enter(player, SVStatusPaused, SVEventPaused);
    }
}

// Listener (main run loop): the output broke. The sink has said why in one line.
void player_on_output_failed(void *user_data, AudioQueue *queue, uint32_t property)
{
    auto *player = static_cast<SVPlayer *>(user_data);
    if (property != kAudioQueueProperty_OutputFailed || queue != player->queue)
        return;
    player_enter(player, SVStatusError, SVEventError);
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
    return queue;
}

// A new stream from the read position: the heard marks start over with it.
void player_begin_stream(SVPlayer *player)
{
    player->marks.clear();
    player->read_frames = 0;
    player->end_asked = false;
    player->all_heard = false;
    player->paused_at_end = false;
    player->queue_stale = false;
    if (player->file && player_packets(player->file))
        player_plan_run(player);
    player_mark(player);
    player->file_stretch = player->stretch;
}

// Refills every buffer the queue has (all of them the owner's). The number that got data.
int player_prime(SVPlayer *player, AudioQueue *queue, bool *dry)
{
    int primed = 0;
    *dry = false;
    for (int i = 0; i < player->buffer_count; ++i) {
        if (player_refill_at(player, queue, i, true))
            ++primed;
        else
            *dry = true;
        // An event handler started another queue meanwhile; that one is current now.
        if (player->queue != queue)
            return -1;
        if (player->status == SVStatusError)
            break;
    }
    return primed;
}

// Nothing is heard until SVPlay builds a fresh queue: the heard position is the read position.
void player_hold_unheard(SVPlayer *player)
{
    player->read_end_reached = false;
    player->status = SVStatusStopped;
    player->marks.clear();
    player->read_frames = 0;
    player->end_asked = false;
    player->queue_stale = true;
    player_mark(player);
    player->file_stretch = player->stretch;
}

// `file` becomes the whole chain. It may come from the chain itself (a successor that could
// not follow without a gap): it is taken out so that closing the old chain does not close it,
// and the files the player held after it are closed rather than lost.
void player_take_file(SVPlayer *player, SVFile *file)
{
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
}

// Builds, primes and starts a queue for the current file.
void player_start(SVPlayer *player)
{
    if (player->queue) {
        // An ended queue still holds the last of its stream; it plays that out before the
        // new queue's output starts. Any other queue is dropped at once.
        const bool tail = player->status == SVStatusEnded && !player->all_heard;
        AudioQueueDispose(player->queue, !tail);
        player->queue = nullptr;
        player->buffer_count = 0;
    }
    player->status = SVStatusStopped;
    SVFile *file = player->file;
    int primed = 0;
    bool dry = false;
    if (file) {
        uint32_t buffer_size = 0;
        AudioQueue *queue = player_packets(file) ? player_new_packet_queue(player, file, &buffer_size)
                                                 : player_new_pcm_queue(player, file, &buffer_size);
        if (queue) {
            player->queue = queue;
            AudioQueueSetVolume(queue, player->volume);
            AudioQueueAddPropertyListener(queue, kAudioQueueProperty_IsRunning, player_on_running_changed, player);
            AudioQueueAddPropertyListener(queue, kAudioQueueProperty_OutputFailed, player_on_output_failed, player);
            for (int i = 0; i < kSVBufferCount; ++i) {
                if (AudioQueueAllocateBuffer(queue, buffer_size, &player->buffers[i]) != kAudioQueueNoErr)
                    break;
                player->buffer_count = i + 1;
            }
            player_begin_stream(player);
            primed = player_prime(player, queue, &dry);
            if (primed < 0)
                return;
        }
    }
    if (player->status == SVStatusError) {
        // A read failed while priming (reported): what came before it still plays.
        AudioQueueStart(player->queue);
        return;
    }
    if (player->queue && AudioQueueStart(player->queue) == kAudioQueueNoErr) {
        player_enter(player, SVStatusPlaying, SVEventPlaying);
        // Nothing to play at all (an empty stream, or a start at its very end): no buffer
        // will come back to report the end, so report it now.
        if (primed == 0 && dry && player->status == SVStatusPlaying && player->queue)
            player_end(player, player->queue);
    } else {
        player_enter(player, SVStatusError, SVEventError);
    }
}

}  // namespace

SVPlayer *SVCreate()
{
    auto *player = new (std::nothrow) SVPlayer();
    if (player) {
        player->read_end = -1.0;
        player->volume = 1.0f;
    }
    return player;
}

void SVDestroy(SVPlayer *player)
{
    if (!player)
        return;
    if (player->queue)
        AudioQueueDispose(player->queue, true);
    player_close_chain(player->file);
    delete player;
}

void SVSetCallback(SVPlayer *player, SVEventCallback callback, void *user_data)
{
    if (!player)
        return;
    player->callback = callback;
    player->user_data = user_data;
}

void SVSetReadEndCallback(SVPlayer *player, SVReadEndCallback callback)
{
    if (player)
        player->read_end_callback = callback;
}

void SVPlayFile(SVPlayer *player, SVFile *file)
{
    if (!player || !file)
        return;
    player_take_file(player, file);
    player_start(player);
    player_fire(player, SVEventFileChanged);
}

void SVSeekFile(SVPlayer *player, SVFile *file)
{
    if (!player || !file)
        return;
    if (SVIsAudible(player)) {
        SVPlayFile(player, file);
        return;
    }
    player_take_file(player, file);
    player_hold_unheard(player);
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
    player_refill_idle(player);
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
    if (!player || !player->queue)
        return;
    const bool tail = player->status == SVStatusEnded && !player->all_heard;
    if (player->status != SVStatusPlaying && !tail)
        return;
    AudioQueuePause(player->queue);
    player->paused_at_end = tail;
    player_enter(player, SVStatusPaused, SVEventPaused);
}

void SVResume(SVPlayer *player)
{
    if (!player || player->status != SVStatusPaused || !player->queue)
        return;
    AudioQueueStart(player->queue);
    player->status = player->paused_at_end ? SVStatusEnded : SVStatusPlaying;
    player->paused_at_end = false;
    player_fire(player, SVEventPlaying);
}

void SVSeek(SVPlayer *player, double seconds)
{
    if (!player || !player->file)
        return;
    AudioQueue *queue = player->queue;
    const bool was_ended = player->status == SVStatusEnded;
    const bool heard = queue && (player->status == SVStatusPlaying || (was_ended && !player->all_heard));
    SVFileSeek(player->file, seconds);
    player->read_end_reached = false;
    if (!heard) {
        player_hold_unheard(player);
        return;
    }
    AudioQueueReset(queue);
    player->status = SVStatusPlaying;
    player_begin_stream(player);
    bool dry;
    const int primed = player_prime(player, queue, &dry);
    if (primed < 0)
        return;
    AudioQueueStart(queue);
    if (player->status == SVStatusError)
        return;
    if (primed > 0) {
        if (was_ended)
            player_fire(player, SVEventPlaying);
        return;
    }
    // Sought to the very end: nothing to hear, and the stream is over again.
    if (was_ended) {
        AudioQueueFlush(queue);
        AudioQueueStop(queue, false);
        player->status = SVStatusEnded;
    } else {
        player_end(player, queue);
    }
}

void SVContinueAt(SVPlayer *player, double seconds)
{
    if (!player || !player->file)
        return;
    SVFile *file = player->file;
    if (player_packets(file)) {
        // The run read so far ends where reading stopped; the next one begins at the target.
        player->read_frames += player_run_frames(player);
        SVFileSeek(file, seconds);
        player_plan_run(player);
    } else {
        SVFileSeek(file, seconds);
    }
    player->read_end_reached = false;
    player_mark(player);
    player_refill_idle(player);
}

void SVSetVolume(SVPlayer *player, float volume)
{
    if (!player || std::isnan(volume))
        return;
    player->volume = std::clamp(volume, 0.0f, 1.0f);
    if (player->queue)
        AudioQueueSetVolume(player->queue, player->volume);
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

bool SVIsAudible(SVPlayer *player)
{
    return player && player->queue &&
           (player->status == SVStatusPlaying || (player->status == SVStatusEnded && !player->all_heard));
}

SVFile *SVCurrentFile(SVPlayer *player)
{
    return player ? player->file : nullptr;
}

double SVGetCurrentPosition(SVPlayer *player)
{
    return player && player->file ? SVFileTell(player->file) : 0.0;
}

SVPoint SVGetReadPoint(SVPlayer *player)
{
    if (!player || !player->file)
        return {player ? player->stretch : 0, 0.0};
    return {player->stretch, SVFileTell(player->file)};
}

SVPoint SVGetHeardPoint(SVPlayer *player)
{
    if (!player)
        return {0, 0.0};
    const int64_t played = player_played(player);
    const SVMark *mark = player_heard_mark(player, played);
    if (!mark)
        return SVGetReadPoint(player);
    return {mark->stretch, mark->position + double(played - mark->frame) / player_rate(player)};
}

double SVSecondsUntilHeard(SVPlayer *player, SVPoint point)
{
    if (!player)
        return 0.0;
    const int64_t played = player_played(player);
    const SVMark *heard = player_heard_mark(player, played);
    if (!heard)
        return point.stretch <= player->stretch ? 0.0 : kNotYet;
    if (point.stretch < heard->stretch)
        return -kNotYet;
    const std::vector<SVMark> &marks = player->marks;
    for (size_t i = 0; i < marks.size(); ++i) {
        if (marks[i].stretch != point.stretch)
            continue;
        const double rate = player_rate(player);
        int64_t frame = marks[i].frame + std::llround((point.position - marks[i].position) * rate);
        frame = std::max(frame, marks[i].frame);
        // A stretch that ended before reaching the point: it is as good as heard with the next.
        if (i + 1 < marks.size())
            frame = std::min(frame, marks[i + 1].frame);
        else if (player->all_heard)
            frame = std::min(frame, played);
        return double(frame - played) / rate;
    }
    return point.stretch < marks.back().stretch ? -kNotYet : kNotYet;
}

double SVGetHeardPosition(SVPlayer *player)
{
    if (!player || !player->file)
        return 0.0;
    const SVPoint heard = SVGetHeardPoint(player);
    if (heard.stretch >= player->file_stretch)
        return heard.position;
    // The file before a gapless join is still heard.
    for (const SVMark &mark : player->marks) {
        if (mark.stretch == player->file_stretch)
            return -std::max(0.0, SVSecondsUntilHeard(player, {mark.stretch, mark.position}));
    }
    return 0.0;
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
    return player && player->file && player_read_end_set(player, player->file);
}
