// The APE reader over the FFmpeg-backed decompressor: real-world samples against their
// reference PCM checksums, files made by the jmac encoder against their source PCM,
// seeking, read sizes, broken files and the path conversion.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "CodecFixtures.h"
#include "RiffFixtures.h"
#include "TestSupport.h"
#include "engine/SVFile.h"
#include "platform/ApeDecompress.h"

using namespace fixture;

namespace {

std::string sample(const char *name) { return testDataPath(std::string("ape/") + name); }

bool haveSamples() { return access(sample("seek.ape").c_str(), R_OK) == 0; }

bool haveJmac() { return access("/usr/share/java/jmac.jar", R_OK) == 0 && runProgram({"java", "-version"}).exitCode == 0; }

// A plain PCM WAV of tones and noise made by sox, then its APE made by jmac at `level` (1-5).
// Returns the WAV's sample data, or "" when a tool failed.
std::string jmacFixture(const TempDir &dir, unsigned bits, unsigned channels, double seconds, int level)
{
    ToolResult r = runProgram({"sox", "-n", "-r", "44100", "-b", std::to_string(bits), "-c", std::to_string(channels),
                               "-t", "wavpcm", dir.file("in.wav"), "synth", std::to_string(seconds), "sine", "300",
                               "brownnoise", "vol", "0.7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = runProgram({"java", "-jar", "/usr/share/java/jmac.jar", "c" + std::to_string(level), dir.file("in.wav"),
                    dir.file("in.ape")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    if (access(dir.file("in.ape").c_str(), R_OK) != 0)
        return "";
    return wavData(readFile(dir.file("in.wav")));
}

TEST(ApeReader, SamplesMatchTheirReferenceChecksums)
{
    if (!haveSamples())
        GTEST_SKIP() << "no Monkey's Audio samples in the shared test data";
    struct Row {
        const char *file;
        uint32_t rate, bits, channels;
        double duration;  // whole milliseconds in 32-bit float
        size_t bytes;
        const char *md5;
    } rows[] = {
        {"v394.ape", 44100, 16, 2, 7.645f, 1348720, "b0954b7a4dcffd524f507c8d54a77c73"},
        {"mac-399-id3v2.ape", 44100, 16, 2, 3.55f, 626224, "cfe3d9dabadeab2cbf2ca235274b7f76"},
        {"mac-399-tagged.ape", 44100, 16, 2, 3.55f, 626224, "cfe3d9dabadeab2cbf2ca235274b7f76"},
        {"noise-c1000-s16.ape", 44100, 16, 2, 0.136f, 24000, "1469430181ae7f17bafabd3ec668c088"},
        {"noise-c4000-s24.ape", 48000, 24, 2, 0.125f, 36000, "d41ec4014931a29e0b101a120c6322c5"},
        {"noise-c5000-s8.ape", 22050, 8, 1, 0.272f, 6000, "861a91c849b1233b014a5055684a61e1"},
        {"seek.ape", 44100, 16, 1, 3.457f, 304912, "1ebc4dd435d4f12fefedacb86bf7af25"},
        {"tagged.ape", 44100, 16, 2, 0.181f, 32000, "5c710f8a8a333137e11912491e558012"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        SVFile *f = SVFileOpen(sample(row.file).c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->type, SVFileTypeApe);
        EXPECT_EQ(f->sample_rate, row.rate);
        EXPECT_EQ(f->bits_per_sample, row.bits);
        EXPECT_EQ(f->num_channels, row.channels);
        EXPECT_EQ(f->block_size, row.bits / 8 * row.channels);
        EXPECT_EQ(f->big_endian, 0);
        EXPECT_EQ(f->duration, row.duration);
        // APE and ID3 tags are not read.
        EXPECT_TRUE(SVTagIsEmpty(&f->tag));
        std::string pcm = readAll(f, 65536);
        EXPECT_EQ(pcm.size(), row.bytes);
        EXPECT_EQ(md5Hex(pcm), row.md5);
        SVFileClose(f);

        ToolResult r = runTool({"pcm", sample(row.file)});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(md5Hex(r.out), row.md5);
    }
}

// seek.ape's sample n is ((7n) mod 65536) - 32768.
int16_t rampSample(uint64_t n) { return int16_t(int32_t((7 * n) % 65536) - 32768); }

TEST(ApeReader, SeekLandsOnTheComputedBlock)
{
    if (!haveSamples())
        GTEST_SKIP() << "no Monkey's Audio samples in the shared test data";
    SVFile *f = SVFileOpen(sample("seek.ape").c_str());
    ASSERT_NE(f, nullptr);
    const double duration = f->duration;
    const uint64_t total = uint64_t(duration * 44100);  // 152453 of the stream's 152456 blocks
    struct Row {
        const char *name;
        double seconds;
    } rows[] = {
        {"start", 0.0},
        {"inside the first frame", 0.5},
        {"just before a frame boundary", 73727.0 / 44100 * duration / (double(total) / 44100)},
        {"inside the second frame", 2.0},
        {"inside the last frame", 3.4},
        {"the end", duration},
        {"beyond the end", 99.0},
        {"before the start", -1.0},
    };
    std::string buf(4000, '\0');
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        // Read into the middle of a frame first, so the seek leaves a decoder mid-stream.
        SVFileSeek(f, 1.0);
        ASSERT_EQ(SVFileRead(f, buf.data(), 4000), 4000);
        SVFileSeek(f, row.seconds);
        double t = row.seconds < 0 ? 0 : row.seconds > duration ? duration : row.seconds;
        uint64_t block = uint64_t(t / duration * double(total));
        EXPECT_DOUBLE_EQ(SVFileTell(f), double(block) / double(total) * duration);
        std::string rest = readAll(f, 4096);
        ASSERT_EQ(rest.size(), (152456 - block) * 2);
        bool same = true;
        for (uint64_t k = 0; k < 152456 - block && same; k++)
            same = sample16(rest, k) == rampSample(block + k);
        EXPECT_TRUE(same);
    }
    SVFileClose(f);
}

TEST(ApeReader, ReadsAreWholeBlocks)
{
    if (!haveSamples())
        GTEST_SKIP() << "no Monkey's Audio samples in the shared test data";
    SVFile *f = SVFileOpen(sample("mac-399-tagged.ape").c_str());
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->block_size, 4u);
    std::string buf(65536, '\0');
    EXPECT_EQ(SVFileRead(f, buf.data(), 65536), 65536);  // 16,384 blocks
    EXPECT_EQ(SVFileRead(f, buf.data(), 65535), 65532);  // rounded down to whole blocks
    EXPECT_EQ(SVFileRead(f, buf.data(), 3), 0);
    EXPECT_NEAR(SVFileTell(f), 32767.0 / 44100, 1e-4);
    // To the end: the full request until the last, short one, then 0.
    int32_t n;
    size_t total = 65536 + 65532;
    while ((n = SVFileRead(f, buf.data(), 65536)) == 65536)
        total += 65536;
    total += size_t(n);
    EXPECT_EQ(total, 626224u);
    EXPECT_EQ(SVFileRead(f, buf.data(), 65536), 0);
    SVFileClose(f);
}

TEST(ApeReader, FilesOfTheJmacEncoderReadAsTheirWavData)
{
    if (!haveJmac())
        GTEST_SKIP() << "no java or jmac encoder";
    struct Row {
        const char *name;
        unsigned bits, channels;
        double seconds;
        int level;
    } rows[] = {
        {"16-bit stereo over three frames, normal", 16, 2, 4.0, 2},
        {"16-bit mono, fast", 16, 1, 0.5, 1},
        {"8-bit mono, insane", 8, 1, 0.5, 5},
        {"24-bit stereo, extra high", 24, 2, 0.5, 4},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string data = jmacFixture(dir, row.bits, row.channels, row.seconds, row.level);
        ASSERT_FALSE(data.empty());
        SVFile *f = SVFileOpen(dir.file("in.ape").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->bits_per_sample, row.bits);
        EXPECT_EQ(f->num_channels, row.channels);
        EXPECT_TRUE(readAll(f, 65536) == data);
        if (row.seconds >= 4.0) {
            // Seeks across frame boundaries land on the computed block.
            const uint32_t b = f->block_size;
            const double total = double(uint64_t(f->duration * 44100));
            for (double seconds : {1.0, 1.75, 3.3, 0.2}) {
                SCOPED_TRACE(seconds);
                SVFileSeek(f, seconds);
                uint64_t block = uint64_t(seconds / f->duration * total);
                EXPECT_TRUE(readAll(f, 8192) == data.substr(block * b)) << "after seeking to " << seconds;
            }
        }
        SVFileClose(f);
    }
}

TEST(ApeReader, BrokenFilesFailToOpen)
{
    TempDir dir;
    struct Row {
        const char *name;
        std::string path;
        bool opens;
    } rows[] = {
        {"missing", dir.file("missing.ape"), false},
        {"empty", dir.file("empty.ape"), false},
        {"a WAV file", dir.file("wav.ape"), false},
        {"fuzzed header", sample("longloop.ape"), false},
    };
    writeFile(dir.file("empty.ape"), "");
    writeFile(dir.file("wav.ape"), wavFile(fmtChunk(2, 44100, 16) + wavChunk("data", pattern(4000))));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.path.find("/ape/") != std::string::npos && !haveSamples())
            continue;
        StderrCapture err;
        SVFile *f = SVFileOpen(row.path.c_str());
        if (!row.opens) {
            EXPECT_EQ(f, nullptr);
            EXPECT_EQ(err.lines(), failed("SVApeFile", "af->decoder != 0"));
            continue;
        }
        ASSERT_NE(f, nullptr);
        SVFileClose(f);
    }

