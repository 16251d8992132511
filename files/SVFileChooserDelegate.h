// What the file chooser hands its choice to: the play list, which appends the files to the
// current playlist. Main thread.
#pragma once

#include <QString>
#include <QStringList>

class SVFileChooserDelegate {
public:
    // Whether the file (full path) may be added: an audio file not yet in the playlist.
    virtual bool shouldInclude(const QString &path) const = 0;
    // Appends the files (full paths); false when the playlist could not be written.
    virtual bool addFiles(const QStringList &paths) = 0;

protected:
    ~SVFileChooserDelegate() = default;
};
