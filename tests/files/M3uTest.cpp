#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "files/M3u.h"

namespace {

std::vector<std::string> entries(M3uList *list)
{
    std::vector<std::string> out;
    for (int32_t i = 0; i < M3uCount(list); i++)
        out.push_back(M3uEntryAt(list, i));
    return out;
}

using Lines = std::vector<std::string>;

TEST(M3u, Reading)
{
    const std::string longLine(1500, 'a');
    struct Row {
        const char *name;
        std::string file;
        Lines expected;
    } rows[] = {
        {"extended header, info line, indented absolute path",
         "#EXTM3U\n#EXTINF:123,Artist - Title\n  /music/a.flac\n", {"/music/a.flac"}},
        {"written by the play list: leading empty line", "\n/m/a.flac\nsub/b.flac\n",
         {"/m/a.flac", "sub/b.flac"}},
        {"CR LF line ends", "a.flac\r\nb.ape\r\n", {"a.flac", "b.ape"}},
        {"trailing blanks belong to the entry", "a.flac  \n", {"a.flac  "}},
        {"tab indent and semicolon comment", "\t; note\n\t x.wav\n", {"x.wav"}},
        {"blank-only lines skipped", "  \n\t\n\ny.aiff\n", {"y.aiff"}},
        {"last line without line end", "a.flac\nb.flac", {"a.flac", "b.flac"}},
        {"legacy bytes kept raw", "\x93\xfa\x96\x7b.flac\n", {"\x93\xfa\x96\x7b.flac"}},
        {"long line read in pieces of 999 bytes", longLine + "\n",
         {longLine.substr(0, 999), longLine.substr(999)}},
        {"empty file", "", {}},
    };
    for (const Row &row : rows) {
        TempDir dir;
        writeFile(dir.file("list.m3u"), row.file);
        M3uList *list = M3uRead(dir.file("list.m3u").c_str());
        ASSERT_NE(list, nullptr) << row.name;
        EXPECT_EQ(entries(list), row.expected) << row.name;
        M3uFree(list);
    }
}

TEST(M3u, MissingFileIsEmptyList)
{
    M3uList *list = M3uRead("/nonexistent/list.m3u");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(M3uCount(list), 0);
    EXPECT_EQ(M3uEntryAt(list, 0), nullptr);
    M3uFree(list);
    M3uFree(nullptr);
}

TEST(M3u, EntryAtMovesBothWays)
{
    TempDir dir;
    writeFile(dir.file("l.m3u"), "\na\nb\nc\nd\n");
    M3uList *list = M3uRead(dir.file("l.m3u").c_str());
    struct Row {
        int32_t n;
        const char *expected;
    } rows[] = {{2, "c"}, {3, "d"}, {0, "a"}, {1, "b"}, {1, "b"}, {4, nullptr}, {-1, nullptr}, {3, "d"}};
    for (const Row &row : rows) {
        const char *text = M3uEntryAt(list, row.n);
        if (row.expected)
            EXPECT_STREQ(text, row.expected) << row.n;
        else
            EXPECT_EQ(text, nullptr) << row.n;
    }
    M3uFree(list);
}

TEST(M3u, ToolPrintsEntries)
{
    TempDir dir;
    writeFile(dir.file("l.m3u"), "#EXTM3U\n  /music/a.flac\r\nsub/b.flac\n");
    ToolResult r = runTool({"m3u", dir.file("l.m3u")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "/music/a.flac\nsub/b.flac\n");
}

}  // namespace
