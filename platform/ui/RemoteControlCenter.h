// Remote-control events (media keys, the desktop's media controls over MPRIS) go to one
// screen: the one that began receiving last and has not ended. A screen begins after it
// appeared and ends before it disappears. Main thread.
#pragma once

enum class RemoteCommand { TogglePlayPause, Play, Pause, NextTrack, PreviousTrack };

class RemoteControlReceiver {
public:
    // Main thread.
    virtual void remoteControlReceived(RemoteCommand command) = 0;

protected:
    // A receiver that goes away stops receiving.
    virtual ~RemoteControlReceiver();
};

namespace RemoteControlCenter {

// `receiver` gets the events from now on (it moves to the front when it was already in).
void beginReceiving(RemoteControlReceiver *receiver);
// `receiver` gets no more events; the one that began before it gets them again.
void endReceiving(RemoteControlReceiver *receiver);
// The screen that gets the events now, or none.
RemoteControlReceiver *currentReceiver();
// Hands an event to the current receiver; false when there is none. The MPRIS service
// calls this.
bool deliver(RemoteCommand command);

}  // namespace RemoteControlCenter
