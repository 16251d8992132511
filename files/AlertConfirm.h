// A question with "Cancel" (index 0) and "OK" (index 1); the tag tells the delegate which
// question is answered. Create with new and show(); it deletes itself. Main thread.
#pragma once

#include "platform/ui/AlertView.h"

class AlertConfirm : public AlertView {
    Q_OBJECT
public:
    AlertConfirm(const QString &title, const QString &message, AlertViewDelegate *delegate,
                 int tag, QWidget *parent = nullptr);
};
