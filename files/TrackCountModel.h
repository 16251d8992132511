// The artist list and the album list: every artist (album) of the library with the number
// of its tracks (an album file with a cue sheet counts its tracks), sorted case-insensitively.
// The current choice carries a checkmark while "Organize" says the play list is built from
// this list. Built once, from the library as it is when the screen loads. Main thread.
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

#include "metadata/PlayableItem.h"

class OrganizeDelegate;

class TrackCountModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Property { Artist, Album };
    // Besides Qt::DisplayRole and Qt::AccessibleTextRole (the name),
    // Qt::AccessibleDescriptionRole (the detail, "12 Tracks") and Qt::CheckStateRole.
    enum Role { CountRole = Qt::UserRole + 1 };

    // The delegate (not owned) gives the library and rebuilds the play list after a choice.
    TrackCountModel(Property property, OrganizeDelegate *delegate, QObject *parent = nullptr);

    Property property() const { return property_; }
    // "Artists" or "Albums".
    QString title() const;
    // The "Organize" value of this list (1 artists, 2 albums) and its companion key.
    int organizeValue() const;
    const char *currentKey() const;

    int count() const { return int(names_.size()); }
    QString name(int row) const { return names_.value(row); }
    int trackCount(int row) const { return counts_.value(row); }
    // "%d Tracks" when the count is above 0, else empty.
    QString detail(int row) const;
    bool isChecked(int row) const;
    // The row of the stored choice, whether or not the play list is built from it; -1 when
    // it is not in the list.
    int currentRow() const;

    // "Organize" and the companion key take the row's name; the play list is rebuilt.
    void choose(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void build(const QList<PlayableItemPtr> &items);

    Property property_;
    OrganizeDelegate *delegate_;
    QList<QString> names_;
    QList<int> counts_;
};
