#include "AppFixture.h"

#include <QDateTime>

#include "ftp/AsyncSocket.h"
#include "platform/AudioSession.h"
#include "platform/IdleTimer.h"
#include "platform/RunLoop.h"

namespace {

class AppPlayingTest : public AppTest {
protected:
    AppPlayingTest() : AppTest("null") {}

    void SetUp() override
    {
        AppTest::SetUp();
        writeWav(path("long.wav"), makePcm(44100, 2, 16, 44100 * 30));
        item = PlayableItem::itemWithPath(q(path("long.wav")));
        ASSERT_TRUE(item);
        app->didFinishLaunching();
    }

    bool play()
    {
        if (player->currentItem())
            player->play();
        else
            player->play(item);
        return runLoopUntil([&] { return player->playing(); });
    }
    // Whether the player is still playing once what was asked has taken effect.
    bool settledPlaying(bool expected)
    {
        runLoopUntil([&] { return player->playing() == expected; });
        return player->playing();
    }

    PlayableItemPtr item;
};

TEST_F(AppPlayingTest, InterruptionsAndRouteChanges)
{
    AudioSession *session = AudioSession::shared();
    QSignalSpy told(app.get(), &AppDelegate::playPauseChanged);
    struct Step {
        enum { Begin, End, Route } what;
        uint32_t flags;
        const char *route;
    };
    struct Row {
        const char *name;
        const char *startRoute;
        bool playing;
        std::vector<Step> steps;
        bool playsAfter;
        int told;  // play/pause changes the screens were told of
    } rows[] = {
        {"ended without resume: stays paused", "Headphones", true, {{Step::Begin, 0, ""}, {Step::End, 0, ""}}, false, 1},
        {"ended with resume: plays again", "Headphones", true,
         {{Step::Begin, 0, ""}, {Step::End, AudioSession::ShouldResume, ""}}, true, 2},
        {"headphones went meanwhile: stays paused", "Headphones", true,
         {{Step::Begin, 0, ""}, {Step::Route, 0, "Speaker"}, {Step::End, AudioSession::ShouldResume, ""}}, false, 1},
        {"on the speaker all along: plays again", "Speaker", true,
         {{Step::Begin, 0, ""}, {Step::End, AudioSession::ShouldResume, ""}}, true, 2},
        {"not playing before: stays paused", "Headphones", false,
         {{Step::Begin, 0, ""}, {Step::End, AudioSession::ShouldResume, ""}}, false, 0},
        {"headphones unplugged: pauses", "Headphones", true, {{Step::Route, 0, "Speaker"}}, false, 1},
        {"plugged in again: no resume", "Speaker", false, {{Step::Route, 0, "Headphones"}}, false, 0},
        {"another output than the speaker: plays on", "Headphones", true, {{Step::Route, 0, "HDMI"}}, true, 0},
    };
    for (const Row &row : rows) {
        session->simulateRouteChange(row.startRoute);
        if (row.playing)
            ASSERT_TRUE(play()) << row.name;
        else
            player->pause();
        ASSERT_EQ(settledPlaying(row.playing), row.playing) << row.name;
        told.clear();
        for (const Step &step : row.steps) {
            if (step.what == Step::Begin)
                session->simulateInterruptionBegan();
            else if (step.what == Step::End)
                session->simulateInterruptionEnded(step.flags);
            else
                session->simulateRouteChange(step.route);
        }
        EXPECT_EQ(settledPlaying(row.playsAfter), row.playsAfter) << row.name;
        EXPECT_EQ(told.count(), row.told) << row.name;
    }
}

TEST_F(AppTest, SleepTimerKeepsOnlyTheLastOne)
{
    app->setSleepTimer(15 * 60);
    app->setSleepTimer(30 * 60);
    EXPECT_NEAR(double(app->sleepTime()), double(QDateTime::currentSecsSinceEpoch() + 1800), 1.0);
    EXPECT_EQ(RunLoop::pendingPerforms(app.get()), 1);
    app->removeSleepTimer();
    app->removeSleepTimer();  // none running: harmless
    EXPECT_EQ(app->sleepTime(), 0);
    EXPECT_EQ(RunLoop::pendingPerforms(app.get()), 0);

    app->setSleepTimer(1);
    EXPECT_TRUE(runLoopUntil([&] { return app->sleepTime() == 0; }));
    EXPECT_EQ(RunLoop::pendingPerforms(app.get()), 0);
}

TEST_F(AppTest, FtpServerStartsOnceAndHoldsOffTheScreenSaver)
{
    app->setFtpPort(0);
    ASSERT_TRUE(app->startFtpServer());
    FtpServer *server = app->ftpd();
    ASSERT_TRUE(server);
    EXPECT_EQ(server->name(), "Sonavel");
    EXPECT_TRUE(server->changeRoot());
    EXPECT_EQ(server->notificationObject(), app.get());
    EXPECT_TRUE(IdleTimer::isIdleTimerDisabled());
    EXPECT_TRUE(app->startFtpServer());
    EXPECT_EQ(app->ftpd(), server);

    // A port another server holds: no server, and the first one keeps running.
    AppDelegate second(player.get());
    second.setFtpPort(server->listenSocket()->localPort());
    EXPECT_FALSE(second.startFtpServer());
    EXPECT_FALSE(second.ftpd());

    app->stopFtpServer();
    EXPECT_FALSE(app->ftpd());
    EXPECT_FALSE(IdleTimer::isIdleTimerDisabled());
    app->stopFtpServer();  // stopped already: harmless
}

}  // namespace
