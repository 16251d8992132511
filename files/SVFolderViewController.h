// The folder browser: one folder's entries (folders first), a folder or a file opened by
// choosing it, the folder played with "Play", entries deleted by a swipe (the row's Delete),
// and a select mode whose buttons delete or move several entries ("Delete(3)", "Move(3)").
// Outside the documents folder the title is a button that renames the folder. Main thread.
#pragma once

#include "files/FolderModel.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TableViewController.h"

class OrganizeDelegate;
class QAbstractButton;
class QPushButton;
class QToolButton;

class SVFolderViewController : public TableViewController, public AlertViewDelegate {
    Q_OBJECT
public:
    enum Tag { DeleteTag = 1, RenameTag = 4 };

    // `delegate` (the play list, not owned) rescans after changes and plays the folder.
    SVFolderViewController(const QString &path, OrganizeDelegate *delegate,
                           QWidget *parent = nullptr);

    QString path() const { return model_->path(); }
    FolderModel *model() const { return model_; }

    // The buttons, for the screen's own tests and for screen readers.
    QToolButton *playButton() const { return btnPlay_; }
    QToolButton *selectButton() const { return btnSelect_; }
    QToolButton *moveButton() const { return btnMove_; }
    QToolButton *deleteButton() const { return btnDelete_; }
    QToolButton *quitSelectButton() const { return btnQuitSelect_; }
    QPushButton *titleButton() const { return titleButton_; }
    QAbstractButton *backButton() const { return backButton_; }

    void loadFiles();
    void updateTitle();
    void onPlay();
    void onSelect();
    void onQuitSelect();
    void onDelete();
    void onMove();
    void onRename();
    void onBack();
    void renameFolder(const QString &name);
    void deleteSelectedItems();

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;
    bool canDeleteRow(IndexPath path) override;
    void deleteRow(IndexPath path) override;

    void alertViewClickedButtonAtIndex(AlertView *alert, int index) override;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    void updateButtons(int count);

    OrganizeDelegate *delegate_;
    FolderModel *model_;
    QToolButton *btnPlay_, *btnSelect_, *btnMove_, *btnDelete_, *btnQuitSelect_;
    QPushButton *titleButton_ = nullptr;
    QAbstractButton *backButton_ = nullptr;
};
