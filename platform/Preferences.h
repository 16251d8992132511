// The persisted preference store: QSettings at ~/.config/Sonavel/Sonavel.conf
// (XDG_CONFIG_HOME moves it). Callable from any thread; a write is seen at once by every
// later read on any thread.
#pragma once

#include <QString>
#include <QVariant>

namespace Preferences {

qint64 integerForKey(const QString &key);          // 0 when absent
QString stringForKey(const QString &key);          // null QString when absent
QVariant objectForKey(const QString &key);         // invalid QVariant when absent
bool boolForKey(const QString &key);               // false when absent

void setInteger(const QString &key, qint64 value);
void setObject(const QString &key, const QVariant &value);  // invalid QVariant removes the key
void setBool(const QString &key, bool value);

// Drops the cached store so the next access reopens it (tests move XDG_CONFIG_HOME).
void reset();

}  // namespace Preferences
