#include "files/SVFolderViewController.h"

#include <QPushButton>
#include <QToolButton>

#include "files/AlertConfirm.h"
#include "files/AlertPrompt.h"
#include "files/FileOperations.h"
#include "files/OrganizeDelegate.h"
#include "files/OrganizeViewController.h"
#include "files/SVFileViewController.h"
#include "files/SVMovingViewController.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"
#include "platform/ui/Device.h"
#include "platform/ui/Images.h"
#include "platform/ui/NavigationController.h"

const int kToolbarButtonWidth = 64;

SVFolderViewController::SVFolderViewController(const QString &path, OrganizeDelegate *delegate,
                                               QWidget *parent)
    : TableViewController(TableView::Style::Plain, parent),
      delegate_(delegate),
      model_(new FolderModel(FolderModel::Kind::Browser, path, nullptr, this)),
      btnPlay_(makeToolbarButton(SV_TEXT("Play"), kToolbarButtonWidth)),
      btnSelect_(makeToolbarButton(SV_TEXT("Select"), kToolbarButtonWidth)),
      btnMove_(makeToolbarButton(SV_TEXT("Move"), kToolbarButtonWidth)),
      btnDelete_(makeToolbarButton(SV_TEXT("Delete"), kToolbarButtonWidth)),
      btnQuitSelect_(makeBarButton(SVLocalized("Cancel")))
{
    connect(btnPlay_, &QAbstractButton::clicked, this, &SVFolderViewController::onPlay);
    connect(btnSelect_, &QAbstractButton::clicked, this, &SVFolderViewController::onSelect);
    connect(btnMove_, &QAbstractButton::clicked, this, &SVFolderViewController::onMove);
    connect(btnDelete_, &QAbstractButton::clicked, this, &SVFolderViewController::onDelete);
    connect(btnQuitSelect_, &QAbstractButton::clicked, this, &SVFolderViewController::onQuitSelect);
    connect(model_, &FolderModel::selectedCountChanged, this, &SVFolderViewController::updateButtons);
    // Every button is the screen's from the start, shown or not.
    for (QWidget *button : {btnMove_, btnDelete_, btnQuitSelect_}) {
        button->setParent(this);
        button->hide();
    }
    setPreferredContentSize(QSize(360, 640));
    updateButtons(0);
}

void SVFolderViewController::viewDidLoad()
{
    if (!model_->isRootDirectory()) {
        titleButton_ = new QPushButton;
        titleButton_->setFlat(true);
        titleButton_->setMinimumSize(0, 44);
        QFont bold = titleButton_->font();
        bold.setBold(true);
        bold.setPointSize(17);
        titleButton_->setFont(bold);
        titleButton_->setStyleSheet("QPushButton { color: white; border: none; }");
        connect(titleButton_, &QPushButton::clicked, this, [this] {
            if (!model_->selectMode())
                onRename();
        });
        setTitleView(titleButton_);
    }
    updateTitle();
    if (!Device::isTablet()) {
        backButton_ = makeBackToPlayingListButton();
        connect(backButton_, &QAbstractButton::clicked, this, &SVFolderViewController::onBack);
    }
    setRightBarButton(backButton_);
    setToolbarItems({nullptr, btnPlay_, nullptr, btnSelect_, nullptr});
    loadFiles();
}

void SVFolderViewController::viewWillAppear()
{
    // What the moving and file screens changed shows on return.
    loadFiles();
    onQuitSelect();
}

void SVFolderViewController::loadFiles()
{
    model_->loadFiles();
    tableView()->reloadData();
}

void SVFolderViewController::updateTitle()
{
    QString title = model_->title();
    setTitle(title);
    if (titleButton_) {
        titleButton_->setText(title);
        titleButton_->setAccessibleName(title);
        titleButton_->setAccessibleDescription(model_->selectMode() ? QString()
                                                                    : SVLocalized("Rename folder"));
    }
}

void SVFolderViewController::updateButtons(int count)
{
    btnMove_->setText(countedTitle(SV_TEXT("Move"), count));
    btnDelete_->setText(countedTitle(SV_TEXT("Delete"), count));
    // The name follows the text, so a screen reader reads "Move(2)" as it is shown.
    btnMove_->setAccessibleName(btnMove_->text());
    btnDelete_->setAccessibleName(btnDelete_->text());
    btnMove_->setEnabled(count > 0);
    btnDelete_->setEnabled(count > 0);
}

int SVFolderViewController::numberOfRows(int) { return model_->count(); }

