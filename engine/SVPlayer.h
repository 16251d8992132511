// The player core: plays a chain of open audio files through one output queue, continues
// without a gap into a queued file of the same PCM format, and reports what happens as small
// integer events. Every entry is called on the main thread.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/SVFile.h"

struct AudioQueue;
struct AudioQueueBuffer;

enum SVStatus : int32_t {
    SVStatusStopped = 0,
    SVStatusPlaying = 1,
    SVStatusPaused = 2,
    SVStatusEnded = 3,   // reading found no more data; the queue plays out what it holds
    SVStatusError = 4,
};

enum SVEvent : int32_t {
    SVEventPosition = 0,     // the read position moved by a second or more
    SVEventFileChanged = 1,  // a new file is current
    SVEventPaused = 2,       // paused, or the queue stopped after playing out the end
    SVEventPlaying = 3,
    SVEventEnded = 4,        // no more data; the queue plays out what it holds and stops
    SVEventError = 5,        // no output could be created or started, the output broke, or a read failed
};

// Called on the main run loop, synchronously from inside the engine entry or queue callback
// that causes the event. Each change of state is reported once.
typedef void (*SVEventCallback)(void *user_data, int32_t event);

// Called on the main run loop from inside a refill, with the callback's user data, when
// reading of the current file reaches the read end or the file's own end. The callee may keep
// the stream going in the same queue, without a gap: SVContinueAt (a repeat or a jump),
// SVSetReadEnd further on, SVAddFile of a file that can join. Whatever it leaves as it is, the
// engine goes on as at any end: into a joinable queued file, else to SVStatusEnded. Once per
// arrival at an end; it must not start or stop playback.
typedef void (*SVReadEndCallback)(void *user_data);

// A place in what the player reads and plays: the stretch (every file start, seek, repeat and
// jump begins a new one, numbered upwards) and the seconds into the file there.
struct SVPoint {
    uint64_t stretch;
    double position;
};

// Where, in what the queue has been given, a stretch begins.
struct SVMark {
    int64_t frame;  // frames of the queue's stream before it
    uint64_t stretch;
    double position;
};

constexpr int kSVBufferCount = 3;

struct SVPlayer {
    SVFile *file;           // head of the chain (each file's `next` links the one after it)
    double last_position;   // seconds, as last reported with SVEventPosition
    int32_t status;         // SVStatus
    AudioQueue *queue;
    SVEventCallback callback;
    void *user_data;
    double read_end;        // seconds into the current file where reading stops; negative: none
    bool read_end_reached;  // the last read of the current file stopped at `read_end`

    SVReadEndCallback read_end_callback;
    bool end_asked;         // the read-end callback ran for where reading stands
    bool paused_at_end;     // paused while the end's tail played: resuming goes back to Ended
    bool all_heard;         // the queue stopped after the end: everything read has been heard
    float volume;           // applied to every queue, so a fade carries across them
    AudioQueueBuffer *buffers[kSVBufferCount];
    bool buffer_idle[kSVBufferCount];  // came back and found nothing to read: with the player
    int buffer_count;
    bool in_refill;         // a refill runs: a callee's call does not start another

    // What is heard: where each stretch begins in the queue's stream, from the one being heard
    // on. The stream counts decoded frames for a platform-reader file.
    uint64_t stretch;       // the stretch being read
    uint64_t file_stretch;  // the stretch the current file began with in this queue
    std::vector<SVMark> marks;
    bool queue_stale;       // sought while not heard: the queue's count belongs to before
    int64_t read_frames;    // frames read into the queue since it started or was reset

    // Platform-reader files: the decoder run being read (a run starts at every seek, repeat and
    // jump), in decoded frames from where it begins.
    double run_begin;       // seconds
    int64_t run_file_keep;  // frames up to the stream's end; -1: unknown
    int64_t run_keep;       // frames it plays, as last told to the queue; -1: all
    int64_t next_skip;      // frames the run to start at the next refill drops first
    bool run_pending;
};

SVPlayer *SVCreate();
// Closes every file of the chain and drops the queue at once.
void SVDestroy(SVPlayer *player);
void SVSetCallback(SVPlayer *player, SVEventCallback callback, void *user_data);
void SVSetReadEndCallback(SVPlayer *player, SVReadEndCallback callback);
// Takes ownership of `file`, closes the old chain and starts a fresh queue.
void SVPlayFile(SVPlayer *player, SVFile *file);
// Takes ownership of `file` and appends it to the chain; returns 0. A joinable file added
// while the end plays out still joins.
int SVAddFile(SVPlayer *player, SVFile *file);
void SVPlay(SVPlayer *player);
// Pauses what is heard: while playing, and also while the queue plays out the end.
void SVPause(SVPlayer *player);
void SVResume(SVPlayer *player);
// While something is heard (playing, or the end playing out) the queue drops what it holds,
// keeps its output open and refills from the target, which is heard at once. Otherwise the
// position moves and the status becomes SVStatusStopped; SVPlay starts a fresh queue there.
void SVSeek(SVPlayer *player, double seconds);
// SVSeek into another file: takes ownership of `file`, positioned at the target, and closes the
// old chain. While something is heard a fresh queue starts on it at once; otherwise nothing
// starts, as with SVSeek, and the heard position is the file's position until SVPlay.
void SVSeekFile(SVPlayer *player, SVFile *file);
// Reading of the current file goes on from `seconds` after what has been read so far, in the
// same queue and without dropping anything: a repeat or a jump heard without a gap. Also after
// reading found the end, while the end still plays out.
void SVContinueAt(SVPlayer *player, double seconds);
// Kept for every queue to come, so a level set before a new queue starts is its level.
void SVSetVolume(SVPlayer *player, float volume);
// The queue's volume, or 0.0 without a queue.
float SVGetVolume(SVPlayer *player);
int32_t SVGetStatus(SVPlayer *player);
// Something is heard: playing, or the end playing out after reading has ended.
bool SVIsAudible(SVPlayer *player);
SVFile *SVCurrentFile(SVPlayer *player);
// The read position of the current file, ahead of what is heard by what the queue holds.
double SVGetCurrentPosition(SVPlayer *player);
// Seconds of the current file heard so far, following seeks, repeats, new queues and gapless
// switches; negative (minus the seconds still to wait) while the file before it in a gapless
// join is still heard.
double SVGetHeardPosition(SVPlayer *player);
// Where reading is now, and what is heard now.
SVPoint SVGetReadPoint(SVPlayer *player);
SVPoint SVGetHeardPoint(SVPlayer *player);
// Seconds until `point` is heard: 0 or less once it has been (or will never be, its stretch
// having ended before it); a large value for a stretch not read yet.
double SVSecondsUntilHeard(SVPlayer *player, SVPoint point);
// Reading of the current file stops at `seconds` (negative: nowhere) as if the file ended
// there; what lies beyond stays unread, so lifting the end lets it play. Seeks and SVPlay keep
// the end. SVPlayFile keeps it too, so that it can be set for the file handed over before
// that file's first reads; a gapless switch to the next file clears it.
void SVSetReadEnd(SVPlayer *player, double seconds);
// A read end is set and caps the current file's reads.
bool SVReadEndActive(const SVPlayer *player);

// Readers report a read that failed for good (not an end) with a negative count: the engine
// says so in one line, plays out what it has and reports SVEventError.
