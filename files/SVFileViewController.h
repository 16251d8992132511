// Information about one file: its name as the header, "Rename", "Delete" and, for a playable
// file, "Play"; the footer gives its size, format and tags. The one screen that builds an
// item for a file. Main thread.
#pragma once

#include "metadata/PlayableItem.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TableViewController.h"

class OrganizeDelegate;

class SVFileViewController : public TableViewController, public AlertViewDelegate {
    Q_OBJECT
public:
    enum Tag { DeleteTag = 1, RenameTag = 2 };
    enum Row { RenameRow, DeleteRow, PlayRow };

    SVFileViewController(const QString &path, OrganizeDelegate *delegate,
                         QWidget *parent = nullptr);

    const QString &path() const { return path_; }
    // None when the file is not playable.
    const PlayableItemPtr &item() const { return item_; }

    void onRename();
    void onDelete();
    void onPlay();
    void renameFile(const QString &name);

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    QString titleForHeader(int section) override;
    QString titleForFooter(int section) override;
    void didSelectRow(IndexPath path) override;

    void alertViewClickedButtonAtIndex(AlertView *alert, int index) override;

protected:
    void viewDidLoad() override;

private:
    OrganizeDelegate *delegate_;
    QString path_;
    PlayableItemPtr item_;
};
