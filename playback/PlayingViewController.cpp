#include "playback/PlayingViewController.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>
#include <QStyleOptionFocusRect>
#include <QToolButton>

#include "platform/Localization.h"
#include "platform/Preferences.h"
#include "platform/ui/Device.h"
#include "platform/ui/Images.h"
#include "platform/ui/NavigationController.h"
#include "playback/LRCView.h"
#include "playback/PlayList.h"
#include "playback/UniPlayer.h"
#include "playback/VolumeView.h"
#include "theme/ImageTint.h"
#include "theme/SVSlider.h"
#include "theme/Theme.h"

namespace {

const int kSeekbarHeight = 50;
const int kTabletSeekbarOffset = 74;
const int kControlPanelHeight = 96;
const int kLyricsHeight = 60;
const int kButtonSize = 44;
const int kButtonGroupWidth = 230;
const int kButtonsTop = 30;
const int kSeekbarFadeMs = 300;
// What shows behind the screen without a theme: the platform's dark textured background.
const QColor kNoThemeBackground(0x30, 0x30, 0x34);

// Paints nothing but the focus: the cover shows through it.
class CoverButton : public QAbstractButton {
public:
    explicit CoverButton(QWidget *parent) : QAbstractButton(parent) { setFocusPolicy(Qt::StrongFocus); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!hasFocus())
            return;
        QPainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
};

QToolButton *transportButton(QWidget *parent, const QString &name, const char *image)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAccessibleName(name);
    button->setIconSize(QSize(kButtonSize, kButtonSize));
    if (image)
        button->setIcon(iconNamed(QString::fromLatin1(image)));
    button->resize(kButtonSize, kButtonSize);
    return button;
}

}  // namespace

// An image drawn over a colour: aspect-fit (the cover) or aspect-fill (the background). The
// scaled picture is kept until the image or the size changes.
class PlayingViewController::ImageView : public QWidget {
public:
    ImageView(bool fill, QWidget *parent) : QWidget(parent), fill_(fill) {}

    const QImage &image() const { return image_; }
    void setImage(const QImage &image)
    {
        image_ = image;
        scaled_ = QPixmap();
        update();
    }
    void setColor(const QColor &color)
    {
        color_ = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (color_.isValid() && color_.alpha() > 0)
            painter.fillRect(rect(), color_);
        if (image_.isNull())
            return;
        if (scaled_.isNull() || scaledFor_ != size()) {
            scaledFor_ = size();
            scaled_ = QPixmap::fromImage(image_.scaled(size(), fill_ ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio,
                                                       Qt::SmoothTransformation));
        }
        painter.drawPixmap((width() - scaled_.width()) / 2, (height() - scaled_.height()) / 2, scaled_);
    }

private:
    bool fill_;
    QImage image_;
    QColor color_;
    QPixmap scaled_;
    QSize scaledFor_;
};

PlayingViewController::PlayingViewController(PlayingSource *source, std::unique_ptr<Theme> theme, UniPlayer *player,
                                             QWidget *parent)
    : ViewController(parent), nowPlaying_(source, player), currentTheme_(std::move(theme))
{
    if (!currentTheme_)
        currentTheme_ = Theme::create(Preferences::stringForKey(QStringLiteral("CurrentTheme")));
}

PlayingViewController::~PlayingViewController()
{
    if (UniPlayer *player = nowPlaying_.player())
        player->removeEventHandler(this);
    RemoteControlCenter::endReceiving(this);
}

// --- Views ---

void PlayingViewController::viewDidLoad()
{
    const bool tablet = Device::isTablet();
    root_ = new ImageView(true, this);
    root_->resize(320, 480);
    root_->installEventFilter(this);
    setContentWidget(root_);

    container_ = new QWidget(root_);
    imageView_ = new ImageView(false, container_);
    coverButton_ = new CoverButton(root_);
    coverButton_->setAccessibleName(SVLocalized("Cover Art"));
    coverButton_->setAccessibleDescription(SVLocalized("Shows or hides the seek bar"));
    connect(coverButton_, &QAbstractButton::clicked, this, &PlayingViewController::touchOnCover);

    seekbar_ = new QWidget(root_);
    seekbar_->setAccessibleName(SVLocalized("Seek panel"));
    seekbar_->setAutoFillBackground(true);
    QPalette seekPalette = seekbar_->palette();
    seekPalette.setColor(QPalette::Window, QColor(0, 0, 0, 128));
    seekbar_->setPalette(seekPalette);
    btnStep_ = new QToolButton(seekbar_);
    btnStep_->setFocusPolicy(Qt::StrongFocus);
    btnStep_->setAccessibleName(SVLocalized("Backward Step"));
    QString amber = imagePathNamed(QStringLiteral("amberbtn.png"));
    btnStep_->setStyleSheet(QStringLiteral("QToolButton { border-image: url(%1); color: rgb(204, 204, 204); "
                                           "font-weight: bold; }")
                                .arg(amber));
    connect(btnStep_, &QAbstractButton::clicked, this, &PlayingViewController::playBack);
    progressView_ = new SVSlider(seekbar_);
    progressView_->addListener([this] { endSeeking(); });
    seekbar_->hide();  // shown by a tap on the cover

    controlPanel_ = new ImageView(true, root_);
    auto *panel = static_cast<ImageView *>(controlPanel_);
    panel->setImage(imageNamed(QStringLiteral("volpanel.png")));
    panel->setColor(tablet ? QColor(Qt::transparent) : QColor(Qt::black));
    volview_ = new VolumeView(nullptr, controlPanel_);

    setLeftBarButton(makeBarButton(SVLocalized("Back"), imageNamed(QStringLiteral("backbutton.png"))));
    connect(leftBarButton(), &QAbstractButton::clicked, this, &PlayingViewController::back);

    layoutViews();
    updateProgress();
    updateBarButtons();
}

