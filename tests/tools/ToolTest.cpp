#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/PlayerFixtures.h"

namespace {

TEST(SonavelTool, HelpUnknownCommandAndMissingArguments)
{
    ToolResult help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("tags FILE"), std::string::npos);

    ToolResult none = runTool({});
    EXPECT_EQ(none.exitCode, 2);

    ToolResult unknown = runTool({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("usage:"), std::string::npos);

    for (const char *command : {"tags", "pcm", "cue", "theme"}) {
        ToolResult missing = runTool({command});
        EXPECT_EQ(missing.exitCode, 2) << command;
        EXPECT_NE(missing.err.find("usage: sonavel-tool"), std::string::npos) << command;
    }
}

}  // namespace

namespace {

using playerfixtures::counterPcm;
using playerfixtures::counterRuns;
using playerfixtures::CounterRun;
using playerfixtures::runsText;
using Runs = std::vector<CounterRun>;
using playerfixtures::writeCounter;

Runs renderedRuns(const std::string &path)
{
    const std::string bytes = readFile(path);
    return counterRuns(bytes.size() > 44 ? bytes.substr(44) : "");
}

// A user's session replayed against the real player and output: each action lands where the
// user did it, heard at once, and the list goes on from there.
TEST(SonavelTool, PlayReplaysWhatTheUserDoes)
{
    TempDir dir;
    writeCounter(dir.file("c.wav"), 8000, 3 * 8000);
    writeCounter(dir.file("d.wav"), 11025, 11025, 100000);
    for (uint32_t rate : {8000u, 44100u})
        playerfixtures::writeCounterAlbum(dir.path(), "album" + std::to_string(rate), rate, 4);
    const int64_t low = 8000, cd = 44100;
    struct Row {
        const char *name;
        std::vector<std::string> args;  // items and --do options
        std::vector<int64_t> starts;    // where each run of out.wav starts
        CounterRun last;                // out.wav's last run, whole
        Runs second;                    // out.2.wav
        std::vector<std::string> lines; // in this order on standard error
    } rows[] = {
        {"seek, pause and play, then the next item",
         {"--do", "0.5:seek=2", "--do", "0.7:pause", "--do", "1.3:play", "c.wav", "d.wav"},
         {0, 2 * low}, {2 * low, low}, {{100000, 11025}},
         {"do seek=2\n", "do pause\nevent 2\n", "do play\nevent 3\n", "playing d("}},
        {"next, a tap on a row, previous",
         {"--do", "0.3:next", "--do", "0.6:item=album8000.wav#4", "--do", "0.9:previous", "album8000.wav#1",
          "album8000.wav#2", "album8000.wav#3"},
         {0, low, 3 * low, low}, {low, 2 * low}, {},
         {"do next\nevent 1\nplaying Track 2", "playing Track 4", "do previous\nevent 1\nplaying Track 2",
          "playing Track 3"}},
        {"lock, then unlock: the track repeats, then the list ends",
         {"--do", "0.1:lock", "--do", "2.4:unlock", "album44100.wav#2"},
         {cd, cd, cd}, {cd, cd}, {}, {"do lock\n", "do unlock\n"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        for (const char *out : {"out.wav", "out.2.wav"})
            std::remove(dir.file(out).c_str());
        std::vector<std::string> args = {"play", "--output", "wav:" + dir.file("out.wav")};
        for (const std::string &a : row.args)
            args.push_back(a.find(".wav") != std::string::npos && a.find(':') == std::string::npos ? dir.file(a) : a);
        for (std::string &a : args) {
            if (a.find("item=") != std::string::npos)
                a = a.substr(0, a.find('=') + 1) + dir.file(a.substr(a.find('=') + 1));
        }
        ToolResult r = runTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        size_t at = 0;
        for (const std::string &line : row.lines) {
            at = r.err.find(line, at);
            EXPECT_NE(at, std::string::npos) << "\"" << line << "\" in order in:\n" << r.err;
        }
        Runs runs = renderedRuns(dir.file("out.wav"));
        ASSERT_GE(runs.size(), row.starts.size()) << runsText(runs);
        for (size_t i = 0; i < runs.size(); i++)
            EXPECT_EQ(runs[i].first, row.starts[std::min(i, row.starts.size() - 1)]) << runsText(runs);
        EXPECT_EQ(runs.back(), row.last) << runsText(runs);
        EXPECT_EQ(renderedRuns(dir.file("out.2.wav")), row.second);
    }

    EXPECT_EQ(runTool({"play", "--do", "1:jump", dir.file("c.wav")}).exitCode, 2);
    EXPECT_EQ(runTool({"play", "--do", "soon:pause", dir.file("c.wav")}).exitCode, 2);
    EXPECT_EQ(runTool({"play", "--do", "1:seek", dir.file("c.wav")}).exitCode, 2);
    ToolResult gone = runTool({"play", "--do", "1:item=" + dir.file("gone.wav"), dir.file("c.wav")});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.err.find("cannot play"), std::string::npos);
}

}  // namespace
