// The platform reader over the audio-file service, on MP3 and M4A files made by ffmpeg's
// encoders: tags from ID3 or the info dictionary, packets, seeking, and the packets decoded
// by the packet decoder against ffmpeg's own decoding.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "RiffFixtures.h"
#include "TestSupport.h"
#include "engine/SVCoreAudioFile.h"
#include "engine/SVFile.h"
#include "platform/AudioFileService.h"
#include "platform/PacketDecoder.h"

using namespace fixture;

namespace {

constexpr int64_t kFrames = 66150;  // 1.5 s at 44.1 kHz

struct Encoded {
    const char *name;
    const char *file;
    std::vector<std::string> codec;
    int64_t framesPerPacket;
    int seekTolerance;
};

const Encoded kMp3 = {"MP3", "a.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 1152, 1};
const Encoded kM4a = {"M4A", "a.m4a", {"-c:a", "aac", "-b:a", "128k"}, 1024, 64};

// Encodes the tone in `dir` with `extra` arguments (metadata, tag options) before the output.
std::string encode(const TempDir &dir, const Encoded &e, const std::vector<std::string> &extra = {})
{
    if (!toneWav(dir.file("src.wav"), 1.5))
        return "";
    std::vector<std::string> args = {"-i", dir.file("src.wav")};
    args.insert(args.end(), e.codec.begin(), e.codec.end());
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(dir.file(e.file));
    return ffmpeg(args) ? dir.file(e.file) : "";
}

// Reads every packet from the current position and decodes it as the output queue would:
// the file's description and cookie, its trim, buffers of `chunk` bytes.
std::string decodeRest(SVFile *f, int32_t chunk = 65536)
{
    const AudioStreamBasicDescription *format = SVCoreAudioFileFormat(f);
    std::vector<uint8_t> cookie = SVCoreAudioFileMagicCookie(f);
    SVPacketDecoder *decoder = SVPacketDecoderCreate(format, cookie.data(), uint32_t(cookie.size()));
    EXPECT_NE(decoder, nullptr);
    if (!decoder)
        return "";
    int64_t skip = 0, keep = -1;
    SVCoreAudioFileTrim(f, &skip, &keep);
    SVPacketDecoderSetTrim(decoder, skip, keep);
    std::vector<uint8_t> pcm;
    std::string buffer(size_t(chunk), '\0');
    AudioStreamPacketDescription *descriptions = nullptr;
    uint32_t packets = 0;
    int32_t n;
    while ((n = SVCoreAudioFileRead(f, buffer.data(), chunk, &descriptions, &packets)) > 0) {
        EXPECT_NE(descriptions, nullptr);
        EXPECT_GT(packets, 0u);
        EXPECT_TRUE(SVPacketDecoderDecode(decoder, buffer.data(), uint32_t(n), descriptions, packets, pcm));
        free(descriptions);
    }
    EXPECT_EQ(packets, 0u);
    EXPECT_EQ(descriptions, nullptr);
    SVPacketDecoderDrain(decoder, pcm);
    SVPacketDecoderFree(decoder);
    return std::string(pcm.begin(), pcm.end());
}

std::string text(const char *v) { return v ? v : "(null)"; }

// ffmpeg writes an ID3v1 tag only together with an ID3v2 one; this drops the ID3v2 tag.
void stripId3v2(const std::string &path)
{
    std::string bytes = readFile(path);
    ASSERT_EQ(bytes.compare(0, 3, "ID3"), 0);
    size_t size = 10 + (size_t(bytes[6] & 0x7F) << 21 | size_t(bytes[7] & 0x7F) << 14 |
                        size_t(bytes[8] & 0x7F) << 7 | size_t(bytes[9] & 0x7F));
    writeFile(path, bytes.substr(size));
}

TEST(CoreAudioReader, FormatAndDurationOfMp3AndM4a)
{
    for (const Encoded &e : {kMp3, kM4a}) {
        SCOPED_TRACE(e.name);
        TempDir dir;
        std::string path = encode(dir, e);
        ASSERT_FALSE(path.empty());
        SVFile *f = SVFileOpen(path.c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->type, SVFileTypeCoreAudio);
        EXPECT_EQ(f->num_channels, 2u);
        EXPECT_EQ(f->sample_rate, 44100u);
        EXPECT_EQ(f->bits_per_sample, 0u);
        EXPECT_EQ(f->big_endian, 0);
        EXPECT_GT(f->block_size, 100u);
        EXPECT_LT(f->block_size, 4000u);
        // The encoder's priming and padding are not part of the length.
        EXPECT_DOUBLE_EQ(f->duration, 1.5);
        const AudioStreamBasicDescription *d = SVCoreAudioFileFormat(f);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->mFormatID, e.framesPerPacket == 1152 ? kAudioFormatMPEGLayer3 : kAudioFormatMPEG4AAC);
        EXPECT_EQ(d->mFramesPerPacket, uint32_t(e.framesPerPacket));
        EXPECT_EQ(d->mBytesPerPacket, 0u);
        // AAC needs its AudioSpecificConfig; MP3 has no cookie.
        EXPECT_EQ(SVCoreAudioFileMagicCookie(f).empty(), e.framesPerPacket == 1152);
        // The platform reader has no PCM read.
        std::string buf(65536, '\0');
        EXPECT_EQ(SVFileRead(f, buf.data(), 65536), 0);
        SVFileClose(f);
    }
}

// Opening reads the format and length from the container or the first frame; the packets are
// read, and the exact length known, only when packets are asked for.
TEST(CoreAudioReader, OpeningReadsNoPacketsYetKnowsTheLength)
{
    const struct Row {
        const char *name;
        Encoded format;
        bool exact;  // the header holds the frame count
    } rows[] = {
        {"MP3 with an Info header", kMp3, true},
        {"MP3 VBR", {"MP3 VBR", "a.mp3", {"-c:a", "libmp3lame", "-q:a", "4"}, 1152, 1}, true},
        {"MPEG-2 MP3, 22.05 kHz mono",
         {"MP3 22 kHz", "a.mp3", {"-c:a", "libmp3lame", "-ar", "22050", "-ac", "1", "-b:a", "32k"}, 576, 1}, true},
        {"MP3 without a Xing header: its bit rate",
         {"MP3 CBR", "a.mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"}, 1152, 1}, false},
        {"M4A AAC", kM4a, true},
        {"M4A ALAC", {"ALAC", "a.m4a", {"-c:a", "alac"}, 0, 0}, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = encode(dir, row.format);
        ASSERT_FALSE(path.empty());
        const uint64_t before = AudioFileServicePacketsRead();
        SVFile *f = SVFileOpen(path.c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(AudioFileServicePacketsRead(), before);
        const double opened = f->duration;
        int64_t skip = 0, keep = -1;
        SVCoreAudioFileTrim(f, &skip, &keep);
        EXPECT_GT(AudioFileServicePacketsRead(), before);
        if (row.exact) {
            EXPECT_DOUBLE_EQ(opened * f->sample_rate, double(keep));
        } else {
            EXPECT_NEAR(opened * f->sample_rate, double(keep), 1152.0);
        }
        if (row.format.framesPerPacket == 0) {
            EXPECT_TRUE(decodeRest(f) == wavData(readFile(dir.file("src.wav")))) << "ALAC is lossless";
        }
        SVFileClose(f);
    }
}

// WavPack is lossless: the platform reader decodes it to the PCM it stores, which reads, seeks
// and joins like any PCM file.
TEST(CoreAudioReader, WavPackReadsAsItsPcm)
{
    const struct Row {
        const char *name;
        const char *source;  // ffmpeg's PCM codec for the WAV, or "u8" for an 8-bit WAV by sox
        int channels;
        unsigned bits;
        bool byWavPack;      // the wavpack program, else ffmpeg's encoder
    } rows[] = {
        {"16-bit stereo by ffmpeg", "pcm_s16le", 2, 16, false},
        {"32-bit stereo by ffmpeg", "pcm_s32le", 2, 32, false},
        {"5.1 by ffmpeg", "pcm_s16le", 6, 16, false},
        {"24-bit stereo by wavpack", "pcm_s24le", 2, 24, true},
        {"8-bit mono by wavpack", "u8", 1, 8, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string wav = dir.file("src.wav"), wv = dir.file("a.wv");
        if (strcmp(row.source, "u8") == 0) {
            ASSERT_EQ(runProgram({"sox", "-n", "-r", "8000", "-b", "8", "-c", "1", wav, "synth", "1.5", "sine", "300",
                                  "pinknoise", "vol", "0.5"}).exitCode, 0);
        } else {
            ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "anoisesrc=d=1.5:c=pink:r=44100:a=0.3", "-ac",
                                std::to_string(row.channels), "-c:a", row.source, wav}));
        }
        if (row.byWavPack) {
            ToolResult r = runProgram({"wavpack", "-q", "-y", wav, "-o", wv});
            ASSERT_EQ(r.exitCode, 0) << r.err;
        } else {
            ASSERT_TRUE(ffmpeg({"-i", wav, "-c:a", "wavpack", "-metadata", "title=Packed", wv}));
        }
        const std::string stored = wavData(readFile(wav));
        std::string pcm = stored;
        if (row.bits == 8) {
            for (char &c : pcm)
                c = char(c ^ 0x80);  // WAV stores 8-bit samples unsigned; PCM readers hand them signed
        }
        SVFile *f = SVFileOpen(wv.c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->type, SVFileTypeCoreAudioPcm);
        EXPECT_EQ(f->num_channels, unsigned(row.channels));
        EXPECT_EQ(f->bits_per_sample, row.bits);
        EXPECT_EQ(f->duration, 1.5);
        EXPECT_EQ(text(f->tag.title), row.byWavPack ? "(null)" : "Packed");
        EXPECT_TRUE(readAll(f, 65536) == pcm) << "read differs";
        const size_t frameBytes = size_t(row.channels) * row.bits / 8;
        const size_t target = stored.size() / frameBytes * 2 / 3;
        SVFileSeek(f, double(target) / f->sample_rate);
        EXPECT_DOUBLE_EQ(SVFileTell(f), double(target) / f->sample_rate);
        EXPECT_TRUE(readAll(f, 5000) == pcm.substr(target * frameBytes)) << "read after the seek differs";
        SVFileClose(f);

        // Through the player, twice in a row: one gapless stream of the stored samples.
        ToolResult r = runTool({"render", "--output", "wav-fast:" + dir.file("out.wav"), wv, wv});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(wavData(readFile(dir.file("out.wav"))) == stored + stored) << "played otherwise";
    }
}

