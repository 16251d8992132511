#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStandardPaths>

#include <pulse/def.h>

#include "TestSupport.h"
#include "platform/AudioSession.h"

namespace {

TEST(AudioSession, RouteNames)
{
    struct Row {
        const char *name;
        const char *port;
        uint32_t type;
        const char *formFactor;
        QString route;
    } rows[] = {
        {"speaker port", "analog-output-speaker", PA_DEVICE_PORT_TYPE_SPEAKER, nullptr, "Speaker"},
        {"headphone port", "analog-output-headphones", PA_DEVICE_PORT_TYPE_HEADPHONES, nullptr, "Headphones"},
        {"the type wins over the name", "analog-output-speaker", PA_DEVICE_PORT_TYPE_HEADPHONES, nullptr, "Headphones"},
        {"untyped port by its name", "[Out] Speaker", PA_DEVICE_PORT_TYPE_UNKNOWN, nullptr, "Speaker"},
        {"headphones named before speaker", "headphone-speaker", PA_DEVICE_PORT_TYPE_UNKNOWN, nullptr, "Headphones"},
        {"untyped port nobody can name", "analog-output", PA_DEVICE_PORT_TYPE_UNKNOWN, "speaker", QString()},
        {"no port: the form factor", nullptr, 0, "headphone", "Headphones"},
        {"no port, speaker form", nullptr, 0, "speaker", "Speaker"},
        {"nothing tells", nullptr, 0, nullptr, QString()},
    };
    for (const Row &row : rows) {
        QString route = AudioSession::routeNameFor(row.port, row.type, row.formFactor);
        EXPECT_EQ(route, row.route) << row.name;
        EXPECT_EQ(route.isNull(), row.route.isNull()) << row.name;
    }
}

TEST(AudioSession, FollowsTheDefaultSink)
{
    if (QStandardPaths::findExecutable("pulseaudio").isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty())
        GTEST_SKIP() << "pulseaudio and pactl are needed";
    // Two sinks, one headphone-like and one speaker-like.
    TempDir dir;
    SoundServer server(dir, {"phones sink_properties=device.form_factor=headphone",
                             "box sink_properties=device.form_factor=speaker"});
    ASSERT_TRUE(server.pactlSucceeds({"info"}));
    ASSERT_TRUE(server.pactlSucceeds({"set-default-sink", "phones"}));

    AudioSession session;
    QSignalSpy changes(&session, &AudioSession::routeChanged);
    session.start();
    // What is there at the start is not a change.
    EXPECT_TRUE(runLoopUntil([&] { return session.currentRouteName() == "Headphones"; }));

    // A volume change reaches the session as a sink change, but the route stays.
    EXPECT_TRUE(server.pactlSucceeds({"set-sink-volume", "phones", "50%"}));
    EXPECT_TRUE(server.pactlSucceeds({"set-default-sink", "box"}));
    EXPECT_TRUE(runLoopUntil([&] { return session.currentRouteName() == "Speaker"; }));
    EXPECT_TRUE(server.pactlSucceeds({"set-default-sink", "phones"}));
    EXPECT_TRUE(runLoopUntil([&] { return session.currentRouteName() == "Headphones"; }));
    EXPECT_TRUE(runLoopUntil([&] { return changes.count() == 2; }));

    // Without a server there is no route.
    server.stop();
    EXPECT_TRUE(runLoopUntil([&] { return session.currentRouteName().isNull(); }));
    EXPECT_EQ(changes.count(), 2);
}

}  // namespace
