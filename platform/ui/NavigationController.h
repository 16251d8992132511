// A stack of screens under a navigation bar. The bar shows the top screen's title (or title
// view) and prompt line, its left button or, deeper than the root, a back button named "Back",
// and its right button. Push and pop switch at once; the screens going and coming get their
// lifecycle calls in the order will-disappear, will-appear, did-disappear, did-appear while
// the stack itself is in view. Main thread.
#pragma once

#include <QList>

#include "platform/ui/ViewController.h"

class QGridLayout;
class QLabel;
class QStackedWidget;
class QToolButton;

class NavigationController : public ViewController {
    Q_OBJECT
public:
    // `root` is the bottom of the stack; it follows the push rule on ownership.
    explicit NavigationController(ViewController *root, QWidget *parent = nullptr);
    ~NavigationController() override;

    void pushViewController(ViewController *screen);
    // Pops the top screen (never the root).
    void popViewController();
    void popToRootViewController();

    ViewController *topViewController() const;
    ViewController *rootViewController() const;
    QList<ViewController *> viewControllers() const;

    // The bar, for screens that colour it; black with white text unless they do.
    QWidget *navigationBar() const { return bar_; }
    void setNavigationBarHidden(bool hidden);

protected:
    ViewController *appearanceChild() const override { return topViewController(); }

private:
    void updateBar();
    void returnBarWidgets();
    void focusTop();
    void leave(ViewController *screen);

    QWidget *bar_;
    QGridLayout *barLayout_;
    QLabel *title_, *prompt_;
    QToolButton *back_;
    QStackedWidget *stack_;
    struct Entry {
        QPointer<ViewController> screen;
        QPointer<QWidget> formerParent;
    };
    QList<Entry> entries_;
    // The widgets of the top screen now in the bar, to hand back when it changes.
    QPointer<ViewController> shownFor_;
    QList<QPointer<QWidget>> shown_;
};
