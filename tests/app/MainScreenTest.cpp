// The main screen as the program builds it (Launcher), driven by real clicks and keys and read
// back as a screen reader reads it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <memory>

#include "TestSupport.h"
#include "app/AppDelegate.h"
#include "app/Launcher.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableCellDelegate.h"
#include "platform/ui/Window.h"
#include "playback/RootViewController.h"
#include "playback/UniPlayer.h"
#include "theme/ThemeChooser.h"

// Readable failures for the lists of texts compared here.
void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString accessibleName(QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); }
QString accessibleDescription(QWidget *w)
{
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description);
}

// Every row as "name | description", with " *" when selected and " (unavailable)" when it
// cannot be chosen. Offscreen Qt has no accessibility bridge to tell the cached interface that rows
// were reloaded, so a fresh one is read, as a screen reader does once told.
QStringList rows(TableView *table)
{
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(table);
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(list));
    list = QAccessible::queryAccessibleInterface(table);
    QStringList out;
    for (int i = 0; i < list->childCount(); i++) {
        QAccessibleInterface *cell = list->child(i);
        QString row = cell->text(QAccessible::Name) + " | " + cell->text(QAccessible::Description);
        if (cell->state().selected)
            row += " *";
        if (!cell->state().selectable)
            row += " (unavailable)";
        out << row;
    }
    return out;
}

void clickRow(TableView *table, int row)
{
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->rectForRow({0, row}).center());
}

// The lines of a playlist file that name entries.
QStringList entries(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("(unreadable)")};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    return lines;
}

class MainScreen : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SONAVEL_DOCUMENTS", docs.path().c_str(), 1);
        // In real time, so what is started keeps playing for the length of its file.
        setenv("SONAVEL_AUDIO_OUTPUT", "null", 1);
        for (const char *key : {"Organize", "CurrentFolder", "CurrentPlaylist", "ShuffleMode", "CurrentTheme"})
            Preferences::setObject(key, QVariant());
        Device::setAnimationsEnabled(false);
        player = UniPlayer::create();
    }
    void TearDown() override
    {
        launcher.reset();
        player.reset();
        AudioQueueWaitForDisposed();
        setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
    }

    QString path(const QString &name) const { return QString::fromStdString(docs.path()) + '/' + name; }

    void flac(const QString &name, double seconds, const std::string &title)
    {
        QDir().mkpath(QFileInfo(path(name)).path());
        ASSERT_TRUE(writeFlac(path(name).toStdString(), makePcm(44100, 2, 16, uint32_t(44100 * seconds)),
                              {"TITLE=" + title}));
    }

    // Starts the program's window over the documents folder and waits for its first scan.
    void start()
    {
        launcher = std::make_unique<Launcher>(player.get());
        QSignalSpy scanned(launcher->delegate(), &AppDelegate::libraryChanged);
        launcher->launch({});
        ASSERT_TRUE(QTest::qWaitForWindowExposed(launcher->window()));
        ASSERT_TRUE(runLoopUntil([&] { return !scanned.isEmpty(); }, 20000));
    }

    // A rescan after files changed, to its end.
    void rescanned(const std::function<void()> &change)
    {
        QSignalSpy scanned(launcher->delegate(), &AppDelegate::libraryChanged);
        change();
        ASSERT_TRUE(runLoopUntil([&] { return !scanned.isEmpty(); }, 20000));
    }

    RootViewController *root() const { return launcher->rootViewController(); }
    TableView *table() const { return root()->tableView(); }
    PlayList *playList() const { return launcher->delegate()->playListController(); }

    TempDir docs;
    std::unique_ptr<UniPlayer> player;
    std::unique_ptr<Launcher> launcher;
};

}  // namespace

