// The player core: plays a chain of open audio files through one output queue, continues
// without a gap into a queued file of the same PCM format, and reports what happens as small
// integer events. Every entry is called on the main thread.
#pragma once

#include <cstdint>

#include "engine/SVFile.h"

struct AudioQueue;

enum SVStatus : int32_t {
    SVStatusStopped = 0,
    SVStatusPlaying = 1,
    SVStatusPaused = 2,
    SVStatusEnded = 3,
    SVStatusError = 4,
};

enum SVEvent : int32_t {
    SVEventPosition = 0,     // the read position moved by a second or more
    SVEventFileChanged = 1,  // a new file is current
    SVEventPaused = 2,
    SVEventPlaying = 3,
    SVEventEnded = 4,        // no more data; the queue plays out what it holds and stops
    SVEventError = 5,        // no output could be created or started
};

// Called on the main run loop, synchronously from inside the engine entry or queue callback
// that causes the event.
typedef void (*SVEventCallback)(void *user_data, int32_t event);

struct SVPlayer {
    SVFile *file;           // head of the chain (each file's `next` links the one after it)
    double last_position;   // seconds, as last reported with SVEventPosition
    int32_t status;         // SVStatus
    AudioQueue *queue;
    SVEventCallback callback;
    void *user_data;
    double read_end;        // seconds into the current file where reading stops; negative: none
    bool read_end_reached;  // the last read of the current file stopped at `read_end`
};

SVPlayer *SVCreate();
// Closes every file of the chain and drops the queue at once.
void SVDestroy(SVPlayer *player);
void SVSetCallback(SVPlayer *player, SVEventCallback callback, void *user_data);
// Takes ownership of `file`, closes the old chain and starts a fresh queue.
void SVPlayFile(SVPlayer *player, SVFile *file);
// Takes ownership of `file` and appends it to the chain; returns 0.
int SVAddFile(SVPlayer *player, SVFile *file);
void SVPlay(SVPlayer *player);
void SVPause(SVPlayer *player);
void SVResume(SVPlayer *player);
void SVSeek(SVPlayer *player, double seconds);
// Acts on the current queue only; a later queue starts at full volume.
void SVSetVolume(SVPlayer *player, float volume);
float SVGetVolume(SVPlayer *player);
int32_t SVGetStatus(SVPlayer *player);
SVFile *SVCurrentFile(SVPlayer *player);
// The read position of the current file, ahead of what is heard by what the queue holds.
double SVGetCurrentPosition(SVPlayer *player);
// Reading of the current file stops at `seconds` (negative: nowhere) as if the file ended
// there; what lies beyond stays unread, so lifting the end lets it play. Seeks and SVPlay keep
// the end. SVPlayFile keeps it too, so that it can be set for the file handed over before
// that file's first reads; a gapless switch to the next file clears it. PCM readers only:
// the platform reader's packets are read to the file's own end.
void SVSetReadEnd(SVPlayer *player, double seconds);
// A read end is set and caps the current file's reads.
bool SVReadEndActive(const SVPlayer *player);
