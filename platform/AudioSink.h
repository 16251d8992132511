// Where an output queue's samples go: an ALSA device, nowhere (at real-time pace or at once)
// or a WAV file. Chosen per queue from the text of SONAVEL_AUDIO_OUTPUT:
//   alsa[:DEVICE]   (default device "default")
//   null, null-fast
//   wav:PATH, wav-fast:PATH   (the k-th queue writes PATH with ".k" before the extension)
// An open sink is used by its queue's sink thread only.
#pragma once

#include <cstdint>
#include <string>

enum class AudioSinkKind { Alsa, Null, Wav };

struct AudioSinkSpec {
    AudioSinkKind kind;
    bool realTime;       // paced like a device; false for null-fast and wav-fast
    std::string target;  // ALSA device name, or WAV path
};

// What a sink is fed: interleaved little-endian frames; 8-bit samples unsigned, wider ones signed.
struct AudioSinkFormat {
    uint32_t sampleRate;
    uint32_t channels;
    uint32_t bytesPerSample;  // 1, 2, 3 or 4
};

// Parses an output text; false for anything it does not know.
bool AudioSinkParse(const char *text, AudioSinkSpec *spec);
// `path` with ".k" before its extension for k >= 2 (out.wav, out.2.wav, ...).
std::string AudioSinkNumberedPath(const std::string &path, int k);
// Parses `text` and, for WAV outputs, gives the path of the next queue writing to that file
// name (the first gets the name itself). Any thread.
bool AudioSinkSpecForNewQueue(const char *text, AudioSinkSpec *spec);

struct AudioSink;

// Never null: when the ALSA device does not open (not even through ALSA's plug layer), one
// line is logged for the process and the sink discards at real-time pace instead.
AudioSink *AudioSinkOpen(const AudioSinkSpec &spec, const AudioSinkFormat &format);
// Blocks until the device has taken every frame (real-time sinks pace here). False once the
// output has failed (a WAV write error, a lost ALSA device): one line is logged, a WAV file is
// cut back to the whole frames written before, and the sink takes nothing more.
bool AudioSinkWrite(AudioSink *sink, const uint8_t *frames, uint32_t count);
// Holds or releases what the device holds. Nothing written before a pause is lost.
void AudioSinkPause(AudioSink *sink, bool paused);
// Blocks until everything written has been played.
void AudioSinkDrain(AudioSink *sink);
// Throws away what the device has not played yet.
void AudioSinkDrop(AudioSink *sink);
// Frames written but not played yet.
int64_t AudioSinkDelay(AudioSink *sink);
// Finishes the WAV header, closes the device, frees the sink.
void AudioSinkClose(AudioSink *sink);
