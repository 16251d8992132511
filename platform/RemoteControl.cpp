#include "platform/RemoteControl.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>

#include <cstdio>

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.sonavel");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

void sayOnce(const char *line)
{
    static bool said = false;
    if (!said)
        fputs(line, stderr);
    said = true;
}

}  // namespace

// org.mpris.MediaPlayer2: who we are. Raise and Quit are left to the application.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    // OpenUri is refused (files come in through the library), so no scheme or type is offered.
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

public:
    explicit MprisRootAdaptor(RemoteControl *owner) : QDBusAbstractAdaptor(owner), rc_(owner) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Sonavel"); }
    QString desktopEntry() const { return QStringLiteral("org.sonavel.Sonavel"); }
    QStringList none() const { return {}; }

public slots:
    void Raise() { emit rc_->raiseRequested(); }
    void Quit() { emit rc_->quitRequested(); }

private:
    RemoteControl *rc_;
};

// org.mpris.MediaPlayer2.Player: the commands and the published state.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE setRate)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)

public:
    explicit MprisPlayerAdaptor(RemoteControl *owner) : QDBusAbstractAdaptor(owner), rc_(owner) {}

    static QString statusText(RemoteControl::Status status)
    {
        switch (status) {
        case RemoteControl::Status::Playing: return QStringLiteral("Playing");
        case RemoteControl::Status::Paused: return QStringLiteral("Paused");
        case RemoteControl::Status::Stopped: break;
        }
        return QStringLiteral("Stopped");
    }
    QString playbackStatus() const { return statusText(rc_->status_); }
    double one() const { return 1.0; }
    void setRate(double) {}  // only normal speed exists
    QVariantMap metadata() const { return rc_->metadata(); }
    double volume() const { return rc_->volume_; }
    void setVolume(double volume) { emit rc_->volumeRequested(qBound(0.0, volume, 1.0)); }
    qlonglong position() const { return qlonglong(rc_->position() * 1e6); }
    bool canGoNext() const { return rc_->canGoNext_; }
    bool canGoPrevious() const { return rc_->canGoPrevious_; }
    bool canPlay() const { return rc_->canPlay_; }
    bool canPause() const { return rc_->canPause_; }
    bool canSeek() const { return rc_->canSeek_; }
    bool yes() const { return true; }

public slots:
    void PlayPause()
    {
        if (playing() ? rc_->canPause_ : rc_->canPlay_)
            rc_->event(RemoteControl::Event::TogglePlayPause);
    }
    void Play()
    {
        if (!playing() && rc_->canPlay_)
            rc_->event(RemoteControl::Event::TogglePlayPause);
    }
    void Pause()
    {
        if (playing() && rc_->canPause_)
            rc_->event(RemoteControl::Event::TogglePlayPause);
    }
    // The screens know no stopped state; pausing is the nearest they have.
    void Stop() { Pause(); }
    void Next()
    {
        if (rc_->canGoNext_)
            rc_->event(RemoteControl::Event::NextTrack);
    }
    void Previous()
    {
        if (rc_->canGoPrevious_)
            rc_->event(RemoteControl::Event::PreviousTrack);
    }
    void Seek(qlonglong offset)
    {
        if (!rc_->canSeek_ || rc_->track_.key.isEmpty())
            return;
        double target = qMax(0.0, rc_->position() + double(offset) / 1e6);
        double length = rc_->track_.length;
        if (length > 0 && target > length)
            Next();  // what MPRIS asks for a seek past the end
        else
            rc_->seekTo(target);
    }
    void SetPosition(const QDBusObjectPath &track, qlonglong position)
    {
        double seconds = double(position) / 1e6;
        double length = rc_->track_.length;
        // A request for a track that has since changed is stale: ignore it, as MPRIS says.
        if (!rc_->canSeek_ || rc_->track_.key.isEmpty() || track.path() != rc_->trackPath() ||
            position < 0 || (length > 0 && seconds > length))
            return;
        rc_->seekTo(seconds);
    }
    void OpenUri(const QString &, const QDBusMessage &message)
    {
        message.setDelayedReply(true);
        QDBusConnection::sessionBus().send(message.createErrorReply(
            QDBusError::NotSupported, QStringLiteral("Sonavel opens files from its library only")));
    }

signals:
    void Seeked(qlonglong Position);

private:
    bool playing() const { return rc_->status_ == RemoteControl::Status::Playing; }

    RemoteControl *rc_;
};

RemoteControl::RemoteControl(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        sayOnce("Remote control: no session bus; media keys and desktop controls are off\n");
        return;
    }
    new MprisRootAdaptor(this);
    player_ = new MprisPlayerAdaptor(this);
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) {
        sayOnce("Remote control: cannot publish the player on the session bus\n");
        return;
    }
    // MPRIS lets a second player of the same kind take a name with an instance suffix.
    for (const QString &name : {kServiceName, kServiceName + QStringLiteral(".instance%1").arg(getpid())}) {
        if (bus.registerService(name)) {
            busName_ = name;
            return;
        }
    }
    bus.unregisterObject(kObjectPath);
    sayOnce("Remote control: cannot own a bus name; media keys and desktop controls are off\n");
}

