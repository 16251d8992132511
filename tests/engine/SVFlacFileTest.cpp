// The FLAC reader on files made by libFLAC's encoder and by the flac program: formats,
// comments, pictures, read sizes, sample-accurate seeking and damaged STREAMINFO.
#include <gtest/gtest.h>

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "RiffFixtures.h"
#include "TestSupport.h"
#include "engine/SVFile.h"

using namespace fixture;

namespace {

struct FlacSource {
    unsigned channels = 2;
    unsigned bits = 16;
    unsigned rate = 44100;
    unsigned blockSize = 4096;
    uint64_t frames = 44100;
    std::vector<std::string> comments;
    std::vector<std::pair<FLAC__StreamMetadata_Picture_Type, std::string>> pictures;
};

// Channel 0 is a ramp whose value names its frame (7 is odd, so n -> 7n is one-to-one modulo
// 2^bits); the other channels are noise.
std::vector<FLAC__int32> sourceSamples(const FlacSource &s)
{
    std::vector<FLAC__int32> out(s.frames * s.channels);
    const int64_t range = int64_t(1) << s.bits;
    uint32_t x = 12345;
    for (uint64_t n = 0; n < s.frames; n++) {
        for (unsigned c = 0; c < s.channels; c++) {
            x = x * 1103515245u + 12345;
            int64_t v = c == 0 ? int64_t((n * 7) % uint64_t(range)) : int64_t(x >> 8) % range;
            out[n * s.channels + c] = FLAC__int32(v - range / 2);
        }
    }
    return out;
}

// Interleaved little-endian bytes of the samples, bits / 8 bytes each.
std::string pcmBytes(const std::vector<FLAC__int32> &samples, unsigned bits, size_t from = 0)
{
    std::string out;
    for (size_t i = from; i < samples.size(); i++)
        for (unsigned b = 0; b < bits / 8; b++)
            out += char(samples[i] >> (8 * b));
    return out;
}

void encodeFlac(const std::string &path, const FlacSource &s,
                const std::vector<FLAC__int32> &samples)
{
    FLAC__StreamEncoder *e = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(e, s.channels);
    FLAC__stream_encoder_set_bits_per_sample(e, s.bits);
    FLAC__stream_encoder_set_sample_rate(e, s.rate);
    FLAC__stream_encoder_set_blocksize(e, s.blockSize);
    FLAC__stream_encoder_set_total_samples_estimate(e, s.frames);
    std::vector<FLAC__StreamMetadata *> blocks;
    if (!s.comments.empty()) {
        FLAC__StreamMetadata *vc = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
        for (const std::string &c : s.comments) {
            FLAC__StreamMetadata_VorbisComment_Entry entry;
            entry.length = FLAC__uint32(c.size());
            entry.entry = (FLAC__byte *)c.data();
            FLAC__metadata_object_vorbiscomment_append_comment(vc, entry, true);
        }
        blocks.push_back(vc);
    }
    for (const auto &[type, data] : s.pictures) {
        FLAC__StreamMetadata *pic = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
        pic->data.picture.type = type;
        FLAC__metadata_object_picture_set_mime_type(pic, (char *)"image/png", true);
        FLAC__metadata_object_picture_set_data(pic, (FLAC__byte *)data.data(),
                                               FLAC__uint32(data.size()), true);
        blocks.push_back(pic);
    }
    if (!blocks.empty())
        FLAC__stream_encoder_set_metadata(e, blocks.data(), unsigned(blocks.size()));
    ASSERT_EQ(FLAC__stream_encoder_init_file(e, path.c_str(), nullptr, nullptr),
              FLAC__STREAM_ENCODER_INIT_STATUS_OK);
    ASSERT_TRUE(FLAC__stream_encoder_process_interleaved(e, samples.data(), unsigned(s.frames)));
    ASSERT_TRUE(FLAC__stream_encoder_finish(e));
    FLAC__stream_encoder_delete(e);
    for (FLAC__StreamMetadata *b : blocks)
        FLAC__metadata_object_delete(b);
}

// Byte offsets inside STREAMINFO, which follows "fLaC" and a 4-byte block header.
constexpr size_t kMaxBlockSizeAt = 10;
constexpr size_t kTotalSamplesAt = 21;  // low 4 bits of this byte and the next four bytes

// Raw little-endian samples as the flac program reads and writes them: (bits + 7) / 8 bytes each,
// right-justified.
std::string rawBytes(const std::vector<int64_t> &samples, unsigned bits)
{
    std::string out;
    for (int64_t v : samples)
        for (unsigned b = 0; b < (bits + 7) / 8; b++)
            out += char(v >> (8 * b));
    return out;
}

// Channel 0 counts frames, the others are noise; `wasted` low bits are zero throughout.
std::vector<int64_t> layoutSamples(unsigned channels, unsigned bits, unsigned wasted, uint64_t frames)
{
    std::vector<int64_t> out(frames * channels);
    const unsigned depth = bits - wasted;
    const int64_t range = int64_t(1) << depth;
    uint64_t x = 99991;
    for (uint64_t n = 0; n < frames; n++) {
        for (unsigned c = 0; c < channels; c++) {
            x = x * 6364136223846793005ull + 1442695040888963407ull;
            int64_t v = c == 0 ? int64_t(n % uint64_t(range)) : int64_t(x >> 20) % range;
            out[n * channels + c] = (v - range / 2) * (int64_t(1) << wasted);
        }
    }
    return out;
}

// The usual speaker positions for 1 to 8 channels, which the flac program insists on.
const uint32_t kSpeakers[] = {0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};

// A WAVE_FORMAT_EXTENSIBLE file as the flac program takes any depth from: samples
// left-justified in (bits + 7) / 8 bytes, 8-bit ones unsigned.
std::string extensibleWav(unsigned channels, unsigned bits, unsigned rate, const std::vector<int64_t> &samples)
{
    const unsigned width = (bits + 7) / 8;
    std::string data;
    for (int64_t v : samples) {
        uint32_t u = uint32_t(v) << (width * 8 - bits);
        if (width == 1)
            u += 0x80;
        for (unsigned b = 0; b < width; b++)
            data += char(u >> (8 * b));
    }
    auto le = [](uint32_t v, int n) {
        std::string out;
        for (int i = 0; i < n; i++)
            out += char(v >> (8 * i));
        return out;
    };
    std::string fmt = le(0xFFFE, 2) + le(channels, 2) + le(rate, 4) + le(rate * channels * width, 4) +
                      le(channels * width, 2) + le(width * 8, 2) + le(22, 2) + le(bits, 2) +
                      le(kSpeakers[channels - 1], 4) +
                      std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 16);
    std::string body = "WAVEfmt " + le(uint32_t(fmt.size()), 4) + fmt + "data" + le(uint32_t(data.size()), 4) + data;
    return "RIFF" + le(uint32_t(body.size()), 4) + body;
}