TEST(CoreAudioReader, TagsFromId3OrTheInfoDictionary)
{
    struct Row {
        const char *name;
        const Encoded &format;
        std::vector<std::string> options;
        const char *title, *artist, *album, *comment, *genre;
        int32_t track, year;
        bool v1Only = false;
    } rows[] = {
        {"MP3 with ID3v2",
         kMp3,
         {"-id3v2_version", "3", "-metadata", "title=T2", "-metadata", "artist=A2", "-metadata", "album=B2",
          "-metadata", "genre=Jazz", "-metadata", "track=4/9", "-metadata", "date=1998"},
         "T2", "A2", "B2", nullptr, "Jazz", 4, 1998},
        {"MP3 with ID3v1 only",
         kMp3,
         {"-write_id3v1", "1", "-metadata", "title=T1", "-metadata", "artist=A1",
          "-metadata", "album=B1", "-metadata", "track=7", "-metadata", "date=2003"},
         "T1", "A1", "B1", nullptr, nullptr, 7, 2003, true},
        {"M4A from the info dictionary",
         kM4a,
         {"-metadata", "title=Tm", "-metadata", "artist=Am", "-metadata", "album=Bm", "-metadata",
          "comment=Cm", "-metadata", "genre=Rock", "-metadata", "track=3/12", "-metadata", "date=2001"},
         "Tm", "Am", "Bm", "Cm", "Rock", 3, 2001},
        {"M4A without tags", kM4a, {}, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        std::string path = encode(dir, row.format, row.options);
        ASSERT_FALSE(path.empty());
        if (row.v1Only)
            stripId3v2(path);
        SVFile *f = SVFileOpen(path.c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(text(f->tag.title), text(row.title));
        EXPECT_EQ(text(f->tag.artist), text(row.artist));
        EXPECT_EQ(text(f->tag.album), text(row.album));
        EXPECT_EQ(text(f->tag.comment), text(row.comment));
        EXPECT_EQ(text(f->tag.genre), text(row.genre));
        EXPECT_EQ(f->tag.track, row.track);
        EXPECT_EQ(f->tag.year, row.year);
        SVFileClose(f);
    }
}

TEST(CoreAudioReader, Id3v2CoverAndNoDictionaryWhenId3GaveAField)
{
    TempDir dir;
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=16x16", "-frames:v", "1", dir.file("cover.png")}));
    ASSERT_TRUE(toneWav(dir.file("src.wav"), 1.5));
    ASSERT_TRUE(ffmpeg({"-i", dir.file("src.wav"), "-i", dir.file("cover.png"), "-map", "0", "-map", "1", "-c:a",
                        "libmp3lame", "-c:v", "copy", "-id3v2_version", "3", "-metadata:s:v", "comment=Cover (front)",
                        "-metadata:s:v", "title=Cover",
                        "-metadata", "title=With cover", dir.file("a.mp3")}));
    SVFile *f = SVFileOpen(dir.file("a.mp3").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f->tag.title), "With cover");
    const std::string png = readFile(dir.file("cover.png"));
    ASSERT_EQ(f->tag.picture_size, int32_t(png.size()));
    EXPECT_TRUE(std::string(reinterpret_cast<char *>(f->tag.picture), png.size()) == png);
    SVFileClose(f);

    // An ID3v2 tag holding only a title in front of a file whose ID3v1 tag names an artist: the
    // service's dictionary knows the artist, but the ID3 title is enough.
    ASSERT_TRUE(ffmpeg({"-i", dir.file("src.wav"), "-c:a", "libmp3lame", "-write_id3v1", "1", "-metadata",
                        "artist=Dictionary artist", dir.file("v1.mp3")}));
    stripId3v2(dir.file("v1.mp3"));
    writeFile(dir.file("both.mp3"), id3Title("Only title") + readFile(dir.file("v1.mp3")));
    f = SVFileOpen(dir.file("both.mp3").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f->tag.title), "Only title");
    EXPECT_EQ(f->tag.artist, nullptr);
    SVFileClose(f);
}

