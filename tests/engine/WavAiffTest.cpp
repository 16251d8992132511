// The WAV and AIFF readers on files built in code: chunk walking, formats, failures,
// positions and reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <vector>

#include "RiffFixtures.h"
#include "TestSupport.h"
#include "engine/SVFile.h"

using namespace fixture;

namespace {

struct OpenRow {
    const char *name;
    std::string bytes;
    uint32_t channels;
    uint32_t bits;
    uint32_t rate;
    uint32_t blockSize;
    int32_t bigEndian;
    std::string pcm;  // every byte the reader must deliver
};

void expectOpens(const OpenRow &row, const char *fileName, SVFileType type)
{
    SCOPED_TRACE(row.name);
    TempDir dir;
    writeFile(dir.file(fileName), row.bytes);
    StderrCapture err;
    SVFile *f = SVFileOpen(dir.file(fileName).c_str());
    EXPECT_EQ(err.lines(), "");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->type, type);
    EXPECT_EQ(f->num_channels, row.channels);
    EXPECT_EQ(f->bits_per_sample, row.bits);
    EXPECT_EQ(f->sample_rate, row.rate);
    EXPECT_EQ(f->block_size, row.blockSize);
    EXPECT_EQ(f->big_endian, row.bigEndian);
    EXPECT_DOUBLE_EQ(f->duration, double(row.pcm.size() / row.blockSize) / row.rate);
    EXPECT_EQ(f->next, nullptr);
    EXPECT_EQ(readAll(f, int32_t(row.blockSize) * 7), row.pcm);
    SVFileClose(f);
}

TEST(WavReader, OpensAndReadsWhatTheChunksSay)
{
    const std::string pcm = pattern(400);
    const std::string fmt16 = fmtChunk(2, 8000, 16);
    const OpenRow rows[] = {
        {"plain 16-bit stereo", wavFile(fmt16 + wavChunk("data", pcm)), 2, 16, 8000, 4, 0, pcm},
        {"data chunk before the format chunk", wavFile(wavChunk("data", pcm) + fmt16),
         2, 16, 8000, 4, 0, pcm},
        {"odd-sized chunk before data skips its pad byte",
         wavFile(fmt16 + wavChunk("junk", "abc") + wavChunk("data", pcm)), 2, 16, 8000, 4, 0, pcm},
        {"format chunk longer than 16 bytes",
         wavFile(wavChunk("fmt ", fmtBody(1, 2, 8000, 16, 4) + le16(0)) + wavChunk("data", pcm)),
         2, 16, 8000, 4, 0, pcm},
        {"chunks after the data are not samples",
         wavFile(fmt16 + wavChunk("data", pcm) + wavChunk("LIST", "INFOISFT\4\0\0\0abcd")),
         2, 16, 8000, 4, 0, pcm},
        {"a later data chunk replaces an earlier one",
         wavFile(fmt16 + wavChunk("data", pattern(40, 7)) + wavChunk("data", pcm)),
         2, 16, 8000, 4, 0, pcm},
        {"a later format chunk replaces an earlier one",
         wavFile(fmtChunk(1, 11025, 8) + wavChunk("data", pcm) + fmt16), 2, 16, 8000, 4, 0, pcm},
        {"8-bit samples pass as stored, unsigned",
         wavFile(fmtChunk(1, 11025, 8) + wavChunk("data", std::string("\x80\xff\x00\x7f\x01", 5))),
         1, 8, 11025, 1, 0, std::string("\x80\xff\x00\x7f\x01", 5)},
        {"odd data size: the pad byte is not a sample",
         wavFile(fmtChunk(1, 11025, 8) + wavChunk("data", "xyz") + wavChunk("LIST", "INFO")),
         1, 8, 11025, 1, 0, "xyz"},
        {"24-bit mono", wavFile(fmtChunk(1, 96000, 24) + wavChunk("data", pattern(300))),
         1, 24, 96000, 3, 0, pattern(300)},
        {"container size field is not trusted",
         "RIFF" + le32(4) + "WAVE" + fmt16 + wavChunk("data", pcm), 2, 16, 8000, 4, 0, pcm},
        {"data size beyond the end of the file (writer could not seek back)",
         wavFile(fmt16 + chunkSized("data", 0xFFFFFFFF, pcm, false)), 2, 16, 8000, 4, 0, pcm},
        {"file cut in the middle of a frame keeps whole frames",
         wavFile(fmt16 + chunkSized("data", 400, pcm.substr(0, 398), false)),
         2, 16, 8000, 4, 0, pcm.substr(0, 396)},
        {"empty data chunk", wavFile(fmt16 + wavChunk("data", "")), 2, 16, 8000, 4, 0, ""},
        {"block alignment larger than the samples",
         wavFile(wavChunk("fmt ", fmtBody(1, 1, 8000, 16, 4)) + wavChunk("data", pcm)),
         1, 16, 8000, 4, 0, pcm},
    };
    for (const OpenRow &row : rows)
        expectOpens(row, "track.wav", SVFileTypeWav);
}

