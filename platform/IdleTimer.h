// The device's idle timer: while it is disabled, the desktop's screen saver and automatic
// screen lock are held off through org.freedesktop.ScreenSaver.Inhibit on the session bus.
// Where there is no session bus or no such service, nothing happens (a line on standard error
// says so once per process). Main thread.
#pragma once

namespace IdleTimer {

void setIdleTimerDisabled(bool disabled);
bool isIdleTimerDisabled();
// Whether the screen saver currently holds an inhibition of ours (its reply has arrived).
bool isInhibited();

}  // namespace IdleTimer
