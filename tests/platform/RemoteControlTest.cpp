#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QUrl>

#include <optional>
#include <vector>

#include "HelperProcess.h"
#include "MprisClient.h"
#include "TestSupport.h"
#include "platform/RemoteControl.h"

namespace {

using namespace mpris;

// Runs a program (playerctl) while this thread's run loop keeps serving the bus.
QString runWhileServing(const QStringList &args)
{
    QProcess process;
    process.start(args.first(), args.mid(1));
    process.waitForStarted();
    runLoopUntil([&] { return process.state() == QProcess::NotRunning; }, 20000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}  // namespace

class BusLog : public QObject {
    Q_OBJECT
public:
    std::vector<QDBusMessage> messages;
    // The changed properties of the PropertiesChanged signals seen so far, for one interface.
    QVariantMap changed(const QString &interface) const
    {
        QVariantMap all;
        for (const QDBusMessage &m : messages)
            if (m.member() == "PropertiesChanged" && m.arguments().value(0).toString() == interface)
                all.insert(qdbus_cast<QVariantMap>(m.arguments().value(1).value<QDBusArgument>()));
        return all;
    }
    // Every value announced for one property, in order.
    QVariantList values(const QString &interface, const QString &name) const
    {
        QVariantList all;
        for (const QDBusMessage &m : messages) {
            QVariantMap changed = qdbus_cast<QVariantMap>(m.arguments().value(1).value<QDBusArgument>());
            if (m.member() == "PropertiesChanged" && m.arguments().value(0).toString() == interface &&
                changed.contains(name))
                all << changed.value(name);
        }
        return all;
    }
    std::optional<qlonglong> lastSeeked() const
    {
        for (auto m = messages.rbegin(); m != messages.rend(); ++m)
            if (m->member() == "Seeked")
                return m->arguments().value(0).toLongLong();
        return std::nullopt;
    }
public slots:
    void record(const QDBusMessage &message) { messages.push_back(message); }
};

TEST(RemoteControl, ClientsSeeWhatPlaysAndTheirCommandsArriveAsEvents)
{
    QString address = privateSessionBus();
    if (address.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    TempDir cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path()));

    // Covers are named by content; an earlier one is removed when the next is written.
    QImage red(8, 8, QImage::Format_RGB32), blue(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    QString first = RemoteControl::writeCoverArt(red);
    QString cover = RemoteControl::writeCoverArt(blue);
    EXPECT_TRUE(cover.startsWith(QString::fromStdString(cache.file("sonavel/")))) << cover.toStdString();
    EXPECT_NE(first, cover);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_EQ(QImage(cover).pixel(3, 3), blue.pixel(3, 3));

    RemoteControl rc;
    ASSERT_TRUE(rc.isAvailable());
    EXPECT_EQ(rc.busName(), kService);
    std::vector<RemoteControl::Event> events;
    std::vector<double> seeks, volumes;
    double position = 12.25;
    QObject::connect(&rc, &RemoteControl::remoteControlEvent, [&](RemoteControl::Event e) { events.push_back(e); });
    QObject::connect(&rc, &RemoteControl::seekRequested, [&](double s) {
        seeks.push_back(s);
        position = s;
    });
    QObject::connect(&rc, &RemoteControl::volumeRequested, [&](double v) { volumes.push_back(v); });
    rc.setPositionProvider([&] { return position; });

    Client client{QDBusConnection::connectToBus(address, "remote-control-client")};
    ASSERT_TRUE(client.bus.isConnected());
    BusLog log;
    ASSERT_TRUE(client.bus.connect(kService, kPath, kProperties, "PropertiesChanged", &log, SLOT(record(QDBusMessage))));
    ASSERT_TRUE(client.bus.connect(kService, kPath, kPlayer, "Seeked", &log, SLOT(record(QDBusMessage))));

    EXPECT_EQ(client.get("org.mpris.MediaPlayer2", "Identity").toString(), "Sonavel");
    EXPECT_EQ(client.get("org.mpris.MediaPlayer2", "DesktopEntry").toString(), "org.sonavel.Sonavel");
    EXPECT_EQ(client.metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");

    rc.setTrack({"/music/album.flac@0", "Título Ω", "Artist", "Album", 61.5, cover});
    rc.setPlaybackStatus(RemoteControl::Status::Playing);
    ASSERT_TRUE(runLoopUntil([&] { return log.changed(kPlayer).contains("PlaybackStatus"); }));
    QVariantMap announced = log.changed(kPlayer);
    EXPECT_EQ(announced.value("PlaybackStatus").toString(), "Playing");
    EXPECT_EQ(qdbus_cast<QVariantMap>(announced.value("Metadata").value<QDBusArgument>()).value("xesam:title").toString(),
              "Título Ω");

    QVariantMap metadata = client.metadata();
    QString trackId = metadata.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_TRUE(trackId.startsWith("/org/sonavel/Sonavel/Track/")) << trackId.toStdString();
    EXPECT_EQ(metadata.value("xesam:title").toString(), "Título Ω");
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Artist"});
    EXPECT_EQ(metadata.value("xesam:album").toString(), "Album");
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 61500000);
    EXPECT_EQ(QUrl(metadata.value("mpris:artUrl").toString()), QUrl::fromLocalFile(cover));
    EXPECT_EQ(client.get(kPlayer, "Position").toLongLong(), 12250000);
    EXPECT_EQ(client.get(kPlayer, "PlaybackStatus").toString(), "Playing");

    struct Row {
        const char *name;
        RemoteControl::Status status;
        bool canGoNext;
        const char *method;
        std::vector<RemoteControl::Event> expected;
    };
    using S = RemoteControl::Status;
    using E = RemoteControl::Event;
    const Row rows[] = {
        {"play-pause while playing toggles", S::Playing, true, "PlayPause", {E::TogglePlayPause}},
        {"play-pause while paused toggles", S::Paused, true, "PlayPause", {E::TogglePlayPause}},
        {"play while paused toggles", S::Paused, true, "Play", {E::TogglePlayPause}},
        {"play while playing does nothing", S::Playing, true, "Play", {}},
        {"pause while playing toggles", S::Playing, true, "Pause", {E::TogglePlayPause}},
        {"pause while paused does nothing", S::Paused, true, "Pause", {}},
        {"stop while playing pauses", S::Playing, true, "Stop", {E::TogglePlayPause}},
        {"next", S::Playing, true, "Next", {E::NextTrack}},
        {"next without a next track does nothing", S::Playing, false, "Next", {}},
        {"previous", S::Paused, true, "Previous", {E::PreviousTrack}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        events.clear();
        rc.setPlaybackStatus(row.status);
        rc.setCanGoNext(row.canGoNext);
        QDBusMessage reply = client.call(kPlayer, row.method);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(events, row.expected);
    }
    // Announced on each change, and only then.
    EXPECT_TRUE(runLoopUntil([&] { return log.values(kPlayer, "CanGoNext") == QVariantList{false, true}; }))
        << log.values(kPlayer, "CanGoNext").size();

    // Seeks: to a position of the current track, relative, and past the end (the next track).
    events.clear();
    rc.setCanGoNext(true);
    client.call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath(trackId)), qlonglong(30000000)});
    client.call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath("/org/sonavel/Sonavel/Track/tstale")),
                                         qlonglong(5000000)});
    client.call(kPlayer, "Seek", {qlonglong(-20000000)});
    client.call(kPlayer, "Seek", {qlonglong(100000000)});
    EXPECT_EQ(seeks, (std::vector<double>{30.0, 10.0}));
    EXPECT_EQ(events, std::vector<E>{E::NextTrack});
    ASSERT_TRUE(runLoopUntil([&] { return log.lastSeeked() == 10000000; })) << log.lastSeeked().value_or(-1);

    // A client's volume goes to the application, which publishes what the system volume became.
    QDBusMessage set = client.call(kProperties, "Set", {kPlayer, "Volume", QVariant::fromValue(QDBusVariant(0.3))});
    EXPECT_EQ(set.type(), QDBusMessage::ReplyMessage) << set.errorMessage().toStdString();
    EXPECT_EQ(volumes, std::vector<double>{0.3});
    rc.setVolume(0.3);
    ASSERT_TRUE(runLoopUntil([&] { return log.changed(kPlayer).value("Volume").toDouble() == 0.3; }));

    EXPECT_EQ(client.call(kPlayer, "OpenUri", {QString("file:///tmp/x.flac")}).type(), QDBusMessage::ErrorMessage);

    // What people use from a terminal and what desktop panels do alike.
    QString playerctl = QStandardPaths::findExecutable("playerctl");
    if (playerctl.isEmpty())
        GTEST_SKIP() << "playerctl is not installed";
    EXPECT_EQ(runWhileServing({playerctl, "-p", "sonavel", "metadata", "title"}), "Título Ω");
    EXPECT_EQ(runWhileServing({playerctl, "-p", "sonavel", "status"}), "Paused");
    events.clear();
    runWhileServing({playerctl, "-p", "sonavel", "play-pause"});
    runWhileServing({playerctl, "-p", "sonavel", "next"});
    EXPECT_EQ(events, (std::vector<E>{E::TogglePlayPause, E::NextTrack}));
}

namespace {

int remoteControlWithoutBus(const QStringList &)
{
    RemoteControl first, second;
    first.setPlaybackStatus(RemoteControl::Status::Playing);
    first.setTrack({"key", "Title", "", "", 3, ""});
    helperSay(QString("available %1 %2").arg(first.isAvailable()).arg(second.isAvailable()));
    return 0;
}
const bool registered = registerHelperRole("remote-control-without-bus", remoteControlWithoutBus);

}  // namespace

TEST(RemoteControl, WithoutASessionBusTheProgramRunsAndSaysSoOnce)
{
    TempDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString("unix:path=" + dir.file("no-bus")));
    auto helper = startHelper("remote-control-without-bus", {}, env);
    EXPECT_EQ(waitForHelperLine(*helper, "available"), "available 0 0");
    ASSERT_TRUE(helper->waitForFinished(20000));
    EXPECT_EQ(helper->exitCode(), 0);
    QString err = QString::fromUtf8(helper->readAllStandardError());
    EXPECT_EQ(err.count("Remote control: no session bus"), 1) << err.toStdString();
}

#include "RemoteControlTest.moc"