TEST(AiffReader, OpensAndReadsWhatTheChunksSay)
{
    const std::string pcm = pattern(480);
    const std::string comm16 = commChunk(2, 120, 16, 44100);
    const OpenRow rows[] = {
        {"plain 16-bit stereo", aiffFile(comm16 + ssndChunk(pcm)), 2, 16, 44100, 4, 1, pcm},
        {"sound data before the common chunk", aiffFile(ssndChunk(pcm) + comm16),
         2, 16, 44100, 4, 1, pcm},
        {"odd-sized chunk before the sound data",
         aiffFile(aiffChunk("NAME", "abc") + comm16 + ssndChunk(pcm)), 2, 16, 44100, 4, 1, pcm},
        {"8-bit samples pass as stored", aiffFile(commChunk(1, 480, 8, 22050) + ssndChunk(pcm)),
         1, 8, 22050, 1, 1, pcm},
        {"24-bit mono", aiffFile(commChunk(1, 160, 24, 96000) + ssndChunk(pcm)),
         1, 24, 96000, 3, 1, pcm},
        {"32-bit stereo", aiffFile(commChunk(2, 60, 32, 48000) + ssndChunk(pcm)),
         2, 32, 48000, 8, 1, pcm},
        {"AIFC without compression is big-endian",
         aiffFile(commChunk(2, 120, 16, 44100, "NONE") + ssndChunk(pcm), "AIFC"),
         2, 16, 44100, 4, 1, pcm},
        {"AIFC sowt is little-endian",
         aiffFile(commChunk(2, 120, 16, 44100, "sowt") + ssndChunk(pcm), "AIFC"),
         2, 16, 44100, 4, 0, pcm},
        {"a later common chunk replaces sowt",
         aiffFile(commChunk(2, 120, 16, 44100, "sowt") + ssndChunk(pcm) +
                      commChunk(2, 120, 16, 44100, "NONE"), "AIFC"),
         2, 16, 44100, 4, 1, pcm},
        {"sound data offset skips the alignment gap",
         aiffFile(comm16 + ssndChunk(pcm, 12)), 2, 16, 44100, 4, 1, pcm},
        {"frame count smaller than the sound data",
         aiffFile(commChunk(2, 100, 16, 44100) + ssndChunk(pcm)), 2, 16, 44100, 4, 1,
         pcm.substr(0, 400)},
        {"frame count beyond the end of the file keeps whole frames",
         aiffFile(commChunk(2, 1000, 16, 44100) + ssndChunk(pcm.substr(0, 479))),
         2, 16, 44100, 4, 1, pcm.substr(0, 476)},
        {"no sound data chunk: nothing to read", aiffFile(comm16), 2, 16, 44100, 4, 1, ""},
        {"sound data chunk shorter than its header", aiffFile(comm16 + aiffChunk("SSND", "1234")),
         2, 16, 44100, 4, 1, ""},
    };
    for (const OpenRow &row : rows)
        expectOpens(row, "track.aiff", SVFileTypeAiff);
}

struct FailRow {
    const char *name;
    std::string bytes;  // written to the file; "absent" leaves no file
    std::string stderrText;
};

