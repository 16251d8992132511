// The interpreter's headers come before Qt's, whose `slots` macro would eat a field name.
#include "theme/ThmInterpreter.h"
#include "theme/ThmObject.h"
#include "theme/ThmPort.h"

#include "theme/Theme.h"

#include <QFileInfo>

#include <cstdlib>

#include "platform/Localization.h"

std::unique_ptr<Theme> Theme::create(const QString &fileName)
{
    return create(defaultThemeFolder(), fileName);
}

std::unique_ptr<Theme> Theme::create(const QString &folder, const QString &fileName)
{
    const QString full = folder + QLatin1Char('/') + fileName;
    ThmObject *path = ThmStringFromUTF8(full.toUtf8().constData());
    ThmObject *port = ThmOpenFile(path);
    ThmRelease(path);
    if (!port)
        return nullptr;
    ThmInterpreter *interp = ThmNewInterpreter();
    ThmObject *value = ThmLoad(interp, port);
    ThmRelease(port);
    // The value outlives the interpreter that made it.
    ThmFreeInterpreter(interp);
    if (!ThmIsPair(value)) {
        ThmRelease(value);
        return nullptr;
    }
    return std::unique_ptr<Theme>(new Theme(folder, full, value));
}

QString Theme::defaultThemeFolder()
{
    return SVResourcesPath() +
           (Device::isTablet() ? QStringLiteral("/theme/iPad") : QStringLiteral("/theme/iPhone"));
}

Theme::Theme(QString folder, QString fullpath, ThmObject *alist)
    : themeFolder_(std::move(folder)), fullpath_(std::move(fullpath)), alist_(alist)
{
}

Theme::~Theme()
{
    ThmRelease(alist_);
}

QString Theme::themeName() const
{
    return QFileInfo(fullpath_).fileName();
}

ThmObject *Theme::query(const QString &key) const
{
    ThmObject *symbol = ThmSymbolFromCString(key.toUtf8().constData());
    ThmObject *value = ThmAssoc(alist_, symbol);
    ThmRelease(symbol);
    return value;
}

bool Theme::queryBool(const QString &key) const
{
    ThmObject *value = query(key);
    const bool yes = value == ThmTrue;
    ThmRelease(value);
    return yes;
}

QString Theme::queryString(const QString &key) const
{
    ThmObject *value = query(key);
    QString text;
    if (ThmIsString(value)) {
        char *utf8 = ThmStringToUTF8(value);
        text = QString::fromUtf8(utf8);
        free(utf8);
    }
    ThmRelease(value);
    return text;
}

QColor Theme::queryColor(const QString &key) const
{
    ThmObject *value = query(key);
    if (!ThmIsPair(value)) {
        ThmRelease(value);
        return {};
    }
    float c[4] = {0, 0, 0, 1};
    for (int n = 0; n < 4; n++) {
        ThmObject *e = ThmNth(value, n);
        if (ThmIsNumber(e))
            c[n] = float(ThmToInteger(e) / 255.0);
        ThmRelease(e);
    }
    ThmRelease(value);
    // Red, green and blue beyond 0-1 make an extended-range colour; alpha has no such range.
    return QColor::fromRgbF(c[0], c[1], c[2], qBound(0.0f, c[3], 1.0f));
}

void Theme::queryQuadruple(const QString &key, float quad[4]) const
{
    ThmObject *value = query(key);
    if (ThmIsPair(value)) {
        for (int n = 0; n < 4; n++) {
            ThmObject *e = ThmNth(value, n);
            if (ThmIsNumber(e))
                quad[n] = float(ThmToInteger(e));
            ThmRelease(e);
        }
    }
    ThmRelease(value);
}

bool Theme::visibleScrollIndicator() const
{
    return queryBool(QStringLiteral("scroll-indicator"));
}

QColor Theme::listBackgroundColor() const
{
    return queryColor(QStringLiteral("list-background-color"));
}

QColor Theme::backgroundColor() const
{
    return queryColor(QStringLiteral("background-color"));
}

QColor Theme::separatorColor() const
{
    return queryColor(QStringLiteral("list-separator-color"));
}

QColor Theme::titleColor() const
{
    return queryColor(QStringLiteral("list-title-color"));
}

QColor Theme::subtitleColor() const
{
    return queryColor(QStringLiteral("list-subtitle-color"));
}

QImage Theme::backgroundImage(Device::Orientation orientation) const
{
    const bool landscape = Device::isLandscape(orientation);
    QImage &slot = landscape ? imageL_ : imageP_;
    if (!slot.isNull())
        return slot;
    const QString name = queryString(landscape ? QStringLiteral("background-image-landscape")
                                               : QStringLiteral("background-image-portrait"));
    if (name.isNull())
        return {};
    slot = QImage(themeFolder_ + QLatin1Char('/') + name);
    return slot;
}

QMarginsF Theme::insetForList(Device::Orientation orientation) const
{
    float q[4] = {0, 0, 0, 0};
    queryQuadruple(Device::isLandscape(orientation) ? QStringLiteral("list-inset-landscape")
                                                    : QStringLiteral("list-inset-portrait"),
                   q);
    return QMarginsF(q[1], q[0], q[3], q[2]);
}
