// The main menu's six rows: Files, Artists, Albums, Playlists, Settings, Help Center, each with
// its image and, for the artist and album rows, the current choice as detail while the play
// list is built from it. Main thread.
#pragma once

#include <QAbstractListModel>
#include <QString>

class OrganizeModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Row { Files, Artists, Albums, Playlists, Settings, HelpCenter, RowCount };
    // Besides Qt::DisplayRole and Qt::AccessibleTextRole (the text) and
    // Qt::AccessibleDescriptionRole (the detail).
    enum Role {
        ImageRole = Qt::UserRole + 1,  // QString: the image's file name
        DisclosureRole,                // bool: the row leads to another screen
    };

    // `settingsAvailable`: whether the settings screen exists; its row is disabled otherwise.
    explicit OrganizeModel(bool settingsAvailable, QObject *parent = nullptr);

    QString text(int row) const;
    QString imageName(int row) const;
    // `CurrentArtist` while "Organize" is 1, `CurrentAlbum` while it is 2; else empty.
    QString detail(int row) const;
    bool hasDisclosure(int row) const { return row != HelpCenter; }
    bool isEnabled(int row) const { return row != Settings || settingsAvailable_; }

    // The details follow the preferences: read them again.
    void reload();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    bool settingsAvailable_;
};

// The help page: the localisable address "help/index.html" is taken inside the resources
// folder, unless a translation gives a whole URL.
QString helpPageAddress();
