// Tells remote-control clients (MPRIS2: media keys, desktop panels, playerctl) what plays: it
// follows the play list's reports of the player's events and feeds the RemoteControl service
// with the playback status, the track with its cover, the position and what the commands can
// do, and turns the clients' seeks into seeks of the current item. The commands themselves go
// to the screen that receives remote-control events, not through here. Main thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include "playback/NowPlaying.h"

class PlayList;
class RemoteControl;
class SystemVolume;
class UniPlayer;

class MprisPublisher : public QObject {
    Q_OBJECT
public:
    // None is owned; all outlive the publisher. A null player is the shared one. Publishes
    // what plays at once and after every change the play list reports.
    MprisPublisher(RemoteControl *remote, PlayList *playList, UniPlayer *player = nullptr,
                   QObject *parent = nullptr);
    ~MprisPublisher() override;

    // Publishes the status, the track and the capabilities again.
    void update();
    // The system volume clients see and set (not owned; null for none).
    void setSystemVolume(SystemVolume *volume);

    // Main run loop, on the player's progress reports: tells clients of a jump of the position
    // (the program's own seeks: the backward step, the slider, previous restarting a track).
    void onPositionTick();

private:
    void publishStatus();
    void followPosition(bool playing);
    void publishTrack();
    void publishCapabilities();

    RemoteControl *remote_;
    PlayList *playList_;
    NowPlaying nowPlaying_;
    QString coverKey_;   // the file whose cover was written last
    QString coverPath_;
    QPointer<SystemVolume> volume_;
    // Where the position was last seen, and when, to tell a seek from playing on.
    double lastPosition_ = 0;
    QElapsedTimer lastSeen_;
    bool lastPlaying_ = false;
};
