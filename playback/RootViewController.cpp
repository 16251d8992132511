#include "playback/RootViewController.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Localization.h"
#include "platform/Preferences.h"
#include "platform/ui/Images.h"
#include "platform/ui/NavigationController.h"
#include "playback/PlaceholderScreens.h"
#include "playback/PlayList.h"
#include "theme/ImageTint.h"

// --- The screens this one leads to ---

namespace RootScreens {

// The main menu; until it exists, a stand-in titled "Main" that leads to the theme chooser.
Maker organizeScreen = [](RootViewController *) -> ViewController * { return new OrganizePlaceholder; };

// The now-playing screen, with the play list as its play source and the theme in use.
Maker nowPlayingScreen = [](RootViewController *root) -> ViewController * {
    return new NowPlayingPlaceholder(root->playList());
};

// The file chooser for the Add button, rooted at the documents folder with the play list as
// its delegate; none yet, so the button is disabled.
Maker fileChooser = nullptr;

}  // namespace RootScreens

namespace {

const int kPanelHeight = 44;
const QSize kOrganizerSize(360, 640);
// Colours where there is no theme: the toolkit's own.
const QColor kDefaultTitle(Qt::black);
const QColor kDefaultSubtitle(0x8e, 0x8e, 0x93);

QToolButton *makePanelButton(const QString &name)
{
    QToolButton *button = makeBarButton(name);
    button->setAccessibleName(name);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(28, 28));
    button->setFixedSize(kPanelHeight, kPanelHeight);
    return button;
}

void setButtonImage(QToolButton *button, const QImage &image)
{
    button->setIcon(QIcon(QPixmap::fromImage(image)));
}

}  // namespace

// What lies behind the list: the theme's background image for the orientation, scaled to
// cover, or its background colour.
class RootViewController::Background : public QWidget {
public:
    void set(const QImage &image, const QColor &color)
    {
        image_ = image;
        color_ = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), color_.isValid() ? color_ : palette().color(QPalette::Window));
        if (image_.isNull())
            return;
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatioByExpanding);
        QRect r(QPoint(), size);
        r.moveCenter(rect().center());
        p.drawImage(r, image_);
    }

private:
    QImage image_;
    QColor color_;
};

RootViewController::RootViewController(PlayList *playList, QWidget *parent)
    : TableViewController(TableView::Style::Plain, parent), playList_(playList)
{
    // The rows follow the list: rebuilt whole, or redrawn in place (the playing marker).
    connect(playList_, &QAbstractItemModel::modelReset, this, [this] { tableView()->reloadData(); });
    connect(playList_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                QList<IndexPath> rows;
                for (int r = from.row(); r <= to.row(); r++)
                    rows << IndexPath{0, r};
                tableView()->reloadRows(rows);
            });
    connect(playList_, &PlayList::titleChanged, this, &ViewController::setTitle);
    connect(playList_, &PlayList::playModeChanged, this, &RootViewController::updatePlayModeButton);
    connect(playList_, &PlayList::nowPlayingButtonRemoved, this, &RootViewController::removeNowPlayingButton);
    connect(playList_, &PlayList::addButtonVisibleChanged, this, [this](bool visible) {
        if (add_)
            add_->setVisible(visible);
    });
}

RootViewController::~RootViewController()
{
    for (const QMetaObject::Connection &c : handlers_)
        disconnect(c);
}

// --- Lifecycle ---

void RootViewController::viewDidLoad()
{
    playList_->setTablet(Device::isTablet());

    organize_ = makeBarButton(SVLocalized("Main"), imageNamedWithColor(QStringLiteral("organize.png"), Qt::white));
    organize_->setAccessibleName(SVLocalized("Main"));
    connect(organize_, &QToolButton::clicked, this, &RootViewController::showOrganizer);
    setLeftBarButton(organize_);

    // The list over the background, reduced by the theme's insets, under the button panel.
    TableView *table = tableView();
    background_ = new Background;
    auto *layout = new QVBoxLayout(background_);
    layout->setSpacing(0);
    panel_ = new QWidget;
    panel_->setObjectName(QStringLiteral("buttonPanel"));
    panel_->setFixedHeight(kPanelHeight);
    panel_->setAutoFillBackground(true);
    auto *buttons = new QHBoxLayout(panel_);
    buttons->setContentsMargins(4, 0, 4, 0);
    buttons->setSpacing(4);

    playPause_ = makePanelButton(SVLocalized("Pause or Play"));
    playPause_->setObjectName(QStringLiteral("playPauseButton"));
    connect(playPause_, &QToolButton::clicked, this, [this] { playList_->togglePlayPause(); });
    playMode_ = makePanelButton(playList_->playModeName());
    playMode_->setObjectName(QStringLiteral("playModeButton"));
    playMode_->setAccessibleDescription(SVLocalized("Toggle play mode"));
    connect(playMode_, &QToolButton::clicked, this, [this] { playList_->togglePlayMode(); });
    edit_ = makePanelButton(SVLocalized("Edit"));
    edit_->setObjectName(QStringLiteral("editButton"));
    connect(edit_, &QToolButton::clicked, this, &RootViewController::toggleEditing);
    add_ = makePanelButton(SVLocalized("Add"));
    add_->setObjectName(QStringLiteral("addButton"));
    add_->setEnabled(RootScreens::fileChooser != nullptr);
    add_->setVisible(playList_->addButtonVisible());
    connect(add_, &QToolButton::clicked, this, &RootViewController::showFileChooser);

    buttons->addWidget(playPause_);
    buttons->addWidget(playMode_);
    buttons->addStretch(1);
    buttons->addWidget(edit_);
    buttons->addWidget(add_);
    layout->addWidget(panel_);
    layout->addWidget(table, 1);
    setContentWidget(background_);
    // A screen reader reaches the panel's buttons before the rows.
    setTabOrder(playPause_, playMode_);
    setTabOrder(playMode_, edit_);
    setTabOrder(edit_, add_);
    setTabOrder(add_, table);

    setTitle(playList_->title());
    onThemeChange();
    updatePlayModeButton();
    onPlayPause();
}

