#include "platform/AudioSink.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A paced sink runs this far ahead of the wall clock, like a device's buffer.
constexpr double kLeadSeconds = 0.1;
// Asked of ALSA; it picks the nearest sizes the device allows.
constexpr unsigned kAlsaBufferMicros = 200000;
constexpr unsigned kAlsaPeriodMicros = 40000;

// An ALSA device that does not open is said once for the process: the program then runs on
// without sound, as on a machine that has none.
std::atomic<bool> gAlsaOpenFailureLogged{false};

// ALSA prints its own diagnostics on standard error; the program reports a failed open in
// one line of its own instead.
void quietAlsaError(const char *, int, const char *, int, const char *, ...) {}

struct WavFile {
    std::string path;
    int fd = -1;
    uint32_t dataSizeOffset = 0;
    uint64_t dataBytes = 0;
};

}  // namespace

struct AudioSink {
    AudioSinkKind kind;
    bool realTime;
    AudioSinkFormat format;
    uint32_t frameBytes;

    snd_pcm_t *pcm = nullptr;
    bool alsaCanPause = false;
    bool alsaPaused = false;

    WavFile wav;
    bool failed = false;  // the output broke while playing; nothing more is written

    // The virtual device clock of paced sinks: frames written since `origin`.
    bool clockRunning = false;
    Clock::time_point origin;
    int64_t clockFrames = 0;
};

namespace {

// ---- Output texts ----

std::mutex gWavNumbersMutex;
std::map<std::string, int> gWavNumbers;  // guarded by gWavNumbersMutex

bool startsWith(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

// ---- Pacing ----

// When the virtual device will have played everything written so far.
Clock::time_point clockEnd(const AudioSink *sink)
{
    std::chrono::duration<double> written(double(sink->clockFrames) / sink->format.sampleRate);
    return sink->origin + std::chrono::duration_cast<Clock::duration>(written);
}

void pace(AudioSink *sink, uint32_t frames)
{
    Clock::time_point now = Clock::now();
    // Starved past its end, the virtual device ran dry and starts over.
    if (!sink->clockRunning || now > clockEnd(sink)) {
        sink->clockRunning = true;
        sink->origin = now;
        sink->clockFrames = 0;
    }
    sink->clockFrames += frames;
    auto lead = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kLeadSeconds));
    Clock::time_point due = clockEnd(sink) - lead;
    if (due > now)
        std::this_thread::sleep_until(due);
}

int64_t pacedDelay(const AudioSink *sink)
{
    if (!sink->clockRunning)
        return 0;
    std::chrono::duration<double> left = clockEnd(sink) - Clock::now();
    return left.count() > 0 ? int64_t(left.count() * sink->format.sampleRate) : 0;
}

void pacedDrain(AudioSink *sink)
{
    if (!sink->clockRunning)
        return;
    std::this_thread::sleep_until(clockEnd(sink));
    sink->clockRunning = false;
}

// ---- WAV ----

void putLE(uint8_t *p, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = uint8_t(value >> (8 * i));
}

