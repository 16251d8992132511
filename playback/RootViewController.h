// The main screen: the play list under the navigation bar, with the button panel above its
// first row (play/pause, play mode, edit, add), the organise button on the left of the bar and
// the now-playing button on its right. All its logic is the PlayList's; this screen binds the
// list's rows, title and state to the widgets, applies the theme, and shows the screens it
// leads to. Main thread.
#pragma once

#include <QImage>
#include <QPointer>

#include <memory>

#include "platform/ui/RemoteControlCenter.h"
#include "platform/ui/TableViewController.h"
#include "theme/Theme.h"

class NavigationController;
class PlayList;
class QToolButton;
class RootViewController;

// The screens this one leads to, made when first needed. A null maker disables what leads
// there. The main menu, the now-playing screen and the file chooser are each one line in
// RootViewController.cpp.
namespace RootScreens {
using Maker = ViewController *(*)(RootViewController *root);
extern Maker organizeScreen;
extern Maker nowPlayingScreen;
extern Maker fileChooser;
}  // namespace RootScreens

class RootViewController : public TableViewController, public RemoteControlReceiver {
    Q_OBJECT
public:
    // The play list is not owned and outlives the screen.
    explicit RootViewController(PlayList *playList, QWidget *parent = nullptr);
    ~RootViewController() override;

    PlayList *playList() const { return playList_; }
    // The theme in use, or none (no theme file loaded: default colours).
    Theme *theme() const { return theme_.get(); }
    // Re-reads CurrentTheme (a new Theme only when the name differs) and applies it: background,
    // list insets and colours, scroll indicator, button images and the playing marker.
    void onThemeChange();

    // The controls, as a screen reader finds them by name.
    QToolButton *playPauseButton() const { return playPause_; }
    QToolButton *playModeButton() const { return playMode_; }
    QToolButton *editButton() const { return edit_; }
    QToolButton *addButton() const { return add_; }
    QToolButton *organizeButton() const { return organize_; }
    // None until something played; not in the bar while there is no current item.
    QToolButton *nowPlayingButton() const { return nowPlaying_; }
    QWidget *buttonPanel() const { return panel_; }

    // What the buttons do.
    void showOrganizer();
    void showNowPlaying();
    void showFileChooser();
    void toggleEditing();

    // The rows: the play list's.
    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    int heightForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;
    bool canDeleteRow(IndexPath path) override;
    void deleteRow(IndexPath path) override;
    bool canMoveRow(IndexPath path) override;
    void moveRow(IndexPath from, IndexPath to) override;

    // Main thread, while the screen is in view.
    void remoteControlReceived(RemoteCommand command) override;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    void orientationDidChange(Device::Orientation orientation) override;

private:
    class Background;

    void applyTheme();
    void onPlayPause();
    void onItemChange(int row);
    void updatePlayModeButton();
    void updatePanelImages();
    void removeNowPlayingButton();
    QColor titleColor() const;
    QColor subtitleColor() const;

    PlayList *playList_;
    std::unique_ptr<Theme> theme_;
    QImage playingIcon_;
    Background *background_ = nullptr;
    QWidget *panel_ = nullptr;
    QToolButton *playPause_ = nullptr;
    QToolButton *playMode_ = nullptr;
    QToolButton *edit_ = nullptr;
    QToolButton *add_ = nullptr;
    QToolButton *organize_ = nullptr;
    QToolButton *nowPlaying_ = nullptr;
    // The organise screen's navigation stack, made once and kept.
    QPointer<NavigationController> organizeNav_;
    // The connections to the play list's player reports, held while the screen is in view.
    QList<QMetaObject::Connection> handlers_;
};
