// A client of the player's MPRIS service on a connection of its own, for the tests of the
// service and of what the player publishes through it. The service answers on this thread's
// run loop, so every call is made asynchronously and the loop runs until the reply is in.
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QString>
#include <QVariant>

#include "TestSupport.h"

namespace mpris {

inline const QString kService = "org.mpris.MediaPlayer2.sonavel";
inline const QString kPath = "/org/mpris/MediaPlayer2";
inline const QString kPlayer = "org.mpris.MediaPlayer2.Player";
inline const QString kProperties = "org.freedesktop.DBus.Properties";

struct Client {
    QDBusConnection bus;

    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        message.setArguments(args);
        QDBusPendingCall pending = bus.asyncCall(message);
        runLoopUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }
    // A property of `interface`; none when the service did not answer.
    QVariant get(const QString &interface, const QString &name)
    {
        QDBusMessage reply = call(kProperties, "Get", {interface, name});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return QVariant();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    // A property of the player.
    QVariant get(const QString &name) { return get(kPlayer, name); }
    QString status() { return get("PlaybackStatus").toString(); }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(get("Metadata").value<QDBusArgument>()); }
    QString title() { return metadata().value("xesam:title").toString(); }
};

}  // namespace mpris
