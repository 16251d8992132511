// The file handle: reader choice by extension and the wrappers' null safety.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "RiffFixtures.h"
#include "TestSupport.h"
#include "engine/SVFile.h"

using namespace fixture;

namespace {

TEST(SVFile, ChoosesTheReaderByExtensionAlone)
{
    const std::string wav = wavFile(fmtChunk(2, 44100, 16) + wavChunk("data", pattern(64)));
    const std::string aiff = aiffFile(commChunk(2, 16, 16, 44100) + ssndChunk(pattern(64)));
    const std::string aifc = aiffFile(commChunk(2, 16, 16, 44100, "sowt") + ssndChunk(pattern(64)), "AIFC");
    const std::string notPlatform = failed("SVCoreAudioFile", "status == noErr && cf->audio_file_id != NULL");
    const std::string notRiff = failed("SVWavFile", "IDEQU(parser.hdr.id, \"RIFF\")");
    struct Row {
        const char *name;
        const char *fileName;
        std::string bytes;
        int type;  // 0: no handle
        std::string stderrText;
    } rows[] = {
        {"upper-case WAV", "Song.WAV", wav, SVFileTypeWav, ""},
        {"lower-case wav", "song.wav", wav, SVFileTypeWav, ""},
        {"mixed-case Wav", "song.Wav", wav, SVFileTypeWav, ""},
        {"wv goes to the platform reader, which takes WavPack only", "song.wv", wav, 0, notPlatform},
        {"aiff", "song.aiff", aiff, SVFileTypeAiff, ""},
        {"upper-case AIF", "SONG.AIF", aiff, SVFileTypeAiff, ""},
        {"AIFF content named .wav goes to the WAV reader", "song.wav", aiff, 0, notRiff},
        {"WAV content named .aif goes to the AIFF reader", "song.aif", wav, 0,
         failed("SVAiffFile", "IDEQU(parser.hdr.id, \"FORM\")")},
        {"WAV content named .FLAC is not read as WAV", "Song.FLAC", wav, 0, "*"},
        {"WAV content named .ape is not read as WAV", "song.ape", wav, 0, "*"},
        {"whole extension only: wave", "song.wave", wav, 0, ""},
        {"last extension decides: wav.bak", "song.wav.bak", wav, 0, ""},
        {"last extension decides: flac.bak", "song.flac.bak", wav, 0, ""},
        {"aifc", "song.aifc", aifc, SVFileTypeAiff, ""},
        {"upper-case AIFC", "SONG.AIFC", aifc, SVFileTypeAiff, ""},
        {"no extension", "wav", wav, 0, ""},
        {"trailing dot", "song.", wav, 0, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        writeFile(dir.file(row.fileName), row.bytes);
        StderrCapture err;
        SVFile *f = SVFileOpen(dir.file(row.fileName).c_str());
        std::string lines = err.lines();
        if (row.stderrText != "*") {  // other readers word their own failures
            EXPECT_EQ(lines, row.stderrText);
        }
        if (row.type) {
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->type, row.type);
        } else {
            EXPECT_EQ(f, nullptr);
        }
        SVFileClose(f);
    }

    // A dot in a folder name is not the file's extension.
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("album.wav").c_str(), 0755), 0);
    writeFile(dir.file("album.wav/track"), wav);
    EXPECT_EQ(SVFileOpen(dir.file("album.wav/track").c_str()), nullptr);
    EXPECT_EQ(SVFileOpen(nullptr), nullptr);
}

TEST(SVFile, WrappersAreSafeOnNullAndMissingFunctions)
{
    char buf[16];
    SVFileSeek(nullptr, 1.0);
    EXPECT_EQ(SVFileTell(nullptr), 0.0);
    EXPECT_EQ(SVFileRead(nullptr, buf, sizeof buf), 0);
    SVFileClose(nullptr);

    // A handle without a read function, as the platform reader's: reads give nothing.
    SVFile bare{};
    bare.type = SVFileTypeCoreAudio;
    SVFileSeek(&bare, 1.0);
    EXPECT_EQ(SVFileTell(&bare), 0.0);
    EXPECT_EQ(SVFileRead(&bare, buf, sizeof buf), 0);
    SVFileClose(&bare);
}

}  // namespace
