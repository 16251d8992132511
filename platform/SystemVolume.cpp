#include "platform/SystemVolume.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/AudioSink.h"
#include "platform/RunLoop.h"

namespace {

const char *const kElements[] = {"Master", "PCM"};

// Over a span wider than this, a linear dB slider crowds everything audible into its top end;
// wider spans use the cube-root mapping that alsamixer and desktop volume controls use.
constexpr long kMaxLinearDbSpan = 24 * 100;  // hundredths of a dB

void quietAlsaError(const char *, int, const char *, int, const char *, ...) {}

snd_mixer_elem_t *findElement(snd_mixer_t *mixer, const char *name)
{
    snd_mixer_selem_id_t *id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, name);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_elem_t *elem = snd_mixer_find_selem(mixer, id);
    return elem && snd_mixer_selem_has_playback_volume(elem) ? elem : nullptr;
}

bool dbRange(snd_mixer_elem_t *elem, long *min, long *max)
{
    return snd_mixer_selem_get_playback_dB_range(elem, min, max) == 0 && *min < *max;
}

double cubeFloor(long min, long max)
{
    return min == SND_CTL_TLV_DB_GAIN_MUTE ? 0.0 : std::pow(10.0, double(min - max) / 6000.0);
}

double channelVolume(snd_mixer_elem_t *elem, snd_mixer_selem_channel_id_t channel)
{
    long min, max, value;
    if (dbRange(elem, &min, &max) && snd_mixer_selem_get_playback_dB(elem, channel, &value) == 0) {
        if (max - min <= kMaxLinearDbSpan)
            return double(value - min) / double(max - min);
        double floor = cubeFloor(min, max);
        return (std::pow(10.0, double(value - max) / 6000.0) - floor) / (1.0 - floor);
    }
    if (snd_mixer_selem_get_playback_volume_range(elem, &min, &max) < 0 || min >= max ||
        snd_mixer_selem_get_playback_volume(elem, channel, &value) < 0)
        return 0;
    return double(value - min) / double(max - min);
}

bool setElementVolume(snd_mixer_elem_t *elem, double volume)
{
    long min, max;
    if (dbRange(elem, &min, &max)) {
        long target = min;
        if (max - min <= kMaxLinearDbSpan) {
            target = min + std::lround(volume * double(max - min));
        } else if (volume > 0) {
            double floor = cubeFloor(min, max);
            target = std::max(min, max + std::lround(6000.0 * std::log10(volume * (1.0 - floor) + floor)));
        }
        // Rounding up: any volume above 0 stays audible.
        return snd_mixer_selem_set_playback_dB_all(elem, target, 1) == 0;
    }
    if (snd_mixer_selem_get_playback_volume_range(elem, &min, &max) < 0 || min >= max)
        return false;
    return snd_mixer_selem_set_playback_volume_all(elem, min + std::lround(volume * double(max - min))) == 0;
}

bool startsWith(const std::string &text, const char *prefix)
{
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

SystemVolume::SystemVolume(const char *output, QObject *parent) : QObject(parent)
{
    AudioSinkSpec spec;
    if (!AudioSinkParse(output ? output : getenv("SONAVEL_AUDIO_OUTPUT"), &spec) || spec.kind != AudioSinkKind::Alsa)
        return;
    snd_lib_error_set_handler(quietAlsaError);
    std::vector<std::string> tried = controlCandidates(spec.target);
    for (const std::string &control : tried)
        if (open(control))
            return;
    // A configured device that leads to a card by its definition ("default" on a plain card, dmix).
    snd_pcm_t *pcm = nullptr;
    if (snd_pcm_open(&pcm, spec.target.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) == 0) {
        snd_pcm_info_t *info;
        snd_pcm_info_alloca(&info);
        int card = snd_pcm_info(pcm, info) == 0 ? snd_pcm_info_get_card(info) : -1;
        snd_pcm_close(pcm);
        std::string control = "hw:" + std::to_string(card);
        if (card >= 0 && std::find(tried.begin(), tried.end(), control) == tried.end() && open(control))
            return;
    }
    static bool said = false;
    if (!said)
        fprintf(stderr, "System volume: no mixer for ALSA device \"%s\"; the volume control is off\n",
                spec.target.c_str());
    said = true;
}

SystemVolume::~SystemVolume()
{
    close();
}

std::vector<std::string> SystemVolume::controlCandidates(const std::string &device)
{
    std::vector<std::string> names{device};
    std::string card;
    size_t at = device.find("CARD=");
    if (at != std::string::npos) {
        card = device.substr(at + 5, device.find(',', at) - (at + 5));
    } else {
        std::string d = device;
        if (startsWith(d, "plug:"))
            d.erase(0, 5);
        else if (startsWith(d, "plug"))
            d.erase(0, 4);
        if (startsWith(d, "'"))
            d.erase(0, 1);
        if (startsWith(d, "hw:"))
            card = d.substr(3, d.find_first_of(",'") - 3);
    }
    if (!card.empty() && "hw:" + card != device)
        names.push_back("hw:" + card);
    return names;
}

bool SystemVolume::open(const std::string &control)
{
    snd_mixer_t *mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0)
        return false;
    if (snd_mixer_attach(mixer, control.c_str()) < 0 || snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 ||
        snd_mixer_load(mixer) < 0) {
        snd_mixer_close(mixer);
        return false;
    }
    for (const char *name : kElements) {
        if (!findElement(mixer, name))
            continue;
        mixer_ = mixer;
        element_ = QString::fromLatin1(name);
        control_ = QString::fromStdString(control);
        last_ = volume();
        int count = snd_mixer_poll_descriptors_count(mixer);
        std::vector<pollfd> fds(size_t(std::max(count, 0)));
        count = snd_mixer_poll_descriptors(mixer, fds.data(), unsigned(fds.size()));
        for (int i = 0; i < count; i++)
            watchers_.push_back(std::make_unique<FdWatcher>(
                fds[size_t(i)].fd, (fds[size_t(i)].events & POLLOUT) ? FdWatcher::Write : FdWatcher::Read,
                [this] { mixerEvents(); }));
        return true;
    }
    snd_mixer_close(mixer);
    return false;
}

