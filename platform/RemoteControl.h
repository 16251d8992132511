// Remote control over MPRIS2 on the session bus (org.mpris.MediaPlayer2.sonavel): media keys,
// desktop panels, lock screens and playerctl reach the player through it.
//
// Commands arrive as the three remote-control events the screens handle; Play, Pause and Stop
// become a toggle when they would change the published status, and are ignored otherwise. The
// application publishes what plays through the setters; every change of a published property is
// announced with PropertiesChanged. Position is read from the provider when a client asks.
// Everything here, the signals included, runs on the main thread.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QImage;
class MprisPlayerAdaptor;

class RemoteControl : public QObject {
    Q_OBJECT

public:
    enum class Event { TogglePlayPause, NextTrack, PreviousTrack };
    Q_ENUM(Event)
    enum class Status { Stopped, Playing, Paused };

    struct Track {
        QString key;        // same key, same track (e.g. path and start time); empty: no track
        QString title;
        QString artist;
        QString album;
        double length = 0;  // seconds; 0 when unknown
        QString coverPath;  // a local image file, e.g. from writeCoverArt(); may be empty
    };

    // Registers the service. Without a session bus it stays unavailable and says so once per
    // process on standard error; the setters then only keep the values.
    explicit RemoteControl(QObject *parent = nullptr);
    ~RemoteControl() override;

    bool isAvailable() const;
    // The bus name owned: org.mpris.MediaPlayer2.sonavel, or a per-process name beside it when
    // that one is taken. Empty when unavailable.
    QString busName() const;

    void setPlaybackStatus(Status status);
    void setTrack(const Track &track);
    // The capabilities clients see; commands they rule out are ignored. All start true.
    void setCanGoNext(bool can);
    void setCanGoPrevious(bool can);
    void setCanPlay(bool can);
    void setCanPause(bool can);
    void setCanSeek(bool can);
    // The volume shown to clients, 0..1 (the system volume, when the program has one).
    void setVolume(double volume);
    // Answers the playing position in seconds when a client reads Position.
    void setPositionProvider(std::function<double()> seconds);
    // Tells clients that the position jumped (a seek made in the program itself); seeks asked
    // for over the bus are announced after seekRequested returns.
    void notifySeeked();

    // Writes `image` as a PNG into $XDG_CACHE_HOME/sonavel/ and returns its path, to be given as
    // Track::coverPath; earlier covers written there are removed. Empty for a null image or
    // when the folder cannot be written.
    static QString writeCoverArt(const QImage &image);

signals:
    // A remote-control event for the screen that currently receives them.
    void remoteControlEvent(RemoteControl::Event event);
    // Seek to `seconds` into the current track (Seek and SetPosition, already bounded by the
    // track's length).
    void seekRequested(double seconds);
    // A client set the volume, 0..1. The published value changes when setVolume is called.
    void volumeRequested(double volume);
    void raiseRequested();
    void quitRequested();

private:
    friend class MprisRootAdaptor;
    friend class MprisPlayerAdaptor;

    void event(Event event);
    void seekTo(double seconds);
    void setPlayerFlag(bool *flag, const char *name, bool value);
    void publish(const QString &name, const QVariant &value);
    QVariantMap metadata() const;
    QString trackPath() const;
    double position() const;

    MprisPlayerAdaptor *player_ = nullptr;
    QString busName_;
    Status status_ = Status::Stopped;
    Track track_;
    bool canGoNext_ = true;
    bool canGoPrevious_ = true;
    bool canPlay_ = true;
    bool canPause_ = true;
    bool canSeek_ = true;
    double volume_ = 1.0;
    std::function<double()> position_;
};