void RootViewController::viewWillAppear()
{
    onThemeChange();
    playList_->updateTitle();
    setTitle(playList_->title());
    handlers_ << connect(playList_, &PlayList::playStateChanged, this, &RootViewController::onPlayPause);
    handlers_ << connect(playList_, &PlayList::currentItemChanged, this, &RootViewController::onItemChange);
}

void RootViewController::viewDidAppear()
{
    // What the player did while another screen was on top.
    onPlayPause();
    onItemChange(playList_->playingRow());
    RemoteControlCenter::beginReceiving(this);
    tableView()->setFocus(Qt::OtherFocusReason);
}

void RootViewController::viewWillDisappear()
{
    RemoteControlCenter::endReceiving(this);
    for (const QMetaObject::Connection &c : handlers_)
        disconnect(c);
    handlers_.clear();
}

void RootViewController::orientationDidChange(Device::Orientation)
{
    // Background image and insets differ between portrait and landscape.
    if (Device::isTablet())
        applyTheme();
}

// --- Theme ---

void RootViewController::onThemeChange()
{
    const QString name = Preferences::stringForKey(QStringLiteral("CurrentTheme"));
    const bool changed = !theme_ || theme_->themeName() != name;
    if (changed)
        theme_ = Theme::create(name);
    applyTheme();
    // The rows take their colours and marker from the theme.
    if (changed)
        tableView()->reloadData();
}

QColor RootViewController::titleColor() const
{
    QColor c = theme_ ? theme_->titleColor() : QColor();
    return c.isValid() ? c : kDefaultTitle;
}

QColor RootViewController::subtitleColor() const
{
    QColor c = theme_ ? theme_->subtitleColor() : QColor();
    return c.isValid() ? c : kDefaultSubtitle;
}

void RootViewController::applyTheme()
{
    if (!background_)
        return;  // not loaded yet: viewDidLoad applies it
    const Device::Orientation o = Device::orientation();
    background_->set(theme_ ? theme_->backgroundImage(o) : QImage(),
                     theme_ ? theme_->backgroundColor() : QColor());
    const QMargins inset = theme_ ? theme_->insetForList(o).toMargins() : QMargins();
    background_->layout()->setContentsMargins(inset);

    const QColor listBackground = theme_ ? theme_->listBackgroundColor() : QColor();
    TableView *table = tableView();
    table->setBackgroundColor(listBackground);
    table->setSeparatorColor(theme_ ? theme_->separatorColor() : QColor());
    table->setShowsVerticalScrollIndicator(theme_ && theme_->visibleScrollIndicator());
    // The list's frame would cover the background where the list's own colour lets it through.
    table->setAutoFillBackground(false);

    // The panel is the list's top: same colour.
    QPalette p = panel_->palette();
    p.setColor(QPalette::Window, listBackground.isValid() ? listBackground : table->palette().color(QPalette::Base));
    panel_->setPalette(p);
    panel_->setAutoFillBackground(!listBackground.isValid() || listBackground.alpha() > 0);

    playingIcon_ = imageNamedWithColor(QStringLiteral("note.png"), titleColor());
    updatePanelImages();
}

void RootViewController::updatePanelImages()
{
    const QColor tint = subtitleColor();
    setButtonImage(playPause_, imageNamedWithColor(playList_->playPauseImageName(), tint));
    setButtonImage(playMode_, imageNamedWithColor(playList_->playModeImageName(), tint));
    setButtonImage(edit_, imageNamedWithColor(QStringLiteral("minus.png"), tint));
    setButtonImage(add_, imageNamedWithColor(QStringLiteral("add.png"), tint));
}

// --- Buttons ---

void RootViewController::updatePlayModeButton()
{
    if (!playMode_)
        return;
    const QString name = playList_->playModeName();
    playMode_->setText(name);
    playMode_->setAccessibleName(name);
    setButtonImage(playMode_, imageNamedWithColor(playList_->playModeImageName(), subtitleColor()));
}

