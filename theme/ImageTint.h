// Tinting of monochrome icons with theme colours: the colour is kept only where the image
// is opaque, scaled by the image's alpha; the image's own colours do not matter. Main thread.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// The named image of the resources (imageNamed) in the colour; a null image when there is
// no such image.
QImage imageNamedWithColor(const QString &name, const QColor &color);

// The same for an image at hand.
QImage tintedImage(const QImage &image, const QColor &color);
