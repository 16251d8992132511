#include "playback/PlaceholderScreens.h"

#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Localization.h"
#include "platform/ui/NavigationController.h"
#include "playback/PlayList.h"
#include "theme/ThemeChooser.h"

// The settings screen; none yet.
OrganizePlaceholder::SettingsMaker OrganizePlaceholder::settingsScreen = nullptr;

namespace {

enum Row { ThemesRow, SettingsRow, RowCount };

}  // namespace

// --- Now playing ---

NowPlayingPlaceholder::NowPlayingPlaceholder(PlayList *playList, QWidget *parent)
    : ViewController(parent), playList_(playList)
{
}

void NowPlayingPlaceholder::viewDidLoad()
{
    auto *content = new QWidget;
    content->setAutoFillBackground(true);
    QPalette p = content->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    content->setPalette(p);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(16, 16, 16, 16);
    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("nowPlayingTitle"));
    title_->setAlignment(Qt::AlignCenter);
    title_->setWordWrap(true);
    QFont big = title_->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    title_->setFont(big);
    detail_ = new QLabel;
    detail_->setObjectName(QStringLiteral("nowPlayingDetail"));
    detail_->setAlignment(Qt::AlignCenter);
    detail_->setWordWrap(true);
    layout->addStretch(1);
    layout->addWidget(title_);
    layout->addWidget(detail_);
    layout->addStretch(2);
    setContentWidget(content);
    connect(playList_, &PlayList::currentItemChanged, this, &NowPlayingPlaceholder::update);
}

void NowPlayingPlaceholder::viewWillAppear()
{
    update();
}

void NowPlayingPlaceholder::update()
{
    const PlayableItemPtr item = playList_->itemAtRow(playList_->playingRow());
    const QString title = item ? item->title() : QString();
    setTitle(title);
    title_->setText(title);
    QStringList detail;
    if (item && !item->artist().isEmpty())
        detail << item->artist();
    if (item && !item->album().isEmpty())
        detail << item->album();
    detail_->setText(detail.join(QStringLiteral(" \u2014 ")));
}

// --- Main menu ---

OrganizePlaceholder::OrganizePlaceholder(QWidget *parent)
    : TableViewController(TableView::Style::Grouped, parent)
{
}

void OrganizePlaceholder::viewDidLoad()
{
    setTitle(SVLocalized("Main"));
    setPreferredContentSize(QSize(360, 640));
    QToolButton *back = makeBarButton(QStringLiteral("\u2039 ") + SVLocalized("Back"));
    back->setObjectName(QStringLiteral("backButton"));
    back->setAccessibleName(SVLocalized("Back"));
    connect(back, &QToolButton::clicked, this, [this] { dismiss(); });
    setLeftBarButton(back);
}

void OrganizePlaceholder::viewWillAppear()
{
    tableView()->reloadData();
}

int OrganizePlaceholder::numberOfRows(int)
{
    return RowCount;
}

TableCell OrganizePlaceholder::cellForRow(IndexPath path)
{
    TableCell cell;
    cell.accessory = TableCell::Accessory::DisclosureIndicator;
    if (path.row == ThemesRow) {
        cell.text = SVLocalized("Themes");
    } else {
        cell.text = SVLocalized("Settings");
        cell.enabled = settingsScreen != nullptr;
    }
    return cell;
}

void OrganizePlaceholder::didSelectRow(IndexPath path)
{
    if (!navigationController())
        return;
    if (path.row == ThemesRow)
        navigationController()->pushViewController(new ThemeChooser);
    else if (path.row == SettingsRow && settingsScreen)
        navigationController()->pushViewController(settingsScreen());
}
