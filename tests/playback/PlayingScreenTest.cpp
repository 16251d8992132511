#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <cstdlib>

#include "TestSupport.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/RemoteControlCenter.h"
#include "platform/ui/Window.h"
#include "playback/LRCView.h"
#include "playback/PlayList.h"
#include "playback/PlayingViewController.h"
#include "playback/UniPlayer.h"
#include "playback/VolumeView.h"
#include "theme/SVSlider.h"

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

// Saved where SONAVEL_SCREENSHOTS points, to be looked at; nothing otherwise.
void screenshot(QWidget *widget, const char *name)
{
    QString folder = qEnvironmentVariable("SONAVEL_SCREENSHOTS");
    if (!folder.isEmpty())
        widget->grab().save(folder + "/" + name + ".png");
}

QAccessibleInterface *accessible(QObject *object) { return QAccessible::queryAccessibleInterface(object); }

// What a screen reader reads of the lyrics: the view's description, and the text of the
// labels inside it that are not hidden.
struct LyricsAsRead {
    QString name, description;
    QStringList visibleLines;
};
LyricsAsRead read(LRCView *view)
{
    QAccessibleInterface *iface = accessible(view);
    LyricsAsRead r{iface->text(QAccessible::Name), iface->text(QAccessible::Description), {}};
    for (int i = 0; i < iface->childCount(); i++) {
        QAccessibleInterface *child = iface->child(i);
        if (!child->state().invisible && !child->text(QAccessible::Name).isEmpty())
            r.visibleLines << child->text(QAccessible::Name);
    }
    return r;
}

struct Library : PlayListLibrary {
    QList<PlayableItemPtr> items;
    std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const override
    {
        return std::make_shared<const QList<PlayableItemPtr>>(items);
    }
    void loadMusics() override {}
};

}  // namespace

// The line for each time, equal timestamps included, as the view and a screen reader show it.
TEST(LRCView, FollowsTheTimeOneLineAtATime)
{
    Device::setAnimationsEnabled(true);
    TempDir dir;
    writeFile(dir.file("song.lrc"), "[ti:Song]\n[00:01.00]one\n[00:03.00]two\n[00:03.00]three\n"
                                    "[00:05.00]Grüße <00:05.50>vier\n");
    QWidget host;
    host.resize(360, 200);
    auto *view = new LRCView(q(dir.file("song.lrc")), &host);
    view->setGeometry(0, 100, 360, 60);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    EXPECT_EQ(read(view).name, "lyrics");
    ASSERT_EQ(view->viewLines().size(), 2);
    // Empty before the first line.
    view->setCurrentTime(0.99f);
    EXPECT_EQ(view->currentLine(), -1);
    EXPECT_EQ(read(view).description, "");
    EXPECT_EQ(read(view).visibleLines, QStringList());

    // A change slides the next line in from below over a second; the old one leaves upwards.
    view->setCurrentTime(1);
    QLabel *incoming = view->viewLines().first();
    EXPECT_TRUE(view->isAnimating());
    EXPECT_GT(incoming->y(), 0);
    EXPECT_EQ(incoming->text(), "one");
    EXPECT_TRUE(runLoopUntil([&] { return !view->isAnimating(); }));
    EXPECT_EQ(incoming->y(), 0);
    EXPECT_LT(view->viewLines().last()->geometry().bottom(), 0);
    EXPECT_TRUE(view->viewLines().last()->isHidden());

    // The rest at once, as with less motion asked for.
    Device::setAnimationsEnabled(false);
    struct Row {
        float time;
        int line;
        const char *text;
    } rows[] = {
        {1, 0, "one"},
        {2.9f, 0, "one"},
        // Of two lines with one time, the one read later comes first: the earlier one shows.
        {3, 2, "two"},
        {4.5f, 2, "two"},
        {5, 3, "Grüße vier"},
        {100, 3, "Grüße vier"},
        {1.5f, 0, "one"},  // a seek back moves back
    };
    for (const Row &row : rows) {
        view->setCurrentTime(row.time);
        EXPECT_EQ(view->currentLine(), row.line) << row.time;
        EXPECT_EQ(view->currentText(), row.text) << row.time;
        EXPECT_FALSE(view->isAnimating());
        LyricsAsRead r = read(view);
        EXPECT_EQ(r.description, row.text) << row.time;
        EXPECT_EQ(r.visibleLines, QStringList{row.text}) << row.time;
        EXPECT_EQ(view->viewLines().first()->text(), row.text) << row.time;
        EXPECT_EQ(view->viewLines().first()->geometry(), QRect(0, 0, 360, 60)) << row.time;
    }
    screenshot(&host, "lyrics");

    // A tap shows the theme's background behind the text, and the next one hides it.
    EXPECT_EQ(view->backgroundColor().alpha(), 0);
    QTest::mouseClick(view, Qt::LeftButton);
    EXPECT_EQ(view->backgroundColor().alpha(), 0) << "no theme colour to show";
    view->setThemeBackgroundColor(QColor(10, 20, 30));
    QTest::mouseClick(view, Qt::LeftButton);
    EXPECT_EQ(view->backgroundColor(), QColor(10, 20, 30));
    EXPECT_EQ(view->grab().toImage().pixelColor(5, 5), QColor(10, 20, 30));
    QTest::mouseClick(view, Qt::LeftButton);
    EXPECT_EQ(view->backgroundColor().alpha(), 0);

    // A file that cannot be read shows nothing at any time.
    LRCView missing(q(dir.file("missing.lrc")));
    missing.setCurrentTime(10);
    EXPECT_EQ(missing.currentLine(), -1);
    EXPECT_EQ(missing.file(), nullptr);
}

