#include "app/SettingsModel.h"

#include <QUrlQuery>

#include "app/AppDelegate.h"
#include "files/FileSystemObject.h"
#include "ftp/AsyncSocket.h"
#include "ftp/MyNetworkController.h"
#include "metadata/CharacterEncoding.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"
#include "playback/NowPlaying.h"

namespace {

const QString kAutoStart = QStringLiteral("FTPAutoStart");

struct RowPlace {
    SettingsModel::Section section;
    SettingsModel::Row row;
};

// The screen's layout: the rows of each section in order.
const RowPlace kRows[] = {
    {SettingsModel::SectionGeneral, SettingsModel::Theme},
    {SettingsModel::SectionGeneral, SettingsModel::Encoding},
    {SettingsModel::SectionGeneral, SettingsModel::SleepTimer},
    {SettingsModel::SectionGeneral, SettingsModel::BackStep},
    {SettingsModel::SectionGeneral, SettingsModel::Backup},
    {SettingsModel::SectionFtp, SettingsModel::FtpServer},
    {SettingsModel::SectionFtp, SettingsModel::AutoStart},
    {SettingsModel::SectionSupport, SettingsModel::Feedback},
};
static_assert(std::size(kRows) == SettingsModel::RowCount);

const char *const kHeaders[SettingsModel::SectionCount] = {SV_TEXT("General"), SV_TEXT("FTP"),
                                                           SV_TEXT("Support")};

QString documents() { return FileSystemObject::sharedObject()->documentsDirectory(); }

QString withoutExtension(const QString &name)
{
    qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.left(dot) : name;
}

}  // namespace

SettingsModel::SettingsModel(AppDelegate *app) : app_(app) {}

int SettingsModel::rowCount(int section)
{
    int n = 0;
    for (const RowPlace &place : kRows)
        n += place.section == section;
    return n;
}

SettingsModel::Row SettingsModel::rowAt(int section, int row)
{
    for (const RowPlace &place : kRows) {
        if (place.section == section && row-- == 0)
            return place.row;
    }
    return RowCount;
}

QString SettingsModel::header(int section)
{
    return section >= 0 && section < SectionCount ? SVLocalized(kHeaders[section]) : QString();
}

QString SettingsModel::footer(int section)
{
    if (section != SectionSupport)
        return QString();
    return SVLocalized("Sonavel plays your lossless music: FLAC, Monkey's Audio, WAV and AIFF, "
                       "with cue sheets, lyrics and themes.") +
           QStringLiteral("\n\n") +
           SVLocalized("Thanks to everyone who translated Sonavel into their language.");
}

SettingsModel::Cell SettingsModel::cell(Row row) const
{
    Cell c;
    switch (row) {
    case Theme:
        c.text = SVLocalized("Playlist Theme");
        c.detail = withoutExtension(Preferences::stringForKey(QStringLiteral("CurrentTheme")));
        c.disclosure = true;
        break;
    case Encoding:
        c.text = SVLocalized("Character Encoding");
        c.detail = CharacterEncoding::getEncodingDisplayName(
            unsigned(Preferences::integerForKey(QStringLiteral("PreferedEnc"))));
        c.disclosure = true;
        break;
    case SleepTimer:
        c.text = SVLocalized("Sleep Timer");
        c.disclosure = true;
        break;
    case BackStep:
        c.text = SVLocalized("Backward Step");
        c.detail = SVLocalized("%d sec").replace(QStringLiteral("%d"), QString::number(NowPlaying::backstep()));
        c.disclosure = true;
        break;
    case Backup:
        c.text = SVLocalized("iTunes/iCloud Backup");
        c.isSwitch = true;
        c.switchOn = backupEnabled();
        break;
    case FtpServer:
        if (ftpServerRunning()) {
            c.text = SVLocalized("Started");
            c.detail = ftpAddress();
        } else {
            c.text = SVLocalized("Start FTP Server");
        }
        break;
    case AutoStart:
        c.text = SVLocalized("Auto Start");
        c.detail = Preferences::integerForKey(kAutoStart) ? SVLocalized("Yes") : SVLocalized("No");
        break;
    case Feedback:
        c.text = SVLocalized("Send Feedback");
        break;
    case RowCount:
        break;
    }
    return c;
}

bool SettingsModel::ftpServerRunning() const { return app_->ftpd() != nullptr; }

bool SettingsModel::toggleFtpServer()
{
    if (ftpServerRunning()) {
        app_->stopFtpServer();
        return true;
    }
    return app_->startFtpServer();
}

QString SettingsModel::ftpAddress() const
{
    ::FtpServer *server = app_->ftpd();
    quint16 port = server && server->listenSocket() ? server->listenSocket()->localPort() : AppDelegate::kFtpPort;
    return QStringLiteral("ftp://%1:%2").arg(MyNetworkController::localWifiIPAddress()).arg(port);
}

void SettingsModel::toggleAutoStart()
{
    Preferences::setInteger(kAutoStart, Preferences::integerForKey(kAutoStart) == 0 ? 1 : 0);
}

bool SettingsModel::backupEnabled() const
{
    return !FileSystemObject::sharedObject()->hasSkipBackupAttribute(documents());
}

bool SettingsModel::setBackupEnabled(bool enabled)
{
    FileSystemObject *fs = FileSystemObject::sharedObject();
    return enabled ? fs->removeSkipBackupAttribute(documents()) : fs->addSkipBackupAttribute(documents());
}

QString SettingsModel::supportAddress() { return QStringLiteral("feedback@sonavel.org"); }

QUrl SettingsModel::feedbackUrl()
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(supportAddress());
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QStringLiteral("Feedback on Sonavel"));
    url.setQuery(query);
    return url;
}
