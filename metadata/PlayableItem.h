// One playable thing: a whole audio file, or one cue-sheet track of an album file. Shared
// between the library, the play list and the player; read-only once built, except for the
// cover path that coverImage fills and clears.
#pragma once

#include <QImage>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

class PlayableItem;
using PlayableItemPtr = std::shared_ptr<PlayableItem>;

class PlayableItem {
public:
    // Application-layer audio types, from the file name extension alone.
    enum : int32_t {
        AudioTypeNone = 0,
        AudioTypeWav = 1,
        AudioTypeAiff = 2,
        AudioTypeM4a = 3,
        AudioTypeMp3 = 4,
        AudioTypeFlac = 5,
        AudioTypeApe = 6,
    };

    static int32_t typeOfAudioFile(const QString &path);
    // Null for an unplayable extension or a file the engine cannot open. Any thread.
    static PlayableItemPtr itemWithPath(const QString &path);
    static PlayableItemPtr itemWithTrackNumber(int32_t trackNumber, const QString &title,
                                               const QString &path, float startTime,
                                               float totalTime);

    bool isEqualToItem(const PlayableItem *other) const;
    bool isEqualToItem(const PlayableItemPtr &other) const { return isEqualToItem(other.get()); }
    QString description() const;
    static QString humanTime(float seconds);

    // Looked up afresh on every call; only the path is remembered. Main thread.
    QImage coverImage();
    // The audio path with a cover extension, else the album name with one in the same
    // folder; null when none exists.
    static QString GetCoverArtFile(const QString &path, const QString &album);

    const QString &title() const { return title_; }
    void setTitle(const QString &v) { title_ = v; }
    const QString &tagtitle() const { return tagtitle_; }
    void setTagtitle(const QString &v) { tagtitle_ = v; }
    const QString &path() const { return path_; }
    void setPath(const QString &v) { path_ = v; }
    bool ownFile() const { return ownFile_; }
    void setOwnFile(bool v) { ownFile_ = v; }
    int32_t trackNumber() const { return trackNumber_; }
    void setTrackNumber(int32_t v) { trackNumber_ = v; }
    float startTime() const { return startTime_; }
    void setStartTime(float v) { startTime_ = v; }
    float totalTime() const { return totalTime_; }
    void setTotalTime(float v) { totalTime_ = v; }
    const QList<PlayableItemPtr> &subItems() const { return subItems_; }
    void setSubItems(const QList<PlayableItemPtr> &v) { subItems_ = v; }
    int32_t audioType() const { return audioType_; }
    void setAudioType(int32_t v) { audioType_ = v; }
    const QString &album() const { return album_; }
    void setAlbum(const QString &v) { album_ = v; }
    const QString &artist() const { return artist_; }
    void setArtist(const QString &v) { artist_ = v; }
    const QString &genre() const { return genre_; }
    void setGenre(const QString &v) { genre_ = v; }
    int32_t year() const { return year_; }
    void setYear(int32_t v) { year_ = v; }
    int32_t sampleRate() const { return sampleRate_; }
    void setSampleRate(int32_t v) { sampleRate_ = v; }
    int32_t bitsPerSample() const { return bitsPerSample_; }
    void setBitsPerSample(int32_t v) { bitsPerSample_ = v; }
    bool hasEmbeddedCoverImage() const { return hasEmbeddedCoverImage_; }
    void setHasEmbeddedCoverImage(bool v) { hasEmbeddedCoverImage_ = v; }
    const QString &coverImagePath() const { return coverImagePath_; }
    void setCoverImagePath(const QString &v) { coverImagePath_ = v; }

private:
    // Null strings stand for absent values.
    QString title_;
    QString tagtitle_;
    QString path_;
    bool ownFile_ = false;
    int32_t trackNumber_ = 0;
    float startTime_ = 0;
    float totalTime_ = 0;
    QList<PlayableItemPtr> subItems_;
    int32_t audioType_ = AudioTypeNone;
    QString album_;
    QString artist_;
    QString genre_;
    int32_t year_ = 0;
    int32_t sampleRate_ = 0;
    int32_t bitsPerSample_ = 0;
    bool hasEmbeddedCoverImage_ = false;
    QString coverImagePath_;
};