bool writeAll(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Plain PCM format chunks for every layout: what WAV readers (ours included) accept most widely.
bool wavOpen(WavFile *wav, const std::string &path, const AudioSinkFormat &f)
{
    wav->path = path;
    wav->fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (wav->fd < 0)
        return false;
    uint8_t h[44] = {};
    const uint32_t blockAlign = f.channels * f.bytesPerSample;
    memcpy(h, "RIFF", 4);
    putLE(h + 4, 36, 4);
    memcpy(h + 8, "WAVE", 4);
    memcpy(h + 12, "fmt ", 4);
    putLE(h + 16, 16, 4);
    putLE(h + 20, 1, 2);
    putLE(h + 22, f.channels, 2);
    putLE(h + 24, f.sampleRate, 4);
    putLE(h + 28, uint64_t(f.sampleRate) * blockAlign, 4);
    putLE(h + 32, blockAlign, 2);
    putLE(h + 34, f.bytesPerSample * 8, 2);
    memcpy(h + 36, "data", 4);
    wav->dataSizeOffset = 40;
    if (!writeAll(wav->fd, h, sizeof h)) {
        close(wav->fd);
        wav->fd = -1;
        return false;
    }
    return true;
}

// Sizes are rewritten after every write so the file is a whole WAV at any moment, even when
// the program is killed.
void wavPatchSizes(WavFile *wav, bool padded)
{
    uint64_t data = wav->dataBytes > 0xFFFFFFF0u ? 0xFFFFFFF0u : wav->dataBytes;
    uint64_t riff = wav->dataSizeOffset + 4 - 8 + data + (padded ? (data & 1) : 0);
    uint8_t b[4];
    putLE(b, riff, 4);
    (void)!pwrite(wav->fd, b, 4, 4);
    putLE(b, data, 4);
    (void)!pwrite(wav->fd, b, 4, wav->dataSizeOffset);
}

bool wavWrite(WavFile *wav, const uint8_t *data, size_t bytes)
{
    if (wav->fd < 0)
        return false;
    if (!writeAll(wav->fd, data, bytes)) {
        // Part of the chunk may have gone out: the file is cut back to what the header counts,
        // so no later frame can land shifted.
        (void)!ftruncate(wav->fd, off_t(wav->dataSizeOffset + 4 + wav->dataBytes));
        wavPatchSizes(wav, false);
        return false;
    }
    wav->dataBytes += bytes;
    wavPatchSizes(wav, false);
    return true;
}

void wavClose(WavFile *wav)
{
    if (wav->fd < 0)
        return;
    // RIFF chunks are padded to an even length.
    if (wav->dataBytes & 1) {
        uint8_t zero = 0;
        (void)writeAll(wav->fd, &zero, 1);
    }
    wavPatchSizes(wav, true);
    close(wav->fd);
    wav->fd = -1;
}

// ---- ALSA ----

snd_pcm_format_t alsaFormat(uint32_t bytesPerSample)
{
    switch (bytesPerSample) {
    case 1: return SND_PCM_FORMAT_U8;
    case 2: return SND_PCM_FORMAT_S16_LE;
    case 3: return SND_PCM_FORMAT_S24_3LE;
    default: return SND_PCM_FORMAT_S32_LE;
    }
}

int alsaConfigure(AudioSink *sink, snd_pcm_t *pcm, bool exact)
{
    const AudioSinkFormat &f = sink->format;
    snd_pcm_hw_params_t *hw;
    snd_pcm_hw_params_alloca(&hw);
    int err = snd_pcm_hw_params_any(pcm, hw);
    if (err < 0)
        return err;
    if ((err = snd_pcm_hw_params_set_rate_resample(pcm, hw, exact ? 0 : 1)) < 0 ||
        (err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (err = snd_pcm_hw_params_set_format(pcm, hw, alsaFormat(f.bytesPerSample))) < 0 ||
        (err = snd_pcm_hw_params_set_channels(pcm, hw, f.channels)) < 0 ||
        (err = snd_pcm_hw_params_set_rate(pcm, hw, f.sampleRate, 0)) < 0)
        return err;
    unsigned bufferMicros = kAlsaBufferMicros;
    unsigned periodMicros = kAlsaPeriodMicros;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferMicros, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodMicros, nullptr);
    if ((err = snd_pcm_hw_params(pcm, hw)) < 0)
        return err;
    sink->alsaCanPause = snd_pcm_hw_params_can_pause(hw);

    snd_pcm_uframes_t bufferFrames = 0;
    snd_pcm_uframes_t periodFrames = 0;
    snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames);
    snd_pcm_hw_params_get_period_size(hw, &periodFrames, nullptr);
    snd_pcm_sw_params_t *sw;
    snd_pcm_sw_params_alloca(&sw);
    if ((err = snd_pcm_sw_params_current(pcm, sw)) < 0)
        return err;
    // Start once half the buffer is filled, so the first period does not underrun at once.
    snd_pcm_sw_params_set_start_threshold(pcm, sw, bufferFrames / 2 ? bufferFrames / 2 : 1);
    snd_pcm_sw_params_set_avail_min(pcm, sw, periodFrames ? periodFrames : 1);
    return snd_pcm_sw_params(pcm, sw);
}