void PlayingViewController::layoutViews()
{
    if (!root_)
        return;
    const int w = root_->width(), h = root_->height();
    const int panelTop = h - kControlPanelHeight;
    container_->setGeometry(0, 0, w, std::max(0, panelTop));
    imageView_->setGeometry(container_->rect());
    coverButton_->setGeometry(container_->geometry());
    seekbar_->setGeometry(0, Device::isTablet() ? kTabletSeekbarOffset : 0, w, kSeekbarHeight);
    btnStep_->setGeometry(8, 10, 56, 30);
    progressView_->setGeometry(72, 5, std::max(0, w - 80), 40);
    controlPanel_->setGeometry(0, panelTop, w, kControlPanelHeight);
    volview_->setGeometry(20, 4, std::max(0, w - 40), 22);
    const int left = (w - kButtonGroupWidth) / 2;
    if (btnBackward_) {
        btnBackward_->move(left, kButtonsTop);
        btnPlay_->move((w - kButtonSize) / 2, kButtonsTop);
        btnForward_->move(w - left - kButtonSize, kButtonsTop);
    }
    if (lrcView_)
        lrcView_->setGeometry(0, panelTop - kLyricsHeight, w, kLyricsHeight);
    seekbar_->raise();
}

bool PlayingViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == root_ && event->type() == QEvent::Resize)
        layoutViews();
    return ViewController::eventFilter(watched, event);
}

QImage PlayingViewController::coverImage() const { return imageView_ ? imageView_->image() : QImage(); }

// --- Lifecycle ---

void PlayingViewController::viewWillAppear()
{
    updateUI();
    onItemChange();
    if (UniPlayer *player = nowPlaying_.player()) {
        using Self = PlayingViewController;
        player->addEventHandler(this, UniPlayer::action<&Self::updateProgress>(), UniPlayer::EventPosition);
        player->addEventHandler(this, UniPlayer::action<&Self::onPlayPause>(), UniPlayer::EventPaused);
        player->addEventHandler(this, UniPlayer::action<&Self::onPlayPause>(), UniPlayer::EventPlaying);
        player->addEventHandler(this, UniPlayer::action<&Self::onItemChange>(), UniPlayer::EventFileChanged);
    }
}

void PlayingViewController::viewDidAppear()
{
    RemoteControlCenter::beginReceiving(this);
}

void PlayingViewController::viewWillDisappear()
{
    RemoteControlCenter::endReceiving(this);
    if (UniPlayer *player = nowPlaying_.player())
        player->removeEventHandler(this);
}

void PlayingViewController::orientationDidChange(Device::Orientation)
{
    updateUI();
    layoutViews();
}

// --- Updates ---

void PlayingViewController::updateUI()
{
    if (!root_)
        return;
    QImage background = currentTheme_ ? currentTheme_->backgroundImage(Device::orientation()) : QImage();
    root_->setImage(background);
    if (background.isNull())
        root_->setColor(currentTheme_ ? currentTheme_->listBackgroundColor() : kNoThemeBackground);
    else
        root_->setColor(QColor());
}

void PlayingViewController::updateProgress()
{
    PlayableItemPtr item = nowPlaying_.currentItem();
    if (!item)
        return;
    setPrompt(nowPlaying_.prompt());
    if (std::optional<float> value = nowPlaying_.sliderValue(); value && progressView_)
        progressView_->setValue(*value);
    if (lrcView_)
        lrcView_->setCurrentTime(nowPlaying_.elapsed());
}

