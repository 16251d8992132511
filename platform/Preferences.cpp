#include "platform/Preferences.h"

#include <QSettings>

#include <memory>
#include <mutex>

namespace {

// QSettings is reentrant but not thread-safe: one instance, guarded by this mutex.
std::mutex gMutex;
std::unique_ptr<QSettings> gSettings;  // guarded by gMutex

QSettings &settings()
{
    if (!gSettings)
        gSettings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Sonavel"), QStringLiteral("Sonavel"));
    return *gSettings;
}

}  // namespace

namespace Preferences {

QVariant objectForKey(const QString &key)
{
    std::lock_guard lock(gMutex);
    return settings().value(key);
}

qint64 integerForKey(const QString &key)
{
    QVariant v = objectForKey(key);
    bool ok = false;
    qint64 n = v.toLongLong(&ok);
    return ok ? n : 0;
}

QString stringForKey(const QString &key)
{
    QVariant v = objectForKey(key);
    return v.isValid() ? v.toString() : QString();
}

bool boolForKey(const QString &key)
{
    QVariant v = objectForKey(key);
    if (!v.isValid())
        return false;
    // Written as "true"/"false" by setBool; a number written with setInteger counts as non-zero.
    const QString s = v.toString();
    if (s == QLatin1String("true"))
        return true;
    if (s == QLatin1String("false"))
        return false;
    return s.toLongLong() != 0;
}

void setObject(const QString &key, const QVariant &value)
{
    std::lock_guard lock(gMutex);
    if (value.isValid())
        settings().setValue(key, value);
    else
        settings().remove(key);
    // Written through at once: Qt's deferred write is an event on the thread that created the
    // store, which may be a scan thread that has ended; a killed process keeps its settings too.
    settings().sync();
}

void setInteger(const QString &key, qint64 value) { setObject(key, QVariant(value)); }
void setBool(const QString &key, bool value) { setObject(key, QVariant(value)); }

void reset()
{
    std::lock_guard lock(gMutex);
    gSettings.reset();
}

}  // namespace Preferences
