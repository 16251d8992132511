#include "platform/AudioSession.h"

#include <QCoreApplication>
#include <QThread>

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// Seconds between attempts to reach a sound server that is not there (yet, or any more).
const int kRetrySeconds = 5;

struct PortTypeRow {
    uint32_t type;
    const char *route;
};

const PortTypeRow kPortTypes[] = {
    {PA_DEVICE_PORT_TYPE_SPEAKER, "Speaker"},     {PA_DEVICE_PORT_TYPE_HEADPHONES, "Headphones"},
    {PA_DEVICE_PORT_TYPE_HEADSET, "Headset"},     {PA_DEVICE_PORT_TYPE_HANDSET, "Receiver"},
    {PA_DEVICE_PORT_TYPE_EARPIECE, "Receiver"},   {PA_DEVICE_PORT_TYPE_LINE, "LineOut"},
    {PA_DEVICE_PORT_TYPE_HDMI, "HDMI"},           {PA_DEVICE_PORT_TYPE_SPDIF, "SPDIF"},
    {PA_DEVICE_PORT_TYPE_USB, "USB"},             {PA_DEVICE_PORT_TYPE_BLUETOOTH, "Bluetooth"},
    {PA_DEVICE_PORT_TYPE_HANDSFREE, "Headset"},   {PA_DEVICE_PORT_TYPE_CAR, "CarAudio"},
};

struct NameRow {
    const char *part;  // lower case
    const char *route;
};

// Ports of an unknown type, by name ("analog-output-headphones", "[Out] Speaker"); headphones
// first, since a few drivers name a port "headphone-speaker".
const NameRow kPortNames[] = {
    {"headphone", "Headphones"}, {"headset", "Headset"}, {"speaker", "Speaker"},
    {"hdmi", "HDMI"},            {"lineout", "LineOut"}, {"line-out", "LineOut"},
    {"iec958", "SPDIF"},         {"spdif", "SPDIF"},
};

// A sink without ports, by its "device.form_factor" (Bluetooth and virtual sinks).
const NameRow kFormFactors[] = {
    {"headphone", "Headphones"}, {"headset", "Headset"}, {"hands-free", "Headset"},
    {"speaker", "Speaker"},      {"handset", "Receiver"}, {"car", "CarAudio"},
};

void sayNoServer()
{
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        fprintf(stderr, "Audio session: no PulseAudio or PipeWire server answers; the audio route is unknown\n");
}

}  // namespace

// The libpulse side: a threaded main loop, its context, and the pending reconnection.
// Everything here runs on libpulse's thread, or on the main thread while holding its lock.
struct AudioSession::Pulse {
    AudioSession *owner = nullptr;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_time_event *retry = nullptr;
    bool answered = false;  // the server answered since this context connected

    void connect();
    void dropContext();
    void scheduleRetry();
    void query();
    void answer(const QString &route);

    static void onState(pa_context *context, void *self);
    static void onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t, void *self);
    static void onServerInfo(pa_context *context, const pa_server_info *info, void *self);
    static void onSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *self);
    static void onRetry(pa_mainloop_api *api, pa_time_event *event, const struct timeval *, void *self);
};

void AudioSession::Pulse::connect()
{
    answered = false;
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Sonavel");
    if (!context) {
        scheduleRetry();
        return;
    }
    pa_context_set_state_callback(context, onState, this);
    // No autospawn: a sound server is the desktop's business, not a music player's.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        sayNoServer();
        dropContext();
        scheduleRetry();
    }
}

void AudioSession::Pulse::dropContext()
{
    if (!context)
        return;
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
}

void AudioSession::Pulse::scheduleRetry()
{
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
    struct timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, pa_usec_t(kRetrySeconds) * PA_USEC_PER_SEC);
    if (retry)
        api->time_restart(retry, &when);
    else
        retry = api->time_new(api, &when, onRetry, this);
}

void AudioSession::Pulse::query()
{
    if (pa_operation *op = pa_context_get_server_info(context, onServerInfo, this))
        pa_operation_unref(op);
}

void AudioSession::Pulse::answer(const QString &route)
{
    // The first answer after connecting tells what is there; only later ones are changes.
    owner->setRoute(route, answered);
    answered = true;
}

void AudioSession::Pulse::onState(pa_context *context, void *self)
{
    auto *pulse = static_cast<Pulse *>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        pa_context_set_subscribe_callback(context, onEvent, pulse);
        if (pa_operation *op = pa_context_subscribe(
                context, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
                nullptr, nullptr))
            pa_operation_unref(op);
        pulse->query();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        sayNoServer();
        pulse->owner->setRoute(QString(), false);
        // The context is freed by the retry, outside its own callback.
        pulse->scheduleRetry();
        break;
    default:
        break;
    }
}

