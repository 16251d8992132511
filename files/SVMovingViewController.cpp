#include "files/SVMovingViewController.h"

#include "files/AlertPrompt.h"
#include "files/FileOperations.h"
#include "files/FileSystemObject.h"
#include "platform/Localization.h"
#include "platform/ui/NavigationController.h"

SVMovingViewController::SVMovingViewController(const QStringList &movingItems,
                                               OrganizeDelegate *delegate, QWidget *parent)
    : TableViewController(TableView::Style::Grouped, parent),
      delegate_(delegate),
      movingItems_(movingItems)
{
    setPreferredContentSize(QSize(360, 640));
    setTitle(SVLocalized("Moving Files"));
}

void SVMovingViewController::viewDidLoad()
{
    FileSystemObject *fs = FileSystemObject::sharedObject();
    const QString docs = fs->documentsDirectory();
    const QString first = movingItems_.value(0);
    srcPath_ = first.left(qMax(first.lastIndexOf('/'), 0));
    isRoot_ = srcPath_ == docs;
    targets_.clear();
    if (!isRoot_)
        targets_ << docs;
    for (const QString &folder : fs->subDirectories(docs)) {
        if (folder != srcPath_)
            targets_ << folder;
    }
}

int SVMovingViewController::numberOfSections() { return targets_.isEmpty() ? 1 : 2; }

int SVMovingViewController::numberOfRows(int section)
{
    return section == 0 ? 1 : int(targets_.size());
}

QString SVMovingViewController::titleForHeader(int section)
{
    return SVLocalized(section == 0 ? SV_TEXT("Move to new folder") : SV_TEXT("Move to existing folder"));
}

TableCell SVMovingViewController::cellForRow(IndexPath path)
{
    TableCell cell;
    if (path.section == 0) {
        cell.text = SVLocalized("Name it..");
    } else if (!isRoot_ && path.row == 0) {
        cell.text = QStringLiteral("*%1*").arg(SVLocalized("Root Folder"));
    } else {
        const QString &folder = targets_.value(path.row);
        cell.text = folder.mid(folder.lastIndexOf('/') + 1);
    }
    return cell;
}

void SVMovingViewController::didSelectRow(IndexPath path)
{
    if (path.section == 0)
        showNewFolder();
    else
        moveToFolder(targets_.value(path.row));
}

void SVMovingViewController::showNewFolder()
{
    auto *prompt = new AlertPrompt(SVLocalized("Create folder"), "  ", this, SV_TEXT("Cancel"),
                                   SV_TEXT("OK"), this);
    prompt->setTag(NewFolderTag);
    prompt->show();
}

void SVMovingViewController::moveToNewFolder(const QString &name)
{
    FileOutcome outcome = ::moveToNewFolder(movingItems_, name, delegate_);
    showRefusal(outcome);
    // After a refusal nothing has moved: the user may choose again.
    if (outcome.changed())
        finish();
}

void SVMovingViewController::moveToFolder(const QString &folder)
{
    FileOutcome outcome = ::moveToFolder(movingItems_, folder, delegate_);
    showRefusal(outcome);
    if (outcome.changed())
        finish();
}

void SVMovingViewController::finish()
{
    if (navigationController() && navigationController()->topViewController() == this)
        navigationController()->popViewController();
}

void SVMovingViewController::alertViewClickedButtonAtIndex(AlertView *alert, int index)
{
    auto *prompt = qobject_cast<AlertPrompt *>(alert);
    if (index == 1 && prompt && alert->tag() == NewFolderTag)
        moveToNewFolder(prompt->enteredText());
}
