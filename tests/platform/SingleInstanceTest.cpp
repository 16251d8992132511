#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "HelperProcess.h"
#include "TestSupport.h"
#include "platform/SingleInstance.h"

namespace {

QString roleName(SingleInstance::Role role)
{
    return role == SingleInstance::Primary ? "primary" : "handed over";
}

// The running player: says what it became, then what later processes hand to it.
int runningPlayer(const QStringList &)
{
    SingleInstance instance;
    helperSay("role " + roleName(instance.start({})));
    QObject::connect(&instance, &SingleInstance::activateRequested, [] { helperSay("activate"); });
    QObject::connect(&instance, &SingleInstance::filesReceived, [](const QStringList &paths) {
        helperSay("files " + paths.join('|'));
        QCoreApplication::quit();
    });
    QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
    return QCoreApplication::exec();
}

// A player that took the name or the socket and then stopped answering.
int hungPlayer(const QStringList &)
{
    SingleInstance instance;
    helperSay("role " + roleName(instance.start({})));
    sleep(60);
    return 0;
}

// `sonavel FILE...` started while one runs: 0 when handed over; 3 when it carries on itself,
// with the files it would then import.
int laterStart(const QStringList &files)
{
    SingleInstance instance;
    if (instance.start(files) == SingleInstance::HandedOver)
        return 0;
    helperSay("primary with " + files.join('|'));
    return 3;
}

const bool registered = registerHelperRole("running-player", runningPlayer) &&
                        registerHelperRole("hung-player", hungPlayer) &&
                        registerHelperRole("later-start", laterStart);

// A socket file like the one a crashed player leaves behind: nobody listens on it.
void leaveStaleSocket(const std::string &path)
{
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    close(fd);
}

struct Transport {
    const char *name;
    bool bus;
};
const Transport kTransports[] = {{"session bus", true}, {"local socket", false}};

// Both transports, each with a runtime folder of its own; skips the bus without dbus-daemon.
QProcessEnvironment environmentFor(const Transport &transport, const TempDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QDir().mkpath(QString::fromStdString(dir.file("run")));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.file("run")));
    if (!transport.bus)
        env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString("unix:path=" + dir.file("no-bus")));
    return env;
}

}  // namespace

TEST(SingleInstance, ALaterStartHandsItsFilesToTheRunningPlayerAndExits)
{
    for (const Transport &transport : kTransports) {
        SCOPED_TRACE(transport.name);
        if (transport.bus && privateSessionBus().isEmpty())
            continue;  // dbus-daemon is not installed
        TempDir dir;
        QProcessEnvironment env = environmentFor(transport, dir);
        if (!transport.bus)
            leaveStaleSocket(dir.file("run/org.sonavel.Sonavel.socket"));

        auto player = startHelper("running-player", {}, env);
        ASSERT_EQ(waitForHelperLine(*player, "role"), "role primary") << player->readAllStandardError().toStdString();

        auto plain = startHelper("later-start", {}, env);
        ASSERT_TRUE(plain->waitForFinished(20000));
        EXPECT_EQ(plain->exitCode(), 0) << plain->readAllStandardError().toStdString();
        EXPECT_EQ(waitForHelperLine(*player, "activate"), "activate");

        // Relative names are made absolute by the sender, whose folder the player does not know.
        auto withFiles = startHelper("later-start", {"song.flac", "/music/a b.ape"}, env,
                                     QString::fromStdString(dir.path()));
        ASSERT_TRUE(withFiles->waitForFinished(20000));
        EXPECT_EQ(withFiles->exitCode(), 0) << withFiles->readAllStandardError().toStdString();
        EXPECT_EQ(waitForHelperLine(*player, "files"),
                  QString::fromStdString("files " + dir.file("song.flac") + "|/music/a b.ape"));
        EXPECT_TRUE(player->waitForFinished(20000));
        EXPECT_EQ(player->exitCode(), 0);
    }
}

TEST(SingleInstance, AnUnansweredHandOverCarriesOnWithTheFiles)
{
    for (const Transport &transport : kTransports) {
        SCOPED_TRACE(transport.name);
        if (transport.bus && privateSessionBus().isEmpty())
            continue;
        TempDir dir;
        QProcessEnvironment env = environmentFor(transport, dir);
        auto hung = startHelper("hung-player", {}, env);
        ASSERT_EQ(waitForHelperLine(*hung, "role"), "role primary");

        // The bound is generous: it only tells a give-up after the timeout from waiting forever.
        auto later = startHelper("later-start", {"/music/new.flac"}, env);
        ASSERT_TRUE(later->waitForFinished(SingleInstance::kHandOverTimeout + 15000));
        EXPECT_EQ(later->exitCode(), 3);
        EXPECT_EQ(waitForHelperLine(*later, "primary"), "primary with /music/new.flac");
        EXPECT_TRUE(later->readAllStandardError().contains("did not answer in time"));
        hung->kill();
        hung->waitForFinished();
    }
}
