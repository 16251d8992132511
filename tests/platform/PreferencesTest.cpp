#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "TestSupport.h"
#include "platform/Preferences.h"

namespace {

TEST(Preferences, AbsentKeysGiveTheDefaults)
{
    EXPECT_EQ(Preferences::integerForKey("NeverWrittenInt"), 0);
    EXPECT_TRUE(Preferences::stringForKey("NeverWrittenString").isNull());
    EXPECT_FALSE(Preferences::objectForKey("NeverWrittenObject").isValid());
    EXPECT_FALSE(Preferences::boolForKey("NeverWrittenBool"));
}

TEST(Preferences, ValuesRoundTripAndLandInTheConfigFolder)
{
    Preferences::setInteger("BackStep", 15);
    Preferences::setObject("CurrentTheme", QString("Plain.thm"));
    Preferences::setBool("FTPAutoStart", true);
    EXPECT_EQ(Preferences::integerForKey("BackStep"), 15);
    EXPECT_EQ(Preferences::stringForKey("CurrentTheme"), "Plain.thm");
    EXPECT_TRUE(Preferences::boolForKey("FTPAutoStart"));
    Preferences::setBool("FTPAutoStart", false);
    EXPECT_FALSE(Preferences::boolForKey("FTPAutoStart"));

    // The file holds each write at once, for another process (sonavel-tool) to read.
    QString file = QString::fromLocal8Bit(getenv("XDG_CONFIG_HOME")) + "/Sonavel/Sonavel.conf";
    auto onDisk = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_TRUE(onDisk().contains("BackStep=15")) << onDisk().toStdString();
    Preferences::setObject("BackStep", QVariant());
    EXPECT_FALSE(onDisk().contains("BackStep"));
    EXPECT_EQ(Preferences::integerForKey("BackStep"), 0);
    Preferences::setInteger("BackStep", 15);

    // A new store (the next run of the program) reads what was written.
    Preferences::reset();
    EXPECT_EQ(Preferences::integerForKey("BackStep"), 15);
    EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
}

TEST(Preferences, WriteOnOneThreadIsSeenAtOnceOnAnother)
{
    for (int i = 1; i <= 50; i++) {
        Preferences::setInteger("PreferedEnc", i);
        std::atomic<qint64> seen{-1};
        std::thread([&] { seen = Preferences::integerForKey("PreferedEnc"); }).join();
        ASSERT_EQ(seen.load(), i);
    }
}

}  // namespace
