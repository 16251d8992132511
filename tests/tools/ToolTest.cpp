#include <gtest/gtest.h>

#include "TestSupport.h"

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
