#include "files/SVFileViewController.h"

#include "files/AlertConfirm.h"
#include "files/AlertPrompt.h"
#include "files/FileInfo.h"
#include "files/FileOperations.h"
#include "files/OrganizeDelegate.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationController.h"

namespace {

QString fileName(const QString &path) { return path.mid(path.lastIndexOf('/') + 1); }

}  // namespace

SVFileViewController::SVFileViewController(const QString &path, OrganizeDelegate *delegate,
                                           QWidget *parent)
    : TableViewController(TableView::Style::Grouped, parent), delegate_(delegate), path_(path)
{
    setTitle(SVLocalized("File Info"));
    setPreferredContentSize(QSize(360, 640));
}

void SVFileViewController::viewDidLoad()
{
    item_ = PlayableItem::itemWithPath(path_);
}

int SVFileViewController::numberOfRows(int) { return item_ ? 3 : 2; }

TableCell SVFileViewController::cellForRow(IndexPath path)
{
    static const char *const kTexts[] = {SV_TEXT("Rename"), SV_TEXT("Delete"), SV_TEXT("Play")};
    TableCell cell;
    cell.text = SVLocalized(kTexts[qBound(0, path.row, 2)]);
    cell.textAlignment = Qt::AlignHCenter;
    return cell;
}

QString SVFileViewController::titleForHeader(int) { return fileName(path_); }

QString SVFileViewController::titleForFooter(int) { return fileInfoFooter(path_, item_.get()); }

void SVFileViewController::didSelectRow(IndexPath path)
{
    switch (path.row) {
    case RenameRow:
        onRename();
        break;
    case DeleteRow:
        onDelete();
        break;
    case PlayRow:
        onPlay();
        break;
    }
}

void SVFileViewController::onPlay()
{
    Preferences::setInteger("Organize", 4);
    Preferences::setObject("CurrentFile", path_);
    if (delegate_)
        delegate_->updatePlayList();
    if (!Device::isTablet())
        dismiss();
}

void SVFileViewController::onDelete()
{
    (new AlertConfirm(SVLocalized("Delete file"), SVLocalized("Are you sure?"), this, DeleteTag,
                      this))->show();
}

void SVFileViewController::onRename()
{
    auto *prompt = new AlertPrompt(SVLocalized("Rename file"), "  ", this, SV_TEXT("Cancel"),
                                   SV_TEXT("OK"), this);
    prompt->setEnteredText(fileName(path_));
    prompt->setTag(RenameTag);
    prompt->show();
}

void SVFileViewController::renameFile(const QString &name)
{
    FileOutcome outcome = ::renameFile(path_, name, delegate_);
    showRefusal(outcome);
    if (outcome.kind == FileOutcome::Done) {
        path_ = outcome.path;
        tableView()->reloadData();
    }
}

void SVFileViewController::alertViewClickedButtonAtIndex(AlertView *alert, int index)
{
    if (index != 1)
        return;
    if (auto *prompt = qobject_cast<AlertPrompt *>(alert)) {
        if (alert->tag() == RenameTag)
            renameFile(prompt->enteredText());
    } else if (alert->tag() == DeleteTag) {
        // A cue sheet or a cover changes the items built from them, so its removal rescans.
        removeItems({path_}, delegate_, item_ || isAccessoryFile(path_));
        if (navigationController() && navigationController()->topViewController() == this)
            navigationController()->popViewController();
    }
}
