#include "AppFixture.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QDesktopServices>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>

#include "app/OptionListViewController.h"
#include "app/SettingsViewController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "files/FileSystemObject.h"
#include "metadata/CharacterEncoding.h"
#include "theme/ThemeChooser.h"

namespace {

// Receives the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

// A table's rows as a screen reader reads them: "name | description", with " [x]" when
// checked; headers and footers read as their text. The interface is asked afresh, as a
// screen reader does once told the rows were reloaded.
QStringList readRows(TableView *table)
{
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(table);
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(list));
    list = QAccessible::queryAccessibleInterface(table);
    QStringList rows;
    for (int i = 0; i < table->tableModel()->rowCount(); i++) {
        QAccessibleInterface *cell = list->child(i);
        QString row = cell->text(QAccessible::Name);
        QString description = cell->text(QAccessible::Description);
        if (!description.isEmpty())
            row += " | " + description;
        if (cell->state().checked)
            row += " [x]";
        rows << row;
    }
    return rows;
}

AlertView *openAlert()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *a = qobject_cast<AlertView *>(w); a && a->isVisible())
            return a;
    return nullptr;
}

class SettingsScreenTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        Device::setAnimationsEnabled(false);
        Preferences::setObject("CurrentTheme", "Plain.thm");
        Preferences::setObject("BackStep", QVariant());
        root = new ViewController;
        window.setRootViewController(root);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        settings = SettingsViewController::present(root, nullptr, app.get());
        nav = settings->navigationController();
    }
    void TearDown() override
    {
        while (QWidget *alert = openAlert())
            delete alert;
        window.setRootViewController(nullptr);
        Device::setAnimationsEnabled(true);
        AppTest::TearDown();
    }

    void tap(ViewController *screen, int section, int row)
    {
        TableView *table = static_cast<TableViewController *>(screen)->tableView();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->rectForRow({section, row}).center());
    }
    // Saved where SONAVEL_SCREENSHOTS points, to be looked at; nothing otherwise.
    void screenshot(const char *name)
    {
        QString folder = qEnvironmentVariable("SONAVEL_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        runLoopUntil([] { return false; }, 100);  // let the layout settle
        window.grab().save(folder + "/" + name + ".png");
    }
    QStringList rows(ViewController *screen) { return readRows(static_cast<TableViewController *>(screen)->tableView()); }

    Window window;
    ViewController *root = nullptr;
    SettingsViewController *settings = nullptr;
    NavigationController *nav = nullptr;
};

}  // namespace

TEST_F(SettingsScreenTest, EveryRowShowsAndActs)
{
    QAbstractItemModelTester tester(settings->tableView()->tableModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(settings->isAppearing());
    EXPECT_EQ(settings->title(), "Settings");
    ASSERT_TRUE(settings->rightBarButton());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(settings->rightBarButton())->text(QAccessible::Name),
              "Back to playing list");
    QStringList shown = rows(settings);
    ASSERT_EQ(shown.size(), 12);
    EXPECT_EQ(shown.mid(0, 10),
              QStringList({"General", "Playlist Theme | Plain", "Character Encoding | Western", "Sleep Timer",
                           "Backward Step | 30 sec", "iTunes/iCloud Backup [x]", "FTP", "Start FTP Server",
                           "Auto Start | No", "Support"}));
    EXPECT_EQ(shown[10], "Send Feedback");
    EXPECT_TRUE(shown[11].contains("translat")) << shown[11].toStdString();
    screenshot("settings");

    // Starting the server on a taken port: the message, and the row still offers to start.
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::Any, 0));
    app->setFtpPort(squatter.serverPort());
    tap(settings, 1, 0);
    AlertView *alert = openAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Can not start FTP server");
    QTest::mouseClick(alert->button(0), Qt::LeftButton);
    EXPECT_EQ(rows(settings)[7], "Start FTP Server");
    quint16 port = squatter.serverPort();
    squatter.close();
    tap(settings, 1, 0);
    EXPECT_FALSE(openAlert());
    EXPECT_TRUE(rows(settings)[7].startsWith("Started | ftp://")) << rows(settings)[7].toStdString();
    EXPECT_TRUE(rows(settings)[7].endsWith(QString(":%1").arg(port)));
    tap(settings, 1, 0);
    EXPECT_FALSE(app->ftpd());

    tap(settings, 1, 1);
    EXPECT_EQ(rows(settings)[8], "Auto Start | Yes");
    EXPECT_FALSE(app->ftpd());

    // The switch, not the row, acts on the documents folder's do-not-back-up attribute
    // (where the file system keeps user attributes).
    tap(settings, 0, 4);
    EXPECT_EQ(rows(settings)[5], "iTunes/iCloud Backup [x]");
    settings->switchToggled({0, 4}, false);
    FileSystemObject *fs = FileSystemObject::sharedObject();
    if (fs->hasSkipBackupAttribute(q(docs.path()))) {
        EXPECT_EQ(rows(settings)[5], "iTunes/iCloud Backup");
        settings->switchToggled({0, 4}, true);
        EXPECT_FALSE(fs->hasSkipBackupAttribute(q(docs.path())));
        EXPECT_EQ(rows(settings)[5], "iTunes/iCloud Backup [x]");
    }

    // Feedback goes to the user's mail program.
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    tap(settings, 2, 0);
    QDesktopServices::unsetUrlHandler("mailto");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].scheme(), "mailto");
    EXPECT_EQ(catcher.urls[0].query(QUrl::FullyDecoded), "subject=Feedback on Sonavel");

    // The theme row leads to the theme list.
    tap(settings, 0, 0);
    EXPECT_TRUE(qobject_cast<ThemeChooser *>(nav->topViewController()));
    nav->popViewController();

    // The button back to the playing list closes the settings.
    ASSERT_EQ(root->presentedViewController(), nav);
    QTest::mouseClick(static_cast<QWidget *>(settings->rightBarButton()), Qt::LeftButton);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(root->isAppearing());
}

