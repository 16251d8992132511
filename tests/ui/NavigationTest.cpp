#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include "TestSupport.h"
#include "platform/ui/Device.h"
#include "platform/ui/Images.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/RemoteControlCenter.h"
#include "platform/ui/Window.h"

namespace {

QStringList events;

// A screen that writes down its lifecycle.
class Screen : public ViewController {
public:
    explicit Screen(const QString &name, QWidget *parent = nullptr) : ViewController(parent), name_(name)
    {
        setTitle(name);
    }
    QList<Device::Orientation> rotations;

protected:
    void viewDidLoad() override { events << name_ + ".load"; }
    void viewWillAppear() override { events << name_ + ".willAppear"; }
    void viewDidAppear() override { events << name_ + ".didAppear"; }
    void viewWillDisappear() override { events << name_ + ".willDisappear"; }
    void viewDidDisappear() override { events << name_ + ".didDisappear"; }
    void orientationDidChange(Device::Orientation o) override { rotations << o; }

private:
    QString name_;
};

QStringList take()
{
    QStringList e = events;
    events.clear();
    return e;
}

QStringList split(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QLabel *barLabel(NavigationController *nav, const char *name)
{
    return nav->navigationBar()->findChild<QLabel *>(QLatin1String(name));
}

QToolButton *backButton(NavigationController *nav)
{
    return nav->navigationBar()->findChild<QToolButton *>(QStringLiteral("backButton"));
}

struct Stage {
    Window window;
    NavigationController *nav;
    Screen *root;
    Stage()
    {
        Device::setAnimationsEnabled(false);
        root = new Screen("A");
        nav = new NavigationController(root);
        window.setRootViewController(nav);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

}  // namespace

// Lifecycle order through push and pop, and what the bar shows and names.
TEST(Navigation, PushPopLifecycleAndBar)
{
    events.clear();
    Stage s;
    EXPECT_EQ(take(), split("A.load A.willAppear A.didAppear"));
    EXPECT_EQ(barLabel(s.nav, "navigationTitle")->text(), "A");
    EXPECT_FALSE(backButton(s.nav)->isVisible()) << "no back button at the root";

    QPointer<Screen> b = new Screen("B");
    b->setPrompt("00:12 / 03:40");
    s.nav->pushViewController(b);
    EXPECT_EQ(take(), split("B.load A.willDisappear B.willAppear A.didDisappear B.didAppear"));
    EXPECT_EQ(s.nav->topViewController(), b);
    QLabel *title = barLabel(s.nav, "navigationTitle");
    QLabel *prompt = barLabel(s.nav, "navigationPrompt");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(title)->text(QAccessible::Name), "B");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(prompt)->text(QAccessible::Name), "00:12 / 03:40");
    ASSERT_TRUE(backButton(s.nav)->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(backButton(s.nav))->text(QAccessible::Name), "Back");

    // The top screen's buttons; a left button stands in for the back button.
    QToolButton *right = makeBarButton("Now playing", imageNamed("nowplaying.png"));
    b->setRightBarButton(right);
    EXPECT_TRUE(right->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(right)->text(QAccessible::Name), "Now playing");
    QToolButton *left = makeBarButton("Done");
    b->setLeftBarButton(left);
    EXPECT_TRUE(left->isVisible());
    EXPECT_FALSE(backButton(s.nav)->isVisible());
    b->setLeftBarButton(nullptr);
    EXPECT_FALSE(left->isVisible()) << "a replaced button is hidden, not deleted";
    EXPECT_EQ(left->parent(), b.data());

    // A screen kept by another goes back to it when popped; one without a parent goes.
    QWidget keeper;
    QPointer<Screen> c = new Screen("C", &keeper);
    s.nav->pushViewController(c);
    take();
    s.nav->popViewController();
    EXPECT_EQ(take(), split("C.willDisappear B.willAppear C.didDisappear B.didAppear"));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->parent(), &keeper);
    EXPECT_EQ(b->rightBarButton(), right);
    EXPECT_TRUE(right->isVisible()) << "B's buttons are back in the bar";