namespace {

// Two songs (the first with a cover and lyrics) and an album with two cue tracks, in a play
// list on a private player that plays in real time into nothing; the now-playing screen
// pushed over a root screen in a window.
class PlayingScreenTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SONAVEL_DOCUMENTS", docs.path().c_str(), 1);
        setenv("SONAVEL_AUDIO_OUTPUT", "null", 1);
        for (const char *key : {"Organize", "CurrentFolder", "ShuffleMode", "BackStep"})
            Preferences::setObject(key, QVariant());
        Preferences::setObject("CurrentTheme", "Plain.thm");
        Device::setAnimationsEnabled(false);
        for (auto [name, title] : {std::pair{"a.wav", "Alpha"}, std::pair{"b.wav", "Beta"}}) {
            writeWav(docs.file(name), makePcm(8000, 1, 16, 10 * 8000), id3v23({{"TIT2", title}}));
            library.items << PlayableItem::itemWithPath(q(docs.file(name)));
        }
        cover = QImage(20, 20, QImage::Format_RGB32);
        cover.fill(Qt::red);
        cover.save(q(docs.file("a.png")));
        writeFile(docs.file("Alpha.lrc"), "[00:00.50]first line\n[00:02.00]second line\n");
        player = UniPlayer::create();
        list = std::make_unique<PlayList>(&library, player.get());
        list->updatePlayList();

        root = new ViewController;
        nav = new NavigationController(root);
        window.setRootViewController(nav);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        delete screen;
        window.setRootViewController(nullptr);
        list.reset();
        player.reset();
        AudioQueueWaitForDisposed();
        setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
        Device::setAnimationsEnabled(true);
    }

    // Plays the row and holds it paused at `at` seconds.
    void hold(int row, float at)
    {
        list->selectRow(row);
        ASSERT_TRUE(runLoopUntil([&] { return player->playing(); }));
        player->pause();
        ASSERT_TRUE(runLoopUntil([&] { return !player->playing(); }));
        player->seekToTime(at);
    }

    QString barText(const char *name) { return nav->navigationBar()->findChild<QLabel *>(name)->text(); }

    TempDir docs;
    Library library;
    QImage cover;
    std::unique_ptr<UniPlayer> player;
    std::unique_ptr<PlayList> list;
    Window window;
    ViewController *root;
    NavigationController *nav;
    QWidget keeper;  // the screen goes back to it when popped, so it can still be looked at
    QPointer<PlayingViewController> screen;
};

}  // namespace

