// A line that a screen reader speaks when it changes: the announcements of the file chooser
// and the playlists screen. The line shows its words; where Qt has announcement events (6.8
// on) one is sent, before that the label's accessible name changes with a name-change event,
// which screen readers speak for a live region. Events reach a screen reader only while one
// runs. Main thread.
#pragma once

#include <QLabel>

class LiveRegion : public QLabel {
    Q_OBJECT
public:
    explicit LiveRegion(QWidget *parent = nullptr);

    // Shows and speaks `text` (without its line end).
    void announce(const QString &text);
};
