// The main menu and the screens behind it, driven as a person (or a screen reader) drives
// them: real clicks on buttons and rows, prompts answered by typing, what is read back through
// accessibility, and the outcome checked on disk, in the preferences and in the play list.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "LibraryFixture.h"
#include "files/LiveRegion.h"
#include "files/NameChooser.h"
#include "files/OrganizeViewController.h"
#include "files/PlaylistsViewController.h"
#include "files/SVFileChooser.h"
#include "files/SVFileViewController.h"
#include "files/SVFolderViewController.h"
#include "files/SVMovingViewController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"

namespace {

// What the desktop was asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString("<none>");
}

// The open alert of that title.
AlertView *openAlert(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *a = qobject_cast<AlertView *>(w); a && a->isVisible() && a->title() == title)
            return a;
    for (QWidget *w : QApplication::allWidgets())
        if (auto *a = qobject_cast<AlertView *>(w); a && a->isVisible() && a->title() == title)
            return a;
    return nullptr;
}

// Types into the alert's field (when `text` is given) and clicks its button `index`.
bool answer(const QString &title, int index, const QString &text = QString())
{
    AlertView *alert = openAlert(title);
    if (!alert)
        return false;
    if (!text.isNull()) {
        QLineEdit *field = alert->textField();
        if (!field)
            return false;
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    QTest::mouseClick(alert->button(index), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return true;
}

// The rows of a table screen as a screen reader reads them: "name | description | check".
QStringList rows(TableViewController *screen)
{
    QStringList out;
    TableModel *m = screen->tableView()->tableModel();
    for (int r = 0; r < m->rowCount(); r++) {
        QModelIndex i = m->index(r);
        if (m->kind(r) != TableModel::Kind::Row) {
            out << "[" + m->data(i, Qt::DisplayRole).toString() + "]";
            continue;
        }
        QString line = m->data(i, Qt::AccessibleTextRole).toString();
        QString description = m->data(i, Qt::AccessibleDescriptionRole).toString();
        if (!description.isEmpty())
            line += " | " + description;
        if (m->data(i, Qt::CheckStateRole).toInt() == Qt::Checked)
            line += " | checked";
        if (!(m->flags(i) & Qt::ItemIsEnabled))
            line += " | disabled";
        out << line;
    }
    return out;
}

// A real click in the middle of a row.
void clickRow(TableViewController *screen, IndexPath path)
{
    TableView *table = screen->tableView();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->rectForRow(path).center());
}

IndexPath rowNamed(TableViewController *screen, const QString &name)
{
    TableModel *m = screen->tableView()->tableModel();
    for (int r = 0; r < m->rowCount(); r++)
        if (m->kind(r) == TableModel::Kind::Row && m->data(m->index(r), Qt::DisplayRole) == name)
            return m->pathForRow(r);
    ADD_FAILURE() << "no row " << name.toStdString();
    return {};
}

class ScreensTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        Device::setAnimationsEnabled(false);
        playing = new ViewController;
        playing->setTitle("Play list");
        window.setRootViewController(new NavigationController(playing));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        unsetenv("SONAVEL_IDIOM");
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *a = qobject_cast<AlertView *>(w))
                delete a;
        LibraryTest::TearDown();
    }

    // Presents `root` in a navigation stack the way the play list screen does on a phone.
    NavigationController *present(ViewController *root)
    {
        stack = new NavigationController(root);
        playing->presentModally(stack, ViewController::ModalTransition::FlipHorizontal, false);
        return stack;
    }
    template <typename T>
    T *top() const
    {
        return stack ? qobject_cast<T *>(stack->topViewController()) : nullptr;
    }
    bool dismissed() const { return !playing->presentedViewController(); }

    Window window;
    ViewController *playing = nullptr;
    QPointer<NavigationController> stack;
};

