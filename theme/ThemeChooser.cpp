#include "theme/ThemeChooser.h"

#include "files/FileSystemObject.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"

namespace {

std::function<void()> &themeChangeHandler()
{
    static std::function<void()> handler;
    return handler;
}

const QString kCurrentTheme = QStringLiteral("CurrentTheme");

}  // namespace

ThemeChooser::ThemeChooser(QWidget *parent) : TableViewController(TableView::Style::Plain, parent)
{
}

ThemeChooser::~ThemeChooser() = default;

void ThemeChooser::setThemeChangeHandler(std::function<void()> handler)
{
    themeChangeHandler() = std::move(handler);
}

void ThemeChooser::viewDidLoad()
{
    setPreferredContentSize(QSize(360, 640));
    setTitle(SVLocalized("Choose Theme"));
    themes_ = FileSystemObject::sharedObject()
                  ->contentsOfDirectoryWithSuffix(Theme::defaultThemeFolder(), QStringLiteral(".thm"))
                  .value_or(QStringList());
}

void ThemeChooser::viewWillAppear()
{
    onThemeChange();
}

void ThemeChooser::onThemeChange()
{
    if (Device::isTablet())
        return;
    const QString current = Preferences::stringForKey(kCurrentTheme);
    if (!theme_ || theme_->themeName() != current)
        theme_ = Theme::create(current);
    TableView *table = tableView();
    table->setBackgroundColor(theme_ ? theme_->listBackgroundColor() : QColor());
    table->setSeparatorColor(theme_ ? theme_->separatorColor() : QColor());
    table->setShowsVerticalScrollIndicator(theme_ && theme_->visibleScrollIndicator());
}

int ThemeChooser::numberOfRows(int)
{
    return int(themes_.size());
}

TableCell ThemeChooser::cellForRow(IndexPath path)
{
    TableCell cell;
    const QString name = themes_.value(path.row);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    cell.text = dot < 0 ? name : name.left(dot);
    if (theme_)
        cell.textColor = theme_->titleColor();
    if (name == Preferences::stringForKey(kCurrentTheme))
        cell.accessory = TableCell::Accessory::Checkmark;
    return cell;
}

void ThemeChooser::didSelectRow(IndexPath path)
{
    const QString name = themes_.value(path.row);
    if (name.isEmpty())
        return;
    Preferences::setObject(kCurrentTheme, name);
    onThemeChange();
    tableView()->reloadData();
    if (themeChangeHandler())
        themeChangeHandler()();
}
