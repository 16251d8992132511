#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ThmTestSupport.h"

namespace {

std::vector<int> charactersOf(ThmObject *port)
{
    std::vector<int> chars;
    for (int c = ThmPortRead(port); c >= 0; c = ThmPortRead(port))
        chars.push_back(c);
    chars.push_back(ThmPortRead(port));  // end of input stays the end
    return chars;
}

struct DecodeRow {
    const char *name;
    std::string bytes;
    std::vector<int> chars;  // ending in -1
};

const std::vector<DecodeRow> kDecodeRows = {
    {"ASCII", "a\n", {'a', '\n', -1}},
    {"two bytes", "\xc3\xa9", {0xE9, -1}},
    {"three bytes", "\xe2\x82\xac", {0x20AC, -1}},
    {"largest three bytes", "\xef\xbf\xbf", {0xFFFF, -1}},
    {"stray continuation byte", "\x80" "a", {0, 'a', -1}},
    {"four-byte lead and its continuations", "\xf0\x9f\x8e\xb5", {0, 0, 0, 0, -1}},
    {"lead cut short by ASCII", "\xc3" "A", {0, 'A', -1}},
    {"three-byte lead cut short by a lead", "\xe2\x82\xc3\xa9", {0, 0xE9, -1}},
    {"lead at the end of input", "a\xe2\x82", {'a', 0, -1}},
    {"NUL byte", std::string("\0b", 2), {0, 'b', -1}},
    {"empty", "", {-1}},
};

TEST(ThmPort, DecodesUtf8FromBytesAndFiles)
{
    TempDir dir;
    for (const DecodeRow &row : kDecodeRows) {
        ThmObject *bytes = ThmOpenBytes(row.bytes.data(), row.bytes.size());
        EXPECT_EQ(charactersOf(bytes), row.chars) << row.name << " (bytes)";
        ThmRelease(bytes);

        writeFile(dir.file("f.thm"), row.bytes);
        ThmObject *path = ThmStringFromUTF8(dir.file("f.thm").c_str());
        ThmObject *file = ThmOpenFile(path);
        ThmRelease(path);
        ASSERT_NE(file, nullptr) << row.name;
        EXPECT_EQ(charactersOf(file), row.chars) << row.name << " (file)";
        ThmRelease(file);
    }
}

TEST(ThmPort, MissingFileGivesNoPort)
{
    ThmObject *path = ThmStringFromUTF8("/nonexistent/dir/x.thm");
    EXPECT_EQ(ThmOpenFile(path), nullptr);
    ThmRelease(path);
}

TEST(ThmPort, NonAsciiPathOpens)
{
    TempDir dir;
    std::string name = dir.file("th\xc3\xa8me.thm");
    writeFile(name, "1");
    ThmObject *path = ThmStringFromUTF8(name.c_str());
    ThmObject *port = ThmOpenFile(path);
    ThmRelease(path);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(ThmPortRead(port), '1');
    ThmRelease(port);
}

TEST(ThmPort, PushbackIsLastInFirstOutAndHoldsAHundred)
{
    std::string text = "xyz";
    ThmObject *port = ThmOpenBytes(text.data(), text.size());
    for (int i = 0; i < ThmPushbackSize + 5; i++)
        ThmPortUnread(port, 'a' + i % 26);
    // The five pushed onto a full stack were dropped.
    for (int i = ThmPushbackSize - 1; i >= 0; i--)
        ASSERT_EQ(ThmPortRead(port), 'a' + i % 26) << i;
    EXPECT_EQ(ThmPortRead(port), 'x');
    ThmPortUnread(port, -1);
    EXPECT_EQ(ThmPortRead(port), 'y');
    ThmRelease(port);
}

TEST(ThmPort, LineCounterFollowsNewlinesBothWays)
{
    std::string text = "a\nb\n";
    ThmObject *port = ThmOpenBytes(text.data(), text.size());
    EXPECT_EQ(port->port->line, 1);
    ThmPortRead(port);
    ThmPortRead(port);
    EXPECT_EQ(port->port->line, 2);
    ThmPortUnread(port, '\n');
    EXPECT_EQ(port->port->line, 1);
    while (ThmPortRead(port) >= 0) {
    }
    EXPECT_EQ(port->port->line, 3);
    ThmRelease(port);
}

TEST(ThmPort, Utf8StringConversions)
{
    struct Row {
        const char *name;
        std::string in;
        std::vector<uint16_t> chars;
        std::string out;
    };
    const Row rows[] = {
        {"ASCII", "abc", {'a', 'b', 'c'}, "abc"},
        {"mixed widths", "a\xc3\xa9\xe2\x82\xac", {'a', 0xE9, 0x20AC}, "a\xc3\xa9\xe2\x82\xac"},
        {"empty", "", {}, ""},
        {"invalid bytes become character 0, cutting the text", "a\xff" "b", {'a', 0, 'b'}, "a"},
    };
    for (const Row &row : rows) {
        ThmObject *s = ThmStringFromUTF8(row.in.c_str());
        ASSERT_TRUE(ThmIsString(s)) << row.name;
        EXPECT_EQ(std::vector<uint16_t>(s->string.chars, s->string.chars + s->string.length), row.chars)
            << row.name;
        char *back = ThmStringToUTF8(s);
        EXPECT_EQ(std::string(back), row.out) << row.name;
        free(back);
        ThmRelease(s);
    }
}

TEST(ThmPort, OutputEncodesEveryWidth)
{
    ThmObject *s = ThmNewString();
    for (uint16_t c : {uint16_t('A'), uint16_t(0x7F), uint16_t(0x80), uint16_t(0x7FF), uint16_t(0x800),
                       uint16_t(0xFFFF)})
        ThmStringAppend(s, c);
    EXPECT_EQ(printed(s), "\"A\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\"");
    ThmRelease(s);
}

TEST(ThmPort, StringGrowsFromEightByDoubling)
{
    ThmObject *s = ThmNewString();
    EXPECT_EQ(s->string.capacity, 0);
    std::vector<int> capacities;
    for (int i = 0; i < 33; i++) {
        ThmStringAppend(s, 'x');
        if (capacities.empty() || capacities.back() != s->string.capacity)
            capacities.push_back(s->string.capacity);
    }
    EXPECT_EQ(capacities, (std::vector<int>{8, 16, 32, 64}));
    ThmRelease(s);
}

}  // namespace
