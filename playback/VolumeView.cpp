#include "playback/VolumeView.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>

#include <cmath>

#include "platform/Localization.h"
#include "platform/SystemVolume.h"

namespace {

const int kSteps = 100;
QPointer<SystemVolume> gDefault;

}  // namespace

void VolumeView::setDefaultSystemVolume(SystemVolume *volume) { gDefault = volume; }

SystemVolume *VolumeView::defaultSystemVolume() { return gDefault; }

VolumeView::VolumeView(SystemVolume *volume, QWidget *parent)
    : QWidget(parent), volume_(volume ? volume : defaultSystemVolume()), slider_(new QSlider(Qt::Horizontal, this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(slider_);
    slider_->setRange(0, kSteps);
    slider_->setPageStep(kSteps / 10);
    slider_->setAccessibleName(SVLocalized("Volume"));
    if (!isAvailable()) {
        unavailable();
        return;
    }
    setShownVolume(volume_->volume());
    // Keys, the mouse and a screen reader's value change all end here.
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (volume_)
            volume_->setVolume(double(value) / kSteps);
    });
    connect(volume_, &SystemVolume::volumeChanged, this, &VolumeView::setShownVolume);
    connect(volume_, &SystemVolume::availabilityLost, this, &VolumeView::unavailable);
}

bool VolumeView::isAvailable() const { return volume_ && volume_->isAvailable(); }

void VolumeView::setShownVolume(double volume)
{
    QSignalBlocker quiet(slider_);
    slider_->setValue(int(std::lround(volume * kSteps)));
}

void VolumeView::unavailable()
{
    slider_->setEnabled(false);
    hide();
}
