#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QImage>
#include <QUrl>

#include <cstdlib>

#include "TestSupport.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/MprisClient.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "platform/RemoteControl.h"
#include "playback/MprisPublisher.h"
#include "playback/PlayList.h"

namespace {

using namespace mpris;

QString q(const std::string &s) { return QString::fromStdString(s); }

struct Library : PlayListLibrary {
    QList<PlayableItemPtr> items;
    std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const override
    {
        return std::make_shared<const QList<PlayableItemPtr>>(items);
    }
    void loadMusics() override {}
};

qint64 sizeOf(const std::string &path) { return QFileInfo(q(path)).size(); }

}  // namespace

// The positions announced with Seeked.
class SeekLog : public QObject {
    Q_OBJECT
public:
    QList<qlonglong> seeks;
public slots:
    void record(const QDBusMessage &message) { seeks << message.arguments().value(0).toLongLong(); }
};

// The program's remote control as media keys and desktop panels see it: what plays and its
// state are published, and their commands, routed to the play list as the main screen routes
// them, play, pause and move on.
TEST(MprisPublisher, ClientsFollowAndDriveThePlayer)
{
    QString address = privateSessionBus();
    if (address.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    TempDir docs, cache, out;
    setenv("SONAVEL_DOCUMENTS", docs.path().c_str(), 1);
    setenv("SONAVEL_AUDIO_OUTPUT", ("wav:" + out.file("out.wav")).c_str(), 1);
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path()));
    for (const char *key : {"Organize", "CurrentFolder", "ShuffleMode"})
        Preferences::setObject(key, QVariant());

    Library library;
    for (auto [name, title] : {std::pair{"a.wav", "Alpha"}, std::pair{"b.wav", "Beta"}}) {
        writeWav(docs.file(name), makePcm(44100, 2, 16, 10 * 44100),
                 id3v23({{"TIT2", title}, {"TPE1", "Band"}, {"TALB", "Record"}}));
        library.items << PlayableItem::itemWithPath(q(docs.file(name)));
    }
    QImage cover(16, 16, QImage::Format_RGB32);
    cover.fill(Qt::red);
    cover.save(q(docs.file("a.png")));
    writeFile(docs.file("c.cue"), "FILE \"c.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                  "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:10:00\n");
    writeWav(docs.file("c.wav"), makePcm(8000, 1, 16, 30 * 8000));
    library.items << PlayableItem::itemWithPath(q(docs.file("c.wav")));

    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    {
        PlayList list(&library, player.get());
        list.updatePlayList();
        ASSERT_EQ(list.rowCount(), 5);
        RemoteControl remote;
        ASSERT_TRUE(remote.isAvailable());
        MprisPublisher publisher(&remote, &list, player.get());
        QObject::connect(&remote, &RemoteControl::remoteControlEvent, [&](RemoteControl::Event e) {
            if (e == RemoteControl::Event::TogglePlayPause)
                list.togglePlayPause();
            else if (e == RemoteControl::Event::NextTrack)
                list.playNext();
            else
                list.previous();
        });
        Client client{QDBusConnection::connectToBus(address, "publisher-client")};
        ASSERT_TRUE(client.bus.isConnected());

        // Nothing played yet: stopped, and only playing can be asked for.
        EXPECT_EQ(client.status(), "Stopped");
        EXPECT_FALSE(client.get("CanPause").toBool());
        EXPECT_TRUE(client.get("CanPlay").toBool());

        // PlayPause starts the list, and the first row is published with its cover.
        client.call(kPlayer, "PlayPause");
        ASSERT_TRUE(runLoopUntil([&] { return client.status() == "Playing"; }));
        QVariantMap metadata = client.metadata();
        EXPECT_EQ(metadata.value("xesam:title").toString(), "Alpha");
        EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Band"});
        EXPECT_EQ(metadata.value("xesam:album").toString(), "Record");
        EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 10000000);
        QString art = QUrl(metadata.value("mpris:artUrl").toString()).toLocalFile();
        EXPECT_TRUE(art.startsWith(q(cache.path()))) << art.toStdString();
        EXPECT_EQ(QImage(art).pixel(8, 8), cover.pixel(8, 8));
        EXPECT_TRUE(client.get("CanPause").toBool());
        EXPECT_TRUE(client.get("CanSeek").toBool());

        // PlayPause again: the sink stops writing (at most the buffer under way finishes).
        ASSERT_TRUE(runLoopUntil([&] { return sizeOf(out.file("out.wav")) > 0; }));
        client.call(kPlayer, "PlayPause");
        ASSERT_TRUE(runLoopUntil([&] { return client.status() == "Paused"; }));
        EXPECT_FALSE(player->playing());
        qint64 atPause = sizeOf(out.file("out.wav"));
        runLoopUntil([] { return false; }, 800);
        EXPECT_LE(sizeOf(out.file("out.wav")) - atPause, 65536) << "still written while paused";

        // Next plays the next row.
        client.call(kPlayer, "Next");
        ASSERT_TRUE(runLoopUntil([&] { return client.title() == "Beta"; }));
        EXPECT_EQ(player->currentItem(), list.itemAtRow(1));
        EXPECT_EQ(client.status(), "Playing");

        // A seek made in the program is announced, playing or paused; playing on is not.
        SeekLog log;
        ASSERT_TRUE(client.bus.connect(kService, kPath, kPlayer, "Seeked", &log, SLOT(record(QDBusMessage))));
        runLoopUntil([] { return false; }, 1500);
        EXPECT_TRUE(log.seeks.isEmpty());
        player->seekToTime(7);
        ASSERT_TRUE(runLoopUntil([&] { return !log.seeks.isEmpty(); }));
        EXPECT_GE(log.seeks.last(), 7000000);
        client.call(kPlayer, "Pause");
        ASSERT_TRUE(runLoopUntil([&] { return client.status() == "Paused"; }));
        log.seeks.clear();
        player->seekToTime(1);
        client.call(kPlayer, "Play");
        ASSERT_TRUE(runLoopUntil([&] { return !log.seeks.isEmpty(); }));
        EXPECT_LT(log.seeks.last(), 3000000);

        // A client's seek to the very end of a cue track stays inside it: its last whole
        // second, not the next track's start.
        PlayableItemPtr two = list.itemAtRow(4);
        ASSERT_EQ(two->title(), "Two");
        list.selectRow(4);
        ASSERT_TRUE(runLoopUntil([&] { return client.title() == "Two"; }));
        client.call(kPlayer, "Pause");
        ASSERT_TRUE(runLoopUntil([&] { return client.status() == "Paused"; }));
        QDBusObjectPath track = client.metadata().value("mpris:trackid").value<QDBusObjectPath>();
        ASSERT_EQ(two->totalTime(), 20);
        client.call(kPlayer, "SetPosition", {QVariant::fromValue(track), qlonglong(20000000)});
        EXPECT_FLOAT_EQ(player->currentTime(), 29);
        EXPECT_EQ(client.get("Position").toLongLong(), 19000000);
        EXPECT_EQ(player->currentItem(), two);

        // Previous within the first seconds goes back to the item played before.
        client.call(kPlayer, "SetPosition", {QVariant::fromValue(track), qlonglong(1000000)});
        client.call(kPlayer, "Previous");
        ASSERT_TRUE(runLoopUntil([&] { return client.title() == "Beta"; }));
    }
    player.reset();
    AudioQueueWaitForDisposed();
    setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
}

#include "MprisPublisherTest.moc"
