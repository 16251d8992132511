// The application over a documents folder of its own, for the screens that choose the music
// and change its files: the play list is what they act on, as in the program.
#pragma once

#include <QAbstractItemModelTester>
#include <QStringList>

#include "app/AppFixture.h"
#include "files/OrganizeDelegate.h"

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

class LibraryTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        for (const char *key : {"CurrentArtist", "CurrentAlbum", "CurrentPlaylist", "CurrentFile"})
            Preferences::setObject(key, QVariant());
    }

    PlayList *playList() const { return app->playListController(); }
    OrganizeDelegate *delegate() const { return app->playListController(); }
    QString docsPath() const { return q(docs.path()); }
    QString at(const std::string &name) const { return q(path(name)); }

    // Empty files and folders (names ending in "/") under the documents folder.
    void make(const std::vector<std::string> &names)
    {
        for (const std::string &name : names) {
            QString full = at(name);
            if (name.back() == '/') {
                QDir().mkpath(full);
            } else {
                QDir().mkpath(QFileInfo(full).path());
                writeFile(full.toStdString(), "");
            }
        }
    }

    bool exists(const std::string &name) const { return QFileInfo::exists(at(name)); }

    // The names of the documents folder's entries, sorted, folders with a trailing "/".
    QStringList tree(const std::string &folder = "") const
    {
        QStringList names;
        QDir dir(at(folder));
        for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                       QDir::Hidden, QDir::Name | QDir::IgnoreCase))
            names << info.fileName() + (info.isDir() ? "/" : "");
        return names;
    }

    // The paths of the play list's whole-file rows.
    QStringList playListPaths() const
    {
        QStringList paths;
        for (const PlayableItemPtr &item : playList()->playList()) {
            if (item->ownFile())
                paths << item->path();
        }
        return paths;
    }
};
