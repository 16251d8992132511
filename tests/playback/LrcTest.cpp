#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "playback/Lrc.h"

namespace {

using Lines = std::vector<std::pair<float, std::string>>;

Lines linesOf(const LyricList *list)
{
    Lines out;
    for (int32_t i = 0; i < list->count; i++) {
        LyricLine *line = LrcLineAt(list, i);
        out.emplace_back(line->time, line->text);
    }
    return out;
}

LyricList *parse(const TempDir &dir, const std::string &text)
{
    writeFile(dir.file("song.lrc"), text);
    return LrcParseFile(dir.file("song.lrc").c_str());
}

TEST(Lrc, Parsing)
{
    const std::string filler(600, 'x');
    struct Row {
        const char *name;
        std::string file;
        Lines expected;
    } rows[] = {
        {"minutes, seconds, hundredths", "[01:02.50]Hello\n", {{62.5f, "Hello"}}},
        {"one fraction digit still counts hundredths", "[00:12.5]a\n", {{12.05f, "a"}}},
        {"three fraction digits count hundredths", "[00:12.500]a\n", {{17.0f, "a"}}},
        {"two tags, one text", "[00:10.00][00:20.00]chorus\n", {{10, "chorus"}, {20, "chorus"}}},
        {"word times removed", "[00:05.00]a <00:06.00>b\n", {{5, "a b"}}},
        {"no fraction: ignored", "[00:12]text\n", {}},
        {"metadata tags and plain text ignored", "[ar:Someone]\n[ti:Song]\nplain\n[00:01.00]x\n",
         {{1, "x"}}},
        {"descending file sorted ascending", "[00:30.00]c\n[00:20.00]b\n[00:10.00]a\n",
         {{10, "a"}, {20, "b"}, {30, "c"}}},
        {"equal times: later line first", "[00:10.00]first\n[00:10.00]second\n[00:11.00]z\n",
         {{10, "second"}, {10, "first"}, {11, "z"}}},
        {"blanks, tabs and CR dropped", "  \t[00:01.00]  a\tb\r\n", {{1, "ab"}}},
        {"bracket groups in the text removed", "[00:01.00]a [x] b\n", {{1, "a b"}}},
        {"unclosed group takes the rest", "[00:01.00]a <00:02.00 b\n", {{1, "a "}}},
        {"tag without closing bracket", "[00:01.00\n", {{1, ""}}},
        {"empty text", "[00:01.00]\n", {{1, ""}}},
        {"long line: only its first piece starts with a tag",
         "[00:01.00]" + filler + "\n", {{1, filler.substr(0, 489)}}},
        {"no timed line", "[ar:x]\n", {}},
    };
    for (const Row &row : rows) {
        TempDir dir;
        LyricList *list = parse(dir, row.file);
        ASSERT_NE(list, nullptr) << row.name;
        EXPECT_EQ(linesOf(list), row.expected) << row.name;
        EXPECT_EQ(LrcLineAt(list, list->count), nullptr) << row.name;
        LrcFree(list);
    }
}

TEST(Lrc, MissingFileGivesNoList)
{
    EXPECT_EQ(LrcParseFile("/nonexistent/song.lrc"), nullptr);
    LrcFree(nullptr);
    EXPECT_EQ(lineForTime(nullptr, 5), -1);
}

TEST(Lrc, LineForTime)
{
    TempDir dir;
    LyricList *list = parse(dir, "[00:10.00]a\n[00:20.00]first\n[00:20.00]second\n[00:30.00]c\n");
    // In time order: a, second, first, c.
    struct Row {
        const char *name;
        float time;
        int32_t expected;
    } rows[] = {
        {"before the first line", 9.99f, -1},
        {"at the first line", 10, 0},
        {"between lines", 15, 0},
        {"equal times: the line earlier in the file", 20, 2},
        {"after the last line", 1000, 3},
    };
    for (const Row &row : rows)
        EXPECT_EQ(lineForTime(list, row.time), row.expected) << row.name;
    EXPECT_STREQ(LrcLineAt(list, 2)->text, "first");
    LrcFree(list);

    LyricList *empty = parse(dir, "no tags here\n");
    EXPECT_EQ(lineForTime(empty, 10), -1);
    LrcFree(empty);
}

TEST(Lrc, ToolPrintsLinesInTimeOrder)
{
    TempDir dir;
    writeFile(dir.file("s.lrc"), "[ti:Song]\n[00:20.00]b\n[00:01.5]a\n");
    ToolResult r = runTool({"lrc", dir.file("s.lrc")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "1.05\ta\n20.00\tb\n");
    EXPECT_EQ(runTool({"lrc", dir.file("none.lrc")}).exitCode, 1);
}

}  // namespace
