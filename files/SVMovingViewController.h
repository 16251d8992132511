// Where selected files go: a new top-level folder named in a prompt, the documents folder
// ("*Root Folder*", unless the files are there already) or one of its folders other than
// their own. After the move the screen goes back to the folder browser. Main thread.
#pragma once

#include <QStringList>

#include "platform/ui/AlertView.h"
#include "platform/ui/TableViewController.h"

class OrganizeDelegate;

class SVMovingViewController : public TableViewController, public AlertViewDelegate {
    Q_OBJECT
public:
    enum Tag { NewFolderTag = 0 };

    // `movingItems`: full paths of the files, all in one folder.
    SVMovingViewController(const QStringList &movingItems, OrganizeDelegate *delegate,
                           QWidget *parent = nullptr);

    const QStringList &movingItems() const { return movingItems_; }
    // The target folders of the second section, in row order.
    const QStringList &targetFolders() const { return targets_; }

    void showNewFolder();
    void moveToNewFolder(const QString &name);
    void moveToFolder(const QString &folder);

    int numberOfSections() override;
    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    QString titleForHeader(int section) override;
    void didSelectRow(IndexPath path) override;

    void alertViewClickedButtonAtIndex(AlertView *alert, int index) override;

protected:
    void viewDidLoad() override;

private:
    // Back to the folder browser.
    void finish();

    OrganizeDelegate *delegate_;
    QStringList movingItems_;
    QString srcPath_;
    bool isRoot_ = false;
    QStringList targets_;  // the documents folder first when not at the root, then the others
};
