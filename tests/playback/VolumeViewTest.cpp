#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <unistd.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSlider>
#include <QStandardPaths>

#include <csignal>

#include "TestSupport.h"
#include "platform/SystemVolume.h"
#include "playback/VolumeView.h"

namespace {

// A private PulseAudio server with a null sink, reached as a desktop's sound server is:
// through ALSA's pulse plugin and its "Master" element.
class SoundServer {
public:
    explicit SoundServer(const TempDir &dir)
    {
        QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
        pactl_ = QStandardPaths::findExecutable("pactl");
        bool plugin = false;
        for (const QFileInfo &lib : QDir("/usr/lib").entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            plugin = plugin || QFileInfo::exists(lib.filePath() + "/alsa-lib/libasound_module_ctl_pulse.so");
        if (pulseaudio.isEmpty() || pactl_.isEmpty() || !plugin)
            return;
        QString socket = QString::fromStdString(dir.file("pulse.socket"));
        QDir().mkpath(QString::fromStdString(dir.file("run")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(dir.path()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.file("run")));
        server_.setProcessEnvironment(env);
        server_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server_.start(pulseaudio, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
                                   "module-null-sink sink_name=out", "-L",
                                   "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        server_.waitForStarted();
        qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
        for (int i = 0; i < 200 && running() && !pactl({"info"}).contains("out"); i++)
            usleep(100 * 1000);  // until it serves, at most 20 s
    }
    ~SoundServer()
    {
        qunsetenv("PULSE_SERVER");
        server_.kill();
        server_.waitForFinished();
    }
    bool running() { return server_.state() == QProcess::Running; }
    QString pactl(const QStringList &args)
    {
        QProcess p;
        p.start(pactl_, args);
        p.waitForFinished();
        return QString::fromUtf8(p.readAllStandardOutput());
    }

private:
    QString pactl_;
    QProcess server_;
};

}  // namespace

// The slider is the sound server's volume: a person's or a screen reader's change reaches
// it, and another program's change shows.
TEST(VolumeView, IsTheSystemVolume)
{
    TempDir dir;
    SoundServer server(dir);
    if (!server.running())
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
