#include "files/NameChooser.h"

#include "platform/Localization.h"
#include "platform/ui/Device.h"

NameChooser::NameChooser(TrackCountModel::Property property, OrganizeDelegate *delegate,
                         QWidget *parent)
    : TableViewController(TableView::Style::Plain, parent), property_(property), delegate_(delegate)
{
    setTitle(SVLocalized(property == TrackCountModel::Property::Artist ? SV_TEXT("Artists")
                                                                          : SV_TEXT("Albums")));
    setPreferredContentSize(QSize(360, 640));
}

void NameChooser::viewDidLoad()
{
    model_ = new TrackCountModel(property_, delegate_, this);
}

void NameChooser::viewDidAppear()
{
    tableView()->reloadData();
    if (int row = model_->currentRow(); row >= 0)
        tableView()->selectRow({0, row});
}

int NameChooser::numberOfRows(int) { return model_ ? model_->count() : 0; }

TableCell NameChooser::cellForRow(IndexPath path)
{
    TableCell cell;
    cell.style = TableCell::Style::Subtitle;
    cell.text = model_->name(path.row);
    cell.detailText = model_->detail(path.row);
    if (model_->isChecked(path.row))
        cell.accessory = TableCell::Accessory::Checkmark;
    return cell;
}

int NameChooser::heightForRow(IndexPath) { return Device::isTablet() ? 60 : 52; }

void NameChooser::didSelectRow(IndexPath path)
{
    model_->choose(path.row);
    tableView()->reloadData();
    tableView()->selectRow(path, false);
    if (!Device::isTablet())
        dismiss();
}