void RootViewController::onPlayPause()
{
    if (!playPause_)
        return;
    setButtonImage(playPause_, imageNamedWithColor(playList_->playPauseImageName(), subtitleColor()));
    if (!playList_->showsNowPlayingButton()) {
        removeNowPlayingButton();
        return;
    }
    if (!nowPlaying_) {
        nowPlaying_ = makeBarButton(playList_->nowPlayingLabel());
        nowPlaying_->setObjectName(QStringLiteral("nowPlayingButton"));
        nowPlaying_->setToolButtonStyle(Qt::ToolButtonIconOnly);
        nowPlaying_->setIconSize(QSize(28, 28));
        connect(nowPlaying_, &QToolButton::clicked, this, &RootViewController::showNowPlaying);
    }
    const QString label = playList_->nowPlayingLabel();
    nowPlaying_->setText(label);
    nowPlaying_->setAccessibleName(label);
    setButtonImage(nowPlaying_, imageNamedWithColor(playList_->nowPlayingImageName(), Qt::white));
    setRightBarButton(nowPlaying_);
}

void RootViewController::removeNowPlayingButton()
{
    setRightBarButton(nullptr);
}

void RootViewController::onItemChange(int row)
{
    if (row >= 0)
        tableView()->selectRow({0, row});
}

void RootViewController::toggleEditing()
{
    setEditing(!isEditing());
}

void RootViewController::showOrganizer()
{
    if (!RootScreens::organizeScreen || presentedViewController())
        return;  // a popover already showing it keeps it
    if (!organizeNav_) {
        // Made once; parented here so it is kept between showings.
        organizeNav_ = new NavigationController(RootScreens::organizeScreen(this), this);
        organizeNav_->setPreferredContentSize(kOrganizerSize);
        organizeNav_->hide();
    }
    if (Device::isTablet())
        presentAsPopover(organizeNav_, organize_);
    else
        presentModally(organizeNav_, ModalTransition::FlipHorizontal);
}

void RootViewController::showNowPlaying()
{
    if (!RootScreens::nowPlayingScreen || !navigationController() || !playList_->showsNowPlayingButton())
        return;
    navigationController()->pushViewController(RootScreens::nowPlayingScreen(this));
}

void RootViewController::showFileChooser()
{
    if (!RootScreens::fileChooser || presentedViewController())
        return;
    ViewController *chooser = RootScreens::fileChooser(this);
    if (!chooser)
        return;
    auto *nav = new NavigationController(chooser);
    nav->setPreferredContentSize(chooser->preferredContentSize());
    if (Device::isTablet())
        presentAsFormSheet(nav);
    else
        presentModally(nav);
}

// --- Rows ---

int RootViewController::numberOfRows(int)
{
    return playList_->rowCount();
}

TableCell RootViewController::cellForRow(IndexPath path)
{
    const int row = path.row;
    TableCell cell;
    cell.style = TableCell::Style::Subtitle;
    cell.text = playList_->rowTitle(row);
    cell.detailText = playList_->rowDetail(row);
    cell.indentationLevel = playList_->rowIndentation(row);
    cell.highlightsWhenSelected = false;
    cell.textColor = titleColor();
    cell.detailTextColor = subtitleColor();
    if (playList_->isPlaceholderRow(row)) {
        // Said by a screen reader, not shown.
        cell.textColor = Qt::transparent;
    } else if (playList_->data(playList_->index(row), PlayList::PlayingRole).toBool()) {
        cell.accessoryImage = playingIcon_;
    }
    return cell;
}

int RootViewController::heightForRow(IndexPath)
{
    return playList_->rowHeight();
}

void RootViewController::didSelectRow(IndexPath path)
{
    playList_->selectRow(path.row);
}

bool RootViewController::canDeleteRow(IndexPath path)
{
    // Deleting removes a playlist entry or the file itself: only in edit mode.
    return isEditing() && playList_->canEditRow(path.row);
}

void RootViewController::deleteRow(IndexPath path)
{
    // The list rebuilds itself (a playlist entry) or after the rescan (a file).
    playList_->deleteRow(path.row);
}

bool RootViewController::canMoveRow(IndexPath path)
{
    return playList_->canMoveRow(path.row);
}

void RootViewController::moveRow(IndexPath from, IndexPath to)
{
    playList_->moveRowTo(from.row, to.row);
    // A move the file does not take (within a cue album, or a file that cannot be written)
    // leaves the list as it was: show it so.
    tableView()->reloadData();
}

// --- Remote control ---

void RootViewController::remoteControlReceived(RemoteCommand command)
{
    switch (command) {
    case RemoteCommand::TogglePlayPause:
        playList_->togglePlayPause();
        break;
    case RemoteCommand::NextTrack:
        playList_->playNext();
        break;
    case RemoteCommand::PreviousTrack:
        playList_->previous();
        break;
    default:
        break;
    }
}