// The exact format first (bit-perfect on hw: devices), then ALSA's plug layer, which converts.
snd_pcm_t *alsaOpen(AudioSink *sink, const std::string &device, std::string *why)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(quietAlsaError); });

    std::string names[2] = {device, ""};
    if (device.find('\'') == std::string::npos && !startsWith(device.c_str(), "plug"))
        names[1] = "plug:'" + device + "'";
    for (const std::string &name : names) {
        if (name.empty())
            continue;
        snd_pcm_t *pcm = nullptr;
        int err = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
        if (err == 0) {
            err = alsaConfigure(sink, pcm, &name == &names[0]);
            if (err == 0)
                return pcm;
            snd_pcm_close(pcm);
        }
        if (why->empty())
            *why = snd_strerror(err);
    }
    return nullptr;
}

void logOpenFailureOnce(const char *format, ...)
{
    if (gAlsaOpenFailureLogged.exchange(true))
        return;
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
}

bool alsaWrite(AudioSink *sink, const uint8_t *frames, uint32_t count)
{
    while (count > 0) {
        snd_pcm_sframes_t n = snd_pcm_writei(sink->pcm, frames, count);
        if (n == -EAGAIN)
            continue;
        if (n < 0) {
            // Underruns (EPIPE) and suspends (ESTRPIPE) are recovered; anything else lost the device.
            int err = snd_pcm_recover(sink->pcm, int(n), 1);
            if (err < 0) {
                fprintf(stderr, "Audio output: ALSA device lost (%s)\n", snd_strerror(err));
                return false;
            }
            continue;
        }
        frames += size_t(n) * sink->frameBytes;
        count -= uint32_t(n);
    }
    return true;
}

}  // namespace

bool AudioSinkParse(const char *text, AudioSinkSpec *spec)
{
    if (!text || !*text || strcmp(text, "alsa") == 0) {
        *spec = {AudioSinkKind::Alsa, true, "default"};
        return true;
    }
    if (startsWith(text, "alsa:") && text[5]) {
        *spec = {AudioSinkKind::Alsa, true, text + 5};
        return true;
    }
    if (strcmp(text, "null") == 0 || strcmp(text, "null-fast") == 0) {
        *spec = {AudioSinkKind::Null, strcmp(text, "null") == 0, ""};
        return true;
    }
    if (startsWith(text, "wav:") && text[4]) {
        *spec = {AudioSinkKind::Wav, true, text + 4};
        return true;
    }
    if (startsWith(text, "wav-fast:") && text[9]) {
        *spec = {AudioSinkKind::Wav, false, text + 9};
        return true;
    }
    return false;
}

std::string AudioSinkNumberedPath(const std::string &path, int k)
{
    if (k < 2)
        return path;
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        return path + "." + std::to_string(k);
    return path.substr(0, dot) + "." + std::to_string(k) + path.substr(dot);
}

bool AudioSinkSpecForNewQueue(const char *text, AudioSinkSpec *spec)
{
    if (!AudioSinkParse(text, spec))
        return false;
    if (spec->kind == AudioSinkKind::Wav) {
        std::lock_guard<std::mutex> lock(gWavNumbersMutex);
        spec->target = AudioSinkNumberedPath(spec->target, ++gWavNumbers[spec->target]);
    }
    return true;
}

