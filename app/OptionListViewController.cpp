#include "app/OptionListViewController.h"

#include "app/AppDelegate.h"

OptionListViewController::OptionListViewController(std::unique_ptr<OptionList> list, TableView::Style style,
                                                   QWidget *parent)
    : TableViewController(style, parent), list_(std::move(list))
{
}

OptionListViewController::~OptionListViewController() = default;

void OptionListViewController::viewDidLoad()
{
    setPreferredContentSize(QSize(360, 640));
    refresh();
}

void OptionListViewController::viewWillAppear()
{
    refresh();
    tableView()->reloadData();
}

void OptionListViewController::refresh()
{
    setTitle(list_->title());
    tableView()->setAccessibleName(list_->title());
}

int OptionListViewController::numberOfRows(int) { return list_->count(); }

TableCell OptionListViewController::cellForRow(IndexPath path)
{
    TableCell cell;
    cell.text = list_->text(path.row);
    if (list_->checked(path.row))
        cell.accessory = TableCell::Accessory::Checkmark;
    return cell;
}

void OptionListViewController::didSelectRow(IndexPath path)
{
    list_->select(path.row);
    tableView()->reloadData();
    refresh();
}

EncodingChooser::EncodingChooser(AppDelegate *app, QWidget *parent)
    : OptionListViewController(std::make_unique<EncodingOptions>(app ? app : AppDelegate::shared()),
                               TableView::Style::Plain, parent)
{
}

BackStepViewController::BackStepViewController(QWidget *parent)
    : OptionListViewController(std::make_unique<BackStepOptions>(), TableView::Style::Grouped, parent)
{
}

SleepTimerViewController::SleepTimerViewController(AppDelegate *app, QWidget *parent)
    : OptionListViewController(std::make_unique<SleepTimerOptions>(app ? app : AppDelegate::shared()),
                               TableView::Style::Grouped, parent),
      app_(app ? app : AppDelegate::shared())
{
    tick_.setSingleShot(true);
    tick_.setTimerType(Qt::PreciseTimer);
    connect(&tick_, &QTimer::timeout, this, [this] {
        refresh();
        scheduleTick();
    });
}

// The next refresh comes just after the shown second changes, not a whole second after this
// one.
void SleepTimerViewController::scheduleTick()
{
    qint64 remaining = app_->sleepRemaining();
    if (remaining <= 0) {
        tick_.stop();
        return;
    }
    tick_.start(int((remaining - 1) % 1000) + 1 + 5);
}

void SleepTimerViewController::viewWillAppear()
{
    OptionListViewController::viewWillAppear();
    scheduleTick();
}

void SleepTimerViewController::viewWillDisappear()
{
    tick_.stop();
}

void SleepTimerViewController::didSelectRow(IndexPath path)
{
    OptionListViewController::didSelectRow(path);
    if (isAppearing())
        scheduleTick();
}
