// A message with one "OK" button and no delegate: pressing OK only closes it. Main thread.
#pragma once

#include <QString>

class AlertMessage {
public:
    // The title alone; same as show(title, QString()).
    static void show(const QString &title);
    // The title, the message when there is one, and "OK".
    static void show(const QString &title, const QString &message);
};