TEST_F(ScreensTest, MainMenuReachesEveryScreen)
{
    UrlCatcher browser;
    QDesktopServices::setUrlHandler("file", &browser, "open");
    Preferences::setInteger("Organize", 1);
    Preferences::setObject("CurrentArtist", "Band");

    auto *menu = new OrganizeViewController(delegate());
    present(menu);
    EXPECT_EQ(menu->title(), "Main");
    EXPECT_EQ(rows(menu), QStringList({"Files", "Artists | Band", "Albums", "Playlists",
                                       "Settings | disabled", "Help Center"}));
    EXPECT_EQ(accessibleName(menu->backButton()), "Back to playing list");

    struct Case {
        int row;
        const char *screen;
        QString title;
    };
    const Case cases[] = {
        {OrganizeModel::Files, "SVFolderViewController", "All"},
        {OrganizeModel::Artists, "ArtistChooser", "Artists"},
        {OrganizeModel::Albums, "AlbumChooser", "Albums"},
        {OrganizeModel::Playlists, "PlaylistsViewController", "Playlists"},
    };
    for (const Case &c : cases) {
        clickRow(menu, {0, c.row});
        ASSERT_TRUE(stack->topViewController() != menu) << c.screen;
        EXPECT_STREQ(stack->topViewController()->metaObject()->className(), c.screen);
        EXPECT_EQ(stack->topViewController()->title(), c.title);
        stack->popViewController();
    }
    clickRow(menu, {0, OrganizeModel::Settings});
    EXPECT_EQ(stack->topViewController(), menu);

    // The help page is our own, opened in the user's browser.
    clickRow(menu, {0, OrganizeModel::HelpCenter});
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_TRUE(browser.opened[0].toLocalFile().endsWith("/share/sonavel/help/index.html"));
    EXPECT_TRUE(QFileInfo::exists(browser.opened[0].toLocalFile()));
    QDesktopServices::unsetUrlHandler("file");

    QTest::mouseClick(menu->backButton(), Qt::LeftButton);
    EXPECT_TRUE(dismissed());

    // Once the program has a settings screen, the row opens it.
    OrganizeViewController::setSettingsFactory([] {
        auto *settings = new ViewController;
        settings->setTitle("Settings");
        return settings;
    });
    auto *again = new OrganizeViewController(delegate());
    present(again);
    OrganizeViewController::setSettingsFactory(nullptr);
    EXPECT_EQ(rows(again)[OrganizeModel::Settings], "Settings");
    clickRow(again, {0, OrganizeModel::Settings});
    EXPECT_EQ(stack->topViewController()->title(), "Settings");
}

