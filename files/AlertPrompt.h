// A prompt for one line of text: button 0 the cancel title, button 1 the OK title, and the
// text field. Create with new, preset the text, show(); it deletes itself after the
// delegate read enteredText. Main thread.
#pragma once

#include "platform/ui/AlertView.h"

class QLineEdit;

class AlertPrompt : public AlertView {
    Q_OBJECT
public:
    // The button titles are localisation keys ("Cancel", "OK"). An empty message becomes
    // "\n", a line of room above the field.
    AlertPrompt(const QString &title, const QString &message, AlertViewDelegate *delegate,
                const char *cancelButtonTitle, const char *okButtonTitle,
                QWidget *parent = nullptr);

    QLineEdit *textField() const { return AlertView::textField(); }
    QString enteredText() const;
    void setEnteredText(const QString &text);

    // Puts the keyboard focus in the field, then shows the prompt.
    void show();
};
