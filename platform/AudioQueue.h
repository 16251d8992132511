// The output queue: plays buffers of linear PCM (8/16/24/32-bit, either byte order, 1-8
// channels, 1-384 kHz) or compressed packets with a magic cookie, decoded with libavcodec.
// Every call is made on the main thread and returns without waiting for the device: a sink
// thread per queue does the device I/O and hands played buffers back on the main run loop.
// The output is picked from SONAVEL_AUDIO_OUTPUT when the queue is created (platform/AudioSink.h).
#pragma once

#include <cstdint>

#include "platform/AudioFormat.h"

struct AudioQueue;

// A buffer of the queue; it belongs to the owner between the buffer callback and the next
// enqueue, and to the queue while enqueued. Freed with the queue.
struct AudioQueueBuffer {
    void *mAudioData;
    uint32_t mAudioDataBytesCapacity;
    uint32_t mAudioDataByteSize;  // valid bytes, set by the owner before enqueueing
    void *mUserData;              // the owner's
};

// Results: 0 is success.
enum : int32_t {
    kAudioQueueNoErr = 0,
    kAudioQueueErrUnsupportedFormat = -66671,
    kAudioQueueErrInvalidOutput = -66672,
    kAudioQueueErrInvalidQueue = -66673,
    kAudioQueueErrInvalidBuffer = -66687,
    kAudioQueueErrBufferEmpty = -66686,
    kAudioQueueErrBufferEnqueuedTwice = -66666,
    kAudioQueueErrInvalidParameter = -66684,
};

// Properties a listener can watch. Is-running: 1 while the queue plays (started, not paused,
// not yet stopped and its output not failed), else 0. Output-failed: 1 once the output broke
// while playing (a WAV write error, a lost device); the sink has logged one line, the queue
// plays nothing more and its played-frame count stays where the output stopped.
constexpr uint32_t kAudioQueueProperty_IsRunning = 0x6171726E;     // 'aqrn'
constexpr uint32_t kAudioQueueProperty_OutputFailed = 0x6171666C;  // 'aqfl'

// Called on the main run loop when `buffer` has been played and is the owner's again.
using AudioQueueOutputCallback = void (*)(void *userData, AudioQueue *queue, AudioQueueBuffer *buffer);
// Called on the main run loop when `property` changed other than by the owner's own call
// (the queue stopped after draining, for instance).
using AudioQueuePropertyListener = void (*)(void *userData, AudioQueue *queue, uint32_t property);

// Creates a stopped queue for `format`, with the output of SONAVEL_AUDIO_OUTPUT (default
// "alsa") or of `output` when given. kAudioQueueErrUnsupportedFormat for a PCM layout it cannot
// play (float, packed sizes other than 8/16/24/32 bits, more than 8 channels, rates outside
// 1-384 kHz); kAudioQueueErrInvalidOutput for an output text it does not know (one line logged).
// 8-bit PCM is unsigned unless kAudioFormatFlagIsSignedInteger is set.
int32_t AudioQueueNewOutput(const AudioStreamBasicDescription *format, AudioQueueOutputCallback callback,
                            void *userData, AudioQueue **queue, const char *output = nullptr);
// Stops taking and giving back buffers. Immediate: what is queued is dropped. Otherwise a
// running queue first plays out what is enqueued (its callbacks are no longer called), and a
// queue created afterwards waits for that before it opens its output: as long as that tail
// lasts (and a little more), after which the tail is cut, so two queues never play at once.
int32_t AudioQueueDispose(AudioQueue *queue, bool immediate);

int32_t AudioQueueAllocateBuffer(AudioQueue *queue, uint32_t capacity, AudioQueueBuffer **buffer);
// `descriptions` (may be null) describe the packets of a compressed buffer; they are copied.
int32_t AudioQueueEnqueueBuffer(AudioQueue *queue, AudioQueueBuffer *buffer, uint32_t packetCount,
                                const AudioStreamPacketDescription *descriptions);

int32_t AudioQueueStart(AudioQueue *queue);
int32_t AudioQueuePause(AudioQueue *queue);
// Frames a decoder still holds are played after the buffers enqueued so far.
int32_t AudioQueueFlush(AudioQueue *queue);
// Immediate: drops what is enqueued and what the output still holds, and stops; every buffer
// is the owner's again (no callbacks for them, not even ones already due), and the played-frame
// count starts again at 0. Otherwise the queue stops once everything enqueued has been played
// and the owner's callbacks have run without enqueueing more, and tells the listener.
int32_t AudioQueueStop(AudioQueue *queue, bool immediate);
// As an immediate stop, but the queue keeps its output open and stays started or paused as it
// was, ready for what the owner enqueues next (a seek: the new position is heard at once). A
// pending stop after draining is cancelled, and a compressed queue's decoder starts afresh.
int32_t AudioQueueReset(AudioQueue *queue);

// 0..1, applied in software; exactly 1.0 leaves the samples untouched.
int32_t AudioQueueSetVolume(AudioQueue *queue, float volume);
int32_t AudioQueueGetVolume(AudioQueue *queue, float *volume);
int32_t AudioQueueSetMagicCookie(AudioQueue *queue, const void *cookie, uint32_t size);
// Compressed queues: the packets enqueued from now on are a new run of the stream (a seek, a
// repeat), decoded afresh once what the previous run still holds has played; of the decoded
// frames `skipFrames` are dropped first and at most `keepFrames` played (-1: all).
int32_t AudioQueueSetDecoderTrim(AudioQueue *queue, int64_t skipFrames, int64_t keepFrames);
// Compressed queues: the current run plays at most `keepFrames` frames in all (counted from its
// first frame after the skip; -1: all). Takes effect for the packets enqueued from now on, so
// it can lengthen a run whose end was set short before that end was decoded.
int32_t AudioQueueSetDecoderEnd(AudioQueue *queue, int64_t keepFrames);

int32_t AudioQueueAddPropertyListener(AudioQueue *queue, uint32_t property,
                                      AudioQueuePropertyListener listener, void *userData);
int32_t AudioQueueGetIsRunning(AudioQueue *queue, uint32_t *running);

// Frames (of the decoded stream for compressed queues) the output has played since the queue
// was created or last reset: what reached the device minus what the device still holds. Any
// thread.
int64_t AudioQueuePlayedFrames(AudioQueue *queue);

// Waits until the sink threads of disposed queues have finished and closed their outputs,
// so a WAV file is complete once a test or a tool reads it. Main thread.
void AudioQueueWaitForDisposed();
