// The main menu, titled "Main": Files, Artists, Albums, Playlists, Settings and Help Center.
// The play list screen presents it in a navigation stack (modally on a phone, in a popover on
// a tablet); it reloads its rows each time it is shown. Main thread.
#pragma once

#include <functional>

#include "files/OrganizeModel.h"
#include "platform/ui/TableViewController.h"

class OrganizeDelegate;
class QAbstractButton;

class OrganizeViewController : public TableViewController {
    Q_OBJECT
public:
    // `delegate` (the play list, not owned) is handed to every screen reached from here.
    explicit OrganizeViewController(OrganizeDelegate *delegate, QWidget *parent = nullptr);

    // The settings screen lives above this folder: the program says how to make one. Until it
    // does, the "Settings" row is disabled. Set before the menu is made.
    static void setSettingsFactory(std::function<ViewController *()> factory);

    OrganizeModel *model() const { return model_; }
    // The phone's "Back to playing list" button (none on a tablet).
    QAbstractButton *backButton() const { return backButton_; }

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    OrganizeDelegate *delegate_;
    std::function<ViewController *()> makeSettings_;
    OrganizeModel *model_;
    QAbstractButton *backButton_ = nullptr;
};

// The phone's button that dismisses a screen of the main menu: "playlist.png" in white, read
// as "Back to playing list".
QAbstractButton *makeBackToPlayingListButton();
