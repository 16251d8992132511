#include "files/SVFileChooser.h"

#include <QToolButton>

#include "files/LiveRegion.h"
#include "platform/Localization.h"
#include "platform/ui/Images.h"
#include "platform/ui/NavigationController.h"

SVFileChooser::SVFileChooser(const QString &path, SVFileChooserDelegate *delegate, QWidget *parent)
    : TableViewController(TableView::Style::Plain, parent),
      delegate_(delegate),
      model_(new FolderModel(FolderModel::Kind::Chooser, path, delegate, this)),
      btnAdd_(makeBarButton(SVLocalized("Add"))),
      btnSelectAll_(makeBarButton(SVLocalized("Select All"))),
      announcer_(new LiveRegion(this))
{
    setPreferredContentSize(QSize(360, 640));
    connect(btnAdd_, &QAbstractButton::clicked, this, &SVFileChooser::onAdd);
    connect(btnSelectAll_, &QAbstractButton::clicked, this, &SVFileChooser::onSelectAll);
    connect(model_, &FolderModel::selectedCountChanged, this, &SVFileChooser::updateAddButton);
    connect(model_, &FolderModel::announcement, announcer_, &LiveRegion::announce);
    updateAddButton(0);
}

void SVFileChooser::viewDidLoad()
{
    setTitle(model_->title());
    if (model_->isRootDirectory()) {
        btnCancel_ = makeBarButton(SVLocalized("Cancel"));
        connect(btnCancel_, &QAbstractButton::clicked, this, [this] { dismiss(); });
        setLeftBarButton(btnCancel_);
    }
    setRightBarButton(btnAdd_);
    setToolbarItems({btnSelectAll_, nullptr, announcer_, nullptr});
    loadFiles();
}

void SVFileChooser::loadFiles()
{
    model_->loadFiles();
    tableView()->reloadData();
}

void SVFileChooser::updateAddButton(int count)
{
    btnAdd_->setText(countedTitle(SV_TEXT("Add"), count));
    btnAdd_->setAccessibleName(btnAdd_->text());
    btnAdd_->setEnabled(count > 0);
}

void SVFileChooser::onAdd()
{
    if (model_->addSelected())
        tableView()->reloadData();
}

void SVFileChooser::onSelectAll()
{
    model_->selectAllFiles();
    tableView()->reloadData();
}

int SVFileChooser::numberOfRows(int) { return model_->count(); }

TableCell SVFileChooser::cellForRow(IndexPath path)
{
    TableCell cell;
    const int row = path.row;
    cell.text = model_->name(row);
    if (model_->isFolder(row)) {
        cell.image = imageNamed("files.png");
        cell.textColor = Qt::black;
        cell.accessory = TableCell::Accessory::DisclosureIndicator;
        cell.accessibleDescription = SVLocalized("Folder");
    } else if (model_->isDisabled(row)) {
        cell.textColor = QColor::fromRgbF(0.7f, 0.7f, 0.7f);
        cell.enabled = false;
    } else {
        cell.textColor = Qt::black;
        if (model_->isSelected(row))
            cell.accessory = TableCell::Accessory::Checkmark;
    }
    return cell;
}

void SVFileChooser::didSelectRow(IndexPath path)
{
    const int row = path.row;
    if (model_->isFolder(row)) {
        if (navigationController())
            navigationController()->pushViewController(
                new SVFileChooser(model_->fullPath(row), delegate_));
        return;
    }
    if (model_->toggleRow(row))
        tableView()->reloadRows({path});
}
