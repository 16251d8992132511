#include "platform/ui/RemoteControlCenter.h"

#include <QList>

namespace {

// Most recent last.
QList<RemoteControlReceiver *> &receivers()
{
    static QList<RemoteControlReceiver *> list;
    return list;
}

}  // namespace

RemoteControlReceiver::~RemoteControlReceiver()
{
    RemoteControlCenter::endReceiving(this);
}

namespace RemoteControlCenter {

void beginReceiving(RemoteControlReceiver *receiver)
{
    if (!receiver)
        return;
    receivers().removeAll(receiver);
    receivers().append(receiver);
}

void endReceiving(RemoteControlReceiver *receiver)
{
    receivers().removeAll(receiver);
}

RemoteControlReceiver *currentReceiver()
{
    return receivers().isEmpty() ? nullptr : receivers().last();
}

bool deliver(RemoteCommand command)
{
    RemoteControlReceiver *receiver = currentReceiver();
    if (!receiver)
        return false;
    receiver->remoteControlReceived(command);
    return true;
}

}  // namespace RemoteControlCenter