AudioSink *AudioSinkOpen(const AudioSinkSpec &spec, const AudioSinkFormat &format)
{
    auto *sink = new AudioSink;
    sink->kind = spec.kind;
    sink->realTime = spec.realTime;
    sink->format = format;
    sink->frameBytes = format.channels * format.bytesPerSample;
    if (spec.kind == AudioSinkKind::Alsa) {
        std::string why;
        sink->pcm = alsaOpen(sink, spec.target, &why);
        if (!sink->pcm) {
            logOpenFailureOnce("Audio output: ALSA device \"%s\" does not open (%s); playing to null\n",
                    spec.target.c_str(), why.c_str());
            sink->kind = AudioSinkKind::Null;
            sink->realTime = true;
        }
    } else if (spec.kind == AudioSinkKind::Wav) {
        if (!wavOpen(&sink->wav, spec.target, format)) {
            fprintf(stderr, "Audio output: cannot write \"%s\" (%s); playing to null\n",
                    spec.target.c_str(), strerror(errno));
            sink->kind = AudioSinkKind::Null;
        }
    }
    return sink;
}

bool AudioSinkWrite(AudioSink *sink, const uint8_t *frames, uint32_t count)
{
    if (sink->failed)
        return false;
    if (count == 0)
        return true;
    if (sink->kind == AudioSinkKind::Alsa) {
        if (sink->alsaPaused)
            AudioSinkPause(sink, false);
        sink->failed = !alsaWrite(sink, frames, count);
        return !sink->failed;
    }
    if (sink->kind == AudioSinkKind::Wav && !wavWrite(&sink->wav, frames, size_t(count) * sink->frameBytes)) {
        fprintf(stderr, "Audio output: cannot write \"%s\" (%s)\n", sink->wav.path.c_str(), strerror(errno));
        sink->failed = true;
        return false;
    }
    if (sink->realTime)
        pace(sink, count);
    return true;
}

void AudioSinkPause(AudioSink *sink, bool paused)
{
    if (sink->failed)
        return;
    if (sink->kind != AudioSinkKind::Alsa) {
        // What the virtual device held counts as played; the clock restarts on the next write.
        sink->clockRunning = false;
        return;
    }
    if (paused == sink->alsaPaused)
        return;
    snd_pcm_state_t state = snd_pcm_state(sink->pcm);
    if (paused) {
        if (state != SND_PCM_STATE_RUNNING)
            return;
        if (sink->alsaCanPause && snd_pcm_pause(sink->pcm, 1) == 0) {
            sink->alsaPaused = true;
        } else {
            // Without hardware pause the device plays out what it holds rather than lose it.
            snd_pcm_drain(sink->pcm);
            snd_pcm_prepare(sink->pcm);
        }
        return;
    }
    if (state == SND_PCM_STATE_PAUSED)
        snd_pcm_pause(sink->pcm, 0);
    sink->alsaPaused = false;
}

void AudioSinkDrain(AudioSink *sink)
{
    if (sink->failed)
        return;
    if (sink->kind == AudioSinkKind::Alsa) {
        if (sink->alsaPaused)
            AudioSinkPause(sink, false);
        snd_pcm_drain(sink->pcm);
        snd_pcm_prepare(sink->pcm);
        return;
    }
    if (sink->realTime)
        pacedDrain(sink);
}

void AudioSinkDrop(AudioSink *sink)
{
    if (sink->failed)
        return;
    if (sink->kind == AudioSinkKind::Alsa) {
        snd_pcm_drop(sink->pcm);
        snd_pcm_prepare(sink->pcm);
        sink->alsaPaused = false;
        return;
    }
    sink->clockRunning = false;
}

int64_t AudioSinkDelay(AudioSink *sink)
{
    if (sink->failed)
        return 0;
    if (sink->kind == AudioSinkKind::Alsa) {
        snd_pcm_sframes_t delay = 0;
        return snd_pcm_delay(sink->pcm, &delay) == 0 && delay > 0 ? delay : 0;
    }
    return sink->realTime ? pacedDelay(sink) : 0;
}

void AudioSinkClose(AudioSink *sink)
{
    if (!sink)
        return;
    if (sink->pcm)
        snd_pcm_close(sink->pcm);
    wavClose(&sink->wav);
    delete sink;
}
