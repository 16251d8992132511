#include "platform/IdleTimer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <cstdio>

namespace {

const char kService[] = "org.freedesktop.ScreenSaver";
const char kPath[] = "/org/freedesktop/ScreenSaver";
const char kInterface[] = "org.freedesktop.ScreenSaver";

// Main thread only.
bool gDisabled = false;
bool gInhibited = false;
uint gCookie = 0;
bool gSaid = false;

void sayMissing(const QString &why)
{
    if (gSaid)
        return;
    gSaid = true;
    fprintf(stderr, "Idle timer: the screen saver cannot be held off (%s)\n", qPrintable(why));
}

void uninhibit(uint cookie)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("UnInhibit"));
    call << cookie;
    QDBusConnection::sessionBus().send(call);
}

void inhibit()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        sayMissing(QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("Sonavel") << QStringLiteral("FTP server running");
    // Asked without waiting: a screen saver that is slow to answer must not stall the screens.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [](QDBusPendingCallWatcher *w) {
        QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            sayMissing(reply.error().message());
            return;
        }
        // Enabled again while the question was under way: give the inhibition back at once.
        if (!gDisabled || gInhibited) {
            uninhibit(reply.value());
            return;
        }
        gCookie = reply.value();
        gInhibited = true;
    });
}

}  // namespace

namespace IdleTimer {

void setIdleTimerDisabled(bool disabled)
{
    if (disabled == gDisabled)
        return;
    gDisabled = disabled;
    if (disabled) {
        inhibit();
    } else if (gInhibited) {
        gInhibited = false;
        uninhibit(gCookie);
    }
}

bool isIdleTimerDisabled() { return gDisabled; }
bool isInhibited() { return gInhibited; }

}  // namespace IdleTimer
