#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QSlider>

#include "TestSupport.h"
#include "platform/SystemVolume.h"
#include "playback/VolumeView.h"

// The slider is the sound server's volume: a person's or a screen reader's change reaches
// it, and another program's change shows.
TEST(VolumeView, IsTheSystemVolume)
{
    // Reached as a desktop's sound server is: through ALSA's pulse plugin and its "Master" element.
    TempDir dir;
    SoundServer server(dir, {"out"});
    if (!server.running() || !alsaPulsePluginInstalled())
        GTEST_SKIP() << "pulseaudio, pactl or ALSA's pulse plugin is not installed";
    server.pactl({"set-sink-volume", "out", "100%"});
    SystemVolume volume("alsa:default");
    ASSERT_TRUE(volume.isAvailable());
    QWidget panel;
    auto &view = *new VolumeView(&volume, &panel);
    panel.show();
    EXPECT_TRUE(view.isAvailable());
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.slider()->value(), 100);

    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view.slider());
    EXPECT_EQ(iface->text(QAccessible::Name), "Volume");
    ASSERT_TRUE(iface->valueInterface());
    iface->valueInterface()->setCurrentValue(25);
    EXPECT_TRUE(server.pactl({"get-sink-volume", "out"}).contains("front-left: 16384 "))
        << server.pactl({"get-sink-volume", "out"}).toStdString();

    server.pactl({"set-sink-volume", "out", "60%"});
    EXPECT_TRUE(runLoopUntil([&] { return view.slider()->value() == 60; })) << view.slider()->value();
}
