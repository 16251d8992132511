#include "files/LiveRegion.h"

#include <QAccessible>

LiveRegion::LiveRegion(QWidget *parent) : QLabel(parent) {}

void LiveRegion::announce(const QString &text)
{
    const QString line = text.trimmed();
    setText(line);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent event(this, line);
    QAccessible::updateAccessibility(&event);
#else
    if (accessibleName() != line) {
        setAccessibleName(line);  // sends the name change
    } else {
        // The same words again are news too ("Added 1" after "Added 1").
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
#endif
}
