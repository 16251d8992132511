// The program's top-level window: it shows the root screen and sends it the appear and
// disappear calls as the window is shown and hidden, hosts the screens presented over it,
// and tells Device its orientation as it is resized. Main thread.
#pragma once

#include <QPointer>
#include <QWidget>

class ViewController;

class Window : public QWidget {
    Q_OBJECT
public:
    // Sized by Device::defaultWindowSize().
    explicit Window(QWidget *parent = nullptr);

    // The screen that fills the window (a NavigationController, usually); owned.
    void setRootViewController(ViewController *root);
    ViewController *rootViewController() const { return root_; }

    // The root's viewWillAppear comes before the window and its widgets are shown, and
    // viewDidAppear after; the same for hiding.
    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QPointer<ViewController> root_;
};