TEST_F(ScreensTest, FolderBrowserSelectsMovesDeletesRenamesAndPlays)
{
    make({"Music/", "notes.txt"});
    flac("a.flac");
    flac("b.flac");
    ASSERT_TRUE(scan());

    present(new OrganizeViewController(delegate()));
    clickRow(top<OrganizeViewController>(), {0, OrganizeModel::Files});
    auto *root = top<SVFolderViewController>();
    ASSERT_TRUE(root);
    EXPECT_EQ(rows(root), QStringList({"Music | Folder", "a.flac", "b.flac", "notes.txt"}));
    EXPECT_FALSE(root->titleButton());  // "All" at the root is the plain title

    // Select mode: the buttons read as they show, with the count.
    QTest::mouseClick(root->selectButton(), Qt::LeftButton);
    EXPECT_EQ(root->title(), "Select Mode");
    EXPECT_EQ(root->rightBarButton(), root->quitSelectButton());
    EXPECT_EQ(accessibleName(root->moveButton()), "Move");
    EXPECT_FALSE(root->moveButton()->isEnabled());
    clickRow(root, {0, 1});
    clickRow(root, {0, 2});
    EXPECT_EQ(accessibleName(root->moveButton()), "Move(2)");
    EXPECT_EQ(accessibleName(root->deleteButton()), "Delete(2)");
    EXPECT_TRUE(root->moveButton()->isEnabled());
    EXPECT_EQ(rows(root), QStringList({"Music | Folder", "a.flac | checked", "b.flac | checked", "notes.txt"}));

    // Moving into a new folder: a taken name is refused, then the files go.
    QTest::mouseClick(root->moveButton(), Qt::LeftButton);
    auto *moving = top<SVMovingViewController>();
    ASSERT_TRUE(moving);
    EXPECT_EQ(rows(moving), QStringList({"[Move to new folder]", "Name it..",
                                         "[Move to existing folder]", "Music"}));
    clickRow(moving, {0, 0});
    ASSERT_TRUE(answer("Create folder", 1, "Music"));
    ASSERT_TRUE(answer("Folder already exists", 0));
    EXPECT_EQ(top<SVMovingViewController>(), moving);
    clickRow(moving, {0, 0});
    ASSERT_TRUE(answer("Create folder", 1, "New"));
    ASSERT_EQ(top<SVFolderViewController>(), root);
    EXPECT_EQ(tree("New"), QStringList({"a.flac", "b.flac"}));
    EXPECT_EQ(rows(root), QStringList({"Music | Folder", "New | Folder", "notes.txt"}));
    EXPECT_EQ(root->title(), "All");  // select mode is left on return

    // A folder selected among the entries cannot move.
    QTest::mouseClick(root->selectButton(), Qt::LeftButton);
    clickRow(root, {0, 0});
    clickRow(root, {0, 2});
    QTest::mouseClick(root->moveButton(), Qt::LeftButton);
    ASSERT_TRUE(answer("Can not move folders", 0));
    QTest::mouseClick(root->quitSelectButton(), Qt::LeftButton);
    EXPECT_EQ(root->rightBarButton(), root->backButton());

    // Into the new folder; its title is a button that renames it.
    clickRow(root, rowNamed(root, "New"));
    auto *folder = top<SVFolderViewController>();
    ASSERT_TRUE(folder && folder != root);
    ASSERT_TRUE(folder->titleButton());
    EXPECT_EQ(accessibleName(folder->titleButton()), "New");
    QTest::mouseClick(folder->titleButton(), Qt::LeftButton);
    AlertView *prompt = openAlert("Rename folder");
    ASSERT_TRUE(prompt && prompt->textField());
    EXPECT_EQ(prompt->textField()->text(), "New");
    ASSERT_TRUE(answer("Rename folder", 1, "../Out"));
    ASSERT_TRUE(answer("Invalid name", 0));
    EXPECT_TRUE(exists("New"));
    QTest::mouseClick(folder->titleButton(), Qt::LeftButton);
    ASSERT_TRUE(answer("Rename folder", 1, "Pop"));
    EXPECT_EQ(tree(), QStringList({"Music/", "notes.txt", "Pop/"}));
    EXPECT_EQ(accessibleName(folder->titleButton()), "Pop");
    EXPECT_EQ(folder->path(), at("Pop"));

    // Deleting one of the two after the confirmation.
    QTest::mouseClick(folder->selectButton(), Qt::LeftButton);
    clickRow(folder, rowNamed(folder, "a.flac"));
    QTest::mouseClick(folder->deleteButton(), Qt::LeftButton);
    ASSERT_TRUE(answer("Delete 1 items", 1));
    EXPECT_EQ(tree("Pop"), QStringList({"b.flac"}));
    EXPECT_EQ(rows(folder), QStringList({"b.flac"}));

    // Play: the folder becomes the play list and the menu goes.
    QTest::mouseClick(folder->playButton(), Qt::LeftButton);
    EXPECT_TRUE(dismissed());
    EXPECT_EQ(Preferences::integerForKey("Organize"), 0);
    EXPECT_EQ(Preferences::stringForKey("CurrentFolder"), at("Pop"));
    EXPECT_TRUE(runLoopUntil([&] { return playListPaths() == QStringList({at("Pop/b.flac")}); }, 20000))
        << playListPaths().join(", ").toStdString();
    EXPECT_EQ(playList()->title(), "Pop");
}

