// Stand-ins for screens that are not built yet, so the main screen's buttons lead somewhere:
// the now-playing screen (what plays, without controls) and the main menu (titled "Main",
// leading to the theme chooser). Main thread.
#pragma once

#include "platform/ui/TableViewController.h"

class PlayList;
class QLabel;

// What plays now: title, artist and album of the player's current item.
class NowPlayingPlaceholder : public ViewController {
    Q_OBJECT
public:
    // Not owned; outlives the screen.
    explicit NowPlayingPlaceholder(PlayList *playList, QWidget *parent = nullptr);

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    void update();

    PlayList *playList_;
    QLabel *title_ = nullptr;
    QLabel *detail_ = nullptr;
};

// The main menu's stand-in: "Themes" opens the theme chooser; "Settings" is there but disabled
// until the settings screen exists. Its left button "Back" returns to the play list.
class OrganizePlaceholder : public TableViewController {
    Q_OBJECT
public:
    // The settings screen, made when its row is chosen; null keeps the row disabled.
    using SettingsMaker = ViewController *(*)();
    static SettingsMaker settingsScreen;

    explicit OrganizePlaceholder(QWidget *parent = nullptr);

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;
};