void expectFails(const FailRow &row, const char *fileName)
{
    SCOPED_TRACE(row.name);
    TempDir dir;
    if (row.bytes != "absent")
        writeFile(dir.file(fileName), row.bytes);
    StderrCapture err;
    SVFile *f = SVFileOpen(dir.file(fileName).c_str());
    EXPECT_EQ(err.lines(), row.stderrText);
    EXPECT_EQ(f, nullptr);
    SVFileClose(f);
}

TEST(WavReader, RejectsWithOneFailureLine)
{
    const std::string data = wavChunk("data", pattern(16));
    const FailRow rows[] = {
        {"no such file", "absent", failed("SVWavFile", "wf->fp != NULL")},
        {"empty file", "",
         failed("RiffParser", "0") + failed("SVWavFile", "RiffInit(&parser, wf->fp, RiffLittleEndian)")},
        {"big-endian RIFX container", "RIFX" + le32(4) + "WAVE" + fmtChunk(2, 8000, 16) + data,
         failed("SVWavFile", "IDEQU(parser.hdr.id, \"RIFF\")")},
        {"WavPack stream named .wv", "wvpk" + le32(100) + std::string(100, '\0'),
         failed("SVWavFile", "IDEQU(parser.hdr.id, \"RIFF\")")},
        {"RIFF of another form", wavFile(fmtChunk(2, 8000, 16) + data, "AVI "),
         failed("SVWavFile", "IDEQU(parser.type_id, \"WAVE\")")},
        {"format chunk of 14 bytes", wavFile(wavChunk("fmt ", fmtBody(1, 2, 8000, 16, 4).substr(0, 14)) + data),
         failed("SVWavFile", "n <= hdr.size")},
        {"format chunk cut short by the end of the file",
         wavFile(data + "fmt " + le32(16) + fmtBody(1, 2, 8000, 16, 4).substr(0, 10)),
         failed("SVWavFile", "n == RiffGetChunkData(&parser, &fmt, n)")},
        {"floating-point samples", wavFile(wavChunk("fmt ", fmtBody(3, 2, 8000, 32, 8)) + data),
         failed("SVWavFile", "fmt.audioFormat == 1")},
        {"extensible format with a foreign sub-format", wavFile(wavChunk("fmt ", fmtBody(0xFFFE, 2, 8000, 16, 4) + le16(22) + pattern(22)) + data),
         failed("SVWavFile", "fmt.audioFormat == 1")},
        {"no format chunk", wavFile(data), failed("SVWavFile", "fmt.audioFormat == 1")},
        {"no data chunk", wavFile(fmtChunk(2, 8000, 16)), failed("SVWavFile", "wf->data_pos != 0")},
        {"block alignment 0", wavFile(wavChunk("fmt ", fmtBody(1, 2, 8000, 16, 0)) + data),
         failed("SVWavFile", "f->block_size != 0")},
        {"sample rate 0", wavFile(wavChunk("fmt ", fmtBody(1, 2, 0, 16, 4)) + data),
         failed("SVWavFile", "f->sample_rate != 0")},
    };
    for (const FailRow &row : rows)
        expectFails(row, "track.wav");
}

