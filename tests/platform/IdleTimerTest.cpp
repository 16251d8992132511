#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QObject>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

#include "TestSupport.h"
#include "platform/IdleTimer.h"

namespace {

// The screen saver's side of the interface, served on a private session bus: it hands out
// cookies and records what it was asked.
class ScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    std::vector<uint> held;
    uint nextCookie = 41;

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        EXPECT_EQ(application, "Sonavel");
        EXPECT_FALSE(reason.isEmpty());
        held.push_back(++nextCookie);
        return nextCookie;
    }
    void UnInhibit(uint cookie)
    {
        auto it = std::find(held.begin(), held.end(), cookie);
        EXPECT_NE(it, held.end()) << "an unknown cookie came back";
        if (it != held.end())
            held.erase(it);
    }
};

TEST(IdleTimer, HoldsOffTheScreenSaverOverTheSessionBus)
{
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
        GTEST_SKIP() << "dbus-daemon is needed";
    // The program's own connection is the session bus; the screen saver is another client.
    const QString address = privateSessionBus();
    ASSERT_FALSE(address.isEmpty());
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, "screensaver");
        ScreenSaver saver;
        ASSERT_TRUE(service.registerService("org.freedesktop.ScreenSaver"));
        ASSERT_TRUE(service.registerObject("/org/freedesktop/ScreenSaver", &saver, QDBusConnection::ExportAllSlots));

        IdleTimer::setIdleTimerDisabled(true);
        IdleTimer::setIdleTimerDisabled(true);  // no second inhibition
        EXPECT_TRUE(runLoopUntil([] { return IdleTimer::isInhibited(); }));
        EXPECT_EQ(saver.held.size(), 1u);
        IdleTimer::setIdleTimerDisabled(false);
        EXPECT_TRUE(runLoopUntil([&] { return saver.held.empty(); }));

        // Enabled again before the screen saver answered: its inhibition is given back.
        IdleTimer::setIdleTimerDisabled(true);
        IdleTimer::setIdleTimerDisabled(false);
        EXPECT_TRUE(runLoopUntil([&] { return saver.nextCookie == 43 && saver.held.empty(); }));
        EXPECT_FALSE(IdleTimer::isInhibited());
        QDBusConnection::disconnectFromBus("screensaver");
    }
}

}  // namespace

#include "IdleTimerTest.moc"