// What a screen reader finds on the main screen: the buttons by name and hint, the bar's
// title, the rows as title and detail; a tapped row plays and the now-playing button comes;
// the mode button cycles, names the mode and stores it in the preference file.
TEST_F(MainScreen, ButtonsAndRowsAsAScreenReaderReadsThem)
{
    flac("Jazz/a.flac", 3, "Alpha");
    flac("Jazz/b.flac", 1, "Beta");
    flac("Live/live.flac", 2, "Live");
    writeFile(docs.file("Live/live.cue"), "FILE \"live.flac\" WAVE\n"
                                          "  TRACK 01 AUDIO\n    TITLE \"Part 1\"\n    INDEX 01 00:00:00\n"
                                          "  TRACK 02 AUDIO\n    TITLE \"Part 2\"\n    INDEX 01 00:01:00\n");
    start();

    EXPECT_EQ(rows(table()), (QStringList{"Alpha | 00:03, a.flac", "Beta | 00:01, b.flac", "Live | 00:02, live.flac",
                                          "Part 1 | Track 01, 00:01", "Part 2 | Track 02, 00:01"}));
    auto *nav = static_cast<NavigationController *>(launcher->window()->rootViewController());
    EXPECT_EQ(accessibleName(nav->navigationBar()->findChild<QLabel *>("navigationTitle")), "All");

    struct Control {
        const char *what;
        QWidget *widget;
        QString name, description;
        bool visible;
    };
    const Control controls[] = {
        {"play/pause", root()->playPauseButton(), "Pause or Play", "", true},
        {"play mode", root()->playModeButton(), "Default", "Toggle play mode", true},
        {"edit", root()->editButton(), "Edit", "", true},
        {"add, only for a playlist", root()->addButton(), "Add", "", false},
        {"organise", root()->organizeButton(), "Main", "", true},
    };
    for (const Control &c : controls) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.widget);
        EXPECT_EQ(accessibleName(c.widget), c.name);
        EXPECT_EQ(accessibleDescription(c.widget), c.description);
        EXPECT_EQ(c.widget->isVisible(), c.visible);
    }
    EXPECT_FALSE(root()->nowPlayingButton() && root()->nowPlayingButton()->isVisible()) << "nothing played yet";

    // A tap plays the row; the now-playing button names the state, the playing row is selected.
    clickRow(table(), 0);
    ASSERT_TRUE(runLoopUntil([&] { return player->playing(); }));
    ASSERT_TRUE(root()->nowPlayingButton());
    EXPECT_TRUE(root()->nowPlayingButton()->isVisible());
    EXPECT_EQ(accessibleName(root()->nowPlayingButton()), "Now playing");
    EXPECT_EQ(rows(table()).value(0), "Alpha | 00:03, a.flac *");
    QTest::mouseClick(root()->playPauseButton(), Qt::LeftButton);
    ASSERT_TRUE(runLoopUntil([&] { return !player->playing(); }));
    EXPECT_EQ(accessibleName(root()->nowPlayingButton()), "Paused");

    // The mode goes round, is named by the button and written through to the file.
    const QString conf = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Sonavel/Sonavel.conf";
    const struct {
        const char *name;
        int stored;
    } modes[] = {{"Shuffle", 1}, {"Loop", 2}, {"Loop on track", 3}, {"Default", 0}};
    for (const auto &m : modes) {
        SCOPED_TRACE(m.name);
        QTest::mouseClick(root()->playModeButton(), Qt::LeftButton);
        EXPECT_EQ(accessibleName(root()->playModeButton()), m.name);
        EXPECT_EQ(accessibleDescription(root()->playModeButton()), "Toggle play mode");
        EXPECT_EQ(QSettings(conf, QSettings::IniFormat).value("ShuffleMode").toInt(), m.stored);
        EXPECT_EQ(player->locked(), m.stored == 3);
    }
}

