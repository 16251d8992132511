#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include "TestSupport.h"
#include "platform/Preferences.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "theme/ThemeChooser.h"

// The chooser lists the shipped themes, checks the current one as a screen reader sees it,
// and replaces its theme only when another one is chosen.
TEST(ThemeChooser, ChoosingThemes)
{
    Preferences::setObject("CurrentTheme", "Plain.thm");
    int told = 0;
    ThemeChooser::setThemeChangeHandler([&] { told++; });
    Device::setAnimationsEnabled(false);
    Window window;
    auto *chooser = new ThemeChooser;
    window.setRootViewController(new NavigationController(chooser));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_EQ(chooser->title(), "Choose Theme");
    EXPECT_EQ(chooser->preferredContentSize(), QSize(360, 640));
    TableModel *model = chooser->tableView()->tableModel();
    // The rows in the folder's order, sorted here. Offscreen Qt has no accessibility bridge,
    // so nothing tells its cache that the rows were reloaded: read them from a fresh
    // interface, as a screen reader does once told.
    auto rows = [&] {
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(chooser->tableView());
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(list));
        list = QAccessible::queryAccessibleInterface(chooser->tableView());
        QStringList names;
        for (int i = 0; i < model->rowCount(); i++) {
            QAccessibleInterface *cell = list->child(i);
            names << cell->text(QAccessible::Name) + (cell->state().checked ? "*" : "");
        }
        names.sort();
        return names;
    };
    auto click = [&](const QString &name) {
        const int row = int(chooser->themes().indexOf(name));
        ASSERT_GE(row, 0);
        QTest::mouseClick(chooser->tableView()->viewport(), Qt::LeftButton, {},
                          chooser->tableView()->rectForRow({0, row}).center());
    };
    EXPECT_EQ(rows(), (QStringList{"Dusk", "Midnight", "Plain*"}));
    ASSERT_TRUE(chooser->theme());
    EXPECT_EQ(chooser->theme()->themeName(), "Plain.thm");
    EXPECT_EQ(model->index(0).data(Qt::ForegroundRole).value<QColor>(), chooser->theme()->titleColor());

    // The current theme again: preference rewritten, list reloaded, same theme object.
    Theme *before = chooser->theme();
    click("Plain.thm");
    EXPECT_EQ(told, 1);
    EXPECT_EQ(chooser->theme(), before);

    // Another theme: stored, a new theme, the list in its colours.
    click("Midnight.thm");
    EXPECT_EQ(Preferences::stringForKey("CurrentTheme"), "Midnight.thm");
    EXPECT_EQ(told, 2);
    ASSERT_TRUE(chooser->theme());
    EXPECT_EQ(chooser->theme()->themeName(), "Midnight.thm");
    EXPECT_EQ(rows(), (QStringList{"Dusk", "Midnight*", "Plain"}));
    EXPECT_EQ(chooser->tableView()->viewport()->palette().color(QPalette::Base),
              chooser->theme()->listBackgroundColor());
    EXPECT_EQ(chooser->tableView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff)
        << "Midnight hides the scroll indicator";

    ThemeChooser::setThemeChangeHandler(nullptr);
}
