// The settings screen without its widgets: the three sections (General, FTP, Support), every
// row's text and detail from the preferences and the application's state, and what the rows
// do (the FTP server, Auto Start, the backup switch, the feedback mail). Texts are localised.
// Main thread only.
#pragma once

#include <QString>
#include <QUrl>

class AppDelegate;

class SettingsModel {
public:
    enum Section { SectionGeneral, SectionFtp, SectionSupport, SectionCount };
    // Every row, in screen order.
    enum Row { Theme, Encoding, SleepTimer, BackStep, Backup, FtpServer, AutoStart, Feedback, RowCount };

    struct Cell {
        QString text;
        QString detail;
        bool disclosure = false;  // leads to another screen
        bool isSwitch = false;    // the switch acts, not the row
        bool switchOn = false;
    };

    // Not owned; it outlives the model.
    explicit SettingsModel(AppDelegate *app);
    AppDelegate *app() const { return app_; }

    static int rowCount(int section);
    // The row at that place; RowCount for none.
    static Row rowAt(int section, int row);
    static QString header(int section);
    static QString footer(int section);
    Cell cell(Row row) const;

    // Starts the server when it is stopped, stops it when it runs. False when it could not
    // start (the port is taken, say); the screen then says "Can not start FTP server".
    bool toggleFtpServer();
    bool ftpServerRunning() const;
    // "ftp://ADDRESS:PORT" with the Wi-Fi address and the server's port.
    QString ftpAddress() const;
    // Flips "FTPAutoStart" between 0 and 1; the server is not started or stopped now.
    void toggleAutoStart();
    // The documents folder is backed up unless it carries the do-not-back-up attribute.
    bool backupEnabled() const;
    bool setBackupEnabled(bool enabled);
    // A mailto: URL to the support address with the subject "Feedback on Sonavel".
    static QUrl feedbackUrl();
    static QString supportAddress();

private:
    AppDelegate *app_;
};
