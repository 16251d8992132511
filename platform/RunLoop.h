// Main-thread services: calls posted from any thread, delayed calls cancellable by
// (target, action[, argument]), one-shot timers, file-descriptor watchers, detached threads.
// The main run loop is Qt's event loop; a QCoreApplication must exist.
#pragma once

#include <QVariant>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace RunLoop {

// Queues `call` for the main thread and returns at once. Any thread.
void postToMain(std::function<void()> call);

// Runs `call` once on the main run loop after `seconds` (0: at the next pass).
// The (target, action, argument) triple identifies it for cancellation. Main thread.
void performAfterDelay(const void *target, const char *action, const QVariant &argument,
                       double seconds, std::function<void()> call);
// Removes the pending calls of `target` with `action` and an equal `argument`. Main thread.
void cancelPerform(const void *target, const char *action, const QVariant &argument);
// Removes every pending call of `target`. Main thread.
void cancelAllPerforms(const void *target);
// Number of pending delayed calls of `target` (all when null).
int pendingPerforms(const void *target);

// Starts a thread that runs `work` and ends with it. Any thread.
void detachThread(std::function<void()> work);

// Runs the main loop until quit(); returns the code given to quit().
int run();
void quit(int code = 0);

}  // namespace RunLoop

// A one-shot timer on the main run loop that can be invalidated before it fires.
// Owned by its creator; destroying it invalidates it. Main thread.
class OneShotTimer {
public:
    OneShotTimer();
    ~OneShotTimer();
    OneShotTimer(const OneShotTimer &) = delete;
    OneShotTimer &operator=(const OneShotTimer &) = delete;

    void start(double seconds, std::function<void()> fired);
    void invalidate();
    bool isValid() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Calls `ready` on the main run loop whenever `fd` is readable (Read) or writable (Write)
// while enabled. Does not own the descriptor. Main thread.
class FdWatcher {
public:
    enum Kind { Read, Write };
    FdWatcher(int fd, Kind kind, std::function<void()> ready);
    ~FdWatcher();
    FdWatcher(const FdWatcher &) = delete;
    FdWatcher &operator=(const FdWatcher &) = delete;

    void setEnabled(bool enabled);
    bool isEnabled() const;
    int fd() const { return fd_; }

private:
    int fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> ready_;
};
