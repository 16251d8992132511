// Picking audio files for the current playlist, folder by folder: folders first (opened by
// choosing them), files that may not be added in grey, "Select All" in the toolbar and
// "Add(3)" on the right, which hands the chosen files to the delegate. The root chooser has a
// "Cancel" button that closes it. Main thread.
#pragma once

#include "files/FolderModel.h"
#include "platform/ui/TableViewController.h"

class LiveRegion;
class QToolButton;
class SVFileChooserDelegate;

class SVFileChooser : public TableViewController {
    Q_OBJECT
public:
    // `delegate` (the play list, not owned) may be none: then nothing can be added.
    SVFileChooser(const QString &path, SVFileChooserDelegate *delegate, QWidget *parent = nullptr);

    QString path() const { return model_->path(); }
    FolderModel *model() const { return model_; }
    QToolButton *addButton() const { return btnAdd_; }
    QToolButton *selectAllButton() const { return btnSelectAll_; }
    QToolButton *cancelButton() const { return btnCancel_; }
    // Where the announcements ("3 to add", "Added 3") are spoken.
    LiveRegion *announcer() const { return announcer_; }

    void loadFiles();
    void onAdd();
    void onSelectAll();

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;

protected:
    void viewDidLoad() override;

private:
    void updateAddButton(int count);

    SVFileChooserDelegate *delegate_;
    FolderModel *model_;
    QToolButton *btnAdd_, *btnSelectAll_, *btnCancel_ = nullptr;
    LiveRegion *announcer_;
};
