// RIFF/WAVE and FORM/AIFF files built in memory for the reader tests, and a capture of the
// readers' failure lines.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>

#include "engine/SVFile.h"

namespace fixture {

inline std::string le16(uint32_t v) { return {char(v), char(v >> 8)}; }
inline std::string le32(uint32_t v) { return le16(v) + le16(v >> 16); }
inline std::string be16(uint32_t v) { return {char(v >> 8), char(v)}; }
inline std::string be32(uint32_t v) { return be16(v >> 16) + be16(v); }

// Distinct, deterministic sample bytes, so a shifted or reordered read shows.
inline std::string pattern(size_t n, unsigned seed = 1)
{
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 12345;
    for (char &c : s) {
        x = x * 1103515245u + 12345;
        c = char(x >> 16);
    }
    return s;
}

// A chunk whose size field says `declared`; the body is padded to even length.
inline std::string chunkSized(const char *id, uint32_t declared, const std::string &body, bool big)
{
    std::string c = std::string(id, 4) + (big ? be32(declared) : le32(declared)) + body;
    if (body.size() % 2)
        c += '\0';
    return c;
}
inline std::string wavChunk(const char *id, const std::string &body)
{
    return chunkSized(id, uint32_t(body.size()), body, false);
}
inline std::string aiffChunk(const char *id, const std::string &body)
{
    return chunkSized(id, uint32_t(body.size()), body, true);
}

inline std::string wavFile(const std::string &chunks, const char *form = "WAVE")
{
    return "RIFF" + le32(uint32_t(chunks.size() + 4)) + form + chunks;
}

inline std::string fmtBody(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits,
                           uint16_t blockAlign)
{
    return le16(format) + le16(channels) + le32(rate) + le32(rate * blockAlign) +
           le16(blockAlign) + le16(bits);
}
inline std::string fmtChunk(uint16_t channels, uint32_t rate, uint16_t bits)
{
    return wavChunk("fmt ", fmtBody(1, channels, rate, bits, uint16_t(channels * bits / 8)));
}

inline std::string aiffFile(const std::string &chunks, const char *form = "AIFF")
{
    return "FORM" + be32(uint32_t(chunks.size() + 4)) + form + chunks;
}

// 80-bit extended float: sign and exponent word, then the 64-bit mantissa with its
// integer bit on top.
inline std::string ext80(uint16_t exponentWord, uint64_t mantissa)
{
    return be16(exponentWord) + be32(uint32_t(mantissa >> 32)) + be32(uint32_t(mantissa));
}
// A positive rate, normalised the way writers store it.
inline std::string ext80(double rate)
{
    int e = std::ilogb(rate);
    auto mantissa = uint64_t(std::ldexp(rate, 63 - e));
    return ext80(uint16_t(16383 + e), mantissa);
}

inline std::string commBody(uint16_t channels, uint32_t frames, uint16_t bits,
                            const std::string &rate80, const char *compression = nullptr)
{
    std::string b = be16(channels) + be32(frames) + be16(bits) + rate80;
    if (compression)
        b += std::string(compression, 4) + "\x0e" + "not compressed" + '\0';
    return b;
}
inline std::string commChunk(uint16_t channels, uint32_t frames, uint16_t bits, double rate,
                             const char *compression = nullptr)
{
    return aiffChunk("COMM", commBody(channels, frames, bits, ext80(rate), compression));
}
inline std::string ssndChunk(const std::string &samples, uint32_t offset = 0)
{
    return aiffChunk("SSND", be32(offset) + be32(0) + std::string(offset, '\x55') + samples);
}

inline std::string synchsafe(uint32_t v)
{
    return {char((v >> 21) & 0x7F), char((v >> 14) & 0x7F), char((v >> 7) & 0x7F), char(v & 0x7F)};
}
// A version 2.3 tag holding one ISO-8859-1 title frame; exactly header plus frames.
inline std::string id3Title(const std::string &title)
{
    std::string body = std::string(1, '\0') + title;
    std::string frame = "TIT2" + be32(uint32_t(body.size())) + std::string(2, '\0') + body;
    return std::string("ID3\x03\x00\x00", 6) + synchsafe(uint32_t(frame.size())) + frame;
}

// Collects what is written to standard error while it lives.
class StderrCapture {
public:
    StderrCapture()
    {
        fflush(stderr);
        saved_ = dup(2);
        file_ = tmpfile();
        dup2(fileno(file_), 2);
    }
    ~StderrCapture()
    {
        restore();
        fclose(file_);
    }
    // Stops capturing and returns the text with line numbers replaced by N.
    std::string lines()
    {
        restore();
        std::string text;
        rewind(file_);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, file_)) > 0)
            text.append(buf, n);
        return std::regex_replace(text, std::regex(R"(\.cpp:\d+: )"), ".cpp:N: ");
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
    FILE *file_ = nullptr;
};

// The failure line of one condition, line number replaced by N.
inline std::string failed(const char *unit, const std::string &condition)
{
    return std::string("*FAILED* check: ") + unit + ".cpp:N: " + condition + "\n";
}

// Everything SVFileRead gives in requests of `chunk` bytes.
inline std::string readAll(SVFile *f, int32_t chunk = 4096)
{
    std::string out;
    std::string buf(size_t(chunk), '\0');
    int32_t n;
    while ((n = SVFileRead(f, buf.data(), chunk)) > 0)
        out.append(buf.data(), size_t(n));
    return out;
}

}  // namespace fixture
