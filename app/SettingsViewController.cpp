#include "app/SettingsViewController.h"

#include <QAbstractButton>
#include <QDesktopServices>

#include "app/AppDelegate.h"
#include "app/OptionListViewController.h"
#include "files/AlertMessage.h"
#include "platform/Localization.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationController.h"
#include "theme/ImageTint.h"
#include "theme/ThemeChooser.h"

SettingsViewController::SettingsViewController(AppDelegate *app, QWidget *parent)
    : TableViewController(TableView::Style::Grouped, parent), model_(app ? app : AppDelegate::shared())
{
    // The server may also be started or stopped elsewhere.
    if (model_.app()) {
        connect(model_.app(), &AppDelegate::ftpServerChanged, this, [this] {
            if (isViewLoaded())
                tableView()->reloadData();
        });
    }
}

SettingsViewController::~SettingsViewController() = default;

SettingsViewController *SettingsViewController::present(ViewController *presenter, QWidget *anchor, AppDelegate *app)
{
    auto *settings = new SettingsViewController(app);
    auto *nav = new NavigationController(settings);
    nav->setPreferredContentSize(QSize(360, 640));
    if (Device::isTablet() && anchor)
        presenter->presentAsPopover(nav, anchor);
    else
        presenter->presentModally(nav);
    return settings;
}

void SettingsViewController::viewDidLoad()
{
    setTitle(SVLocalized("Settings"));
    tableView()->setAccessibleName(SVLocalized("Settings"));
    setPreferredContentSize(QSize(360, 640));
    if (!Device::isTablet()) {
        QAbstractButton *done = makeBarButton(SVLocalized("Back to playing list"),
                                              imageNamedWithColor(QStringLiteral("playlist.png"), Qt::white));
        connect(done, &QAbstractButton::clicked, this, [this] { dismiss(); });
        setRightBarButton(done);
    }
}

void SettingsViewController::viewWillAppear()
{
    tableView()->reloadData();
}

int SettingsViewController::numberOfRows(int section) { return SettingsModel::rowCount(section); }

TableCell SettingsViewController::cellForRow(IndexPath path)
{
    SettingsModel::Cell c = model_.cell(SettingsModel::rowAt(path.section, path.row));
    TableCell cell;
    cell.style = TableCell::Style::Value1;
    cell.text = c.text;
    cell.detailText = c.detail;
    if (c.disclosure)
        cell.accessory = TableCell::Accessory::DisclosureIndicator;
    if (c.isSwitch) {
        cell.accessory = TableCell::Accessory::Switch;
        cell.switchOn = c.switchOn;
        cell.highlightsWhenSelected = false;
    }
    return cell;
}

QString SettingsViewController::titleForHeader(int section) { return SettingsModel::header(section); }

QString SettingsViewController::titleForFooter(int section) { return SettingsModel::footer(section); }

void SettingsViewController::push(ViewController *screen)
{
    if (NavigationController *nav = navigationController())
        nav->pushViewController(screen);
    else
        delete screen;
}

void SettingsViewController::didSelectRow(IndexPath path)
{
    switch (SettingsModel::rowAt(path.section, path.row)) {
    case SettingsModel::Theme:
        push(new ThemeChooser);
        break;
    case SettingsModel::Encoding:
        push(new EncodingChooser(model_.app()));
        break;
    case SettingsModel::SleepTimer:
        push(new SleepTimerViewController(model_.app()));
        break;
    case SettingsModel::BackStep:
        push(new BackStepViewController);
        break;
    case SettingsModel::Backup:
        break;  // the switch acts, not the row
    case SettingsModel::FtpServer:
        if (!model_.toggleFtpServer())
            AlertMessage::show(SVLocalized("Can not start FTP server"));
        tableView()->reloadData();
        break;
    case SettingsModel::AutoStart:
        model_.toggleAutoStart();
        tableView()->reloadData();
        break;
    case SettingsModel::Feedback:
        QDesktopServices::openUrl(SettingsModel::feedbackUrl());
        break;
    case SettingsModel::RowCount:
        break;
    }
}

void SettingsViewController::switchToggled(IndexPath path, bool on)
{
    if (SettingsModel::rowAt(path.section, path.row) != SettingsModel::Backup)
        return;
    model_.setBackupEnabled(on);
    tableView()->reloadData();
}
