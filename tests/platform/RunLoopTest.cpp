#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/RunLoop.h"

namespace {

int gTargetA, gTargetB;

TEST(RunLoop, PostedCallsRunOnTheMainThreadInOrder)
{
    std::vector<int> order;
    std::atomic<bool> posted{false};
    RunLoop::detachThread([&] {
        for (int i = 0; i < 3; i++)
            RunLoop::postToMain([&order, i] { order.push_back(i); });
        posted = true;
    });
    ASSERT_TRUE(runLoopUntil([&] { return posted && order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(RunLoop, DelayedCallsCancelByTargetActionAndArgument)
{
    std::vector<std::string> ran;
    RunLoop::performAfterDelay(&gTargetA, "next", QVariant(), 0.01, [&] { ran.push_back("A next nil"); });
    RunLoop::performAfterDelay(&gTargetA, "next", QVariant(7), 0.01, [&] { ran.push_back("A next 7"); });
    RunLoop::performAfterDelay(&gTargetA, "scan", QVariant(), 0.01, [&] { ran.push_back("A scan"); });
    RunLoop::performAfterDelay(&gTargetB, "next", QVariant(), 0.01, [&] { ran.push_back("B next"); });
    RunLoop::performAfterDelay(&gTargetB, "scan", QVariant(), 0.01, [&] { ran.push_back("B scan"); });

    // A nil argument given again removes the call scheduled with nil, and only it.
    RunLoop::cancelPerform(&gTargetA, "next", QVariant());
    RunLoop::cancelAllPerforms(&gTargetB);
    EXPECT_EQ(RunLoop::pendingPerforms(&gTargetA), 2);
    EXPECT_EQ(RunLoop::pendingPerforms(&gTargetB), 0);

    ASSERT_TRUE(runLoopUntil([&] { return ran.size() == 2; }));
    runLoopUntil([] { return false; }, 50);
    std::sort(ran.begin(), ran.end());
    EXPECT_EQ(ran, (std::vector<std::string>{"A next 7", "A scan"}));
}

TEST(RunLoop, ZeroDelayRunsAtTheNextPassNotInline)
{
    bool ran = false;
    RunLoop::performAfterDelay(&gTargetA, "now", QVariant(), 0, [&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(runLoopUntil([&] { return ran; }));
}

TEST(RunLoop, OneShotTimerFiresOnceAndCanBeInvalidated)
{
    int fired = 0;
    OneShotTimer timer;
    timer.start(0.01, [&] { fired++; });
    EXPECT_TRUE(timer.isValid());
    ASSERT_TRUE(runLoopUntil([&] { return fired == 1; }));
    EXPECT_FALSE(timer.isValid());
    runLoopUntil([] { return false; }, 50);
    EXPECT_EQ(fired, 1);

    OneShotTimer cancelled;
    cancelled.start(0.01, [&] { fired++; });
    cancelled.invalidate();
    runLoopUntil([] { return false; }, 50);
    EXPECT_EQ(fired, 1);
}

TEST(RunLoop, FdWatcherReportsReadableDescriptor)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string got;
    FdWatcher watcher(fds[0], FdWatcher::Read, [&] {
        char buf[16];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0)
            got.append(buf, size_t(n));
    });
    ASSERT_EQ(write(fds[1], "abc", 3), 3);
    EXPECT_TRUE(runLoopUntil([&] { return got == "abc"; }));
    watcher.setEnabled(false);
    ASSERT_EQ(write(fds[1], "d", 1), 1);
    runLoopUntil([] { return false; }, 50);
    EXPECT_EQ(got, "abc");
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
