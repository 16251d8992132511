// Audio files written by the player tests and the WAV files the output queue writes back.
#pragma once

#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace playerfixtures {

inline void putLE(std::string &s, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += char(v >> (8 * i));
}

inline void putBE(std::string &s, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        s += char(v >> (8 * i));
}

inline uint32_t getLE(const std::string &b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(uint8_t(b[at + i])) << (8 * i);
    return v;
}

// Deterministic bytes that are not silence, so a lost or repeated sample shows.
inline std::string noise(size_t bytes, uint32_t seed)
{
    std::string s(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s[i] = char(seed >> 24);
    }
    return s;
}

// `pcm` little-endian (8-bit unsigned), as WAV stores it.
inline std::string wavBytes(uint32_t bits, uint32_t channels, uint32_t rate, const std::string &pcm)
{
    std::string s = "RIFF";
    putLE(s, 36 + pcm.size() + (pcm.size() & 1), 4);
    s += "WAVEfmt ";
    putLE(s, 16, 4);
    putLE(s, 1, 2);
    putLE(s, channels, 2);
    putLE(s, rate, 4);
    putLE(s, rate * channels * bits / 8, 4);
    putLE(s, channels * bits / 8, 2);
    putLE(s, bits, 2);
    s += "data";
    putLE(s, pcm.size(), 4);
    s += pcm;
    if (pcm.size() & 1)
        s += '\0';
    return s;
}

inline std::string extended80(uint32_t rate)
{
    int exponent = 0;
    while ((uint64_t(1) << (exponent + 1)) <= rate)
        ++exponent;
    std::string s;
    putBE(s, 16383 + exponent, 2);
    putBE(s, uint64_t(rate) << (63 - exponent), 8);
    return s;
}

// `pcm` as the file stores it: big-endian, or little-endian for AIFC "sowt".
inline std::string aiffBytes(uint32_t bits, uint32_t channels, uint32_t rate, const std::string &pcm, bool sowt)
{
    const uint32_t frames = uint32_t(pcm.size() / (channels * bits / 8));
    std::string comm;
    putBE(comm, channels, 2);
    putBE(comm, frames, 4);
    putBE(comm, bits, 2);
    comm += extended80(rate);
    if (sowt)
        comm += std::string("sowt") + '\0' + '\0';
    std::string body = sowt ? "AIFC" : "AIFF";
    if (sowt) {
        body += "FVER";
        putBE(body, 4, 4);
        putBE(body, 0xA2805140u, 4);
    }
    body += "COMM";
    putBE(body, comm.size(), 4);
    body += comm;
    body += "SSND";
    putBE(body, pcm.size() + 8, 4);
    putBE(body, 0, 8);
    body += pcm;
    if (pcm.size() & 1)
        body += '\0';
    std::string s = "FORM";
    putBE(s, body.size(), 4);
    return s + body;
}

// Encodes little-endian signed PCM with libFLAC.
inline bool writeFlac(const std::string &path, uint32_t bits, uint32_t channels, uint32_t rate, const std::string &pcm)
{
    const uint32_t width = bits / 8;
    const size_t samples = pcm.size() / width;
    std::vector<FLAC__int32> ints(samples);
    const int shift = 32 - int(bits);
    for (size_t i = 0; i < samples; ++i)
        ints[i] = int32_t(getLE(pcm, i * width, int(width)) << shift) >> shift;
    FLAC__StreamEncoder *e = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(e, channels);
    FLAC__stream_encoder_set_bits_per_sample(e, bits);
    FLAC__stream_encoder_set_sample_rate(e, rate);
    FLAC__stream_encoder_set_compression_level(e, 5);
    FLAC__stream_encoder_set_total_samples_estimate(e, samples / channels);
    bool ok = FLAC__stream_encoder_init_file(e, path.c_str(), nullptr, nullptr) == FLAC__STREAM_ENCODER_INIT_STATUS_OK &&
              FLAC__stream_encoder_process_interleaved(e, ints.data(), uint32_t(samples / channels)) &&
              FLAC__stream_encoder_finish(e);
    FLAC__stream_encoder_delete(e);
    return ok;
}