TEST_F(PlayingScreenTest, ShowsWhatPlaysAndDrivesThePlayer)
{
    hold(0, 2.5f);
    screen = new PlayingViewController(list.get(), nullptr, player.get(), &keeper);
    nav->pushViewController(screen);
    ASSERT_TRUE(screen->isAppearing());
    screenshot(&window, "now-playing");

    // Title, time, cover and the line of the lyrics for the time, as the bar and a screen
    // reader show them.
    EXPECT_EQ(barText("navigationTitle"), "Alpha");
    EXPECT_EQ(barText("navigationPrompt"), "00:02 / 00:10");
    EXPECT_EQ(screen->coverImage().pixelColor(5, 5), QColor(Qt::red));
    ASSERT_TRUE(screen->lrcView());
    EXPECT_EQ(read(screen->lrcView()).description, "second line");
    EXPECT_EQ(screen->lrcView()->geometry().bottom() + 1, screen->controlPanel()->geometry().top());
    EXPECT_NEAR(screen->progressView()->value(), 0.25, 0.01);
    EXPECT_EQ(accessible(screen->coverButton())->text(QAccessible::Name), "Cover Art");
    EXPECT_EQ(accessible(screen->btnPlay())->text(QAccessible::Name), "Play");
    EXPECT_EQ(accessible(screen->btnBackward())->text(QAccessible::Name), "Previous");
    EXPECT_EQ(accessible(screen->btnForward())->text(QAccessible::Name), "Next");
    EXPECT_EQ(RemoteControlCenter::currentReceiver(), screen.data());

    // The lyrics follow the progress events.
    player->seekToTime(0.7f);
    player->dispatchEvent(UniPlayer::EventPosition);
    EXPECT_EQ(barText("navigationPrompt"), "00:00 / 00:10");
    EXPECT_EQ(screen->lrcView()->currentText(), "first line");

    // The seek panel shows on a tap of the cover; the step button shows the step, and the
    // slider set as a screen reader sets it seeks and plays.
    EXPECT_FALSE(screen->seekbar()->isVisible());
    QTest::mouseClick(screen->coverButton(), Qt::LeftButton);
    EXPECT_TRUE(screen->seekbar()->isVisible());
    screenshot(&window, "now-playing-seek");
    EXPECT_EQ(screen->btnStep()->text(), "30");
    QAccessibleInterface *slider = accessible(screen->progressView());
    EXPECT_EQ(slider->text(QAccessible::Name), "Seek bar");
    ASSERT_TRUE(slider->valueInterface());
    slider->valueInterface()->setCurrentValue(0.5);
    EXPECT_TRUE(runLoopUntil([&] { return player->playing(); }));
    EXPECT_GE(player->currentTime(), 5);
    EXPECT_EQ(accessible(screen->btnPlay())->text(QAccessible::Name), "Pause");

    // The play button pauses; the step goes back, never before the start, and stays paused
    // although reading had run on into the next song.
    QTest::mouseClick(screen->btnPlay(), Qt::LeftButton);
    EXPECT_TRUE(runLoopUntil([&] { return !player->playing(); }));
    EXPECT_EQ(accessible(screen->btnPlay())->text(QAccessible::Name), "Play");
    QTest::mouseClick(screen->btnStep(), Qt::LeftButton);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(player->currentTime(), 0);

    // Next from the remote control plays the next row: its title, the tinted placeholder
    // for a song without a cover, no lyrics.
    EXPECT_TRUE(RemoteControlCenter::deliver(RemoteCommand::NextTrack));
    EXPECT_TRUE(runLoopUntil([&] { return barText("navigationTitle") == "Beta"; }));
    EXPECT_EQ(player->currentItem(), list->itemAtRow(1));
    EXPECT_FALSE(screen->coverImage().isNull());
    EXPECT_NE(screen->coverImage().pixelColor(screen->coverImage().width() / 2, screen->coverImage().height() / 2),
              QColor(Qt::red));
    EXPECT_FALSE(screen->lrcView());
    // Previous from the remote control goes back to the song played before.
    player->pause();
    EXPECT_TRUE(RemoteControlCenter::deliver(RemoteCommand::PreviousTrack));
    EXPECT_TRUE(runLoopUntil([&] { return barText("navigationTitle") == "Alpha"; }));

    // Gone from the stack: no remote-control events, no player events.
    QTest::mouseClick(static_cast<QWidget *>(screen->leftBarButton()), Qt::LeftButton);
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->isAppearing());
    EXPECT_NE(RemoteControlCenter::currentReceiver(), screen.data());
    QString titleBefore = screen->title();
    player->play(list->itemAtRow(1));
    player->dispatchEvent(UniPlayer::EventFileChanged);
    EXPECT_EQ(screen->title(), titleBefore);
}

