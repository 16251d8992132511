#include "files/OrganizeViewController.h"

#include <QDesktopServices>
#include <QToolButton>
#include <QUrl>

#include "files/FileSystemObject.h"
#include "files/NameChooser.h"
#include "files/PlaylistsViewController.h"
#include "files/SVFolderViewController.h"
#include "platform/Localization.h"
#include "platform/ui/Device.h"
#include "platform/ui/Images.h"
#include "platform/ui/NavigationController.h"
#include "theme/ImageTint.h"

namespace {

std::function<ViewController *()> &settingsFactory()
{
    static std::function<ViewController *()> factory;
    return factory;
}

}  // namespace

QAbstractButton *makeBackToPlayingListButton()
{
    QToolButton *button = makeBarButton(SVLocalized("Back to playing list"),
                                        imageNamedWithColor("playlist.png", Qt::white));
    button->setAccessibleName(SVLocalized("Back to playing list"));
    return button;
}

void OrganizeViewController::setSettingsFactory(std::function<ViewController *()> factory)
{
    settingsFactory() = std::move(factory);
}

OrganizeViewController::OrganizeViewController(OrganizeDelegate *delegate, QWidget *parent)
    : TableViewController(TableView::Style::Plain, parent),
      delegate_(delegate),
      makeSettings_(settingsFactory()),
      model_(new OrganizeModel(bool(makeSettings_), this))
{
    setTitle(SVLocalized("Main"));
    setPreferredContentSize(QSize(360, 640));
}

void OrganizeViewController::viewDidLoad()
{
    if (!Device::isTablet()) {
        backButton_ = makeBackToPlayingListButton();
        connect(backButton_, &QAbstractButton::clicked, this, [this] { dismiss(); });
        setRightBarButton(backButton_);
    }
}

void OrganizeViewController::viewWillAppear()
{
    model_->reload();
    tableView()->reloadData();
}

int OrganizeViewController::numberOfRows(int) { return OrganizeModel::RowCount; }

TableCell OrganizeViewController::cellForRow(IndexPath path)
{
    TableCell cell;
    cell.style = TableCell::Style::Value1;
    cell.text = model_->text(path.row);
    cell.detailText = model_->detail(path.row);
    cell.image = imageNamed(model_->imageName(path.row));
    cell.accessory = model_->hasDisclosure(path.row) ? TableCell::Accessory::DisclosureIndicator
                                                     : TableCell::Accessory::None;
    cell.enabled = model_->isEnabled(path.row);
    return cell;
}

void OrganizeViewController::didSelectRow(IndexPath path)
{
    ViewController *next = nullptr;
    switch (path.row) {
    case OrganizeModel::Files:
        next = new SVFolderViewController(FileSystemObject::sharedObject()->documentsDirectory(),
                                          delegate_);
        break;
    case OrganizeModel::Artists:
        next = new ArtistChooser(delegate_);
        break;
    case OrganizeModel::Albums:
        next = new AlbumChooser(delegate_);
        break;
    case OrganizeModel::Playlists:
        next = new PlaylistsViewController(delegate_);
        break;
    case OrganizeModel::Settings:
        if (makeSettings_)
            next = makeSettings_();
        break;
    case OrganizeModel::HelpCenter:
        QDesktopServices::openUrl(QUrl(helpPageAddress()));
        break;
    }
    if (next && navigationController())
        navigationController()->pushViewController(next);
    else
        delete next;
}