void PlayingViewController::onItemChange()
{
    PlayableItemPtr item = nowPlaying_.currentItem();
    if (!item)
        return;
    setTitle(item->title());
    if (imageView_) {
        QImage cover = item->coverImage();
        if (!cover.isNull()) {
            imageView_->setImage(cover);
        } else if (currentTheme_ && !currentTheme_->backgroundImage(Device::orientation()).isNull()) {
            // The theme's picture shows instead; never the cover of the item before.
            imageView_->setImage(QImage());
        } else {
            QColor tint = currentTheme_ ? currentTheme_->subtitleColor() : QColor(Qt::gray);
            imageView_->setImage(imageNamedWithColor(QStringLiteral("unknown.png"), tint));
        }
    }
    updateProgress();
    showLRCForItem(item);
}

void PlayingViewController::showLRCForItem(const PlayableItemPtr &item)
{
    delete lrcView_;
    if (!item || !root_)
        return;
    QString file = NowPlaying::lyricFileForItem(*item);
    if (file.isEmpty())
        return;
    lrcView_ = new LRCView(file, root_);
    QFont font = lrcView_->font();
    font.setPixelSize(16);
    lrcView_->setFont(font);
    if (currentTheme_) {
        lrcView_->setTextColor(currentTheme_->titleColor());
        lrcView_->setThemeBackgroundColor(currentTheme_->listBackgroundColor());
    }
    layoutViews();
    lrcView_->setCurrentTime(nowPlaying_.elapsed());
    lrcView_->show();
}

void PlayingViewController::updateBarButtons()
{
    if (!controlPanel_)
        return;
    if (!btnBackward_) {
        btnBackward_ = transportButton(controlPanel_, SVLocalized("Previous"), "backward.png");
        btnPlay_ = transportButton(controlPanel_, QString(), nullptr);
        btnForward_ = transportButton(controlPanel_, SVLocalized("Next"), "forward.png");
        connect(btnBackward_, &QAbstractButton::clicked, this, &PlayingViewController::prev);
        connect(btnPlay_, &QAbstractButton::clicked, this, &PlayingViewController::togglePlay);
        connect(btnForward_, &QAbstractButton::clicked, this, &PlayingViewController::next);
        for (QToolButton *b : {btnBackward_, btnPlay_, btnForward_})
            b->show();
        layoutViews();
    }
    UniPlayer *player = nowPlaying_.player();
    const bool playing = player && player->playing();
    btnPlay_->setIcon(iconNamed(playing ? QStringLiteral("pause.png") : QStringLiteral("play.png")));
    btnPlay_->setAccessibleName(playing ? SVLocalized("Pause") : SVLocalized("Play"));
    // The step may have been changed in the settings meanwhile.
    btnStep_->setText(QString::number(NowPlaying::backstep()));
    btnStep_->setAccessibleDescription(
        SVLocalized("%d sec").replace(QStringLiteral("%d"), QString::number(NowPlaying::backstep())));
}

// --- Actions ---

void PlayingViewController::togglePlay()
{
    nowPlaying_.togglePlay();
    updateBarButtons();
}

void PlayingViewController::prev() { nowPlaying_.prev(); }

void PlayingViewController::next() { nowPlaying_.next(); }

void PlayingViewController::playBack() { nowPlaying_.playBack(); }

void PlayingViewController::endSeeking()
{
    nowPlaying_.endSeeking(progressView_->value());
    updateBarButtons();
}

void PlayingViewController::touchOnCover()
{
    seekbarShown_ = !seekbarShown_;
    const bool shown = seekbarShown_;
    if (shown)
        seekbar_->show();
    if (!Device::animationsEnabled()) {
        seekbar_->setVisible(shown);
        return;
    }
    // The fade costs an offscreen rendering of the panel: only while it runs.
    auto *effect = new QGraphicsOpacityEffect(seekbar_);
    effect->setOpacity(shown ? 0.0 : 1.0);
    seekbar_->setGraphicsEffect(effect);
    auto *fade = new QPropertyAnimation(effect, "opacity", seekbar_);
    fade->setDuration(kSeekbarFadeMs);
    fade->setStartValue(shown ? 0.0 : 1.0);
    fade->setEndValue(shown ? 1.0 : 0.0);
    connect(fade, &QAbstractAnimation::finished, this, [this, shown] {
        if (seekbarShown_ != shown)
            return;  // tapped again meanwhile: that fade decides
        seekbar_->setGraphicsEffect(nullptr);
        seekbar_->setVisible(shown);
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void PlayingViewController::back()
{
    if (NavigationController *nav = navigationController())
        nav->popViewController();
}

void PlayingViewController::remoteControlReceived(RemoteCommand command)
{
    UniPlayer *player = nowPlaying_.player();
    const bool playing = player && player->playing();
    switch (command) {
    case RemoteCommand::TogglePlayPause:
        togglePlay();
        break;
    case RemoteCommand::Play:
        if (!playing)
            togglePlay();
        break;
    case RemoteCommand::Pause:
        if (playing)
            togglePlay();
        break;
    case RemoteCommand::NextTrack:
        next();
        break;
    case RemoteCommand::PreviousTrack:
        prev();
        break;
    }
}