TEST(CoreAudioReader, PacketsDecodeToFfmpegsOutputCutAtTheRealLength)
{
    for (const Encoded &e : {kMp3, kM4a}) {
        SCOPED_TRACE(e.name);
        TempDir dir;
        std::string path = encode(dir, e);
        ASSERT_FALSE(path.empty());
        const std::string reference = ffmpegDecode(path);
        SVFile *f = SVFileOpen(path.c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(SVFileTell(f), 0.0);
        for (int32_t chunk : {65536, 5000}) {
            SCOPED_TRACE(chunk);
            SVFileSeek(f, 0.0);
            std::string pcm = decodeRest(f, chunk);
            EXPECT_EQ(pcm.size(), size_t(kFrames) * 4);
            // ffmpeg keeps AAC's end padding; within one packet of its length and the same samples.
            EXPECT_LE(reference.size() - pcm.size(), size_t(e.framesPerPacket) * 4);
            EXPECT_LE(maxDifference16(pcm, reference), 1);
            EXPECT_DOUBLE_EQ(SVFileTell(f), 1.5);
        }
        SVFileClose(f);
    }
}

TEST(CoreAudioReader, SeekLandsOnTheTargetFrame)
{
    struct Row {
        const char *name;
        double seconds;
        int64_t frame;
    } rows[] = {
        {"start", 0.0, 0},
        {"inside a packet", 0.75, 33075},
        {"late", 1.4, 61739},
        {"before the start", -1.0, 0},
    };
    for (const Encoded &e : {kMp3, kM4a}) {
        SCOPED_TRACE(e.name);
        TempDir dir;
        std::string path = encode(dir, e);
        ASSERT_FALSE(path.empty());
        const std::string reference = ffmpegDecode(path);
        SVFile *f = SVFileOpen(path.c_str());
        ASSERT_NE(f, nullptr);
        for (const Row &row : rows) {
            SCOPED_TRACE(row.name);
            SVFileSeek(f, row.seconds);
            EXPECT_NEAR(SVFileTell(f), double(row.frame) / 44100, 1e-9);
            std::string pcm = decodeRest(f);
            EXPECT_EQ(pcm.size(), size_t(kFrames - row.frame) * 4);
            // The packets decoded ahead of the target give it its overlap and bit reservoir;
            // only AAC's noise substitution depends on where decoding started.
            EXPECT_LE(maxDifference16(pcm, reference.substr(size_t(row.frame) * 4)), e.seekTolerance);
        }
        // Beyond the end: at the last frame, with nothing left to hear.
        SVFileSeek(f, 100.0);
        EXPECT_DOUBLE_EQ(SVFileTell(f), 1.5);
        EXPECT_EQ(decodeRest(f), "");
        SVFileClose(f);
    }
}

TEST(CoreAudioReader, ReadFailures)
{
    TempDir dir;
    std::string path = encode(dir, kMp3);
    ASSERT_FALSE(path.empty());
    SVFile *f = SVFileOpen(path.c_str());
    ASSERT_NE(f, nullptr);
    std::string buf(65536, '\0');
    AudioStreamPacketDescription *descriptions = nullptr;
    uint32_t packets = 7;
    {
        // Less room than one packet of the largest size.
        StderrCapture err;
        EXPECT_EQ(SVCoreAudioFileRead(f, buf.data(), 10, &descriptions, &packets), 0);
        EXPECT_EQ(err.lines(), failed("SVCoreAudioFile", "np > 0"));
        EXPECT_EQ(descriptions, nullptr);
        EXPECT_EQ(packets, 0u);
    }
    SVFileClose(f);

    writeFile(dir.file("a.wav"), wavFile(fmtChunk(2, 44100, 16) + wavChunk("data", pattern(400))));
    f = SVFileOpen(dir.file("a.wav").c_str());
    ASSERT_NE(f, nullptr);
    {
        StderrCapture err;
        EXPECT_EQ(SVCoreAudioFileRead(f, buf.data(), 65536, &descriptions, &packets), 0);
        EXPECT_EQ(err.lines(), failed("SVCoreAudioFile", "file->type == SVFileTypeCoreAudio"));
    }
    SVFileClose(f);

    struct Row {
        const char *name;
        std::string bytes;
    } rows[] = {
        {"empty", ""},
        {"text", "not audio at all\n"},
        {"a WAV file named .m4a", wavFile(fmtChunk(2, 44100, 16) + wavChunk("data", pattern(4000)))},
        {"an ID3 tag and nothing else", id3Title("x")},
        // libavformat would follow the playlist to the real MP3 beside it.
        {"an HLS playlist", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.5,\na.mp3\n#EXT-X-ENDLIST\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(dir.file("bad.m4a"), row.bytes);
        StderrCapture err;
        EXPECT_EQ(SVFileOpen(dir.file("bad.m4a").c_str()), nullptr);
        EXPECT_EQ(err.lines(), failed("SVCoreAudioFile", "status == noErr && cf->audio_file_id != NULL"));
    }
}

TEST(CoreAudioReader, RenderedThroughTheOutputQueue)
{
    for (const Encoded &e : {kMp3, kM4a}) {
        SCOPED_TRACE(e.name);
        TempDir dir;
        std::string path = encode(dir, e);
        ASSERT_FALSE(path.empty());
        ToolResult r = runTool({"render", "--output", "wav-fast:" + dir.file("out.wav"), path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::string played = wavData(readFile(dir.file("out.wav")));
        const std::string reference = ffmpegDecode(path);
        EXPECT_EQ(played.size(), size_t(kFrames) * 4);
        EXPECT_LE(reference.size() - played.size(), size_t(e.framesPerPacket) * 4);
        EXPECT_LE(maxDifference16(played, reference), 1);
    }
}

TEST(CoreAudioReader, ToolShowsTagsAndHasNoPcm)
{
    TempDir dir;
    std::string path = encode(dir, kM4a, {"-metadata", "title=Tool title", "-metadata", "track=5"});
    ASSERT_FALSE(path.empty());
    ToolResult tags = runTool({"tags", path});
    EXPECT_EQ(tags.exitCode, 0) << tags.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(tags.out)).object();
    EXPECT_EQ(json["type"].toInt(), 5) << tags.out;
    EXPECT_EQ(json["tag"].toObject()["title"].toString(), "Tool title");
    EXPECT_EQ(json["tag"].toObject()["track"].toInt(), 5);
    EXPECT_EQ(json["duration"].toDouble(), 1.5);
    ToolResult pcm = runTool({"pcm", path});
    EXPECT_EQ(pcm.exitCode, 1);
    EXPECT_EQ(pcm.out, "");
}

}  // namespace