// What the flac program encodes from `input` on its standard input; written to `path`, or
// returned from its standard output when `path` is empty (a pipe: STREAMINFO then lacks the
// length and the MD5).
std::string flacProgramEncode(const std::string &input, const std::string &path,
                              const std::vector<std::string> &options = {})
{
    std::vector<std::string> args = {"flac", "-s", "--lax", "-f"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-o", path.empty() ? "-" : path, "-"});
    ToolResult r = runProgram(args, input);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// libFLAC's own decoding of the file, as raw samples like rawBytes().
std::string libFlacDecode(const std::string &path)
{
    struct Sink {
        std::string raw;
    } sink;
    auto onFrame = [](const FLAC__StreamDecoder *, const FLAC__Frame *frame, const FLAC__int32 *const buffer[],
                      void *client) {
        std::string &raw = static_cast<Sink *>(client)->raw;
        const unsigned width = (frame->header.bits_per_sample + 7) / 8;
        for (unsigned k = 0; k < frame->header.blocksize; k++)
            for (unsigned c = 0; c < frame->header.channels; c++)
                for (unsigned b = 0; b < width; b++)
                    raw += char(buffer[c][k] >> (8 * b));
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    };
    FLAC__StreamDecoder *d = FLAC__stream_decoder_new();
    EXPECT_EQ(FLAC__stream_decoder_init_file(d, path.c_str(), onFrame, nullptr,
                                             [](const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *) {},
                                             &sink),
              FLAC__STREAM_DECODER_INIT_STATUS_OK);
    EXPECT_TRUE(FLAC__stream_decoder_process_until_end_of_stream(d));
    FLAC__stream_decoder_delete(d);
    return sink.raw;
}

// Our container samples moved back down to the stream's depth; every low bit must be zero.
std::string shiftedBack(const std::string &pcm, unsigned bits)
{
    const unsigned width = (bits + 7) / 8;
    const unsigned shift = width * 8 - bits;
    std::string out = pcm;
    size_t lowBitsSet = 0;
    for (size_t i = 0; i + width <= pcm.size(); i += width) {
        uint32_t u = 0;
        for (unsigned b = 0; b < width; b++)
            u |= uint32_t(uint8_t(pcm[i + b])) << (8 * b);
        lowBitsSet += (u & ((1u << shift) - 1)) != 0;
        int64_t v = int64_t(int32_t(u << (32 - width * 8))) >> (32 - width * 8);  // sign-extended
        v >>= shift;
        for (unsigned b = 0; b < width; b++)
            out[i + b] = char(v >> (8 * b));
    }
    EXPECT_EQ(lowBitsSet, 0u) << "samples with low bits set";
    return out;
}

std::string streamInfoMd5(const std::string &path)
{
    FLAC__StreamMetadata info;
    EXPECT_TRUE(FLAC__metadata_get_streaminfo(path.c_str(), &info));
    std::string hex;
    for (FLAC__byte b : info.data.stream_info.md5sum) {
        char two[3];
        snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

TEST(FlacReader, EveryLayoutOfTheFlacProgramDecodesBitExact)
{
    const struct Row {
        const char *name;
        unsigned channels, bits, rate, blockSize, wasted;
        uint64_t frames;
    } rows[] = {
        {"mono 8-bit 8 kHz, blocks of 16", 1, 8, 8000, 16, 0, 1000},
        {"4-bit stereo", 2, 4, 22050, 192, 0, 5000},
        {"12-bit, three channels", 3, 12, 32000, 1152, 0, 9000},
        {"16-bit stereo", 2, 16, 44100, 4096, 0, 20000},
        {"16-bit mono with wasted bits", 1, 16, 44100, 4096, 4, 20000},
        {"20-bit 5.1", 6, 20, 48000, 4608, 0, 20000},
        {"24-bit, four channels, 96 kHz", 4, 24, 96000, 8192, 0, 30000},
        {"24-bit holding 16-bit samples", 2, 24, 48000, 4096, 8, 20000},
        {"32-bit stereo 192 kHz", 2, 32, 192000, 16384, 0, 40000},
        {"7 channels 32-bit", 7, 32, 48000, 1024, 0, 5000},
        {"8 channels 16-bit 384 kHz, blocks of 65535", 8, 16, 384000, 65535, 0, 140000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.file("a.flac");
        const std::vector<int64_t> samples = layoutSamples(row.channels, row.bits, row.wasted, row.frames);
        flacProgramEncode(extensibleWav(row.channels, row.bits, row.rate, samples), path,
                          {"--blocksize=" + std::to_string(row.blockSize)});
        const unsigned container = (row.bits + 7) / 8 * 8;
        const size_t frameBytes = size_t(row.channels) * container / 8;

        StderrCapture err;
        SVFile *f = SVFileOpen(path.c_str());
        ASSERT_NE(f, nullptr) << err.lines();
        EXPECT_EQ(f->num_channels, row.channels);
        EXPECT_EQ(f->bits_per_sample, container);
        EXPECT_EQ(f->sample_rate, row.rate);
        EXPECT_EQ(f->duration, double(float(double(row.frames) / row.rate)));
        const std::string pcm = readAll(f, int32_t(f->block_size) * 2);
        const std::string exact = shiftedBack(pcm, row.bits);
        EXPECT_TRUE(exact == rawBytes(samples, row.bits)) << "read " << pcm.size() << " bytes";
        EXPECT_TRUE(exact == libFlacDecode(path)) << "libFLAC decodes otherwise";
        EXPECT_EQ(md5Hex(exact), streamInfoMd5(path));

        // A seek lands on its frame in every layout.
        const uint64_t target = row.frames * 2 / 3;
        SVFileSeek(f, double(target) / row.rate);
        EXPECT_TRUE(readAll(f, int32_t(f->block_size)) == pcm.substr(target * frameBytes));
        SVFileClose(f);
        EXPECT_EQ(err.lines(), "");
        if (row.bits % 8 != 0) {
            ToolResult tags = runTool({"tags", path});
            EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(tags.out))["bits_per_sample"].toInt(),
                      int(container));
        }
    }
}

// The flac program writing to a pipe cannot go back to STREAMINFO: the length is unknown there.
TEST(FlacReader, StreamFromAPipeKnowsItsLengthSeeksAndPlaysItsLastCueTrack)
{
    TempDir dir;
    const unsigned rate = 8000;
    const uint64_t frames = rate * 6 + 123;
    const std::vector<int64_t> samples = layoutSamples(2, 16, 0, frames);
    const std::string raw = rawBytes(samples, 16);
    writeFile(dir.file("pipe.flac"),
              flacProgramEncode(raw, "", {"--force-raw-format", "--endian=little", "--sign=signed", "--channels=2",
                                          "--bps=16", "--sample-rate=8000"}));
    ASSERT_EQ(readFile(dir.file("pipe.flac"))[kTotalSamplesAt + 4], '\0') << "STREAMINFO has a length";

    SVFile *f = SVFileOpen(dir.file("pipe.flac").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->duration, double(float(double(frames) / rate)));
    const struct {
        const char *name;
        double seconds;
        uint64_t frame;
    } seeks[] = {
        {"inside a frame", 1.5, 12000}, {"the start", 0.0, 0}, {"the last frame", 6.01, 48080},
        {"the end", 6.015375, frames}, {"beyond the end", 60.0, frames}, {"back to a frame start", 0.512, 4096},
    };
    for (const auto &seek : seeks) {
        SCOPED_TRACE(seek.name);
        SVFileSeek(f, seek.seconds);
        EXPECT_DOUBLE_EQ(SVFileTell(f), double(seek.frame) / rate);
        EXPECT_TRUE(readAll(f, int32_t(f->block_size)) == raw.substr(seek.frame * 4));
        EXPECT_DOUBLE_EQ(SVFileTell(f), double(frames) / rate);
    }
    SVFileClose(f);

    // The last cue track plays from its start to the file's end.
    writeFile(dir.file("pipe.cue"), "FILE \"pipe.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                    "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n");
    ToolResult r = runTool({"play", "--output", "wav-fast:" + dir.file("out.wav"), dir.file("pipe.flac") + "#2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string played = wavData(readFile(dir.file("out.wav")));
    EXPECT_TRUE(played == raw.substr(4 * rate * 4)) << played.size() / 4 << " frames";
}

// Offset of the first audio frame: after "fLaC" and the metadata blocks.
size_t audioOffset(const std::string &flac)
{
    size_t pos = 4;
    for (;;) {
        const bool last = uint8_t(flac[pos]) & 0x80;
        pos += 4 + (size_t(uint8_t(flac[pos + 1])) << 16 | size_t(uint8_t(flac[pos + 2])) << 8 | uint8_t(flac[pos + 3]));
        if (last)
            return pos;
    }
}

// Legal FLAC, but not in the format the queue was opened with.
TEST(FlacReader, AFormatChangeMidStreamEndsTheStreamThere)
{
    const struct Row {
        const char *name;
        unsigned channels, bits, rate;
        const char *failure;
    } rows[] = {
        {"sample rate", 2, 16, 48000, "frame->header.sample_rate == f->sample_rate"},
        {"channels", 1, 16, 44100, "frame->header.channels == f->num_channels"},
        {"depth", 2, 24, 44100, "frame->header.bits_per_sample == ff->stream_bits"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        FlacSource a;
        a.frames = 10000;
        std::vector<FLAC__int32> first = sourceSamples(a);
        encodeFlac(dir.file("a.flac"), a, first);
        FlacSource b;
        b.channels = row.channels;
        b.bits = row.bits;
        b.rate = row.rate;
        b.frames = 10000;
        encodeFlac(dir.file("b.flac"), b, sourceSamples(b));
        const std::string later = readFile(dir.file("b.flac"));
        writeFile(dir.file("ab.flac"), readFile(dir.file("a.flac")) + later.substr(audioOffset(later)));

        StderrCapture err;
        SVFile *f = SVFileOpen(dir.file("ab.flac").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(readAll(f, int32_t(f->block_size)) == pcmBytes(first, 16));
        EXPECT_EQ(SVFileRead(f, std::string(f->block_size, '\0').data(), int32_t(f->block_size)), 0);
        SVFileClose(f);
        EXPECT_EQ(err.lines(), failed("SVFlacFile", row.failure));
    }
}

TEST(FlacReader, FilesOfTheFlacProgramReadAsTheirWavData)
{
    const struct Row {
        const char *name;
        unsigned bits;
        unsigned rate;
        const char *level;
    } rows[] = {
        {"16-bit 44.1 kHz, fastest", 16, 44100, "-0"},
        {"16-bit 48 kHz, best", 16, 48000, "-8"},
        {"24-bit 96 kHz, default", 24, 96000, "-5"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        std::string data = pattern(size_t(row.rate) / 2 * 2 * row.bits / 8, row.bits);
        writeFile(dir.file("in.wav"), wavFile(fmtChunk(2, row.rate, uint16_t(row.bits)) +
                                              wavChunk("data", data)));
        ToolResult r = runProgram({"flac", "-s", row.level, "-o", dir.file("in.flac"),
                                   dir.file("in.wav")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        SVFile *f = SVFileOpen(dir.file("in.flac").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(readAll(f, int32_t(f->block_size) * 3) == data);
        SVFileClose(f);
    }
}

// sox makes the WAV, flac the FLAC with its tags and cover; sonavel-tool reads it back.
TEST(FlacReader, ToolReadsFilesOfSoxAndFlac)
{
    struct Row {
        const char *name;
        unsigned bits;
        unsigned rate;
    } rows[] = {
        {"16-bit 44.1 kHz", 16, 44100},
        {"24-bit 96 kHz", 24, 96000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        ToolResult r = runProgram({"sox", "-n", "-r", std::to_string(row.rate), "-b", std::to_string(row.bits), "-c",
                                   "2", "-t", "wavpcm", dir.file("in.wav"), "synth", "2.5", "sine", "440",
                                   "pinknoise", "vol", "0.8"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string cover = "\x89PNG cover bytes" + pattern(500, 7);
        writeFile(dir.file("cover.png"), cover);
        r = runProgram({"flac", "-s", "-T", "TITLE=Sox tone", "-T", "TRACKNUMBER=2/5", "-T", "DATE=2020",
                        "--picture", "3|image/png|front|16x16x24|" + dir.file("cover.png"), "-o", dir.file("in.flac"),
                        dir.file("in.wav")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string data = wavData(readFile(dir.file("in.wav")));
        const size_t frameBytes = row.bits / 8 * 2;
        ASSERT_EQ(data.size(), size_t(row.rate) * 5 / 2 * frameBytes);

        ToolResult pcm = runTool({"pcm", dir.file("in.flac")});
        EXPECT_EQ(pcm.exitCode, 0);
        EXPECT_TRUE(pcm.out == data) << "pcm gave " << pcm.out.size() << " bytes";
        // A small chunk still reads: no read may be asked for less than a maximal frame.
        pcm = runTool({"pcm", dir.file("in.flac"), "--seek", "1.3", "--chunk", "100"});
        EXPECT_EQ(pcm.exitCode, 0);
        const size_t frame = size_t(1.3 / 2.5 * (row.rate * 2.5));
        EXPECT_TRUE(pcm.out == data.substr(frame * frameBytes)) << "pcm --seek gave " << pcm.out.size() << " bytes";

        ToolResult tags = runTool({"tags", dir.file("in.flac")});
        EXPECT_EQ(tags.exitCode, 0);
        const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(tags.out)).object();
        const QJsonObject tag = json["tag"].toObject();
        EXPECT_EQ(tag["title"].toString(), "Sox tone") << tags.out;
        EXPECT_EQ(tag["track"].toInt(), 2);
        EXPECT_EQ(tag["picture_size"].toInt(), int(cover.size()));
        EXPECT_EQ(json["duration"].toDouble(), 2.5);
        EXPECT_EQ(json["bits_per_sample"].toInt(), int(row.bits));
    }
}

TEST(FlacReader, CommentRules)
{
    const std::string cue = "FILE \"a.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    struct Row {
        const char *name;
        std::vector<std::string> comments;
        const char *title;
        const char *artist;
        const char *album;
        const char *genre;
        const char *cuesheet;
        int32_t track;
        int32_t year;
    } rows[] = {
        {"all fields", {"TITLE=t", "ARTIST=a", "ALBUM=b", "GENRE=g", "TRACKNUMBER=4", "YEAR=1999"},
         "t", "a", "b", "g", nullptr, 4, 1999},
        {"first title wins", {"title=A", "TITLE=B"}, "A", nullptr, nullptr, nullptr, nullptr, 0, 0},
        {"last track number wins", {"TRACKNUMBER=2", "tracknumber=9"},
         nullptr, nullptr, nullptr, nullptr, nullptr, 9, 0},
        {"track of a total", {"TRACKNUMBER=3/12"}, nullptr, nullptr, nullptr, nullptr, nullptr, 3, 0},
        {"year with leading blank and a date", {"YEAR= 2004-05-06"},
         nullptr, nullptr, nullptr, nullptr, nullptr, 0, 2004},
        {"no number", {"TRACKNUMBER=x1"}, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0},
        {"embedded cue sheet", {"CUESHEET=" + cue}, nullptr, nullptr, nullptr, nullptr,
         cue.c_str(), 0, 0},
        {"names must match whole", {"TITLES=x", "TIT=y", "DATES=2001"},
         nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0},
        {"date gives the year", {"DATE=2001-02-03"}, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 2001},
        {"year before date", {"YEAR=1999", "DATE=2001"}, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 1999},
        {"year after date", {"DATE=2001", "YEAR=1999"}, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 1999},
        {"entry without equals sign is skipped", {"TITLE", "TITLE=later"},
         "later", nullptr, nullptr, nullptr, nullptr, 0, 0},
        {"empty value is a value", {"ARTIST=", "ARTIST=second"}, nullptr, "", nullptr, nullptr,
         nullptr, 0, 0},
        {"UTF-8 kept as it is", {"ALBUM=Caf\xc3\xa9"}, nullptr, nullptr, "Caf\xc3\xa9", nullptr,
         nullptr, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        FlacSource s;
        s.frames = 4096;
        s.comments = row.comments;
        encodeFlac(dir.file("a.flac"), s, sourceSamples(s));
        SVFile *f = SVFileOpen(dir.file("a.flac").c_str());
        ASSERT_NE(f, nullptr);
        auto text = [](const char *v) { return std::string(v ? v : "(null)"); };
        EXPECT_EQ(text(f->tag.title), text(row.title));
        EXPECT_EQ(text(f->tag.artist), text(row.artist));
        EXPECT_EQ(text(f->tag.album), text(row.album));
        EXPECT_EQ(text(f->tag.genre), text(row.genre));
        EXPECT_EQ(text(f->tag.cuesheet), text(row.cuesheet));
        EXPECT_EQ(f->tag.track, row.track);
        EXPECT_EQ(f->tag.year, row.year);
        EXPECT_EQ(f->tag.comment, nullptr);
        SVFileClose(f);
    }
}

TEST(FlacReader, OnlyAFrontCoverBecomesThePicture)
{
    const std::string front = "\x89PNG front" + pattern(300, 3);
    const std::string later = "\x89PNG later" + pattern(100, 4);
    const std::string back = "\x89PNG back" + pattern(200, 5);
    struct Row {
        const char *name;
        std::vector<std::pair<FLAC__StreamMetadata_Picture_Type, std::string>> pictures;
        std::string expected;
    } rows[] = {
        {"front cover", {{FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER, front}}, front},
        {"back cover only", {{FLAC__STREAM_METADATA_PICTURE_TYPE_BACK_COVER, back}}, ""},
        {"back then front", {{FLAC__STREAM_METADATA_PICTURE_TYPE_BACK_COVER, back},
                             {FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER, front}}, front},
        {"a later front cover replaces", {{FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER, front},
                                          {FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER, later}},
         later},
        {"file icon", {{FLAC__STREAM_METADATA_PICTURE_TYPE_OTHER, front}}, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        FlacSource s;
        s.frames = 4096;
        s.pictures = row.pictures;
        encodeFlac(dir.file("a.flac"), s, sourceSamples(s));
        SVFile *f = SVFileOpen(dir.file("a.flac").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(f->tag.picture), size_t(f->tag.picture_size)),
                  row.expected);
        EXPECT_EQ(f->tag.picture == nullptr, row.expected.empty());
        SVFileClose(f);
    }
}

TEST(FlacReader, ReadsWholeFramesThatFit)
{
    TempDir dir;
    FlacSource s;
    std::vector<FLAC__int32> samples = sourceSamples(s);
    encodeFlac(dir.file("a.flac"), s, samples);
    const std::string pcm = pcmBytes(samples, 16);
    SVFile *f = SVFileOpen(dir.file("a.flac").c_str());
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->block_size, 32768u);

    std::string buf(65536, '\0');
    // Less than one maximal frame of room: nothing is decoded.
    EXPECT_EQ(SVFileRead(f, buf.data(), 32767), 0);
    EXPECT_EQ(SVFileTell(f), 0.0);
    // Three frames of 16,384 bytes leave 16,384 bytes, less than a maximal frame.
    ASSERT_EQ(SVFileRead(f, buf.data(), 65536), 49152);
    EXPECT_TRUE(buf.substr(0, 49152) == pcm.substr(0, 49152));
    SVFileClose(f);

    // However the stream is cut into reads, it comes out whole and in order.
    for (int32_t chunk : {32768, 40000, 100000, 1 << 20}) {
        SCOPED_TRACE(chunk);
        f = SVFileOpen(dir.file("a.flac").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(readAll(f, chunk) == pcm);
        SVFileClose(f);
    }
}

TEST(FlacReader, SeekThenReadStartsAtTheTargetFrame)
{
    struct Row {
        const char *name;
        unsigned bits;
        double seconds;
        uint64_t frame;  // where the target lies: duration 4 s, 176,400 frames
    } rows[] = {
        {"start", 16, 0.0, 0},
        {"inside the first frame", 16, 0.0625, 2756},
        {"inside a later frame", 16, 1.5, 66150},
        {"24-bit inside a frame", 24, 2.75, 121275},
        {"last frame", 16, 3.9990022675736962, 176356},
        {"to the nearest frame", 16, 1.00002, 44101},
        {"before the start", 16, -3.0, 0},
        {"the end", 16, 4.0, 176400},
        {"beyond the end", 24, 100.0, 176400},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        FlacSource s;
        s.bits = row.bits;
        s.frames = 176400;
        std::vector<FLAC__int32> samples = sourceSamples(s);
        encodeFlac(dir.file("a.flac"), s, samples);
        SVFile *f = SVFileOpen(dir.file("a.flac").c_str());
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(f->duration, 4.0);
        // Read a little first, so the seek leaves a decoder in mid-stream.
        std::string buf(65536, '\0');
        ASSERT_GT(SVFileRead(f, buf.data(), 65536), 0);

        SVFileSeek(f, row.seconds);
        EXPECT_NEAR(SVFileTell(f), double(row.frame) / 44100, 1e-6);
        std::string rest = readAll(f, 65536);
        EXPECT_TRUE(rest == pcmBytes(samples, row.bits, row.frame * 2))
            << "read " << rest.size() << " bytes after the seek";
        // The end is a place to come back from.
        SVFileSeek(f, 0.0);
        EXPECT_TRUE(readAll(f, 65536) == pcmBytes(samples, row.bits));
        SVFileClose(f);
    }
}

TEST(FlacReader, DamagedStreamInfoStillPlaysEverything)
{
    struct Row {
        const char *name;
        void (*patch)(std::string &bytes);
        uint32_t blockSize;
        double duration;
    } rows[] = {
        {"unknown total length: the last frame tells",
         [](std::string &b) {
             b[kTotalSamplesAt] = char(b[kTotalSamplesAt] & 0xF0);
             for (size_t i = 1; i <= 4; i++)
                 b[kTotalSamplesAt + i] = 0;
         },
         32768, 1.0},
        {"zero maximum block size",
         [](std::string &b) { b[kMaxBlockSizeAt] = b[kMaxBlockSizeAt + 1] = 0; },
         65535 * 8, 1.0},
        {"frames larger than the stated maximum",
         [](std::string &b) {
             b[kMaxBlockSizeAt] = 0x04;  // 1,024 while the frames hold 4,096
             b[kMaxBlockSizeAt + 1] = 0;
         },
         1024 * 8, 1.0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        FlacSource s;
        std::vector<FLAC__int32> samples = sourceSamples(s);
        encodeFlac(dir.file("a.flac"), s, samples);
        std::string bytes = readFile(dir.file("a.flac"));
        row.patch(bytes);
        writeFile(dir.file("a.flac"), bytes);

        SVFile *f = SVFileOpen(dir.file("a.flac").c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->block_size, row.blockSize);
        EXPECT_EQ(f->duration, row.duration);
        EXPECT_TRUE(readAll(f, int32_t(f->block_size) * 2) == pcmBytes(samples, 16));
        EXPECT_NEAR(SVFileTell(f), 1.0, 1e-6);
        SVFileSeek(f, 0.0);
        EXPECT_TRUE(readAll(f, int32_t(f->block_size) * 2) == pcmBytes(samples, 16));
        SVFileClose(f);
    }
}

TEST(FlacReader, BrokenFilesFailOrEndWithoutHanging)
{
    TempDir dir;
    FlacSource s;
    std::vector<FLAC__int32> samples = sourceSamples(s);
    encodeFlac(dir.file("good.flac"), s, samples);
    const std::string good = readFile(dir.file("good.flac"));
    const std::string pcm = pcmBytes(samples, 16);

    struct Row {
        const char *name;
        std::string bytes;
        const char *failure;   // null: opens
    } rows[] = {
        {"empty file", "", "FLAC__stream_decoder_process_until_end_of_metadata(ff->decoder)"},
        {"not FLAC", wavFile(fmtChunk(2, 44100, 16) + wavChunk("data", pattern(400))),
         "FLAC__stream_decoder_process_until_end_of_metadata(ff->decoder)"},
        {"cut inside the audio", good.substr(0, good.size() / 2), nullptr},
        {"garbage in the middle of the audio",
         good.substr(0, good.size() / 2) + pattern(5000, 9) + good.substr(good.size() / 2 + 5000),
         nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(dir.file("bad.flac"), row.bytes);
        StderrCapture err;
        SVFile *f = SVFileOpen(dir.file("bad.flac").c_str());
        if (row.failure) {
            EXPECT_EQ(f, nullptr);
            EXPECT_EQ(err.lines(), failed("SVFlacFile", row.failure));
            continue;
        }
        ASSERT_NE(f, nullptr);
        std::string out = readAll(f, 65536);
        // The frames before the damage come out; libFLAC drops or silences damaged ones.
        EXPECT_LE(out.size(), pcm.size());
        EXPECT_FALSE(out == pcm);
        EXPECT_TRUE(out.substr(0, 4096 * 4) == pcm.substr(0, 4096 * 4));
        SVFileClose(f);
    }
    StderrCapture err;
    EXPECT_EQ(SVFileOpen(dir.file("missing.flac").c_str()), nullptr);
    EXPECT_EQ(err.lines(), failed("SVFlacFile", "ff->fp != NULL"));
}

}  // namespace