TEST(AiffReader, RejectsWithOneFailureLine)
{
    const std::string ssnd = ssndChunk(pattern(16));
    const std::string bits =
        "f->bits_per_sample == 8 || f->bits_per_sample == 16 || f->bits_per_sample == 24 || "
        "f->bits_per_sample == 32";
    const FailRow rows[] = {
        {"no such file", "absent", failed("SVAiffFile", "wf->fp != NULL")},
        {"file shorter than a container header", "FORM\0\0",
         failed("RiffParser", "0") + failed("SVAiffFile", "RiffInit(&parser, wf->fp, RiffBigEndian)")},
        {"RIFF container", wavFile(fmtChunk(2, 8000, 16)), failed("SVAiffFile", "IDEQU(parser.hdr.id, \"FORM\")")},
        {"FORM of another type", aiffFile(commChunk(1, 8, 16, 8000) + ssnd, "8SVX"),
         failed("SVAiffFile", "IDEQU(parser.type_id, \"AIFF\")")},
        {"common chunk of 16 bytes", aiffFile(aiffChunk("COMM", commBody(1, 8, 16, ext80(8000.0)).substr(0, 16)) + ssnd),
         failed("SVAiffFile", "n <= hdr.size")},
        {"AIFC common chunk without compression type",
         aiffFile(aiffChunk("COMM", commBody(1, 8, 16, ext80(8000.0))) + ssnd, "AIFC"),
         failed("SVAiffFile", "n <= hdr.size")},
        {"common chunk cut short by the end of the file",
         aiffFile(ssnd + "COMM" + be32(18) + commBody(1, 8, 16, ext80(8000.0)).substr(0, 12)),
         failed("SVAiffFile", "n == RiffGetChunkData(&parser, &comm, n)")},
        {"AIFC compressed with ima4", aiffFile(commChunk(1, 8, 16, 8000, "ima4") + ssnd, "AIFC"),
         failed("SVAiffFile", "IDEQU(comm.compression, \"NONE\")")},
        {"compression type compared case-sensitively",
         aiffFile(commChunk(1, 8, 16, 8000, "SOWT") + ssnd, "AIFC"),
         failed("SVAiffFile", "IDEQU(comm.compression, \"NONE\")")},
        {"20-bit samples", aiffFile(commChunk(1, 8, 20, 8000) + ssnd), failed("SVAiffFile", bits)},
        {"no common chunk", aiffFile(ssnd), failed("SVAiffFile", bits)},
        {"no channels", aiffFile(commChunk(0, 8, 16, 8000) + ssnd), failed("SVAiffFile", "f->block_size != 0")},
        {"sample rate 1000", aiffFile(commChunk(1, 8, 16, 1000) + ssnd),
         failed("SVAiffFile", "f->sample_rate >= 1024 && f->sample_rate < 256 * 1024")},
    };
    for (const FailRow &row : rows)
        expectFails(row, "track.aif");
}

TEST(AiffReader, DecodesTheExtendedSampleRate)
{
    struct Row {
        const char *name;
        std::string rate80;
        uint32_t expected;  // 0: rejected by the range check
    } rows[] = {
        {"44100 as writers store it", ext80(0x400E, 0xAC44000000000000), 44100},
        {"48000", ext80(48000.0), 48000},
        {"lowest accepted", ext80(1024.0), 1024},
        {"just below the range", ext80(1023.0), 0},
        {"1000", ext80(1000.0), 0},
        {"highest accepted", ext80(262143.0), 262143},
        {"just above the range", ext80(262144.0), 0},
        {"fraction truncated", ext80(22050.75), 22050},
        {"fraction just under the top truncated", ext80(262143.999), 262143},
        {"unnormalised mantissa", ext80(0x400F, 0x5622000000000000), 44100},
        {"negative", ext80(0xC00E, 0xAC44000000000000), 0},
        {"zero", ext80(0, 0), 0},
        {"infinity exponent", ext80(0x7FFF, 0x8000000000000000), 0},
        {"beyond 32 bits", ext80(0x4040, 0x8000000000000000), 0},
        {"tiny", ext80(0x0001, 0xFFFFFFFFFFFFFFFF), 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        writeFile(dir.file("r.aif"),
                  aiffFile(aiffChunk("COMM", commBody(1, 4, 16, row.rate80)) + ssndChunk(pattern(8))));
        StderrCapture err;
        SVFile *f = SVFileOpen(dir.file("r.aif").c_str());
        std::string lines = err.lines();
        if (row.expected) {
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->sample_rate, row.expected);
            EXPECT_EQ(lines, "");
        } else {
            EXPECT_EQ(f, nullptr);
            EXPECT_EQ(lines, failed("SVAiffFile", "f->sample_rate >= 1024 && f->sample_rate < 256 * 1024"));
        }
        SVFileClose(f);
    }
}

// 4000 frames a second, 16-bit mono, 2 seconds: frame k starts at byte 2k.
struct PositionFile {
    const char *name;
    const char *fileName;
    std::string bytes;
};

