#include "platform/ui/Device.h"

#include <QtGlobal>

namespace {

Device::Orientation current = Device::Orientation::Portrait;
bool animations = qEnvironmentVariable("SONAVEL_ANIMATIONS") != QLatin1String("0");

}  // namespace

Device::Idiom Device::idiom()
{
    return qEnvironmentVariable("SONAVEL_IDIOM") == QLatin1String("tablet") ? Idiom::Tablet
                                                                           : Idiom::Phone;
}

Device::Orientation Device::orientation()
{
    return isTablet() ? current : Orientation::Portrait;
}

Device::Orientation Device::orientationForSize(QSize size)
{
    if (isTablet() && size.width() > size.height())
        return Orientation::LandscapeLeft;
    return Orientation::Portrait;
}

void Device::windowResized(QSize size)
{
    Orientation o = orientationForSize(size);
    if (o == current)
        return;
    current = o;
    emit instance()->orientationChanged(o);
}

QSize Device::defaultWindowSize()
{
    return isTablet() ? QSize(1024, 768) : QSize(360, 640);
}

bool Device::animationsEnabled()
{
    return animations;
}

void Device::setAnimationsEnabled(bool enabled)
{
    animations = enabled;
}

Device *Device::instance()
{
    static Device *device = new Device;
    return device;
}
