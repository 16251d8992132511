#include "files/AlertMessage.h"

#include "platform/Localization.h"
#include "platform/ui/AlertView.h"

void AlertMessage::show(const QString &title)
{
    show(title, QString());
}

void AlertMessage::show(const QString &title, const QString &message)
{
    auto *alert = new AlertView(title, message, nullptr, {SVLocalized("OK")});
    alert->show();
}
