// The audio session: the playback category and activation (nothing to do on Linux), the
// interruption notifications, and the current audio route with its change notification. The
// route is the active port of the default PulseAudio/PipeWire sink ("Speaker", "Headphones",
// ...), or none when no server answers. Every signal is delivered on the main thread.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class AudioSession : public QObject {
    Q_OBJECT
public:
    // Bit 0 of the flags of interruptionEnded: playback may resume.
    static constexpr uint32_t ShouldResume = 1;

    // The process's session, made on first use and kept for the life of the process. Main thread.
    static AudioSession *shared();

    AudioSession();
    ~AudioSession() override;

    // Always succeed: ALSA and the sound servers need no category or activation.
    bool setCategoryPlayback() { return true; }
    bool setActive(bool) { return true; }

    // Starts following the default sink. Without a server the route stays none and a line on
    // standard error says so once per process; the session keeps trying to reach one. Main thread.
    void start();

    // The name of the current route, or a null string when it cannot be read. Any thread.
    QString currentRouteName() const;

    // The route name for a sink's active port (its PA_DEVICE_PORT_TYPE_* type and name) or,
    // without a port, for the sink's "device.form_factor"; null when nothing tells.
    static QString routeNameFor(const char *portName, uint32_t portType, const char *formFactor);

    // For tests, and for whatever on the system reports interruptions: delivered as if the
    // session had reported them. A simulated route stays: the server's answers no longer
    // change it. Any thread.
    void simulateInterruptionBegan();
    void simulateInterruptionEnded(uint32_t flags);
    void simulateRouteChange(const QString &routeName);

signals:
    void interruptionBegan();
    void interruptionEnded(uint32_t flags);
    // The route's name changed (see currentRouteName()).
    void routeChanged();

private:
    struct Pulse;
    // Stores the route; the first answer of a server only sets what is there, later ones
    // that change the name report routeChanged. Any thread.
    void setRoute(const QString &name, bool known, bool simulated = false);
    // Runs `call` on the main thread: at once when already there, else queued. Any thread.
    void deliver(std::function<void()> call);

    mutable std::mutex mutex_;
    QString route_;           // guarded by mutex_
    bool simulated_ = false;  // guarded by mutex_
    std::unique_ptr<Pulse> pulse_;  // main thread; its callbacks run on libpulse's own thread
};
