// The artist list (ArtistChooser) and the album list (AlbumChooser): one screen over two item
// properties. Each row shows a name and "%d Tracks"; the current choice is selected when the
// list is shown and carries a checkmark while the play list is built from it. Choosing a row
// makes the play list play that artist or album. Main thread.
#pragma once

#include "files/TrackCountModel.h"
#include "platform/ui/TableViewController.h"

class OrganizeDelegate;

class NameChooser : public TableViewController {
    Q_OBJECT
public:
    NameChooser(TrackCountModel::Property property, OrganizeDelegate *delegate,
                QWidget *parent = nullptr);

    // Empty until the screen loads: the list is read from the library then.
    TrackCountModel *model() const { return model_; }

    int numberOfRows(int section) override;
    TableCell cellForRow(IndexPath path) override;
    int heightForRow(IndexPath path) override;
    void didSelectRow(IndexPath path) override;

protected:
    void viewDidLoad() override;
    void viewDidAppear() override;

private:
    TrackCountModel::Property property_;
    OrganizeDelegate *delegate_;
    TrackCountModel *model_ = nullptr;
};

class ArtistChooser : public NameChooser {
    Q_OBJECT
public:
    explicit ArtistChooser(OrganizeDelegate *delegate, QWidget *parent = nullptr)
        : NameChooser(TrackCountModel::Property::Artist, delegate, parent)
    {
    }
};

class AlbumChooser : public NameChooser {
    Q_OBJECT
public:
    explicit AlbumChooser(OrganizeDelegate *delegate, QWidget *parent = nullptr)
        : NameChooser(TrackCountModel::Property::Album, delegate, parent)
    {
    }
};
