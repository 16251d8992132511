#include "files/AlertPrompt.h"

#include <QLineEdit>

#include "platform/Localization.h"

AlertPrompt::AlertPrompt(const QString &title, const QString &message,
                         AlertViewDelegate *delegate, const char *cancelButtonTitle,
                         const char *okButtonTitle, QWidget *parent)
    : AlertView(title, message.isEmpty() ? QStringLiteral("\n") : message, delegate,
                {SVLocalized(cancelButtonTitle), SVLocalized(okButtonTitle)}, parent)
{
    QLineEdit *field = addTextField();
    field->setAutoFillBackground(true);
    QPalette p = field->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    field->setPalette(p);
}

QString AlertPrompt::enteredText() const
{
    return textField()->text();
}

void AlertPrompt::setEnteredText(const QString &text)
{
    textField()->setText(text);
}

void AlertPrompt::show()
{
    textField()->setFocus(Qt::OtherFocusReason);
    AlertView::show();
    textField()->setFocus(Qt::OtherFocusReason);
    textField()->selectAll();
}
