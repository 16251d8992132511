// What the screens that choose the music or change its files act on: the library they list,
// its rescan after a file changed, and the play list rebuilt after "Organize" or its companion
// key changed. The play list implements it (it knows its library); the screens hold it
// without owning it. Main thread.
#pragma once

#include <QList>
#include <QStringList>

#include <memory>

#include "metadata/PlayableItem.h"

class OrganizeDelegate {
public:
    // The library as last scanned; never changed once handed out.
    virtual std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const = 0;
    // Files of the library changed: a rescan, after which the play list follows.
    virtual void loadMusics() = 0;
    // The choice of what to play changed: the play list is built again.
    virtual void updatePlayList() = 0;
    // These files or folders are about to be removed (the playing file among them loses its
    // now-playing button; its playback goes on, the engine holds the open file).
    virtual void willRemoveFiles(const QStringList &paths) = 0;

protected:
    ~OrganizeDelegate() = default;
};