TEST_F(PlayingScreenTest, BackStepFromThePreferenceAndNoVolumeWithoutAMixer)
{
    Preferences::setInteger("BackStep", 5);
    hold(0, 8);
    screen = new PlayingViewController(list.get(), nullptr, player.get(), &keeper);
    nav->pushViewController(screen);
    EXPECT_EQ(screen->btnStep()->text(), "5");
    QTest::mouseClick(screen->coverButton(), Qt::LeftButton);
    QTest::mouseClick(screen->btnStep(), Qt::LeftButton);
    EXPECT_FLOAT_EQ(player->currentTime(), 3);
    // The null output has no mixer: no volume control to offer.
    EXPECT_FALSE(screen->volview()->isAvailable());
    EXPECT_FALSE(screen->volview()->isVisible());
}

// On a tablet the screen turns with the window and shows the theme's picture for each
// orientation; a song without a cover then shows the picture, not the cover of the song
// before.
TEST_F(PlayingScreenTest, TabletTurnsWithTheWindow)
{
    setenv("SONAVEL_IDIOM", "tablet", 1);
    Preferences::setObject("CurrentTheme", "Dusk.thm");
    window.resize(1024, 768);
    hold(0, 1);
    screen = new PlayingViewController(list.get(), nullptr, player.get(), &keeper);
    nav->pushViewController(screen);
    ASSERT_TRUE(screen->currentTheme());
    EXPECT_EQ(screen->currentTheme()->themeName(), "Dusk.thm");
    runLoopUntil([] { return false; }, 100);
    EXPECT_EQ(screen->seekbar()->y(), 74);
    EXPECT_EQ(screen->coverImage().pixelColor(5, 5), QColor(Qt::red));
    screenshot(&window, "now-playing-tablet-landscape");

    list->selectRow(1);
    EXPECT_TRUE(runLoopUntil([&] { return screen->title() == "Beta"; }));
    EXPECT_TRUE(screen->coverImage().isNull()) << "the cover of the song before";
    QImage landscape = screen->contentWidget()->grab().toImage();

    window.resize(768, 1024);
    EXPECT_TRUE(runLoopUntil([&] { return Device::orientation() == Device::Orientation::Portrait; }));
    runLoopUntil([] { return false; }, 100);
    EXPECT_EQ(screen->controlPanel()->geometry().bottom() + 1, screen->contentWidget()->height());
    EXPECT_EQ(screen->controlPanel()->width(), screen->contentWidget()->width());
    QImage portrait = screen->contentWidget()->grab().toImage();
    // The Dusk pictures differ between orientations: the backgrounds are not one scaled image.
    EXPECT_NE(portrait.scaled(100, 100).pixel(50, 10), landscape.scaled(100, 100).pixel(50, 10));
    screenshot(&window, "now-playing-tablet-portrait");
    unsetenv("SONAVEL_IDIOM");
}
