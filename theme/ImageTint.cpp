#include "theme/ImageTint.h"

#include <QPainter>

#include "platform/ui/Images.h"

QImage tintedImage(const QImage &image, const QColor &color)
{
    if (image.isNull())
        return {};
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(image.devicePixelRatio());
    result.fill(color);
    QPainter painter(&result);
    // Destination-in: the colour stays where the image covers it, times the image's alpha.
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, image);
    return result;
}

QImage imageNamedWithColor(const QString &name, const QColor &color)
{
    return tintedImage(imageNamed(name), color);
}