TEST_F(ScreensTest, FileInfoRenamesDeletesAndPlays)
{
    flac("song.flac", {"TITLE=Song", "ARTIST=Band"});
    writeFile(path("notes.txt"), "hello");
    ASSERT_TRUE(scan());
    auto *browser = new SVFolderViewController(docsPath(), delegate());
    present(browser);

    clickRow(browser, rowNamed(browser, "notes.txt"));
    auto *text = top<SVFileViewController>();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->title(), "File Info");
    EXPECT_EQ(rows(text), QStringList({"[notes.txt]", "Rename", "Delete", "[File Size : 5 Bytes\n]"}));
    stack->popViewController();

    clickRow(browser, rowNamed(browser, "song.flac"));
    auto *info = top<SVFileViewController>();
    ASSERT_TRUE(info && info->item());
    QStringList shown = rows(info);
    ASSERT_EQ(shown.size(), 5);
    EXPECT_EQ(shown.mid(0, 4), QStringList({"[song.flac]", "Rename", "Delete", "Play"}));
    EXPECT_TRUE(shown[4].endsWith("44100 Hz, 16 bit\nTitle : Song\nArtist : Band\n]")) << shown[4].toStdString();

    clickRow(info, {0, SVFileViewController::RenameRow});
    ASSERT_TRUE(answer("Rename file", 1, "sub/x.flac"));
    ASSERT_TRUE(answer("Invalid name", 0));
    clickRow(info, {0, SVFileViewController::RenameRow});
    ASSERT_TRUE(answer("Rename file", 1, "tune.flac"));
    EXPECT_EQ(tree(), QStringList({"notes.txt", "tune.flac"}));
    EXPECT_EQ(rows(info)[0], "[tune.flac]");

    clickRow(info, {0, SVFileViewController::PlayRow});
    EXPECT_TRUE(dismissed());
    EXPECT_EQ(Preferences::integerForKey("Organize"), 4);
    EXPECT_EQ(Preferences::stringForKey("CurrentFile"), at("tune.flac"));
    EXPECT_TRUE(runLoopUntil([&] { return playListPaths() == QStringList({at("tune.flac")}); }, 20000));

    // Deleting asks first; Cancel keeps the file.
    browser = new SVFolderViewController(docsPath(), delegate());
    present(browser);
    clickRow(browser, rowNamed(browser, "tune.flac"));
    info = top<SVFileViewController>();
    clickRow(info, {0, SVFileViewController::DeleteRow});
    ASSERT_TRUE(answer("Delete file", 0));
    EXPECT_TRUE(exists("tune.flac"));
    clickRow(info, {0, SVFileViewController::DeleteRow});
    ASSERT_TRUE(answer("Delete file", 1));
    EXPECT_FALSE(exists("tune.flac"));
    EXPECT_EQ(top<SVFolderViewController>(), browser);
    EXPECT_EQ(rows(browser), QStringList({"notes.txt"}));
}

