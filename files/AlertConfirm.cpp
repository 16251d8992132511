#include "files/AlertConfirm.h"

#include "platform/Localization.h"

AlertConfirm::AlertConfirm(const QString &title, const QString &message,
                           AlertViewDelegate *delegate, int tag, QWidget *parent)
    : AlertView(title, message, delegate, {SVLocalized("Cancel"), SVLocalized("OK")}, parent)
{
    setTag(tag);
}
