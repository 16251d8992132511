// The playlists: choose one to play it; "Add" asks for a new one's name, "Edit" shows the
// rows' delete controls, "Rename" asks which one to rename and then its new name. Main thread.
#pragma once

#include "files/PlaylistsModel.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TableViewController.h"

class LiveRegion;
class OrganizeDelegate;
class QToolButton;

class PlaylistsViewController : public TableViewController, public AlertViewDelegate {
    Q_OBJECT
public:
    enum Tag { AddTag = 1, RenameTag = 2 };

    explicit PlaylistsViewController(OrganizeDelegate *delegate,
                                     TableView::Style style = TableView::Style::Plain,
                                     QWidget *parent = nullptr);

    PlaylistsModel *model() const { return model_; }
    QToolButton *addButton() const { return btnAdd_; }
    QToolButton *editButton() const { return btnEdit_; }
    QToolButton *renameButton() const { return btnRename_; }
    QToolButton *cancelButton() const { return btnCancel_; }
    // The mode-1 line, "Tap on a playlist to rename".
    LiveRegion *hintLabel() const { return hint_; }

    void setMode(PlaylistsModel::Mode mode);
    void addPlaylist();
    void refresh();
    QString selectedPlaylistName() const { return model_->displayName(selectedIndex_); }
    void onBack();

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;
    bool canDeleteRow(IndexPath path) override;
    void deleteRow(IndexPath path) override;

    void alertViewClickedButtonAtIndex(AlertView *alert, int index) override;

protected:
    void viewDidLoad() override;

private:
    void showToolbar(PlaylistsModel::Mode mode);

    OrganizeDelegate *delegate_;
    PlaylistsModel *model_;
    int selectedIndex_ = -1;
    QToolButton *btnAdd_, *btnEdit_, *btnRename_, *btnCancel_;
    LiveRegion *hint_;
};