TEST_F(ScreensTest, PlaylistsScreenModesPromptsAndChoice)
{
    flac("a.flac");
    ASSERT_TRUE(scan());
    auto *lists = new PlaylistsViewController(delegate());
    present(lists);
    EXPECT_EQ(lists->title(), "Playlists");
    EXPECT_TRUE(lists->addButton()->isEnabled());
    EXPECT_FALSE(lists->editButton()->isEnabled());
    EXPECT_FALSE(lists->renameButton()->isEnabled());

    QTest::mouseClick(lists->addButton(), Qt::LeftButton);
    AlertView *add = openAlert("Add");
    ASSERT_TRUE(add && add->textField());
    EXPECT_EQ(add->textField()->text(), "My Playlist");
    ASSERT_TRUE(answer("Add", 1));
    EXPECT_EQ(tree(), QStringList({"a.flac", "My Playlist.m3u"}));
    EXPECT_EQ(rows(lists), QStringList({"My Playlist"}));
    EXPECT_TRUE(lists->editButton()->isEnabled());
    QTest::mouseClick(lists->addButton(), Qt::LeftButton);
    ASSERT_TRUE(answer("Add", 1));
    ASSERT_TRUE(answer("File already exists", 0));
    QTest::mouseClick(lists->addButton(), Qt::LeftButton);
    ASSERT_TRUE(answer("Add", 1, "x"));  // too short: nothing, no message
    EXPECT_FALSE(openAlert("File already exists"));
    EXPECT_EQ(tree(), QStringList({"a.flac", "My Playlist.m3u"}));

    // Rename mode: the hint is shown and spoken, a tap asks for the new name.
    QTest::mouseClick(lists->renameButton(), Qt::LeftButton);
    EXPECT_TRUE(lists->hintLabel()->isVisible());
    EXPECT_EQ(accessibleName(lists->hintLabel()), "Tap on a playlist to rename");
    clickRow(lists, {0, 0});
    AlertView *rename = openAlert("Rename");
    ASSERT_TRUE(rename && rename->textField());
    EXPECT_EQ(rename->textField()->text(), "My Playlist");
    ASSERT_TRUE(answer("Rename", 1, "Road"));
    EXPECT_EQ(tree(), QStringList({"a.flac", "Road.m3u"}));
    EXPECT_EQ(lists->model()->mode(), PlaylistsModel::Normal);

    // Edit mode: Add and Rename are off until Cancel.
    QTest::mouseClick(lists->editButton(), Qt::LeftButton);
    EXPECT_TRUE(lists->tableView()->isEditing());
    EXPECT_FALSE(lists->addButton()->isEnabled());
    QTest::mouseClick(lists->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(lists->tableView()->isEditing());
    EXPECT_TRUE(lists->addButton()->isEnabled());

    // Choosing it plays it and closes the menu.
    writeFile(path("Road.m3u"), "\n" + path("a.flac") + "\n");
    clickRow(lists, {0, 0});
    EXPECT_TRUE(dismissed());
    EXPECT_EQ(Preferences::integerForKey("Organize"), 3);
    EXPECT_EQ(Preferences::stringForKey("CurrentPlaylist"), "Road.m3u");
    EXPECT_EQ(playListPaths(), QStringList({at("a.flac")}));

    // The checkmark on the next visit; deleting the row takes its file.
    lists = new PlaylistsViewController(delegate());
    present(lists);
    EXPECT_EQ(rows(lists), QStringList({"Road | checked"}));
    lists->tableView()->commitDelete({0, 0});
    EXPECT_EQ(tree(), QStringList({"a.flac"}));
    EXPECT_EQ(rows(lists), QStringList());
    EXPECT_FALSE(lists->editButton()->isEnabled());
}

TEST_F(ScreensTest, FileChooserGreysAnnouncesAndAdds)
{
    make({"Sub/deep.wav", "notes.txt", "new.flac", "other.ape"});
    flac("in.flac");
    writeFile(path("list.m3u"), "\n" + path("in.flac") + "\n");
    Preferences::setInteger("Organize", 3);
    Preferences::setObject("CurrentPlaylist", "list.m3u");
    ASSERT_TRUE(scan());

    auto *chooser = new SVFileChooser(docsPath(), playList());
    present(chooser);
    EXPECT_EQ(chooser->title(), "All");
    EXPECT_EQ(chooser->leftBarButton(), chooser->cancelButton());
    EXPECT_EQ(rows(chooser), QStringList({"Sub | Folder", "in.flac | disabled", "list.m3u | disabled",
                                          "new.flac", "notes.txt | disabled", "other.ape"}));
    EXPECT_EQ(accessibleName(chooser->addButton()), "Add");
    EXPECT_FALSE(chooser->addButton()->isEnabled());

    clickRow(chooser, {0, 1});  // greyed: nothing
    clickRow(chooser, {0, 3});
    EXPECT_EQ(accessibleName(chooser->addButton()), "Add(1)");
    // What the live region says, as a screen reader reads it.
    EXPECT_EQ(accessibleName(chooser->announcer()), "1 to add");
    QTest::mouseClick(chooser->selectAllButton(), Qt::LeftButton);
    EXPECT_EQ(accessibleName(chooser->addButton()), "Add(2)");
    EXPECT_EQ(accessibleName(chooser->announcer()), "2 to add");
    EXPECT_EQ(rows(chooser)[0], "Sub | Folder");  // Select All leaves folders alone

    QTest::mouseClick(chooser->addButton(), Qt::LeftButton);
    EXPECT_EQ(accessibleName(chooser->announcer()), "Added 2");
    EXPECT_EQ(accessibleName(chooser->addButton()), "Add");
    EXPECT_EQ(rows(chooser), QStringList({"Sub | Folder", "in.flac | disabled", "list.m3u | disabled",
                                          "new.flac | disabled", "notes.txt | disabled",
                                          "other.ape | disabled"}));
    EXPECT_EQ(playList()->m3uItems(), QStringList({at("in.flac"), at("new.flac"), at("other.ape")}));

    // A sub-folder's chooser has the back button instead of Cancel.
    clickRow(chooser, {0, 0});
    auto *sub = top<SVFileChooser>();
    ASSERT_TRUE(sub && sub != chooser);
    EXPECT_EQ(sub->title(), "Sub");
    EXPECT_EQ(sub->leftBarButton(), nullptr);
    EXPECT_EQ(rows(sub), QStringList({"deep.wav"}));
    stack->popViewController();
    QTest::mouseClick(chooser->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(dismissed());
}

TEST_F(ScreensTest, ArtistChooserShowsTheChoiceAndPlaysTheChosen)
{
    flac("one.flac", {"ARTIST=Band"});
    flac("two.flac", {"ARTIST=Alpha"});
    flac("three.flac", {"ARTIST=Band"});
    ASSERT_TRUE(scan());
    Preferences::setInteger("Organize", 1);
    Preferences::setObject("CurrentArtist", "Band");

    auto *artists = new ArtistChooser(delegate());
    present(artists);
    EXPECT_EQ(rows(artists), QStringList({"Alpha | 1 Tracks", "Band | 2 Tracks | checked"}));
    ASSERT_TRUE(artists->tableView()->selectedRow());
    EXPECT_EQ(artists->tableView()->selectedRow()->row, 1);
    EXPECT_EQ(artists->tableView()->rectForRow({0, 0}).height(), 52);

    clickRow(artists, {0, 0});
    EXPECT_TRUE(dismissed());
    EXPECT_EQ(Preferences::stringForKey("CurrentArtist"), "Alpha");
    EXPECT_EQ(playListPaths(), QStringList({at("two.flac")}));
}

// On a tablet the menu lives in a popover beside the play list: choosing stays there.
TEST_F(ScreensTest, TabletKeepsTheMenuInItsPopover)
{
    flac("Rock/a.flac", {"ARTIST=Band"});
    ASSERT_TRUE(scan());
    setenv("SONAVEL_IDIOM", "tablet", 1);
    window.resize(1024, 768);
    QToolButton *organize = makeBarButton("Main");
    playing->setLeftBarButton(organize);
    auto *menu = new OrganizeViewController(delegate());
    stack = new NavigationController(menu);
    playing->presentAsPopover(stack, organize, false);

    EXPECT_EQ(menu->backButton(), nullptr);
    EXPECT_EQ(menu->rightBarButton(), nullptr);
    clickRow(menu, {0, OrganizeModel::Files});
    auto *root = top<SVFolderViewController>();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->rightBarButton(), nullptr);
    QTest::mouseClick(root->selectButton(), Qt::LeftButton);
    EXPECT_EQ(root->rightBarButton(), root->quitSelectButton());
    QTest::mouseClick(root->quitSelectButton(), Qt::LeftButton);
    EXPECT_EQ(root->rightBarButton(), nullptr);
    clickRow(root, rowNamed(root, "Rock"));
    QTest::mouseClick(top<SVFolderViewController>()->playButton(), Qt::LeftButton);
    EXPECT_FALSE(dismissed());
    EXPECT_EQ(Preferences::stringForKey("CurrentFolder"), at("Rock"));
    EXPECT_EQ(playListPaths(), QStringList({at("Rock/a.flac")}));

    stack->popToRootViewController();
    clickRow(menu, {0, OrganizeModel::Artists});
    auto *artists = top<ArtistChooser>();
    ASSERT_TRUE(artists);
    EXPECT_EQ(artists->tableView()->rectForRow({0, 0}).height(), 60);
    clickRow(artists, {0, 0});
    EXPECT_FALSE(dismissed());
    EXPECT_EQ(Preferences::integerForKey("Organize"), 1);
    EXPECT_EQ(rows(artists), QStringList({"Band | 1 Tracks | checked"}));
}

}  // namespace

#include "ScreensTest.moc"