std::vector<PositionFile> positionFiles()
{
    const std::string pcm = pattern(16000, 3);
    return {
        {"WAV", "p.wav", wavFile(fmtChunk(1, 4000, 16) + wavChunk("data", pcm) + wavChunk("LIST", "tail"))},
        {"AIFF", "p.aif", aiffFile(commChunk(1, 8000, 16, 4000) + ssndChunk(pcm) + aiffChunk("ANNO", "tail"))},
    };
}

TEST(PcmReaders, SeekClampsAndTellFollows)
{
    const std::string pcm = pattern(16000, 3);
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char *name;
        double seconds;
        uint64_t frame;
    } rows[] = {
        {"start", 0.0, 0},
        {"middle", 1.0, 4000},
        {"three quarters", 1.5, 6000},
        {"between frames truncates", 0.00037, 1},
        {"negative goes to the start", -3.0, 0},
        {"exactly the end", 2.0, 8000},
        {"past the end stops at the end", 60.0, 8000},
        {"infinity stops at the end", inf, 8000},
        {"minus infinity goes to the start", -inf, 0},
        {"NaN goes to the start", std::nan(""), 0},
    };
    for (const PositionFile &file : positionFiles()) {
        TempDir dir;
        writeFile(dir.file(file.fileName), file.bytes);
        SVFile *f = SVFileOpen(dir.file(file.fileName).c_str());
        ASSERT_NE(f, nullptr) << file.name;
        EXPECT_DOUBLE_EQ(f->duration, 2.0);
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(file.name) + ": " + row.name);
            SVFileRead(f, std::string(10, '\0').data(), 10);  // start somewhere else
            SVFileSeek(f, row.seconds);
            EXPECT_DOUBLE_EQ(SVFileTell(f), row.frame / 4000.0);
            EXPECT_EQ(readAll(f, 1000), pcm.substr(row.frame * 2));
            EXPECT_DOUBLE_EQ(SVFileTell(f), 2.0);
        }
        SVFileClose(f);
    }
}

TEST(PcmReaders, ReadsAreBoundedByTheSoundData)
{
    const std::string pcm = pattern(16000, 3);
    for (const PositionFile &file : positionFiles()) {
        SCOPED_TRACE(file.name);
        TempDir dir;
        writeFile(dir.file(file.fileName), file.bytes);
        SVFile *f = SVFileOpen(dir.file(file.fileName).c_str());
        ASSERT_NE(f, nullptr);
        std::string buf(20000, '\0');
        EXPECT_EQ(SVFileRead(f, buf.data(), 0), 0);
        EXPECT_EQ(SVFileRead(f, buf.data(), -4), 0);
        EXPECT_EQ(SVFileTell(f), 0.0);
        // Odd request sizes still hand out every byte once, in order.
        EXPECT_EQ(readAll(f, 3), pcm);
        EXPECT_EQ(SVFileRead(f, buf.data(), 2), 0);
        SVFileSeek(f, 1.0);
        EXPECT_EQ(SVFileRead(f, buf.data(), int32_t(buf.size())), 8000);
        EXPECT_EQ(buf.substr(0, 8000), pcm.substr(8000));
        SVFileClose(f);
    }
}