void SystemVolume::close()
{
    watchers_.clear();
    if (mixer_)
        snd_mixer_close(mixer_);
    mixer_ = nullptr;
    element_.clear();
    control_.clear();
}

bool SystemVolume::isAvailable() const
{
    return mixer_ != nullptr;
}

QString SystemVolume::elementName() const
{
    return element_;
}

QString SystemVolume::controlName() const
{
    return control_;
}

snd_mixer_elem_t *SystemVolume::element() const
{
    return mixer_ ? findElement(mixer_, element_.toLatin1().constData()) : nullptr;
}

double SystemVolume::volume() const
{
    snd_mixer_elem_t *elem = element();
    if (!elem)
        return 0;
    double loudest = 0;
    bool anyOn = !snd_mixer_selem_has_playback_switch(elem);
    for (int c = 0; c <= SND_MIXER_SCHN_LAST; c++) {
        auto channel = snd_mixer_selem_channel_id_t(c);
        if (!snd_mixer_selem_has_playback_channel(elem, channel))
            continue;
        loudest = std::max(loudest, channelVolume(elem, channel));
        int on = 0;
        if (!anyOn && snd_mixer_selem_get_playback_switch(elem, channel, &on) == 0 && on)
            anyOn = true;
    }
    return anyOn ? std::clamp(loudest, 0.0, 1.0) : 0.0;
}

bool SystemVolume::setVolume(double volume)
{
    snd_mixer_elem_t *elem = element();
    if (!elem)
        return false;
    volume = std::clamp(volume, 0.0, 1.0);
    bool ok = setElementVolume(elem, volume);
    if (ok && volume > 0 && snd_mixer_selem_has_playback_switch(elem))
        ok = snd_mixer_selem_set_playback_switch_all(elem, 1) == 0;
    // Our own change comes back as a mixer event; it must not be reported as someone else's.
    last_ = this->volume();
    return ok;
}

void SystemVolume::mixerEvents()
{
    if (!mixer_)
        return;
    int count = snd_mixer_poll_descriptors_count(mixer_);
    std::vector<pollfd> fds(size_t(std::max(count, 0)));
    count = snd_mixer_poll_descriptors(mixer_, fds.data(), unsigned(fds.size()));
    ::poll(fds.data(), nfds_t(std::max(count, 0)), 0);
    // Plugins (pulse among them) clear their wake-up descriptor only when asked for revents.
    unsigned short revents = 0;
    int err = snd_mixer_poll_descriptors_revents(mixer_, fds.data(), unsigned(std::max(count, 0)), &revents);
    if (err >= 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)))
        err = -ENODEV;
    if (err >= 0)
        err = snd_mixer_handle_events(mixer_);
    if (err < 0 || !element()) {
        // A descriptor in error stays ready; stop watching now, close outside the watcher's call.
        for (auto &watcher : watchers_)
            watcher->setEnabled(false);
        QMetaObject::invokeMethod(this, [this] {
            close();
            emit availabilityLost();
        }, Qt::QueuedConnection);
        return;
    }
    double now = volume();
    if (std::fabs(now - last_) > 1e-6) {
        last_ = now;
        emit volumeChanged(now);
    }
}
