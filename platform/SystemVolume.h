// The system volume of the audio output device, for the volume control of the now-playing
// screen: the ALSA simple-mixer element "Master", else "PCM", of the control device behind the
// configured output (SONAVEL_AUDIO_OUTPUT). With PipeWire or PulseAudio, ALSA's "default"
// reaches their volume through the pulse plugin. It never touches an output queue's own gain,
// so a new queue for the next file plays at the volume the user chose.
// Null and WAV outputs, and devices without such an element, have no system volume: the caller
// hides or disables its control. Main thread, signals included.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class FdWatcher;
struct _snd_mixer;
struct _snd_mixer_elem;

class SystemVolume : public QObject {
    Q_OBJECT

public:
    // `output` is an output text as SONAVEL_AUDIO_OUTPUT takes; null reads that variable.
    explicit SystemVolume(const char *output = nullptr, QObject *parent = nullptr);
    ~SystemVolume() override;

    bool isAvailable() const;
    QString elementName() const;  // "Master" or "PCM"; empty when unavailable
    QString controlName() const;  // the ALSA control device opened ("default", "hw:1")

    // 0..1 on the scale people hear as even steps (dB-based where the element tells its dB
    // range); 0 when the element is switched off, or when unavailable.
    double volume() const;
    // Sets every channel; a volume above 0 switches a muted element on. False when unavailable
    // or when ALSA refused.
    bool setVolume(double volume);

    // The ALSA control devices tried first for a PCM device name: the name itself, then the card
    // the name spells ("plughw:1,0" → "hw:1", "front:CARD=x,DEV=0" → "hw:x"). After them comes the
    // card of the PCM device itself, when it can be opened.
    static std::vector<std::string> controlCandidates(const std::string &device);

signals:
    // Another program changed the volume (or the mute switch).
    void volumeChanged(double volume);
    // The device went away (a USB DAC unplugged); the volume is now unavailable.
    void availabilityLost();

private:
    bool open(const std::string &control);
    void close();
    void mixerEvents();
    _snd_mixer_elem *element() const;

    _snd_mixer *mixer_ = nullptr;
    QString element_;
    QString control_;
    double last_ = 0;
    std::vector<std::unique_ptr<FdWatcher>> watchers_;
};
