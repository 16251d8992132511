#include <gtest/gtest.h>

#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/SystemVolume.h"

namespace {

TEST(SystemVolume, WhichMixerAnOutputUses)
{
    struct Row {
        const char *device;
        std::vector<std::string> controls;
    };
    const Row rows[] = {
        {"default", {"default"}},
        {"hw:1", {"hw:1"}},
        {"hw:1,0", {"hw:1,0", "hw:1"}},
        {"plughw:1,0", {"plughw:1,0", "hw:1"}},
        {"plug:'hw:2,0'", {"plug:'hw:2,0'", "hw:2"}},
        {"plughw:CARD=DAC,DEV=0", {"plughw:CARD=DAC,DEV=0", "hw:DAC"}},
        {"front:CARD=PCH,DEV=0", {"front:CARD=PCH,DEV=0", "hw:PCH"}},
        {"dmix", {"dmix"}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(SystemVolume::controlCandidates(row.device), row.controls) << row.device;

    // No mixer behind these: the volume control is to be hidden, and nothing is changed.
    for (const char *output : {"null", "null-fast", "wav:/tmp/never.wav", "alsa:hw:7,0", "alsa:no_such_device"}) {
        SystemVolume volume(output);
        EXPECT_FALSE(volume.isAvailable()) << output;
        EXPECT_TRUE(volume.elementName().isEmpty()) << output;
        EXPECT_EQ(volume.volume(), 0.0) << output;
        EXPECT_FALSE(volume.setVolume(0.5)) << output;
    }
}

// There is no sound card where the tests run; a private PulseAudio server with a null sink is
// reached the way a desktop's sound server is, through ALSA's pulse plugin. ALSA's remap control
// renames the server's "Master" to show the other element choices.
TEST(SystemVolume, FollowsAndDrivesTheSoundServersVolume)
{
    TempDir dir;
    SoundServer server(dir, {"out"});
    if (!server.running() || !alsaPulsePluginInstalled() || !QFileInfo::exists("/usr/share/alsa/alsa.conf"))
        GTEST_SKIP() << "pulseaudio, pactl or ALSA's pulse plugin is not installed";
    writeFile(dir.file("asound.conf"), R"(</usr/share/alsa/alsa.conf>
ctl.pcmonly { type remap child "pulse" remap {
    "name='Master Playback Volume'" "name='PCM Playback Volume'"
    "name='Master Playback Switch'" "name='PCM Playback Switch'" } }
ctl.neither { type remap child "pulse" remap {
    "name='Master Playback Volume'" "name='Headphone Playback Volume'"
    "name='Master Playback Switch'" "name='Headphone Playback Switch'" } }
)");
    qputenv("ALSA_CONFIG_PATH", QByteArray::fromStdString(dir.file("asound.conf")));
    const auto unsetConfig = qScopeGuard([] { qunsetenv("ALSA_CONFIG_PATH"); });

    struct Row {
        const char *output;
        const char *element;  // empty: no volume
    };
    const Row rows[] = {
        {"alsa:default", "Master"},
        {"alsa:pcmonly", "PCM"},
        {"alsa:neither", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.output);
        server.pactl({"set-sink-volume", "out", "100%"});
        server.pactl({"set-sink-mute", "out", "0"});
        SystemVolume volume(row.output);
        EXPECT_EQ(volume.elementName(), row.element);
        if (!*row.element) {
            EXPECT_FALSE(volume.isAvailable());
            continue;
        }
        ASSERT_TRUE(volume.isAvailable());
        EXPECT_EQ(volume.volume(), 1.0);
        std::vector<double> heard;
        QObject::connect(&volume, &SystemVolume::volumeChanged, [&](double v) { heard.push_back(v); });

        // Ours reaches the server, and does not come back as someone else's change.
        EXPECT_TRUE(volume.setVolume(0.25));
        EXPECT_TRUE(server.pactl({"get-sink-volume", "out"}).contains("front-left: 16384 "))
            << server.pactl({"get-sink-volume", "out"}).toStdString();
        EXPECT_EQ(volume.volume(), 0.25);

        // Another program's change is followed, the mute switch included.
        server.pactl({"set-sink-volume", "out", "60%"});
        ASSERT_TRUE(runLoopUntil([&] { return !heard.empty(); }));
        ASSERT_EQ(heard.size(), 1u) << heard.front();
        EXPECT_NEAR(heard.back(), 0.6, 0.001);
        EXPECT_NEAR(volume.volume(), 0.6, 0.001);
        server.pactl({"set-sink-mute", "out", "1"});
        ASSERT_TRUE(runLoopUntil([&] { return heard.back() == 0.0; }));
        EXPECT_EQ(volume.volume(), 0.0);

        // Raising the volume while muted is meant to be heard.
        EXPECT_TRUE(volume.setVolume(0.5));
        EXPECT_TRUE(server.pactl({"get-sink-mute", "out"}).contains("Mute: no"));
        EXPECT_EQ(volume.volume(), 0.5);
        server.pactl({"set-sink-volume", "out", "70%"});
        ASSERT_TRUE(runLoopUntil([&] { return std::abs(heard.back() - 0.7) < 0.001; }));
        EXPECT_EQ(std::count(heard.begin(), heard.end(), 0.5), 0) << "our own change reported as another's";
    }
}

}  // namespace
