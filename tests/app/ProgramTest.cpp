// The program itself: build/bin/sonavel started offscreen on a private session bus, asked over
// MPRIS to play, heard through the WAV output.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>

#include "TestSupport.h"
#include "engine/CodecFixtures.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/HelperProcess.h"

// One short FLAC in the documents folder; MPRIS PlayPause plays it, and what reaches the output
// is exactly its samples. A second start hands its file to the running program, which brings
// it into the Inbox. MPRIS Quit ends the program cleanly.
TEST(Program, PlaysOverMprisAndTakesFilesFromASecondStart)
{
    const QString bus = privateSessionBus();
    if (bus.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    TempDir docs, home;
    const Pcm pcm = makePcm(44100, 2, 16, 22050);
    ASSERT_TRUE(writeFlac(docs.file("song.flac"), pcm, {"TITLE=Song"}));
    const std::string wav = home.file("out.wav");  // not in the documents folder: it would be scanned

    QProcess program;
    dieWithParent(program);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus);
    env.insert("SONAVEL_DOCUMENTS", QString::fromStdString(docs.path()));
    env.insert("SONAVEL_AUDIO_OUTPUT", QString::fromStdString("wav-fast:" + wav));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.file("config")));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path()));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(SONAVEL_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted());

    QDBusConnection connection = QDBusConnection::connectToBus(bus, "program-test");
    ASSERT_TRUE(connection.isConnected());
    const QString service = "org.mpris.MediaPlayer2.sonavel";
    ASSERT_TRUE(runLoopUntil([&] { return connection.interface()->isServiceRegistered(service).value(); }, 20000));
    auto call = [&](const char *interface, const char *method) {
        connection.call(QDBusMessage::createMethodCall(service, "/org/mpris/MediaPlayer2", interface, method));
    };

    // Until the first scan has published, play/pause finds nothing to play: ask again until the
    // output opens.
    bool started = false;
    for (int attempt = 0; attempt < 20 && !started; attempt++) {
        call("org.mpris.MediaPlayer2.Player", "PlayPause");
        started = runLoopUntil([&] { return QFileInfo::exists(QString::fromStdString(wav)); }, 1000);
    }
    ASSERT_TRUE(started) << "nothing was played";
    ASSERT_TRUE(runLoopUntil([&] { return fixture::wavData(readFile(wav)).size() >= pcm.bytes.size(); }, 10000));
    const std::string heard = fixture::wavData(readFile(wav));
    EXPECT_EQ(heard.size(), pcm.bytes.size());
    EXPECT_TRUE(heard == pcm.bytes) << "the samples differ";

    const std::string handed = home.file("handed.flac");
    ASSERT_TRUE(writeFlac(handed, makePcm(44100, 2, 16, 4410), {"TITLE=Handed"}));
    QProcess second;
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(SONAVEL_PROGRAM, {QString::fromStdString(handed)});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(runLoopUntil([&] { return QFileInfo::exists(QString::fromStdString(docs.file("Inbox/handed.flac"))); }))
        << "the running program did not take the file";

    call("org.mpris.MediaPlayer2", "Quit");
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}
