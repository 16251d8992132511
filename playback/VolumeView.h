// The volume control of the now-playing screen: a slider over the system volume of the
// output device (never an output queue's own gain, so a new queue for the next file keeps the
// volume the user chose). It follows changes made by other programs and hides itself where
// there is no system volume. Accessible as the adjustable "Volume". Main thread.
#pragma once

#include <QPointer>
#include <QWidget>

class QSlider;
class SystemVolume;

class VolumeView : public QWidget {
    Q_OBJECT
public:
    // The program's system volume, made once by main(); not owned. Volume views made without
    // one of their own use it.
    static void setDefaultSystemVolume(SystemVolume *volume);
    static SystemVolume *defaultSystemVolume();

    // `volume` is not owned and must outlive the view; null takes the default.
    explicit VolumeView(SystemVolume *volume = nullptr, QWidget *parent = nullptr);

    // Whether there is a system volume to control; the view is hidden otherwise.
    bool isAvailable() const;
    QSlider *slider() const { return slider_; }

private:
    void setShownVolume(double volume);
    void unavailable();

    QPointer<SystemVolume> volume_;
    QSlider *slider_;
};
