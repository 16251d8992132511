// A screen: a widget with the appear/disappear lifecycle, what the navigation bar shows while
// it is on top (title, prompt, left and right buttons), an optional bottom toolbar, and the
// ways to show another screen over it (modally, as a form sheet, as a popover). Main thread.
//
// Lifecycle, called by the containers (Window, NavigationController, the presentations):
//   viewDidLoad        once, before the first viewWillAppear (or by loadViewIfNeeded);
//   viewWillAppear     before the screen comes into view;   viewDidAppear    once it is in view;
//   viewWillDisappear  before it leaves the view;            viewDidDisappear once it has left.
// A screen covered by a full-screen modal disappears and appears again when it is dismissed;
// one under a popover or a form sheet stays in view.
//
// Ownership: a screen owns every widget handed to it here (content, bar buttons, title
// view, toolbar items); one that is replaced is hidden, not deleted, so a screen may switch
// between buttons it keeps. A presented or pushed screen that has no Qt parent is owned by
// the presentation or the navigation stack and deleted after it leaves; one that has a
// parent goes back to that parent, hidden, when it leaves.
#pragma once

#include <QAbstractButton>
#include <QToolButton>
#include <QImage>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include "platform/ui/Device.h"

class QBoxLayout;
class NavigationController;

class ViewController : public QWidget {
    Q_OBJECT
public:
    explicit ViewController(QWidget *parent = nullptr);
    ~ViewController() override;

    // Runs viewDidLoad when it has not run yet.
    void loadViewIfNeeded();
    bool isViewLoaded() const { return loaded_; }
    // Between viewWillAppear and viewWillDisappear.
    bool isAppearing() const { return state_ == State::Appearing || state_ == State::Appeared; }

    // The screen's own view: the content widget fills it above the toolbar.
    void setContentWidget(QWidget *content);
    QWidget *contentWidget() const { return content_; }

    // What the navigation bar shows while this screen is on top.
    QString title() const { return title_; }
    void setTitle(const QString &title);
    // A line above the title; empty for none.
    QString prompt() const { return prompt_; }
    void setPrompt(const QString &prompt);
    // Shown instead of the title label (a title button, for instance); none for the label.
    QWidget *titleView() const { return titleView_; }
    void setTitleView(QWidget *view);
    // A left button replaces the back button. None removes the button.
    QAbstractButton *leftBarButton() const { return left_; }
    void setLeftBarButton(QAbstractButton *button);
    QAbstractButton *rightBarButton() const { return right_; }
    void setRightBarButton(QAbstractButton *button);

    // The bottom toolbar: the items from left to right, a null item being a flexible space
    // (items keep their own widths). No items hides the toolbar.
    void setToolbarItems(const QList<QWidget *> &items);
    QWidget *toolbar() const { return toolbar_; }

    // The size this screen wants in a popover or a form sheet (320 x 480 when not set).
    QSize preferredContentSize() const { return preferredSize_; }
    void setPreferredContentSize(QSize size) { preferredSize_ = size; }

    // The navigation stack this screen is on, or none.
    NavigationController *navigationController() const;

    enum class ModalTransition { CoverVertical, FlipHorizontal };
    // Covers the whole window (the phone's way); the screens under it disappear.
    void presentModally(ViewController *screen,
                        ModalTransition transition = ModalTransition::CoverVertical,
                        bool animated = true);
    // A panel of the screen's preferred size in the middle of the window (the tablet's
    // sheet); the screens under it stay in view.
    void presentAsFormSheet(ViewController *screen, bool animated = true);
    // A panel of the screen's preferred size next to `anchor` (the tablet's popover). A click
    // outside it or Escape dismisses it.
    void presentAsPopover(ViewController *screen, QWidget *anchor, bool animated = true);
    // Dismisses what this screen presented; when it presented nothing, dismisses the
    // presentation this screen (or the navigation stack it is on) is shown in.
    void dismiss(bool animated = true);
    ViewController *presentedViewController() const { return presented_; }
    ViewController *presentingViewController() const { return presenting_; }

signals:
    // Title, prompt, title view or a bar button changed.
    void navigationItemChanged();

protected:
    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}
    // The main window changed between portrait and landscape (a tablet only). Called on
    // every loaded screen, shown or not.
    virtual void orientationDidChange(Device::Orientation) {}

    // A container names the child that appears and disappears with it.
    virtual ViewController *appearanceChild() const { return nullptr; }

    void showEvent(QShowEvent *event) override;

private:
    friend class NavigationController;
    friend class Presentation;
    friend class Window;

    enum class State { Disappeared, Appearing, Appeared, Disappearing };
    enum class Phase { WillAppear, DidAppear, WillDisappear, DidDisappear };
    // Calls the hook of the phase once (a missing earlier phase is sent first), then the
    // appearance child's.
    void sendAppearance(Phase phase);
    template <typename T>
    void replaceOwned(QPointer<T> &slot, T *widget);

    bool loaded_ = false;
    State state_ = State::Disappeared;
    QString title_, prompt_;
    QPointer<QWidget> titleView_;
    QPointer<QAbstractButton> left_, right_;
    QSize preferredSize_;
    QBoxLayout *layout_;
    QPointer<QWidget> content_;
    QWidget *toolbar_;
    QBoxLayout *toolbarLayout_;
    QPointer<NavigationController> nav_;
    QPointer<ViewController> presented_, presenting_;
};

// A flat button for a navigation bar or a toolbar: it shows `image` when there is one, else
// `text`; `text` is its accessible name either way.
QToolButton *makeBarButton(const QString &text, const QImage &image = QImage());
// A bar button for a screen's toolbar: the translated `title` (marked with SV_TEXT where it
// is written), at least `minimumWidth` wide.
QToolButton *makeToolbarButton(const char *title, int minimumWidth);
