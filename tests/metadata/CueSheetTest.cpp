// Cue sheets written here line by line, plus one written by ffmpeg-style tools' habits
// (CR LF, indented album lines, pregaps).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "metadata/CueSheet.h"

namespace {

using Text = std::optional<std::string>;
const Text none = std::nullopt;
using namespace std::string_literals;

Text field(const char *s) { return s ? Text(s) : none; }

struct Track {
    float start = 0, duration = 0;
    Text title = none, performer = none;
};

struct Expected {
    int trackCount = 0;
    Text performer = none, title = none;
    std::vector<Track> tracks;
};

struct CueCase {
    const char *name;
    std::string text;
    Expected expected;
};

void PrintTo(const CueCase &c, std::ostream *os) { *os << c.name; }

// A twelve-track sheet as rippers write it.
std::string typicalSheet(const std::string &eol)
{
    std::string s = "REM GENRE Rock" + eol + "REM DATE 1999" + eol + "PERFORMER \"The Band\"" +
                    eol + "TITLE \"The Album\"" + eol + "FILE \"album.flac\" WAVE" + eol;
    for (int n = 1; n <= 12; n++) {
        char buf[200];
        int m = (n - 1) * 3, sec = n * 2;
        snprintf(buf, sizeof buf,
                 "  TRACK %02d AUDIO%s    TITLE \"Song %d\"%s    PERFORMER \"Singer %d\"%s"
                 "    INDEX 00 %02d:%02d:00%s    INDEX 01 %02d:%02d:%02d%s",
                 n, eol.c_str(), n, eol.c_str(), n, eol.c_str(), m, sec > 0 ? sec - 1 : 0,
                 eol.c_str(), m, sec, n * 6, eol.c_str());
        s += buf;
    }
    return s;
}

Expected typicalExpected()
{
    Expected e;
    e.trackCount = 12;
    e.performer = "The Band";
    e.title = "The Album";
    for (int n = 1; n <= 12; n++) {
        Track t;
        t.start = float((n - 1) * 3 * 60 + n * 2);
        t.duration = n < 12 ? float(3 * 60 + 2) : 0;
        t.title = "Song " + std::to_string(n);
        t.performer = "Singer " + std::to_string(n);
        e.tracks.push_back(t);
    }
    return e;
}

Expected tracks(int count, std::vector<Track> filled)
{
    Expected e;
    e.trackCount = count;
    filled.resize(size_t(count));
    e.tracks = filled;
    return e;
}

Track titled(const std::string &title, float start = 0, float duration = 0)
{
    Track t;
    t.title = title;
    t.start = start;
    t.duration = duration;
    return t;
}

class Cue : public testing::TestWithParam<CueCase> {};

TEST_P(Cue, Row)
{
    const CueCase &c = GetParam();
    TempDir dir;
    writeFile(dir.file("album.cue"), c.text);
    CueSheet *sheet = CueSheetLoad(dir.file("album.cue").c_str());
    ASSERT_NE(sheet, nullptr);
    const Expected &e = c.expected;
    EXPECT_EQ(sheet->trackCount, e.trackCount);
    EXPECT_EQ(field(sheet->performer), e.performer);
    EXPECT_EQ(field(sheet->title), e.title);
    ASSERT_EQ(size_t(sheet->trackCount), e.tracks.size());
    if (sheet->trackCount == 0) {
        EXPECT_EQ(sheet->tracks, nullptr);
    }
    for (size_t k = 0; k < e.tracks.size(); k++) {
        SCOPED_TRACE("track " + std::to_string(k + 1));
        const CueTrack &t = sheet->tracks[k];
        EXPECT_EQ(t.start, e.tracks[k].start);
        EXPECT_EQ(t.duration, e.tracks[k].duration);
        EXPECT_EQ(field(t.title), e.tracks[k].title);
        EXPECT_EQ(field(t.performer), e.tracks[k].performer);
    }
    CueSheetFree(sheet);
}

const std::string kLongTitle(700, 'L');

INSTANTIATE_TEST_SUITE_P(
    Sheets, Cue,
    testing::Values(
        CueCase{"TypicalLf", typicalSheet("\n"), typicalExpected()},
        CueCase{"TypicalCrLf", typicalSheet("\r\n"), typicalExpected()},
        CueCase{"NoFinalLineEnd", "TITLE \"A\"\nTRACK 01 AUDIO\nINDEX 01 01:02:03",
                [] { Expected e = tracks(1, {Track{62, 0}}); e.title = "A"; return e; }()},
        CueCase{"IndentedAlbumTitleNotTaken",
                "PERFORMER \"P\"\n  TITLE \"Indented\"\nTRACK 01 AUDIO\n  TITLE \"T\"\n",
                [] { Expected e = tracks(1, {titled("T")}); e.performer = "P"; return e; }()},
        CueCase{"AlbumLinesAnywhereFirstWins",
                "TRACK 01 AUDIO\n  TITLE \"T\"\nTITLE \"Late Album\"\nTITLE \"Later\"\n",
                [] { Expected e = tracks(1, {titled("Later")}); e.title = "Late Album"; return e; }()},
        CueCase{"NumberingGap", "TRACK 1 AUDIO\nTITLE \"a\"\nTRACK 2 AUDIO\nTITLE \"b\"\n"
                                "TRACK 5 AUDIO\nTITLE \"c\"\n",
                [] { Expected e = tracks(5, {titled("a"), titled("b"), titled("c")});
                     e.title = "a"; return e; }()},
        CueCase{"NumbersPlayNoPartInPass2",
                "TRACK 03 AUDIO\n TITLE \"x\"\n INDEX 01 00:10:00\nTRACK 01 AUDIO\n TITLE \"y\"\n"
                " INDEX 01 00:20:00\n",
                tracks(3, {titled("x", 10, 10), titled("y", 20, -20)})},
        CueCase{"BlankOrNoBlankBeforeQuote", "TRACK 01\n TITLE\"One\"\nTRACK 02\n TITLE \t \"One\"\n",
                tracks(2, {titled("One"), titled("One")})},
        CueCase{"EmptyQuotesCaptureNothing",
                "TITLE \"\"\nTITLE \"Album\"\nTRACK 01\n TITLE \"\"\n",
                [] { Expected e = tracks(1, {Track{}}); e.title = "Album"; return e; }()},
        CueCase{"LastTitleInSectionWins", "TRACK 01\n TITLE \"a\"\n TITLE \"b\"\n PERFORMER \"p\"\n"
                                          " PERFORMER \"q\"\n",
                [] { Track t = titled("b"); t.performer = "q"; return tracks(1, {t}); }()},
        CueCase{"NoIndex01KeepsStartZero", "TRACK 01\n INDEX 00 01:00:00\n INDEX 02 02:00:00\n"
                                           "TRACK 02\n INDEX 01 03:00:00\n",
                tracks(2, {Track{0, 180}, Track{180, 0}})},
        CueCase{"FramesDroppedNotRounded", "TRACK 01\n INDEX 01 03:25:74\n",
                tracks(1, {Track{205, 0}})},
        CueCase{"IndexSpacing", "TRACK 01\n INDEX  01   2:5\nTRACK 02\n INDEX 01 02 :05\n"
                                "TRACK 03\n INDEX 01 1: 5\n",
                tracks(3, {Track{125, -125}, Track{0, 65}, Track{65, 0}})},
        CueCase{"LowerCaseKeywordsIgnored", "title \"a\"\nTITLE \"b\"\ntrack 01\nTRACK 01\n"
                                             " title \"t\"\n",
                [] { Expected e = tracks(1, {Track{}}); e.title = "b"; return e; }()},
        // Only spaces and tabs are stripped before a keyword; a form feed hides the line.
        CueCase{"OnlySpacesAndTabsStripped", "TRACK 01\n\t TITLE \"a\"\nTRACK 02\n\fTITLE \"b\"\n\vTRACK 03\n",
                tracks(2, {titled("a"), Track{}})},
        CueCase{"UnclosedQuoteRunsToLineEnd", "PERFORMER \"Open\r\nTRACK 01\n",
                [] { Expected e = tracks(1, {Track{}}); e.performer = "Open\r\n"; return e; }()},
        CueCase{"RawBytesKept", "TITLE \"caf\xe9\"\nTRACK 01\n TITLE \"\x82\xa0\"\n",
                [] { Expected e = tracks(1, {titled("\x82\xa0")}); e.title = "caf\xe9"; return e; }()},
        CueCase{"NoTracks", "PERFORMER \"P\"\nTITLE \"T\"\nFILE \"x.wav\" WAVE\n",
                [] { Expected e; e.performer = "P"; e.title = "T"; return e; }()},
        CueCase{"EmptyFile", "", Expected{}},
        CueCase{"Utf8ByteOrderMarkSkipped", "\xef\xbb\xbfPERFORMER \"P\"\nTRACK 01\n",
                [] { Expected e = tracks(1, {Track{}}); e.performer = "P"; return e; }()},
        CueCase{"NulEndsLine", "TITLE \"ab\0cd\"\nTRACK 01\n"s,
                [] { Expected e = tracks(1, {Track{}}); e.title = "ab"; return e; }()}),
    [](const testing::TestParamInfo<CueCase> &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    TrackRange, Cue,
    testing::Values(
        CueCase{"HugeTrackNumberIgnored", "TRACK 01\n TITLE \"a\"\nTRACK 2000000000\n TITLE \"b\"\n",
                tracks(1, {titled("b")})},
        CueCase{"OverflowingTrackNumberIgnored",
                "TRACK 01\nTRACK 99999999999999999999999\nTRACK -5\nTRACK 0\n",
                tracks(1, {Track{}})},
        CueCase{"Track99Allowed", "TRACK 99\n TITLE \"last\"\nTRACK 100\n",
                tracks(99, {titled("last")})},
        CueCase{"OnlyOutOfRange", "TRACK 0\n TITLE \"a\"\nTRACK 100\n", Expected{}}),
    [](const testing::TestParamInfo<CueCase> &info) { return std::string(info.param.name); });

std::string longLine(size_t n) { return std::string(n, ' '); }

INSTANTIATE_TEST_SUITE_P(
    LongLines, Cue,
    testing::Values(
        // 700 bytes: a first piece of 499 and a second of the rest, each matched as a line.
        CueCase{"TitleLongerThanBuffer", "TRACK 01\n TITLE \"" + kLongTitle + "\"\n",
                tracks(1, {titled(std::string(499 - 8, 'L'))})},
        CueCase{"SecondPieceMatchedAsLine",
                "TRACK 01\n" + std::string(499, 'x') + "TITLE \"Piece\"\n",
                [] { Expected e = tracks(1, {titled("Piece")}); e.title = "Piece"; return e; }()},
        CueCase{"TrackLineSplitByBuffer", longLine(499) + "TRACK 02\n TITLE \"t\"\n",
                tracks(2, {titled("t")})},
        CueCase{"VeryLongLineNoEnd", std::string(100000, 'T'), Expected{}}),
    [](const testing::TestParamInfo<CueCase> &info) { return std::string(info.param.name); });

TEST(CueSheet, MissingFileIsNull)
{
    EXPECT_EQ(CueSheetLoad("/nonexistent/album.cue"), nullptr);
    TempDir dir;
    EXPECT_EQ(CueSheetLoad(dir.path().c_str()), nullptr);  // a folder cannot be read
    CueSheetFree(nullptr);
}

}  // namespace
