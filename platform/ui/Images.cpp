#include "platform/ui/Images.h"

#include <QFileInfo>
#include <QHash>
#include <QPixmap>

#include "platform/Localization.h"
#include "platform/ui/Device.h"

QString imagePathNamed(const QString &name)
{
    const QString folder = SVResourcesPath() + QStringLiteral("/images/");
    if (Device::isTablet() && !name.contains(QLatin1String("~ipad"))) {
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        const QString variant = dot < 0 ? name + QStringLiteral("~ipad")
                                        : name.left(dot) + QStringLiteral("~ipad") + name.mid(dot);
        if (QFileInfo::exists(folder + variant))
            return folder + variant;
    }
    if (QFileInfo::exists(folder + name))
        return folder + name;
    return {};
}

QImage imageNamed(const QString &name)
{
    // Images are implicitly shared: the cache hands out cheap copies of one decoded image.
    static QHash<QString, QImage> cache;
    const QString path = imagePathNamed(name);
    if (path.isEmpty())
        return {};
    auto found = cache.constFind(path);
    if (found != cache.constEnd())
        return *found;
    QImage image(path);
    if (!image.isNull())
        cache.insert(path, image);
    return image;
}

QIcon iconNamed(const QString &name)
{
    const QImage image = imageNamed(name);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}
