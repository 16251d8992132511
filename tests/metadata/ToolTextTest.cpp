// sonavel-tool cue and text, run as a program.
#include <gtest/gtest.h>

#include <QJsonDocument>

#include <string>

#include "TestSupport.h"
#include "platform/Preferences.h"

namespace {

using namespace std::string_literals;

// The tool's JSON as a document, whatever its layout; null for text that is not JSON.
QJsonDocument json(const std::string &text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)); }

TEST(ToolCue, SheetAsJson)
{
    TempDir dir;
    writeFile(dir.file("a.cue"),
              "PERFORMER \"Art\"\r\nTITLE \"Alb\"\r\nFILE \"a.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n"
              "    TITLE \"One \\\"q\\\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
              "    TITLE \"caf\xe9\"\r\n    PERFORMER \"P2\"\r\n    INDEX 00 03:20:00\r\n"
              "    INDEX 01 03:25:74\r\n");
    ToolResult r = runTool({"cue", dir.file("a.cue")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(json(r.out),
              json("{\"trackCount\": 2, \"performer\": \"Art\", \"title\": \"Alb\", \"tracks\": ["
                   "{\"start\": 0, \"duration\": 205, \"title\": \"One \\\\\", \"performer\": null}, "
                   "{\"start\": 205, \"duration\": 0, \"title\": {\"hex\": \"636166e9\"}, "
                   "\"performer\": \"P2\"}]}"));
}

TEST(ToolCue, EmptySheetAndFailures)
{
    TempDir dir;
    writeFile(dir.file("empty.cue"), "");
    ToolResult empty = runTool({"cue", dir.file("empty.cue")});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(json(empty.out),
              json("{\"trackCount\": 0, \"performer\": null, \"title\": null, \"tracks\": []}"));

    ToolResult missing = runTool({"cue", dir.file("missing.cue")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");

    ToolResult noArgument = runTool({"cue"});
    EXPECT_EQ(noArgument.exitCode, 2);
    EXPECT_EQ(noArgument.err.rfind("usage: sonavel-tool cue FILE", 0), 0u) << noArgument.err;
    EXPECT_EQ(runTool({"cue", "a", "b"}).exitCode, 2);
}

// A sheet that flac stores in a FLAC file and metaflac writes back out.
TEST(ToolCue, SheetExportedByMetaflac)
{
    TempDir dir;
    writeFile(dir.file("in.cue"),
                   "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                   "  TRACK 02 AUDIO\n    INDEX 00 00:05:00\n    INDEX 01 00:07:30\n"
                   "  TRACK 03 AUDIO\n    INDEX 01 00:12:74\n");
    ToolResult sox = runProgram({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16",
                                 dir.file("a.wav"), "trim", "0", "20"});
    ToolResult flac = runProgram({"flac", "-s", "--cuesheet=" + dir.file("in.cue"),
                                  dir.file("a.wav"), "-o", dir.file("a.flac")});
    ToolResult exported = runProgram({"metaflac", "--export-cuesheet-to=" + dir.file("out.cue"),
                                      dir.file("a.flac")});
    if (sox.exitCode != 0 || flac.exitCode != 0 || exported.exitCode != 0)
        GTEST_SKIP() << "sox/flac unavailable: " << sox.err << flac.err << exported.err;
    ToolResult r = runTool({"cue", dir.file("out.cue")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(json(r.out),
              json("{\"trackCount\": 3, \"performer\": null, \"title\": null, \"tracks\": ["
                   "{\"start\": 0, \"duration\": 7, \"title\": null, \"performer\": null}, "
                   "{\"start\": 7, \"duration\": 5, \"title\": null, \"performer\": null}, "
                   "{\"start\": 12, \"duration\": 0, \"title\": null, \"performer\": null}]}"));
}

// The tool reads the stored preference: written here, flushed by dropping the store.
void storePreferedEnc(int identifier)
{
    if (identifier < 0)
        Preferences::setObject("PreferedEnc", QVariant());
    else
        Preferences::setInteger("PreferedEnc", identifier);
    Preferences::reset();
}

TEST(ToolText, DecodesWithStoredPreference)
{
    struct Row {
        const char *name;
        int preferred;
        std::string input;
        std::string output;
    } rows[] = {
        {"Utf8Unchanged", 1, "Caf\xc3\xa9\n", "Caf\xc3\xa9\n"},
        {"ShiftJisAsJapanese", 1, "\x82\xa0\x82\xa2", "\xe3\x81\x82\xe3\x81\x84"},
        {"ShiftJisAsWestern", 0, "\x82\xa0", "\xc3\x87\xe2\x80\xa0"},
        {"AbsentIsWestern", -1, "\x8e", "\xc3\xa9"},
        {"StopsAtNul", 1, "ab\0\x82\xa0"s, "ab"},
        {"Empty", 3, "", ""},
    };
    for (const Row &row : rows) {
        storePreferedEnc(row.preferred);
        ToolResult r = runTool({"text"}, row.input);
        EXPECT_EQ(r.exitCode, 0) << row.name;
        EXPECT_EQ(r.out, row.output) << row.name;
    }
    storePreferedEnc(-1);
    EXPECT_EQ(runTool({"text", "extra"}).exitCode, 2);
}

}  // namespace
