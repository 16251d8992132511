// The program as people run it: the application object, the window showing the play list
// screen at the root of a navigation stack, and the desktop's ways in connected to them:
// files and activations handed over by a later start, MPRIS remote control, the theme
// chooser's changes and the application's messages. main() makes one once it is the only
// instance; the start-up benchmark makes one the same way. Main thread.
#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class AppDelegate;
class RemoteControl;
class RootViewController;
class SingleInstance;
class UniPlayer;
class Window;

class Launcher : public QObject {
    Q_OBJECT
public:
    // Before the event loop: the process is prepared (audio session, default theme), the
    // translations are installed, and the window and its screens are built, not yet shown.
    // `player` null means the shared player; another one outlives the launcher.
    explicit Launcher(UniPlayer *player = nullptr, QObject *parent = nullptr);
    ~Launcher() override;

    // Shows the window and finishes the launch: `files` (named on the command line) are
    // imported and the first scan is scheduled. `instance`, when given, brings the files and
    // activations of later starts.
    void launch(const QStringList &files, SingleInstance *instance = nullptr);

    AppDelegate *delegate() const { return delegate_.get(); }
    Window *window() const { return window_.get(); }
    RootViewController *rootViewController() const { return root_; }
    RemoteControl *remoteControl() const { return remote_.get(); }

private:
    void raise();

    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<RemoteControl> remote_;
    // Goes first: its screens use the play list of the application object.
    std::unique_ptr<Window> window_;
    RootViewController *root_ = nullptr;
};
