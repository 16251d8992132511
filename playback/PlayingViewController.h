// The now-playing screen: the playing item's title and cover (or a placeholder tinted in the
// theme's colour), the elapsed and total time as the bar's prompt, a seek panel hidden until
// the cover is tapped (seek slider and backward-step button), the transport buttons, the
// system volume and, when a lyric file exists, the lyrics strip. Everything shown is read
// from the player; previous and next are asked of the play source. While shown it follows
// the player's events and receives the remote-control events. Main thread.
#pragma once

#include <QPointer>

#include <memory>

#include "platform/ui/RemoteControlCenter.h"
#include "platform/ui/ViewController.h"
#include "playback/LRCView.h"
#include "playback/NowPlaying.h"
#include "theme/Theme.h"

class PlayingSource;
class QAbstractButton;
class QToolButton;
class SVSlider;
class UniPlayer;
class VolumeView;

class PlayingViewController : public ViewController, public RemoteControlReceiver {
    Q_OBJECT
public:
    // `source` (the play list) is not owned and must outlive the screen. A null theme is
    // the one "CurrentTheme" names; a null player is the shared one.
    explicit PlayingViewController(PlayingSource *source, std::unique_ptr<Theme> theme = nullptr,
                                   UniPlayer *player = nullptr, QWidget *parent = nullptr);
    ~PlayingViewController() override;

    PlayingSource *delegate() const { return nowPlaying_.source(); }
    const NowPlaying &nowPlaying() const { return nowPlaying_; }
    Theme *currentTheme() const { return currentTheme_.get(); }

    // The views, for the tests and the accessibility tree alike.
    QWidget *seekbar() const { return seekbar_; }
    bool isSeekbarShown() const { return seekbarShown_; }
    SVSlider *progressView() const { return progressView_; }
    QToolButton *btnStep() const { return btnStep_; }
    QToolButton *btnBackward() const { return btnBackward_; }
    QToolButton *btnPlay() const { return btnPlay_; }
    QToolButton *btnForward() const { return btnForward_; }
    QAbstractButton *coverButton() const { return coverButton_; }
    QWidget *controlPanel() const { return controlPanel_; }
    VolumeView *volview() const { return volview_; }
    LRCView *lrcView() const { return lrcView_; }
    // What the cover view shows: the cover, the tinted placeholder, or nothing.
    QImage coverImage() const;

    // Actions.
    void togglePlay();
    void prev();
    void next();
    void playBack();
    void endSeeking();
    void touchOnCover();
    void back();
    void remoteControlReceived(RemoteCommand command) override;

    // Updates.
    void updateProgress();
    void onItemChange();
    void onPlayPause() { updateBarButtons(); }
    void showLRCForItem(const PlayableItemPtr &item);
    void updateUI();
    void updateBarButtons();

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    void orientationDidChange(Device::Orientation orientation) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class ImageView;
    void layoutViews();

    NowPlaying nowPlaying_;
    std::unique_ptr<Theme> currentTheme_;
    ImageView *root_ = nullptr;       // the background: the theme's image or colour
    QWidget *seekbar_ = nullptr;
    SVSlider *progressView_ = nullptr;
    QToolButton *btnStep_ = nullptr;
    QToolButton *btnBackward_ = nullptr;
    QToolButton *btnPlay_ = nullptr;
    QToolButton *btnForward_ = nullptr;
    QWidget *controlPanel_ = nullptr;
    VolumeView *volview_ = nullptr;
    QWidget *container_ = nullptr;
    ImageView *imageView_ = nullptr;
    QAbstractButton *coverButton_ = nullptr;
    QPointer<LRCView> lrcView_;
    bool seekbarShown_ = false;
};