TableCell SVFolderViewController::cellForRow(IndexPath path)
{
    TableCell cell;
    const int row = path.row;
    cell.text = model_->name(row);
    if (model_->isFolder(row)) {
        cell.image = imageNamed("files.png");
        cell.accessibleDescription = SVLocalized("Folder");
    }
    if (model_->selectMode()) {
        // A selected folder shows its mark too: selected is selected, seen or heard.
        if (model_->isSelected(row))
            cell.accessory = TableCell::Accessory::Checkmark;
    } else if (model_->isFolder(row)) {
        cell.accessory = TableCell::Accessory::DisclosureIndicator;
    }
    return cell;
}

void SVFolderViewController::didSelectRow(IndexPath path)
{
    const int row = path.row;
    if (model_->selectMode()) {
        if (model_->toggleRow(row))
            tableView()->reloadRows({path});
        return;
    }
    if (!navigationController())
        return;
    if (model_->isFolder(row))
        navigationController()->pushViewController(
            new SVFolderViewController(model_->fullPath(row), delegate_));
    else
        navigationController()->pushViewController(
            new SVFileViewController(model_->fullPath(row), delegate_));
}

bool SVFolderViewController::canDeleteRow(IndexPath) { return !model_->selectMode(); }

void SVFolderViewController::deleteRow(IndexPath path)
{
    removeItems({model_->fullPath(path.row)}, delegate_);
    model_->removeEntry(path.row);
    tableView()->deleteRows({path});
}

void SVFolderViewController::onSelect()
{
    model_->setSelectMode(true);
    updateTitle();
    setRightBarButton(btnQuitSelect_);
    tableView()->setEditing(false);
    setToolbarItems({nullptr, btnDelete_, nullptr, btnMove_, nullptr});
    tableView()->reloadData();
}

void SVFolderViewController::onQuitSelect()
{
    if (!model_->selectMode())
        return;
    model_->setSelectMode(false);
    setRightBarButton(backButton_);
    updateTitle();
    setToolbarItems({nullptr, btnPlay_, nullptr, btnSelect_, nullptr});
    tableView()->reloadData();
}

void SVFolderViewController::onDelete()
{
    const int count = model_->selectedCount();
    if (count <= 0)
        return;
    QString title = QStringLiteral("%1 %2 %3").arg(SVLocalized("Delete")).arg(count).arg(SVLocalized("items"));
    (new AlertConfirm(title, SVLocalized("Are you sure?"), this, DeleteTag, this))->show();
}

void SVFolderViewController::deleteSelectedItems()
{
    QStringList items = model_->selectedItems();
    removeItems(items, delegate_, false);
    loadFiles();
    onQuitSelect();
    if (delegate_)
        delegate_->loadMusics();
}

void SVFolderViewController::onMove()
{
    if (model_->selectedCount() <= 0)
        return;
    QStringList items = model_->selectedItems();
    FileOutcome movable = checkMovable(items);
    if (movable.kind == FileOutcome::Refused) {
        showRefusal(movable);
        return;
    }
    if (navigationController())
        navigationController()->pushViewController(new SVMovingViewController(items, delegate_));
}

void SVFolderViewController::onRename()
{
    auto *prompt = new AlertPrompt(SVLocalized("Rename folder"), "  ", this, SV_TEXT("Cancel"),
                                   SV_TEXT("OK"), this);
    prompt->setEnteredText(path().mid(path().lastIndexOf('/') + 1));
    prompt->setTag(RenameTag);
    prompt->show();
}

void SVFolderViewController::renameFolder(const QString &name)
{
    FileOutcome outcome = ::renameFolder(path(), name, delegate_);
    showRefusal(outcome);
    if (outcome.kind == FileOutcome::Done) {
        model_->setPath(outcome.path);
        updateTitle();
    }
}

void SVFolderViewController::onPlay()
{
    Preferences::setInteger("Organize", 0);
    Preferences::setObject("CurrentFolder", model_->isRootDirectory() ? QString("") : path());
    if (delegate_)
        delegate_->updatePlayList();
    onBack();
}

void SVFolderViewController::onBack()
{
    if (!Device::isTablet())
        dismiss();
}

void SVFolderViewController::alertViewClickedButtonAtIndex(AlertView *alert, int index)
{
    if (index != 1)
        return;
    auto *prompt = qobject_cast<AlertPrompt *>(alert);
    if (prompt && alert->tag() == RenameTag)
        renameFolder(prompt->enteredText());
    else if (!prompt && alert->tag() == DeleteTag)
        deleteSelectedItems();
}