// Tag chunks: picked up when they hold exactly one tag, skipped when oversized or cut.
TEST(PcmReaders, ReadsTagChunks)
{
    const std::string tag = id3Title("Nocturne");
    const std::string big = id3Title("Huge") + std::string(2 * 1024 * 1024, '\0');
    struct Row {
        const char *name;
        std::string wavChunks;
        std::string aiffChunks;
        const char *title;
    } rows[] = {
        {"ID3 chunk", wavChunk("ID3 ", tag), aiffChunk("ID3 ", tag), "Nocturne"},
        {"lower-case id3 chunk", wavChunk("id3 ", tag), aiffChunk("id3 ", tag), "Nocturne"},
        {"odd-length tag before the samples", wavChunk("ID3 ", id3Title("Odd")),
         aiffChunk("ID3 ", id3Title("Odd")), "Odd"},
        {"second tag chunk replaces the first", wavChunk("ID3 ", tag) + wavChunk("ID3 ", id3Title("Later")),
         aiffChunk("ID3 ", tag) + aiffChunk("ID3 ", id3Title("Later")), "Later"},
        {"tag chunk of 2 MB is skipped", wavChunk("ID3 ", big), aiffChunk("ID3 ", big), nullptr},
        {"other-case id is not a tag", wavChunk("Id3 ", tag), aiffChunk("Id3 ", tag), nullptr},
    };
    const std::string pcm = pattern(64);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        writeFile(dir.file("t.wav"), wavFile(fmtChunk(2, 8000, 16) + row.wavChunks + wavChunk("data", pcm)));
        writeFile(dir.file("t.aif"), aiffFile(commChunk(2, 16, 16, 8000) + row.aiffChunks + ssndChunk(pcm)));
        for (const char *name : {"t.wav", "t.aif"}) {
            SVFile *f = SVFileOpen(dir.file(name).c_str());
            ASSERT_NE(f, nullptr) << name;
            if (row.title)
                EXPECT_STREQ(f->tag.title, row.title) << name;
            else
                EXPECT_TRUE(SVTagIsEmpty(&f->tag)) << name;
            EXPECT_EQ(readAll(f), pcm) << name;
            SVFileClose(f);
        }
    }

    // A tag chunk that claims more than the file holds is skipped; the samples before it count.
    TempDir dir;
    writeFile(dir.file("cut.wav"), wavFile(fmtChunk(2, 8000, 16) + wavChunk("data", pcm)) +
                                       "ID3 " + le32(uint32_t(tag.size() + 100)) + tag);
    SVFile *f = SVFileOpen(dir.file("cut.wav").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(SVTagIsEmpty(&f->tag));
    EXPECT_EQ(readAll(f), pcm);
    SVFileClose(f);
}

