// A modal alert: a title, a message, buttons in index order and an optional one-line text
// field. A button press closes the alert, tells the delegate the button's index and then
// deletes the alert. Escape and closing the window count as button 0. Shown with open()
// semantics: show() returns at once, no nested event loop. Main thread.
//
// Buttons are QPushButtons whose accessible names are their texts; the field is a
// QLineEdit named after the title. Create alerts with new: they delete themselves.
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class AlertView;

class AlertViewDelegate {
public:
    // Main thread, once the alert is closed; the alert is deleted after this returns.
    virtual void alertViewClickedButtonAtIndex(AlertView *alert, int index) = 0;

protected:
    // Alerts still open forget a delegate that goes away.
    virtual ~AlertViewDelegate();
};

class AlertView : public QDialog {
    Q_OBJECT
public:
    // `buttonTitles` in index order, already localised; the delegate is not owned and may
    // be none. Without a parent the alert covers the active window.
    AlertView(const QString &title, const QString &message, AlertViewDelegate *delegate,
              const QStringList &buttonTitles, QWidget *parent = nullptr);
    ~AlertView() override;

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    QString title() const { return windowTitle(); }
    QString message() const;
    AlertViewDelegate *delegate() const { return delegate_; }

    int numberOfButtons() const { return int(buttons_.size()); }
    QPushButton *button(int index) const;
    // Adds the text field below the message (once) and answers it.
    QLineEdit *addTextField();
    QLineEdit *textField() const { return field_; }

    // Shows the alert window-modal and returns at once.
    void show();

    void reject() override;

private:
    void deliver(int index);
    friend class AlertViewDelegate;

    AlertViewDelegate *delegate_;
    int tag_ = 0;
    bool delivered_ = false;
    QLabel *message_;
    QLineEdit *field_ = nullptr;
    QList<QPushButton *> buttons_;
};