    // mac-396.ape is cut after its first frame's header, which codes 3.7 s of digital silence
    // with a matching checksum: it is whole.
    if (haveSamples()) {
        SVFile *f = SVFileOpen(sample("mac-396.ape").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(readAll(f, 65536) == std::string(162496 * 4, '\0'));
        SVFileClose(f);
    }
}

TEST(ApeReader, ADamagedFrameIsNeverHeard)
{
    if (!haveJmac())
        GTEST_SKIP() << "no java or jmac encoder";
    TempDir dir;
    const std::string data = jmacFixture(dir, 16, 2, 4.0, 2);
    ASSERT_FALSE(data.empty());
    std::string ape = readFile(dir.file("in.ape"));
    for (size_t i = ape.size() / 2; i < ape.size() / 2 + 64; i++)
        ape[i] = char(ape[i] ^ 0x5A);
    writeFile(dir.file("bad.ape"), ape);
    SVFile *f = SVFileOpen(dir.file("bad.ape").c_str());
    ASSERT_NE(f, nullptr);
    std::string out = readAll(f, 65536);
    // Whole frames of 73,728 blocks before the damaged one, and nothing of it.
    EXPECT_LT(out.size(), data.size());
    EXPECT_EQ(out.size() % (73728 * 4), 0u);
    EXPECT_TRUE(out == data.substr(0, out.size()));
    // The frames after it are still reachable by seeking.
    SVFileSeek(f, 3.9);
    std::string tail = readAll(f, 65536);
    EXPECT_FALSE(tail.empty());
    EXPECT_TRUE(tail == data.substr(data.size() - tail.size()));
    SVFileClose(f);
}

TEST(ApeReader, PathConversionKeepsEveryByte)
{
    struct Row {
        const char *name;
        std::string utf8;
        std::u16string utf16;
    } rows[] = {
        {"ASCII", "/music/a.ape", u"/music/a.ape"},
        {"accents", "/m/Caf\xc3\xa9.ape", u"/m/Caf\u00e9.ape"},
        {"CJK", "/m/\xe6\x97\xa5\xe6\x9c\xac.ape", u"/m/\u65e5\u672c.ape"},
        {"outside the BMP", "/m/\xf0\x9f\x8e\xb5.ape", u"/m/\U0001F3B5.ape"},
        {"Latin-1 byte that is not UTF-8", "/m/\xe9t\xe9.ape", u"/m/\xdce9t\xdce9.ape"},
        {"overlong encoding", "/m/\xc0\xaf", u"/m/\xdcc0\xdcaf"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        str_utfn *wide = CAPECharacterHelper::GetUTF16FromUTF8(row.utf8.c_str());
        EXPECT_TRUE(std::u16string(wide) == row.utf16);
        char *back = CAPECharacterHelper::GetUTF8FromUTF16(wide);
        EXPECT_EQ(std::string(back), row.utf8);
        delete[] wide;
        delete[] back;
    }

    if (!haveSamples())
        return;
    // A file whose name is not UTF-8 still opens.
    TempDir dir;
    const std::string odd = dir.file("\xe9t\xe9 \xe6\x97\xa5.ape");
    writeFile(odd, readFile(sample("tagged.ape")));
    SVFile *f = SVFileOpen(odd.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(md5Hex(readAll(f, 65536)), "5c710f8a8a333137e11912491e558012");
    SVFileClose(f);
}

}  // namespace