    // The back button is a real button: a real click pops.
    QTest::mouseClick(backButton(s.nav), Qt::LeftButton);
    EXPECT_EQ(take(), split("B.willDisappear A.willAppear B.didDisappear A.didAppear"));
    EXPECT_EQ(barLabel(s.nav, "navigationTitle")->text(), "A");
    EXPECT_FALSE(prompt->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(b.isNull());

    // Pushing while the stack is not in view loads but does not appear.
    s.window.hide();
    take();
    s.nav->pushViewController(new Screen("D"));
    EXPECT_EQ(take(), split("D.load"));
}

// Modal, sheet and popover presentations: who disappears, who owns what, how they end.
TEST(Navigation, Presentations)
{
    events.clear();
    Stage s;
    take();

    // Full screen over the whole window: the stack disappears and comes back.
    QPointer<Screen> modalRoot = new Screen("M");
    auto *modal = new NavigationController(modalRoot);
    s.root->presentModally(modal, ViewController::ModalTransition::FlipHorizontal, false);
    EXPECT_EQ(take(), split("M.load A.willDisappear M.willAppear A.didDisappear M.didAppear"));
    EXPECT_EQ(s.root->presentedViewController(), modal);
    EXPECT_FALSE(s.nav->isVisible()) << "covered screens are out of the accessibility tree";
    EXPECT_EQ(modal->geometry(), s.window.rect());

    // A screen inside the presented stack dismisses the presentation it is in.
    QPointer<Screen> inner = new Screen("N");
    modal->pushViewController(inner);
    take();
    inner->dismiss(false);
    EXPECT_EQ(take(), split("N.willDisappear A.willAppear N.didDisappear A.didAppear"));
    EXPECT_EQ(s.root->presentedViewController(), nullptr);
    EXPECT_TRUE(s.nav->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(modalRoot.isNull() && inner.isNull()) << "a presentation without a parent owns its screens";

    // A popover anchored at a button, sized by the screen; the presenter stays in view;
    // a screen kept by its presenter returns to it; a click outside dismisses.
    s.window.resize(1024, 768);
    auto *anchor = makeBarButton("Main");
    s.root->setLeftBarButton(anchor);
    QCoreApplication::processEvents();
    QPointer<Screen> pop = new Screen("P", s.root);
    pop->setPreferredContentSize(QSize(360, 640));
    s.root->presentAsPopover(pop, anchor, false);
    EXPECT_EQ(take(), split("P.load P.willAppear P.didAppear"));
    QWidget *panel = pop->parentWidget();
    EXPECT_EQ(panel->size(), QSize(360, 640));
    const QPoint anchorBottom = anchor->mapTo(&s.window, QPoint(anchor->width() / 2, anchor->height()));
    EXPECT_GE(panel->geometry().top(), anchorBottom.y());
    EXPECT_LE(panel->geometry().left(), anchorBottom.x());
    QTest::mouseClick(panel->parentWidget(), Qt::LeftButton, {}, QPoint(1000, 700));
    EXPECT_EQ(take(), split("P.willDisappear P.didDisappear"));
    ASSERT_TRUE(pop);
    EXPECT_EQ(pop->parent(), s.root);
    EXPECT_FALSE(s.root->presentedViewController());

    // A slide runs on the run loop and finishes with its lifecycle calls.
    Device::setAnimationsEnabled(true);
    QPointer<Screen> sheet = new Screen("S");
    s.root->presentModally(sheet);
    EXPECT_EQ(take(), split("S.load A.willDisappear S.willAppear"));
    EXPECT_TRUE(runLoopUntil([] { return events.contains("S.didAppear"); }));
    take();
    sheet->dismiss();
    EXPECT_TRUE(runLoopUntil([] { return events.contains("A.didAppear"); }));
    EXPECT_EQ(take(), split("S.willDisappear A.willAppear S.didDisappear A.didAppear"));
    Device::setAnimationsEnabled(false);
}

// Tablet orientation follows the window; a phone stays portrait. Images take the tablet
// variants where there are some.
TEST(Navigation, IdiomOrientationAndImages)
{
    qputenv("SONAVEL_IDIOM", "tablet");
    {
        Stage s;
        s.window.resize(768, 1024);
        QCoreApplication::processEvents();
        EXPECT_EQ(Device::orientation(), Device::Orientation::Portrait);
        s.window.resize(1024, 768);
        QCoreApplication::processEvents();
        EXPECT_EQ(Device::orientation(), Device::Orientation::LandscapeLeft);
        EXPECT_EQ(s.root->rotations.value(s.root->rotations.size() - 2), Device::Orientation::Portrait);
        EXPECT_EQ(s.root->rotations.last(), Device::Orientation::LandscapeLeft);
        EXPECT_TRUE(imagePathNamed("track.png").endsWith("/images/track~ipad.png"));
        EXPECT_TRUE(imagePathNamed("play.png").endsWith("/images/play.png"));
        EXPECT_EQ(imageNamed("unknown.png").size(), QSize(480, 480));
    }
    qunsetenv("SONAVEL_IDIOM");
    EXPECT_EQ(Device::orientation(), Device::Orientation::Portrait);
    EXPECT_EQ(Device::defaultWindowSize(), QSize(360, 640));
    EXPECT_TRUE(imagePathNamed("track.png").endsWith("/images/track.png"));
    EXPECT_EQ(imageNamed("knob.png").size(), QSize(40, 40));
    EXPECT_TRUE(imageNamed("no-such-image.png").isNull());
}

namespace {

struct Receiver : RemoteControlReceiver {
    QList<RemoteCommand> got;
    void remoteControlReceived(RemoteCommand c) override { got << c; }
};

}  // namespace

// Only the screen that began receiving last gets remote-control events.
TEST(Navigation, RemoteControlReceivers)
{
    Receiver list, playing;
    EXPECT_FALSE(RemoteControlCenter::deliver(RemoteCommand::TogglePlayPause));
    RemoteControlCenter::beginReceiving(&list);
    RemoteControlCenter::beginReceiving(&playing);
    EXPECT_TRUE(RemoteControlCenter::deliver(RemoteCommand::NextTrack));
    RemoteControlCenter::endReceiving(&playing);
    RemoteControlCenter::deliver(RemoteCommand::PreviousTrack);
    EXPECT_EQ(playing.got, QList<RemoteCommand>{RemoteCommand::NextTrack});
    EXPECT_EQ(list.got, QList<RemoteCommand>{RemoteCommand::PreviousTrack});
    {
        Receiver gone;
        RemoteControlCenter::beginReceiving(&gone);
    }
    EXPECT_EQ(RemoteControlCenter::currentReceiver(), &list) << "a receiver that goes away ends";
    RemoteControlCenter::endReceiving(&list);
    EXPECT_EQ(RemoteControlCenter::currentReceiver(), nullptr);
}
