#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstring>
#include <list>
#include <thread>

namespace {

struct PendingCall {
    const void *target;
    const char *action;
    QVariant argument;
    std::function<void()> call;
    QTimer *timer;
};

// Main thread only.
std::list<PendingCall> gPending;

bool sameAction(const char *a, const char *b)
{
    return a == b || (a && b && strcmp(a, b) == 0);
}

void removePending(std::list<PendingCall>::iterator it)
{
    it->timer->stop();
    it->timer->deleteLater();
    gPending.erase(it);
}

}  // namespace

namespace RunLoop {

void postToMain(std::function<void()> call)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
}

void performAfterDelay(const void *target, const char *action, const QVariant &argument,
                       double seconds, std::function<void()> call)
{
    auto *timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    gPending.push_back({target, action, argument, std::move(call), timer});
    QObject::connect(timer, &QTimer::timeout, [timer] {
        for (auto it = gPending.begin(); it != gPending.end(); ++it) {
            if (it->timer == timer) {
                // Taken off the list first: the call may schedule or cancel others.
                std::function<void()> call = std::move(it->call);
                removePending(it);
                call();
                return;
            }
        }
    });
    timer->start(seconds > 0 ? int(seconds * 1000.0 + 0.5) : 0);
}

void cancelPerform(const void *target, const char *action, const QVariant &argument)
{
    for (auto it = gPending.begin(); it != gPending.end();) {
        auto next = std::next(it);
        if (it->target == target && sameAction(it->action, action) && it->argument == argument)
            removePending(it);
        it = next;
    }
}

void cancelAllPerforms(const void *target)
{
    for (auto it = gPending.begin(); it != gPending.end();) {
        auto next = std::next(it);
        if (it->target == target)
            removePending(it);
        it = next;
    }
}

int pendingPerforms(const void *target)
{
    int n = 0;
    for (const PendingCall &p : gPending)
        n += (!target || p.target == target);
    return n;
}

void detachThread(std::function<void()> work)
{
    std::thread(std::move(work)).detach();
}

int run() { return QCoreApplication::exec(); }
void quit(int code) { QCoreApplication::exit(code); }

}  // namespace RunLoop

struct OneShotTimer::State {
    QTimer timer;
    std::function<void()> fired;
};

OneShotTimer::OneShotTimer() = default;
OneShotTimer::~OneShotTimer() { invalidate(); }

void OneShotTimer::start(double seconds, std::function<void()> fired)
{
    invalidate();
    state_ = std::make_shared<State>();
    state_->fired = std::move(fired);
    state_->timer.setSingleShot(true);
    state_->timer.setTimerType(Qt::PreciseTimer);
    std::weak_ptr<State> weak = state_;
    QObject::connect(&state_->timer, &QTimer::timeout, [this, weak] {
        auto state = weak.lock();
        if (!state)
            return;
        // Keep the callback alive even if it restarts or invalidates this timer.
        std::function<void()> fired = std::move(state->fired);
        state_.reset();
        fired();
    });
    state_->timer.start(seconds > 0 ? int(seconds * 1000.0 + 0.5) : 0);
}

void OneShotTimer::invalidate()
{
    if (state_) {
        state_->timer.stop();
        state_.reset();
    }
}

bool OneShotTimer::isValid() const { return state_ != nullptr; }

FdWatcher::FdWatcher(int fd, Kind kind, std::function<void()> ready)
    : fd_(fd),
      notifier_(std::make_unique<QSocketNotifier>(
          fd, kind == Read ? QSocketNotifier::Read : QSocketNotifier::Write)),
      ready_(std::move(ready))
{
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ready_(); });
}

FdWatcher::~FdWatcher() = default;

void FdWatcher::setEnabled(bool enabled) { notifier_->setEnabled(enabled); }
bool FdWatcher::isEnabled() const { return notifier_->isEnabled(); }