// Monkey's Audio through the jmac encoder; false when Java or the encoder is missing.
inline bool writeApe(const std::string &path, uint32_t bits, uint32_t channels, uint32_t rate, const std::string &pcm)
{
    const std::string wav = path + ".src.wav";
    writeFile(wav, wavBytes(bits, channels, rate, pcm));
    ToolResult r = runProgram({"java", "-jar", "/usr/share/java/jmac.jar", "c2", wav, path});
    return r.exitCode == 0 && !readFile(path).empty();
}

struct WavOutput {
    bool ok = false;
    uint32_t channels = 0, rate = 0, bits = 0;
    std::string data;
};

// Walks the chunks as any WAV reader does, checking the sizes the sink wrote.
inline WavOutput parseWav(const std::string &b)
{
    WavOutput w;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0 || getLE(b, 4, 4) + 8 != b.size())
        return w;
    size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const uint32_t size = getLE(b, at + 4, 4);
        if (at + 8 + size > b.size())
            return w;
        if (id == "fmt ") {
            w.channels = getLE(b, at + 10, 2);
            w.rate = getLE(b, at + 12, 4);
            w.bits = getLE(b, at + 22, 2);
            haveFormat = true;
        } else if (id == "data") {
            w.data = b.substr(at + 8, size);
            w.ok = haveFormat;
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

// A counter signal: stereo 16-bit frames that hold their own index, from `first` on (the low
// 16 bits left, the high 16 bits right), so that every jump, repeat, gap or loss in what is
// played back shows as a break in the count.
inline std::string counterPcm(int64_t first, int64_t frames)
{
    std::string s;
    s.reserve(size_t(frames) * 4);
    for (int64_t n = first; n < first + frames; ++n) {
        putLE(s, uint64_t(n) & 0xFFFF, 2);
        putLE(s, (uint64_t(n) >> 16) & 0xFFFF, 2);
    }
    return s;
}

// A WAV of the counter signal: `frames` frames at `rate`, counting from `first`.
inline void writeCounter(const std::string &path, uint32_t rate, int64_t frames, int64_t first = 0)
{
    writeFile(path, wavBytes(16, 2, rate, counterPcm(first, frames)));
}

// `name`.wav in `dir`, the counter signal in `tracks` one-second tracks, and its cue sheet
// `name`.cue.
inline void writeCounterAlbum(const std::string &dir, const std::string &name, uint32_t rate, int tracks)
{
    writeCounter(dir + "/" + name + ".wav", rate, int64_t(rate) * tracks);
    std::string sheet = "FILE \"" + name + ".wav\" WAVE\n";
    for (int t = 0; t < tracks; t++) {
        char line[64];
        snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 00:%02d:00\n", t + 1, t);
        sheet += line;
    }
    writeFile(dir + "/" + name + ".cue", sheet);
}

// A stretch of consecutive counter values.
struct CounterRun {
    int64_t first;
    int64_t count;
    bool operator==(const CounterRun &) const = default;
};

// What rendered counter PCM holds, as runs of consecutive values.
inline std::vector<CounterRun> counterRuns(const std::string &pcm)
{
    std::vector<CounterRun> runs;
    for (size_t at = 0; at + 4 <= pcm.size(); at += 4) {
        const int64_t n = int64_t(getLE(pcm, at, 2)) | int64_t(getLE(pcm, at + 2, 2)) << 16;
        if (!runs.empty() && runs.back().first + runs.back().count == n)
            ++runs.back().count;
        else
            runs.push_back({n, 1});
    }
    return runs;
}

inline std::string runsText(const std::vector<CounterRun> &runs)
{
    std::string s;
    for (const CounterRun &r : runs)
        s += "[" + std::to_string(r.first) + " +" + std::to_string(r.count) + "]";
    return s.empty() ? "(nothing)" : s;
}

// Big-endian samples as the WAV output holds them.
inline std::string swapped(const std::string &pcm, uint32_t bits)
{
    std::string out = pcm;
    const size_t width = bits / 8;
    for (size_t i = 0; i + width <= out.size(); i += width)
        std::reverse(out.begin() + i, out.begin() + i + width);
    return out;
}

}  // namespace playerfixtures
