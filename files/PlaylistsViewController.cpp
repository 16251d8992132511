#include "files/PlaylistsViewController.h"

#include <QToolButton>

#include "files/AlertPrompt.h"
#include "files/LiveRegion.h"
#include "files/OrganizeDelegate.h"
#include "platform/Localization.h"
#include "platform/ui/Device.h"

const int kToolbarButtonWidth = 80;

PlaylistsViewController::PlaylistsViewController(OrganizeDelegate *delegate, TableView::Style style,
                                                 QWidget *parent)
    : TableViewController(style, parent),
      delegate_(delegate),
      model_(new PlaylistsModel(delegate, this)),
      btnAdd_(makeToolbarButton(SV_TEXT("Add"), kToolbarButtonWidth)),
      btnEdit_(makeToolbarButton(SV_TEXT("Edit"), kToolbarButtonWidth)),
      btnRename_(makeToolbarButton(SV_TEXT("Rename"), kToolbarButtonWidth)),
      btnCancel_(makeToolbarButton(SV_TEXT("Cancel"), kToolbarButtonWidth)),
      hint_(new LiveRegion(this))
{
    setPreferredContentSize(QSize(360, 640));
    hint_->setFixedSize(240, 32);
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setStyleSheet("QLabel { background: transparent; color: rgb(204, 204, 204); }");
    hint_->setText(SVLocalized("Tap on a playlist to rename"));
    hint_->setAccessibleName(hint_->text());
    for (QWidget *w : {static_cast<QWidget *>(btnCancel_), static_cast<QWidget *>(hint_)}) {
        w->setParent(this);
        w->hide();
    }
    connect(btnAdd_, &QAbstractButton::clicked, this, &PlaylistsViewController::addPlaylist);
    connect(btnEdit_, &QAbstractButton::clicked, this, [this] { setMode(PlaylistsModel::Editing); });
    connect(btnRename_, &QAbstractButton::clicked, this,
            [this] { setMode(PlaylistsModel::ChooseRename); });
    connect(btnCancel_, &QAbstractButton::clicked, this, [this] {
        // Leaving edit mode or rename mode alike.
        tableView()->setEditing(false);
        setMode(PlaylistsModel::Normal);
    });
    connect(model_, &PlaylistsModel::modeChanged, this, &PlaylistsViewController::showToolbar);
}

void PlaylistsViewController::viewDidLoad()
{
    setTitle(SVLocalized("Playlists"));
    model_->updateList();
    setMode(PlaylistsModel::Normal);
}

void PlaylistsViewController::setMode(PlaylistsModel::Mode mode)
{
    model_->setMode(mode);
}

void PlaylistsViewController::showToolbar(PlaylistsModel::Mode mode)
{
    switch (mode) {
    case PlaylistsModel::Normal:
        tableView()->setEditing(false);
        btnAdd_->setEnabled(true);
        btnEdit_->setEnabled(model_->hasPlaylists());
        btnRename_->setEnabled(model_->hasPlaylists());
        setToolbarItems({nullptr, btnAdd_, nullptr, btnEdit_, nullptr, btnRename_, nullptr});
        break;
    case PlaylistsModel::ChooseRename:
        setToolbarItems({nullptr, hint_, nullptr, btnCancel_, nullptr});
        hint_->announce(SVLocalized("Tap on a playlist to rename"));
        break;
    case PlaylistsModel::Editing:
        tableView()->setEditing(true);
        btnAdd_->setEnabled(false);
        btnRename_->setEnabled(false);
        setToolbarItems({nullptr, btnAdd_, nullptr, btnCancel_, nullptr, btnRename_, nullptr});
        break;
    }
}

void PlaylistsViewController::refresh()
{
    model_->refresh();
    tableView()->reloadData();
}

int PlaylistsViewController::numberOfRows(int) { return model_->count(); }

TableCell PlaylistsViewController::cellForRow(IndexPath path)
{
    TableCell cell;
    cell.text = model_->displayName(path.row);
    cell.highlightsWhenSelected = false;
    if (model_->isChosen(path.row))
        cell.accessory = TableCell::Accessory::Checkmark;
    return cell;
}

void PlaylistsViewController::didSelectRow(IndexPath path)
{
    selectedIndex_ = path.row;
    switch (model_->mode()) {
    case PlaylistsModel::Normal:
        model_->choose(path.row);
        tableView()->reloadData();
        onBack();
        break;
    case PlaylistsModel::ChooseRename: {
        auto *prompt = new AlertPrompt(SVLocalized("Rename"), "\n\n", this, SV_TEXT("Cancel"),
                                       SV_TEXT("OK"), this);
        prompt->setEnteredText(selectedPlaylistName());
        prompt->setTag(RenameTag);
        prompt->show();
        break;
    }
    case PlaylistsModel::Editing:
        break;
    }
}

bool PlaylistsViewController::canDeleteRow(IndexPath) { return true; }

void PlaylistsViewController::deleteRow(IndexPath path)
{
    model_->removePlaylist(path.row);
    tableView()->deleteRows({path});
    if (model_->mode() == PlaylistsModel::Normal)
        showToolbar(PlaylistsModel::Normal);  // "Edit" and "Rename" go with the last playlist
}

void PlaylistsViewController::addPlaylist()
{
    auto *prompt = new AlertPrompt(SVLocalized("Add"), "\n\n", this, SV_TEXT("Cancel"), SV_TEXT("OK"), this);
    prompt->setEnteredText(SVLocalized("My Playlist"));
    prompt->setTag(AddTag);
    prompt->show();
}

void PlaylistsViewController::alertViewClickedButtonAtIndex(AlertView *alert, int index)
{
    auto *prompt = qobject_cast<AlertPrompt *>(alert);
    if (index != 1 || !prompt)
        return;
    FileOutcome outcome = alert->tag() == AddTag
                              ? model_->addPlaylist(prompt->enteredText())
                              : model_->renamePlaylist(selectedIndex_, prompt->enteredText());
    showRefusal(outcome);
    if (outcome.kind == FileOutcome::Done)
        tableView()->reloadData();
}

void PlaylistsViewController::onBack()
{
    if (!Device::isTablet())
        dismiss();
}