RemoteControl::~RemoteControl()
{
    if (busName_.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(busName_);
    bus.unregisterObject(kObjectPath);
}

bool RemoteControl::isAvailable() const
{
    return !busName_.isEmpty();
}

QString RemoteControl::busName() const
{
    return busName_;
}

void RemoteControl::setPlaybackStatus(Status status)
{
    if (status == status_)
        return;
    status_ = status;
    publish(QStringLiteral("PlaybackStatus"), MprisPlayerAdaptor::statusText(status));
}

void RemoteControl::setTrack(const Track &track)
{
    const Track &t = track_;
    if (t.key == track.key && t.title == track.title && t.artist == track.artist && t.album == track.album &&
        t.length == track.length && t.coverPath == track.coverPath)
        return;
    track_ = track;
    publish(QStringLiteral("Metadata"), metadata());
}

void RemoteControl::setPlayerFlag(bool *flag, const char *name, bool value)
{
    if (*flag == value)
        return;
    *flag = value;
    publish(QString::fromLatin1(name), value);
}

void RemoteControl::setCanGoNext(bool can) { setPlayerFlag(&canGoNext_, "CanGoNext", can); }
void RemoteControl::setCanGoPrevious(bool can) { setPlayerFlag(&canGoPrevious_, "CanGoPrevious", can); }
void RemoteControl::setCanPlay(bool can) { setPlayerFlag(&canPlay_, "CanPlay", can); }
void RemoteControl::setCanPause(bool can) { setPlayerFlag(&canPause_, "CanPause", can); }
void RemoteControl::setCanSeek(bool can) { setPlayerFlag(&canSeek_, "CanSeek", can); }

void RemoteControl::setVolume(double volume)
{
    volume = qBound(0.0, volume, 1.0);
    if (volume == volume_)
        return;
    volume_ = volume;
    publish(QStringLiteral("Volume"), volume);
}

void RemoteControl::setPositionProvider(std::function<double()> seconds)
{
    position_ = std::move(seconds);
}

void RemoteControl::notifySeeked()
{
    if (player_ && isAvailable())
        emit player_->Seeked(qlonglong(position() * 1e6));
}

void RemoteControl::event(Event event)
{
    emit remoteControlEvent(event);
}

void RemoteControl::seekTo(double seconds)
{
    emit seekRequested(seconds);
    notifySeeked();
}

double RemoteControl::position() const
{
    return position_ ? qMax(0.0, position_()) : 0.0;
}

// Positions are only accepted for the track id they were asked for, so the id follows the key.
QString RemoteControl::trackPath() const
{
    if (track_.key.isEmpty())
        return kNoTrack;
    QByteArray digest = QCryptographicHash::hash(track_.key.toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("/org/sonavel/Sonavel/Track/t") + QString::fromLatin1(digest.toHex().left(16));
}

QVariantMap RemoteControl::metadata() const
{
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackPath())));
    if (track_.key.isEmpty())
        return m;
    m.insert(QStringLiteral("xesam:title"), track_.title);
    if (!track_.artist.isEmpty())
        m.insert(QStringLiteral("xesam:artist"), QStringList{track_.artist});
    if (!track_.album.isEmpty())
        m.insert(QStringLiteral("xesam:album"), track_.album);
    if (track_.length > 0)
        m.insert(QStringLiteral("mpris:length"), qlonglong(track_.length * 1e6));
    if (!track_.coverPath.isEmpty())
        m.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(track_.coverPath).toString(QUrl::FullyEncoded));
    return m;
}

void RemoteControl::publish(const QString &name, const QVariant &value)
{
    if (!isAvailable())
        return;
    QDBusMessage changed = QDBusMessage::createSignal(
        kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    changed << kPlayerInterface << QVariantMap{{name, value}} << QStringList();
    QDBusConnection::sessionBus().send(changed);
}

QString RemoteControl::writeCoverArt(const QImage &image)
{
    if (image.isNull())
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                     QStringLiteral("/sonavel");
    if (!QDir().mkpath(folder))
        return {};
    // Named by content: clients cache art by URL, so a new cover needs a new name.
    QString name = QStringLiteral("cover-%1.png")
                       .arg(QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Sha1).toHex().left(16)));
    QString path = folder + QLatin1Char('/') + name;
    if (!QFileInfo::exists(path)) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
            return {};
    }
    QDir dir(folder);
    for (const QString &old : dir.entryList({QStringLiteral("cover-*.png")}, QDir::Files))
        if (old != name)
            dir.remove(old);
    return path;
}

#include "RemoteControl.moc"