void AudioSession::Pulse::onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t, void *self)
{
    // A new default sink (server event) or a port switch on a sink; volume changes come here
    // too, but only a different route name is reported.
    unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SINK || facility == PA_SUBSCRIPTION_EVENT_SERVER)
        static_cast<Pulse *>(self)->query();
}

void AudioSession::Pulse::onServerInfo(pa_context *context, const pa_server_info *info, void *self)
{
    auto *pulse = static_cast<Pulse *>(self);
    if (!info || !info->default_sink_name || !*info->default_sink_name) {
        pulse->answer(QString());
        return;
    }
    if (pa_operation *op = pa_context_get_sink_info_by_name(context, info->default_sink_name, onSinkInfo, pulse))
        pa_operation_unref(op);
}

void AudioSession::Pulse::onSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *self)
{
    auto *pulse = static_cast<Pulse *>(self);
    if (eol < 0) {  // the sink went away between the two questions
        pulse->answer(QString());
        return;
    }
    if (eol > 0 || !info)
        return;
    const pa_sink_port_info *port = info->active_port;
    const char *formFactor = pa_proplist_gets(info->proplist, PA_PROP_DEVICE_FORM_FACTOR);
    pulse->answer(routeNameFor(port ? port->name : nullptr, port ? port->type : uint32_t(PA_DEVICE_PORT_TYPE_UNKNOWN),
                               formFactor));
}

void AudioSession::Pulse::onRetry(pa_mainloop_api *api, pa_time_event *event, const struct timeval *, void *self)
{
    auto *pulse = static_cast<Pulse *>(self);
    api->time_free(event);
    pulse->retry = nullptr;
    pulse->dropContext();
    pulse->connect();
}

AudioSession *AudioSession::shared()
{
    // Kept to the end: libpulse's thread may still call into it while the process exits.
    static AudioSession *session = new AudioSession;
    return session;
}

AudioSession::AudioSession() = default;

AudioSession::~AudioSession()
{
    if (!pulse_)
        return;
    pa_threaded_mainloop_lock(pulse_->loop);
    if (pulse_->retry) {
        pa_threaded_mainloop_get_api(pulse_->loop)->time_free(pulse_->retry);
        pulse_->retry = nullptr;
    }
    pulse_->dropContext();
    pa_threaded_mainloop_unlock(pulse_->loop);
    pa_threaded_mainloop_stop(pulse_->loop);
    pa_threaded_mainloop_free(pulse_->loop);
}

void AudioSession::start()
{
    if (pulse_)
        return;
    auto pulse = std::make_unique<Pulse>();
    pulse->owner = this;
    pulse->loop = pa_threaded_mainloop_new();
    if (!pulse->loop || pa_threaded_mainloop_start(pulse->loop) < 0) {
        if (pulse->loop)
            pa_threaded_mainloop_free(pulse->loop);
        sayNoServer();
        return;
    }
    pulse_ = std::move(pulse);
    pa_threaded_mainloop_lock(pulse_->loop);
    pulse_->connect();
    pa_threaded_mainloop_unlock(pulse_->loop);
}

QString AudioSession::currentRouteName() const
{
    std::lock_guard lock(mutex_);
    return route_;
}

QString AudioSession::routeNameFor(const char *portName, uint32_t portType, const char *formFactor)
{
    if (portName) {
        for (const PortTypeRow &row : kPortTypes) {
            if (row.type == portType)
                return QLatin1String(row.route);
        }
        QByteArray name = QByteArray(portName).toLower();
        for (const NameRow &row : kPortNames) {
            if (name.contains(row.part))
                return QLatin1String(row.route);
        }
        return QString();
    }
    if (formFactor) {
        for (const NameRow &row : kFormFactors) {
            if (strcmp(formFactor, row.part) == 0)
                return QLatin1String(row.route);
        }
    }
    return QString();
}

void AudioSession::setRoute(const QString &name, bool known, bool simulated)
{
    bool changed;
    {
        std::lock_guard lock(mutex_);
        if (simulated_ && !simulated)
            return;
        simulated_ = simulated_ || simulated;
        changed = route_ != name || route_.isNull() != name.isNull();
        route_ = name;
    }
    if (changed && known)
        deliver([this] { emit routeChanged(); });
}

void AudioSession::deliver(std::function<void()> call)
{
    if (QThread::currentThread() == thread())
        call();
    else
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void AudioSession::simulateInterruptionBegan()
{
    deliver([this] { emit interruptionBegan(); });
}

void AudioSession::simulateInterruptionEnded(uint32_t flags)
{
    deliver([this, flags] { emit interruptionEnded(flags); });
}

void AudioSession::simulateRouteChange(const QString &routeName)
{
    setRoute(routeName, true, true);
}