// Edits made on the screen reach the disk: a playlist entry removed through the row's delete
// control, one moved with the keys; a file is deleted only in edit mode.
TEST_F(MainScreen, EditingThroughTheScreen)
{
    flac("a.flac", 0.1, "A");
    flac("b.flac", 0.1, "B");
    flac("c.flac", 0.1, "C");
    writeFile(docs.file("Mix.m3u"), "a.flac\nb.flac\nc.flac\n");
    start();
    TableModel *model = table()->tableModel();
    table()->setFocus();

    // Outside edit mode the Delete key does not delete a file.
    table()->setCurrentIndex(model->index(0));
    QTest::keyClick(table(), Qt::Key_Delete);
    EXPECT_TRUE(QFile::exists(path("a.flac")));

    // The playlist named by CurrentPlaylist, with the Add button.
    Preferences::setInteger("Organize", PlayList::OrganizePlaylist);
    Preferences::setObject("CurrentPlaylist", "Mix.m3u");
    playList()->updatePlayList();
    EXPECT_EQ(rows(table()), (QStringList{"A | 00:00, a.flac", "B | 00:00, b.flac", "C | 00:00, c.flac"}));
    EXPECT_TRUE(root()->addButton()->isVisible());
    QTest::mouseClick(root()->editButton(), Qt::LeftButton);
    ASSERT_TRUE(table()->isEditing());

    // B goes: its delete control, then the "Delete" button it reveals.
    auto *cells = static_cast<TableCellDelegate *>(table()->itemDelegate());
    const QRect item = table()->visualRect(model->index(1));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cells->deleteControlRect(item, 1).center());
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cells->confirmDeleteRect(item, 1).center());
    EXPECT_EQ(entries(path("Mix.m3u")), (QStringList{path("a.flac"), path("c.flac")}));
    EXPECT_TRUE(QFile::exists(path("b.flac"))) << "removing an entry keeps the file";

    // C moves above A.
    table()->setCurrentIndex(model->index(1));
    QTest::keyClick(table(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(entries(path("Mix.m3u")), (QStringList{path("c.flac"), path("a.flac")}));
    EXPECT_EQ(rows(table()), (QStringList{"C | 00:00, c.flac", "A | 00:00, a.flac"}));

    // Back to the folder, still editing: the Delete key now deletes the file, and the rescan
    // takes its row away.
    Preferences::setInteger("Organize", PlayList::OrganizeFolder);
    playList()->updatePlayList();
    table()->setCurrentIndex(model->index(1));
    rescanned([&] { QTest::keyClick(table(), Qt::Key_Delete); });
    EXPECT_FALSE(QFile::exists(path("b.flac")));
    EXPECT_EQ(rows(table()), (QStringList{"A | 00:00, a.flac", "C | 00:00, c.flac"}));
}

// A theme chosen through the organise screen recolours the main screen: the list, its rows
// and the painted button panel.
TEST_F(MainScreen, ThemeChangeRecolours)
{
    Preferences::setObject("CurrentTheme", "Plain.thm");
    flac("a.flac", 0.1, "A");
    start();
    const auto plain = Theme::create("Plain.thm");
    const auto midnight = Theme::create("Midnight.thm");
    ASSERT_TRUE(plain && midnight);
    auto colours = [&] {
        return QStringList{table()->viewport()->palette().color(QPalette::Base).name(QColor::HexArgb),
                           table()->tableModel()->index(0).data(Qt::ForegroundRole).value<QColor>().name(),
                           root()->buttonPanel()->grab().toImage().pixelColor(2, 2).name()};
    };
    EXPECT_EQ(colours(), (QStringList{plain->listBackgroundColor().name(QColor::HexArgb), plain->titleColor().name(),
                                      plain->listBackgroundColor().name()}));

    // Main, then Themes (Settings is not there yet), then Midnight.
    QTest::mouseClick(root()->organizeButton(), Qt::LeftButton);
    auto *organizer = qobject_cast<NavigationController *>(root()->presentedViewController());
    ASSERT_TRUE(organizer);
    auto *menu = static_cast<TableViewController *>(organizer->topViewController());
    EXPECT_EQ(menu->title(), "Main");
    EXPECT_EQ(rows(menu->tableView()), (QStringList{"Themes | ", "Settings |  (unavailable)"}));
    clickRow(menu->tableView(), 0);
    auto *chooser = qobject_cast<ThemeChooser *>(organizer->topViewController());
    ASSERT_TRUE(chooser);
    clickRow(chooser->tableView(), int(chooser->themes().indexOf("Midnight.thm")));

    EXPECT_EQ(colours(), (QStringList{midnight->listBackgroundColor().name(QColor::HexArgb),
                                      midnight->titleColor().name(), midnight->listBackgroundColor().name()}));
}
