// The application object over a documents folder of its own and a private player.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include <cstdlib>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "app/AppDelegate.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "playback/UniPlayer.h"

inline QString q(const std::string &s) { return QString::fromStdString(s); }

class AppTest : public testing::Test {
protected:
    // "null" plays in real time, so what is started keeps playing for the length of the file.
    explicit AppTest(const char *output = "null-fast") : output_(output) {}

    void SetUp() override
    {
        setenv("SONAVEL_DOCUMENTS", docs.path().c_str(), 1);
        setenv("SONAVEL_AUDIO_OUTPUT", output_, 1);
        for (const char *key : {"Organize", "CurrentFolder", "PreferedEnc", "ShuffleMode", "FTPAutoStart"})
            Preferences::setObject(key, QVariant());
        player = UniPlayer::create();
        app = std::make_unique<AppDelegate>(player.get());
    }
    void TearDown() override
    {
        app.reset();
        player.reset();
        AudioQueueWaitForDisposed();
        setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
    }

    std::string path(const std::string &name) const { return docs.file(name); }

    // A tenth of a second of FLAC with the given comments, in folders made as needed.
    void flac(const std::string &name, const std::vector<std::string> &comments = {})
    {
        QDir().mkpath(QFileInfo(q(path(name))).path());
        ASSERT_TRUE(writeFlac(path(name), makePcm(44100, 2, 16, 4410), comments)) << name;
    }

    // Asks for a scan and waits until it published and its completion ran.
    bool scan()
    {
        QSignalSpy done(app.get(), &AppDelegate::libraryChanged);
        app->loadMusics();
        return runLoopUntil([&] { return !done.isEmpty(); }, 20000);
    }

    QList<PlayableItemPtr> library() const { return *app->playableItems(); }

    TempDir docs;
    std::unique_ptr<UniPlayer> player;
    std::unique_ptr<AppDelegate> app;

private:
    const char *output_;
};
