// Tells remote-control clients (MPRIS2: media keys, desktop panels, playerctl) what plays: it
// follows the play list's reports of the player's events and feeds the RemoteControl service
// with the playback status, the track with its cover, the position and what the commands can
// do, and turns the clients' seeks into seeks of the current item. The commands themselves go
// to the screen that receives remote-control events, not through here. Main thread only.
#pragma once

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

private:
    void publishStatus();
    void publishTrack();
    void publishCapabilities();

    RemoteControl *remote_;
    PlayList *playList_;
    NowPlaying nowPlaying_;
    QString coverKey_;   // the file whose cover was written last
    QString coverPath_;
    QPointer<SystemVolume> volume_;
};
