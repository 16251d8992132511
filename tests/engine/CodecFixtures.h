// Audio files made by other programs (ffmpeg, sox, flac, the jmac encoder) for the reader
// tests, and comparisons of PCM.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace fixture {

// Runs ffmpeg quietly with `args` after the usual flags; true when it succeeded.
inline bool ffmpeg(const std::vector<std::string> &args)
{
    std::vector<std::string> all = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    ToolResult r = runProgram(all);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.exitCode == 0;
}

// What ffmpeg decodes the first audio stream of `path` to, in raw format `format` (s16le, ...).
inline std::string ffmpegDecode(const std::string &path, const char *format = "s16le")
{
    ToolResult r = runProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", format, "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// A stereo WAV of two sine tones, `seconds` long, made by ffmpeg.
inline bool toneWav(const std::string &path, double seconds, int rate = 44100, const char *sampleFormat = "s16")
{
    const std::string d = std::to_string(seconds);
    return ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=" + d,
                   "-f", "lavfi", "-i", "sine=frequency=660:sample_rate=" + std::to_string(rate) + ":duration=" + d,
                   "-filter_complex", "[0][1]amerge=inputs=2", "-c:a", std::string("pcm_") + sampleFormat + "le",
                   path});
}

inline std::string md5Hex(const std::string &bytes)
{
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

inline int16_t sample16(const std::string &pcm, size_t index)
{
    return int16_t(uint8_t(pcm[2 * index]) | uint8_t(pcm[2 * index + 1]) << 8);
}

// The largest difference between two 16-bit little-endian PCM strings, sample by sample,
// from sample `from` on, over the length of the shorter.
inline int maxDifference16(const std::string &a, const std::string &b, size_t from = 0)
{
    int worst = 0;
    for (size_t i = from; i < std::min(a.size(), b.size()) / 2; i++)
        worst = std::max(worst, std::abs(int(sample16(a, i)) - int(sample16(b, i))));
    return worst;
}

// The data chunk of a canonical WAV written by ffmpeg or sox (the first "data" chunk).
inline std::string wavData(const std::string &wav)
{
    size_t pos = 12;
    while (pos + 8 <= wav.size()) {
        uint32_t size = uint8_t(wav[pos + 4]) | uint8_t(wav[pos + 5]) << 8 | uint8_t(wav[pos + 6]) << 16 |
                        uint32_t(uint8_t(wav[pos + 7])) << 24;
        if (wav.compare(pos, 4, "data") == 0)
            return wav.substr(pos + 8, std::min<size_t>(size, wav.size() - pos - 8));
        pos += 8 + size + (size & 1);
    }
    return {};
}

}  // namespace fixture