// Files written by sox, ffmpeg and python3-mutagen: the format the reader reports and every
// sample byte agree with sox's own reading of the same file.
TEST(PcmReaders, FilesWrittenByOtherPrograms)
{
    const char *tagScript = R"(
import sys
from mutagen.wave import WAVE
from mutagen.aiff import AIFF
from mutagen.id3 import TIT2, TPE1, TRCK, APIC
for path in sys.argv[2:]:
    f = (WAVE if path.endswith('.wav') else AIFF)(path)
    f.add_tags()
    f.tags.add(TIT2(encoding=3, text=sys.argv[1]))
    f.tags.add(TPE1(encoding=1, text='Art\u00efst'))
    f.tags.add(TRCK(encoding=3, text='7/12'))
    f.tags.add(APIC(encoding=3, mime='image/png', type=3, desc='Cover', data=b'\x89PNG' + bytes(range(256)) * 3))
    f.save()
)";
    const std::string cafe = "Caf\xc3\xa9 \xe6\x9d\xb1\xe4\xba\xac";
    const std::vector<std::string> sine = {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=0.3"};
    struct Row {
        const char *name;
        const char *fileName;
        std::vector<std::string> make;  // writes the file; "OUT" is its path
        uint32_t channels, bits, rate;
        int32_t bigEndian;
        const char *soxRaw;  // sox output option giving the same bytes; null: the open fails
        bool titled;
    } rows[] = {
        {"sox 16-bit stereo WAV", "a.wav", {"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "OUT", "synth", "0.3", "sine", "440"},
         2, 16, 44100, 0, "-L", false},
        {"sox 8-bit WAV (unsigned as stored)", "b.wav", {"sox", "-n", "-r", "22050", "-c", "1", "-b", "8", "OUT", "synth", "0.3", "sine", "440"},
         1, 8, 22050, 0, "-L", false},
        {"sox 24-bit mono AIFF", "c.aiff", {"sox", "-n", "-r", "48000", "-c", "1", "-b", "24", "OUT", "synth", "0.3", "sine", "440"},
         1, 24, 48000, 1, "-B", false},
        {"sox 32-bit stereo AIF", "d.aif", {"sox", "-n", "-r", "96000", "-c", "2", "-b", "32", "OUT", "synth", "0.1", "sine", "440"},
         2, 32, 96000, 1, "-B", false},
        {"sox 24-bit WAV (extensible format)", "e.wav", {"sox", "-n", "-r", "96000", "-c", "2", "-b", "24", "OUT", "synth", "0.1", "sine", "440"},
         2, 24, 96000, 0, "-L", false},
        {"ffmpeg little-endian AIFC (sowt)", "f.aif", {"ffmpeg", "-c:a", "pcm_s16le", "-f", "aiff", "OUT"},
         1, 16, 44100, 0, "-L", false},
        {"ffmpeg AIFF with an ID3v2.4 chunk", "g.aiff", {"ffmpeg", "-c:a", "pcm_s24be", "-write_id3v2", "1", "-metadata", "title=" + cafe, "OUT"},
         1, 24, 44100, 1, "-B", true},
        {"ffmpeg WAV", "h.wav", {"ffmpeg", "-ac", "2", "-c:a", "pcm_s16le", "OUT"},
         2, 16, 44100, 0, "-L", false},
    };
    TempDir dir;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.file(row.fileName);
        std::vector<std::string> make = row.make;
        if (make[0] == "ffmpeg") {
            make.insert(make.begin() + 1, sine.begin(), sine.end());
            make.insert(make.begin() + 1, {"-nostdin", "-loglevel", "error", "-y"});
        }
        for (std::string &arg : make)
            if (arg == "OUT")
                arg = path;
        ToolResult made = runProgram(make);
        if (made.exitCode != 0)
            GTEST_SKIP() << make[0] << " unavailable: " << made.err;

        StderrCapture err;
        SVFile *f = SVFileOpen(path.c_str());
        std::string lines = err.lines();
        if (!row.soxRaw) {
            EXPECT_EQ(f, nullptr);
            EXPECT_EQ(lines, failed("SVWavFile", "fmt.audioFormat == 1"));
            SVFileClose(f);
            continue;
        }
        ASSERT_NE(f, nullptr) << lines;
        EXPECT_EQ(lines, "");
        EXPECT_EQ(f->num_channels, row.channels);
        EXPECT_EQ(f->bits_per_sample, row.bits);
        EXPECT_EQ(f->sample_rate, row.rate);
        EXPECT_EQ(f->big_endian, row.bigEndian);
        EXPECT_EQ(f->block_size, row.channels * row.bits / 8);
        if (row.titled) {
            EXPECT_STREQ(f->tag.title, cafe.c_str());
        }
        ToolResult raw = runProgram({"sox", path, "-t", "raw", row.soxRaw, "-"});
        ASSERT_EQ(raw.exitCode, 0) << raw.err;
        const size_t frames = raw.out.size() / f->block_size;
        EXPECT_DOUBLE_EQ(f->duration, double(frames) / f->sample_rate);
        EXPECT_EQ(readAll(f, 4096), raw.out);
        SVFileSeek(f, 0.1);
        const size_t target = size_t(0.1 / f->duration * double(frames));
        EXPECT_NEAR(double(target), 0.1 * row.rate, 1.0);
        EXPECT_EQ(readAll(f, 1000), raw.out.substr(target * f->block_size));
        SVFileClose(f);
    }

    // Tags that mutagen adds to a WAV and an AIFF file: a cover past 127 bytes, so the
    // ID3v2.4 frame sizes are synchsafe.
    ToolResult tagged = runProgram({"/usr/bin/python3", "-c", tagScript, cafe, dir.file("a.wav"), dir.file("c.aiff")});
    if (tagged.exitCode != 0)
        GTEST_SKIP() << "python3-mutagen unavailable: " << tagged.err;
    for (const char *name : {"a.wav", "c.aiff"}) {
        SCOPED_TRACE(name);
        SVFile *f = SVFileOpen(dir.file(name).c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_STREQ(f->tag.title, cafe.c_str());
        EXPECT_STREQ(f->tag.artist, "Art\xc3\xafst");
        EXPECT_EQ(f->tag.track, 7);
        ASSERT_EQ(f->tag.picture_size, 4 + 256 * 3);
        EXPECT_EQ(f->tag.picture[4 + 255], 255);
        ToolResult raw = runProgram({"sox", dir.file(name), "-t", "raw", name[0] == 'a' ? "-L" : "-B", "-"});
        EXPECT_EQ(readAll(f, 4096), raw.out);  // the tag chunk is not read as samples
        SVFileClose(f);
    }
}

// Files past 2 GiB, made sparse so they cost no disk: offsets beyond 32 bits must hold.
TEST(PcmReaders, FilesBeyondTwoGigabytes)
{
    // 32768 Hz 16-bit mono: 3 GiB of samples are 1,610,612,736 frames, 49152 s.
    const uint32_t dataSize = 0xC0000000;
    const uint64_t frames = dataSize / 2;
    const std::string marker = "MARKER-beyond-2GiB";
    struct Row {
        const char *name;
        const char *fileName;
        std::string head;  // everything before the first sample byte
        std::string tail;  // chunks after the samples
    } rows[] = {
        {"WAV", "big.wav",
         "RIFF" + le32(dataSize + 36 + 12) + "WAVE" + fmtChunk(1, 32768, 16) + "data" + le32(dataSize),
         wavChunk("ID3 ", id3Title("Far"))},
        {"AIFF", "big.aif",
         "FORM" + be32(dataSize + 8 + 26 + 16 + 12) + "AIFF" + commChunk(1, uint32_t(frames), 16, 32768) +
             "SSND" + be32(dataSize + 8) + be32(0) + be32(0),
         aiffChunk("ID3 ", id3Title("Far"))},
        {"WAV with a 2.5 GiB chunk before the format", "junk.wav",
         "RIFF" + le32(0xFFFFFFF0) + "WAVE" + "JUNK" + le32(0xA0000000),
         ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        std::string path = dir.file(row.fileName);
        int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        bool junkFirst = row.tail.empty();
        uint64_t dataPos = row.head.size();
        ASSERT_EQ(pwrite(fd, row.head.data(), row.head.size(), 0), ssize_t(row.head.size()));
        if (junkFirst) {
            // After the junk chunk: format, then the samples.
            std::string rest = fmtChunk(1, 32768, 16) + "data" + le32(dataSize);
            off_t at = off_t(row.head.size()) + 0xA0000000;
            ASSERT_EQ(pwrite(fd, rest.data(), rest.size(), at), ssize_t(rest.size()));
            dataPos = uint64_t(at) + rest.size();
        }
        // Three quarters in, past the 2 GiB line.
        const uint64_t markFrame = frames / 4 * 3;
        const off_t markAt = off_t(dataPos + markFrame * 2);
        ASSERT_EQ(pwrite(fd, marker.data(), marker.size(), markAt), ssize_t(marker.size()));
        ASSERT_EQ(ftruncate(fd, off_t(dataPos + dataSize)), 0);
        if (!junkFirst) {
            ASSERT_EQ(pwrite(fd, row.tail.data(), row.tail.size(), off_t(dataPos + dataSize)),
                      ssize_t(row.tail.size()));
        }
        close(fd);

        SVFile *f = SVFileOpen(path.c_str());
        ASSERT_NE(f, nullptr);
        EXPECT_DOUBLE_EQ(f->duration, 49152.0);
        if (!junkFirst) {
            EXPECT_STREQ(f->tag.title, "Far");  // found after 3 GiB of samples
        }
        SVFileSeek(f, f->duration * 0.75);
        EXPECT_DOUBLE_EQ(SVFileTell(f), 36864.0);
        std::string buf(marker.size(), '\0');
        ASSERT_EQ(SVFileRead(f, buf.data(), int32_t(buf.size())), int32_t(marker.size()));
        EXPECT_EQ(buf, marker);
        // The last frame is readable and nothing after it is handed out as samples.
        SVFileSeek(f, f->duration - 1.0 / 32768);
        EXPECT_EQ(SVFileRead(f, buf.data(), int32_t(buf.size())), 2);
        EXPECT_EQ(SVFileRead(f, buf.data(), int32_t(buf.size())), 0);
        SVFileClose(f);
    }
}

}  // namespace