TEST_F(SettingsScreenTest, OptionLists)
{
    // Backward step: the step in use is checked; a choice moves the check and the settings
    // row shows it when it comes back.
    tap(settings, 0, 3);
    auto *steps = qobject_cast<BackStepViewController *>(nav->topViewController());
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->title(), "Backward Step");
    EXPECT_EQ(rows(steps), QStringList({"5 Seconds", "10 Seconds", "15 Seconds", "30 Seconds [x]", "45 Seconds",
                                        "60 Seconds", "90 Seconds", "180 Seconds"}));
    tap(steps, 0, 1);
    screenshot("backward-step");
    EXPECT_EQ(Preferences::integerForKey("BackStep"), 10);
    EXPECT_EQ(rows(steps)[1], "10 Seconds [x]");
    EXPECT_EQ(rows(steps)[3], "30 Seconds");
    nav->popViewController();
    EXPECT_EQ(rows(settings)[4], "Backward Step | 10 sec");

    // Sleep timer: the title counts down while the list is shown, and stops when it goes.
    tap(settings, 0, 2);
    QPointer<SleepTimerViewController> timer = qobject_cast<SleepTimerViewController *>(nav->topViewController());
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->title(), "Sleep Timer");
    EXPECT_FALSE(timer->isCountingDown());
    tap(timer, 0, 1);
    screenshot("sleep-timer");
    EXPECT_EQ(timer->title(), "Sleep Timer(15:00)");
    EXPECT_TRUE(timer->isCountingDown());
    EXPECT_TRUE(runLoopUntil([&] { return timer->title() == "Sleep Timer(14:59)"; }, 3000)) << timer->title().toStdString();
    tap(timer, 0, 0);
    EXPECT_EQ(app->sleepTime(), 0);
    EXPECT_EQ(timer->title(), "Sleep Timer");
    tap(timer, 0, 4);
    EXPECT_TRUE(timer->isCountingDown());
    nav->popViewController();
    EXPECT_TRUE(!timer || !timer->isCountingDown()) << "counting down after it went";
    EXPECT_NE(app->sleepTime(), 0) << "the timer itself runs on";
    app->removeSleepTimer();

    // Encodings: the preferred one is checked; a choice stores it and rescans.
    tap(settings, 0, 1);
    auto *encodings = qobject_cast<EncodingChooser *>(nav->topViewController());
    ASSERT_TRUE(encodings);
    QStringList names = CharacterEncoding::getAvailableEncodings();
    EXPECT_EQ(rows(encodings)[names.indexOf("Western")], "Western [x]");
    quint64 scans = app->loadId();
    tap(encodings, 0, int(names.indexOf("Korean")));
    EXPECT_EQ(Preferences::integerForKey("PreferedEnc"), 3);
    EXPECT_GT(app->loadId(), scans);
    EXPECT_EQ(rows(encodings)[names.indexOf("Korean")], "Korean [x]");
    nav->popViewController();
    EXPECT_EQ(rows(settings)[2], "Character Encoding | Korean");
    Preferences::setObject("PreferedEnc", QVariant());
}

// On a tablet the settings come in a popover at their button, without a button to leave.
TEST_F(SettingsScreenTest, TabletPopover)
{
    settings->dismiss(false);
    setenv("SONAVEL_IDIOM", "tablet", 1);
    QToolButton anchor(root);
    auto *popover = SettingsViewController::present(root, &anchor, app.get());
    EXPECT_EQ(root->presentedViewController(), popover->navigationController());
    EXPECT_EQ(popover->navigationController()->preferredContentSize(), QSize(360, 640));
    EXPECT_FALSE(popover->rightBarButton());
    EXPECT_TRUE(root->isAppearing()) << "a popover leaves the screen under it in view";
    unsetenv("SONAVEL_IDIOM");
}

#include "SettingsScreenTest.moc"
