// The settings screen: a grouped table of the General, FTP and Support sections whose rows
// are SettingsModel's. Rows lead to the theme, encoding, sleep-timer and backward-step
// lists; the backup switch, the FTP rows and "Send Feedback" act in place. On a phone it is
// shown modally with a button back to the playing list; on a tablet in a popover. Main
// thread.
#pragma once

#include "app/SettingsModel.h"
#include "platform/ui/TableViewController.h"

class AppDelegate;

class SettingsViewController : public TableViewController {
    Q_OBJECT
public:
    // A null application is AppDelegate::shared(); it must outlive the screen.
    explicit SettingsViewController(AppDelegate *app = nullptr, QWidget *parent = nullptr);
    ~SettingsViewController() override;

    // Shows the settings over `presenter` in a navigation stack of their own: modally on a
    // phone, in a popover at `anchor` on a tablet. Answers the settings screen.
    static SettingsViewController *present(ViewController *presenter, QWidget *anchor = nullptr,
                                           AppDelegate *app = nullptr);

    const SettingsModel &model() const { return model_; }

    int numberOfSections() override { return SettingsModel::SectionCount; }
    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    QString titleForHeader(int section) override;
    QString titleForFooter(int section) override;
    void didSelectRow(IndexPath path) override;
    void switchToggled(IndexPath path, bool on) override;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    void push(ViewController *screen);

    SettingsModel model_;
};
