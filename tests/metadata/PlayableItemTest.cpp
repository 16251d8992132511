#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "TestSupport.h"
#include "metadata/CharacterEncoding.h"
#include "metadata/PlayableItem.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/AudioFileService.h"

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

PlayableItemPtr build(const std::string &path) { return PlayableItem::itemWithPath(q(path)); }

// One second of 8 kHz mono per unit, so cue positions in whole seconds are exact.
Pcm seconds(uint32_t n, uint32_t seed = 1) { return makePcm(8000, 1, 16, 8000 * n, seed); }

std::string cueSheet(const std::string &albumLines, const std::vector<std::string> &titles,
                     const std::vector<int> &starts)
{
    std::string sheet = albumLines + "FILE \"album.wav\" WAVE\n";
    for (size_t i = 0; i < starts.size(); i++) {
        char track[128];
        snprintf(track, sizeof track, "  TRACK %02zu AUDIO\n", i + 1);
        sheet += track;
        if (!titles[i].empty())
            sheet += "    TITLE \"" + titles[i] + "\"\n";
        snprintf(track, sizeof track, "    INDEX 01 %02d:%02d:00\n", starts[i] / 60, starts[i] % 60);
        sheet += track;
    }
    return sheet;
}

TEST(PlayableItem, TypesByExtension)
{
    struct Row {
        const char *path;
        int32_t type;
    } rows[] = {
        {"/m/song.flac", 5}, {"/m/song.FLAC", 5}, {"/m/a.ape", 6},  {"/m/a.m4a", 3},
        {"/m/a.Mp3", 4},     {"/m/a.wav", 1},     {"/m/song.wv", 1}, {"/m/a.aif", 2},
        {"/m/a.AIFF", 2},    {"/m/a.aifc", 2},    {"/m/notes.txt", 0}, {"/m/flac", 0},    {"/m/x.flac/readme", 0},
        {"/m/a.flac.cue", 0},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PlayableItem::typeOfAudioFile(row.path), row.type) << row.path;

    TempDir dir;
    writeFile(dir.file("notes.txt"), "text");
    writeFile(dir.file("broken.wav"), "not a wav file");
    EXPECT_EQ(build(dir.file("notes.txt")), nullptr);
    EXPECT_EQ(build(dir.file("broken.wav")), nullptr);
    EXPECT_EQ(build(dir.file("missing.flac")), nullptr);
}

TEST(PlayableItem, TitlesAndTags)
{
    TempDir dir;
    writeWav(dir.file("Plain Song.wav"), seconds(1));
    writeWav(dir.file("tagged.wav"), seconds(2),
             id3v23({{"TIT2", "Tagged Title"}, {"TALB", "An Album"}, {"TPE1", "Someone"},
                     {"TCON", "Jazz"}, {"TYER", "1999"}, {"TRCK", "7"}}));
    ASSERT_TRUE(writeFlac(dir.file("tagged.flac"), makePcm(44100, 2, 16, 4410),
                          {"TITLE=Flac Title", "ARTIST=Flac Artist", "DATE=2004"}));
    ASSERT_TRUE(writeFlac(dir.file("legacy.flac"), makePcm(44100, 2, 16, 4410),
                          {"TITLE=\x93\xfa\x96\x7b", "ALBUM=Fine"}));

    PlayableItemPtr plain = build(dir.file("Plain Song.wav"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->title(), "Plain Song");
    EXPECT_TRUE(plain->tagtitle().isNull());
    EXPECT_TRUE(plain->album().isNull());
    EXPECT_EQ(plain->sampleRate(), 8000);
    EXPECT_EQ(plain->bitsPerSample(), 16);
    EXPECT_FLOAT_EQ(plain->totalTime(), 1.0f);
    EXPECT_TRUE(plain->ownFile());
    EXPECT_EQ(plain->audioType(), 1);
    EXPECT_TRUE(plain->subItems().isEmpty());

    PlayableItemPtr tagged = build(dir.file("tagged.wav"));
    ASSERT_TRUE(tagged);
    EXPECT_EQ(tagged->title(), "Tagged Title");
    EXPECT_EQ(tagged->tagtitle(), "Tagged Title");
    EXPECT_EQ(tagged->album(), "An Album");
    EXPECT_EQ(tagged->artist(), "Someone");
    EXPECT_EQ(tagged->genre(), "Jazz");
    EXPECT_EQ(tagged->year(), 1999);
    EXPECT_EQ(tagged->trackNumber(), 7);
    EXPECT_FLOAT_EQ(tagged->totalTime(), 2.0f);

    PlayableItemPtr flac = build(dir.file("tagged.flac"));
    ASSERT_TRUE(flac);
    EXPECT_EQ(flac->title(), "Flac Title");
    EXPECT_EQ(flac->tagtitle(), flac->title());
    EXPECT_EQ(flac->artist(), "Flac Artist");
    EXPECT_EQ(flac->audioType(), 5);
    EXPECT_EQ(flac->sampleRate(), 44100);
    EXPECT_NEAR(flac->totalTime(), 0.1, 1e-6);

    // A title that is not UTF-8 gives no title at all, not the file name.
    PlayableItemPtr legacy = build(dir.file("legacy.flac"));
    ASSERT_TRUE(legacy);
    EXPECT_TRUE(legacy->title().isNull());
    EXPECT_TRUE(legacy->tagtitle().isNull());
    EXPECT_EQ(legacy->album(), "Fine");
}

TEST(PlayableItem, AlbumWithLegacyEncodedCueSheet)
{
    TempDir dir;
    writeWav(dir.file("album.wav"), seconds(70));
    // Shift JIS: 日本 (album), 歌 (performer), トラック (track titles).
    const std::string album = "\x93\xfa\x96\x7b", singer = "\x89\xcc", track = "\x83\x67\x83\x89\x83\x62\x83\x4e";
    std::vector<std::string> titles;
    std::vector<int> starts;
    for (int i = 0; i < 12; i++) {
        titles.push_back(track + std::to_string(i + 1));
        starts.push_back(i * 5);
    }
    titles[4] = "";  // no TITLE line
    writeFile(dir.file("album.cue"),
              cueSheet("PERFORMER \"" + singer + "\"\nTITLE \"" + album + "\"\n", titles, starts));

    CharacterEncoding::setPreferedEncoding("Japanese");
    PlayableItemPtr item = build(dir.file("album.wav"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->title(), QString::fromUtf8("日本"));
    EXPECT_EQ(item->album(), QString::fromUtf8("日本"));
    EXPECT_EQ(item->artist(), QString::fromUtf8("歌"));
    ASSERT_EQ(item->subItems().size(), 12);
    for (int i = 0; i < 12; i++) {
        const PlayableItemPtr &sub = item->subItems()[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(sub->trackNumber(), i + 1);
        EXPECT_FALSE(sub->ownFile());
        EXPECT_EQ(sub->path(), q(dir.file("album.wav")));
        EXPECT_EQ(sub->audioType(), 1);
        EXPECT_FLOAT_EQ(sub->startTime(), float(i * 5));
        EXPECT_FLOAT_EQ(sub->totalTime(), i == 11 ? 15.0f : 5.0f);
        EXPECT_TRUE(sub->album().isNull());
        EXPECT_EQ(sub->sampleRate(), 0);
        if (i == 4) {
            EXPECT_TRUE(sub->title().isEmpty());
            EXPECT_FALSE(sub->title().isNull());
        } else {
            EXPECT_EQ(sub->title(), QString::fromUtf8("トラック") + QString::number(i + 1));
        }
    }

    // The same bytes read as another valid encoding when that one is preferred.
    CharacterEncoding::setPreferedEncoding("Chinese Simplified");
    PlayableItemPtr chinese = build(dir.file("album.wav"));
    CharacterEncoding::setPreferedEncoding("Western");
    ASSERT_TRUE(chinese);
    EXPECT_NE(chinese->title(), QString::fromUtf8("日本"));
    EXPECT_FALSE(chinese->title().isEmpty());
}

TEST(PlayableItem, EmbeddedCueSheetWrittenOnceBeside)
{
    TempDir dir;
    const std::string sheet = cueSheet("TITLE \"Embedded\"\n", {"One", "Two"}, {0, 1});
    ASSERT_TRUE(writeFlac(dir.file("album.flac"), makePcm(8000, 2, 16, 24000),
                          {"TITLE=Whole", "CUESHEET=" + sheet}));

    PlayableItemPtr first = build(dir.file("album.flac"));
    ASSERT_TRUE(first);
    EXPECT_EQ(readFile(dir.file("album.flac.cue")), sheet);
    EXPECT_EQ(first->title(), "Embedded");
    ASSERT_EQ(first->subItems().size(), 2);
    EXPECT_FLOAT_EQ(first->subItems()[1]->totalTime(), 2.0f);

    // A later scan reads the side file as it stands and leaves it alone.
    const std::string edited = cueSheet("TITLE \"Edited\"\n", {"A", "B", "C"}, {0, 1, 2});
    writeFile(dir.file("album.flac.cue"), edited);
    PlayableItemPtr second = build(dir.file("album.flac"));
    ASSERT_TRUE(second);
    EXPECT_EQ(readFile(dir.file("album.flac.cue")), edited);
    EXPECT_EQ(second->title(), "Edited");
    EXPECT_EQ(second->subItems().size(), 3);
}

TEST(PlayableItem, CueSheetChoice)
{
    const std::string embedded = cueSheet("TITLE \"Embedded\"\n", {"One", "Two"}, {0, 1});
    struct Row {
        const char *name;
        std::string sideCue;       // album.cue, when not empty
        std::string flacCuesheet;  // CUESHEET comment, when not empty
        QString title;
        qsizetype subItems;
        bool sideFileWritten;
    } rows[] = {
        {"side cue beats embedded", cueSheet("TITLE \"Side\"\n", {"x", "y", "z"}, {0, 1, 2}),
         embedded, "Side", 3, false},
        {"embedded only", "", embedded, "Embedded", 2, true},
        {"embedded not UTF-8: nothing written", "", "TITLE \"\xff\xfe\"\n  TRACK 01 AUDIO\n",
         "Whole", 0, false},
        {"sheet without tracks", "TITLE \"Only\"\n", "", "Only", 0, false},
        {"no sheet", "", "", "Whole", 0, false},
    };
    for (const Row &row : rows) {
        TempDir dir;
        std::vector<std::string> comments = {"TITLE=Whole"};
        if (!row.flacCuesheet.empty())
            comments.push_back("CUESHEET=" + row.flacCuesheet);
        ASSERT_TRUE(writeFlac(dir.file("album.flac"), makePcm(8000, 2, 16, 24000), comments));
        if (!row.sideCue.empty())
            writeFile(dir.file("album.cue"), row.sideCue);
        PlayableItemPtr item = build(dir.file("album.flac"));
        ASSERT_TRUE(item) << row.name;
        EXPECT_EQ(item->title(), row.title) << row.name;
        EXPECT_EQ(item->subItems().size(), row.subItems) << row.name;
        EXPECT_EQ(QFileInfo::exists(q(dir.file("album.flac.cue"))), row.sideFileWritten) << row.name;
    }
}

TEST(PlayableItem, NegativeCueDurationsClampedToZero)
{
    struct Row {
        const char *name;
        std::vector<int> starts;
        std::vector<float> durations;
    } rows[] = {
        {"starts go backwards", {0, 8, 4}, {8, 0, 6}},
        {"sheet longer than its file", {0, 5, 20}, {5, 15, 0}},
        {"ordinary", {0, 3, 6}, {3, 3, 4}},
    };
    for (const Row &row : rows) {
        TempDir dir;
        writeWav(dir.file("album.wav"), seconds(10));
        writeFile(dir.file("album.cue"), cueSheet("", {"a", "b", "c"}, row.starts));
        PlayableItemPtr item = build(dir.file("album.wav"));
        ASSERT_TRUE(item) << row.name;
        ASSERT_EQ(item->subItems().size(), qsizetype(row.durations.size())) << row.name;
        for (size_t i = 0; i < row.durations.size(); i++)
            EXPECT_FLOAT_EQ(item->subItems()[qsizetype(i)]->totalTime(), row.durations[i])
                << row.name << " track " << i + 1;
    }
}

TEST(PlayableItem, CoverOrder)
{
    const std::string embedded = imageBytes(7, 2, "PNG");
    struct Row {
        const char *name;
        std::vector<std::pair<std::string, std::string>> files;  // name beside the audio, bytes
        bool embeddedPicture;
        int width;              // of the cover found, 0 for none
        const char *coverFile;  // coverImagePath afterwards, "" for none
    } rows[] = {
        {"png before jpg", {{"album.jpg", imageBytes(5, 5, "JPG")}, {"album.png", imageBytes(4, 3, "PNG")}},
         true, 4, "album.png"},
        {"upper-case extension", {{"album.JPG", imageBytes(5, 5, "JPG")}}, false, 5, "album.JPG"},
        {"bmp first of all", {{"album.bmp", imageBytes(3, 3, "BMP")}, {"album.png", imageBytes(4, 3, "PNG")}},
         false, 3, "album.bmp"},
        {"named after the album", {{"Greatest Hits.jpg", imageBytes(6, 6, "JPG")}}, true, 6,
         "Greatest Hits.jpg"},
        {"broken file forgotten, embedded used", {{"album.png", "not an image"}}, true, 7, ""},
        {"embedded only", {}, true, 7, ""},
        {"nothing", {}, false, 0, ""},
    };
    for (const Row &row : rows) {
        TempDir dir;
        writeWav(dir.file("album.wav"), seconds(1),
                 id3v23({{"TALB", "Greatest Hits"}}, row.embeddedPicture ? embedded : ""));
        for (const auto &[name, bytes] : row.files)
            writeFile(dir.file(name), bytes);
        PlayableItemPtr item = build(dir.file("album.wav"));
        ASSERT_TRUE(item) << row.name;
        EXPECT_EQ(item->hasEmbeddedCoverImage(), row.embeddedPicture) << row.name;
        QImage cover = item->coverImage();
        EXPECT_EQ(cover.width(), row.width) << row.name;
        EXPECT_EQ(item->coverImagePath(), *row.coverFile ? q(dir.file(row.coverFile)) : QString())
            << row.name;
    }
}

TEST(PlayableItem, SubTracksFallBackToEmbeddedCover)
{
    TempDir dir;
    writeWav(dir.file("album.wav"), seconds(4),
             id3v23({{"TALB", "Greatest Hits"}}, imageBytes(7, 2, "PNG")));
    writeFile(dir.file("album.cue"), cueSheet("", {"a", "b"}, {0, 2}));
    writeFile(dir.file("Greatest Hits.jpg"), imageBytes(6, 6, "JPG"));
    PlayableItemPtr item = build(dir.file("album.wav"));
    ASSERT_TRUE(item);
    ASSERT_EQ(item->subItems().size(), 2);
    EXPECT_EQ(item->coverImage().width(), 6);
    PlayableItemPtr track = item->subItems()[0];
    EXPECT_TRUE(track->hasEmbeddedCoverImage());
    EXPECT_EQ(track->coverImage().width(), 7);
    EXPECT_TRUE(track->coverImagePath().isNull());

    // A remembered path whose file went bad is dropped on the next call.
    writeFile(dir.file("Greatest Hits.jpg"), "gone bad");
    EXPECT_EQ(item->coverImage().width(), 7);
    EXPECT_TRUE(item->coverImagePath().isNull());
}

TEST(PlayableItem, EqualityAndDescription)
{
    TempDir dir;
    writeWav(dir.file("album.wav"), seconds(130));
    writeFile(dir.file("album.cue"), cueSheet("TITLE \"Live\"\n", {"Intro", "Song"}, {0, 125}));
    PlayableItemPtr a = build(dir.file("album.wav"));
    PlayableItemPtr b = build(dir.file("album.wav"));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_TRUE(a->isEqualToItem(b));
    EXPECT_TRUE(a->subItems()[1]->isEqualToItem(b->subItems()[1]));
    EXPECT_FALSE(a->isEqualToItem(a->subItems()[0]));
    EXPECT_FALSE(a->subItems()[0]->isEqualToItem(a->subItems()[1]));
    EXPECT_FALSE(a->isEqualToItem(nullptr));

    EXPECT_EQ(a->description(), "Live(" + q(dir.file("album.wav")) + ")");
    EXPECT_EQ(a->subItems()[1]->description(), "Track 2 Song start at 02:05");
}

TEST(PlayableItem, HumanTime)
{
    struct Row {
        float seconds;
        const char *text;
    } rows[] = {{0, "00:00"}, {59.9f, "00:59"}, {61.5f, "01:01"}, {3600, "60:00"}, {6000, "100:00"}};
    for (const Row &row : rows)
        EXPECT_EQ(PlayableItem::humanTime(row.seconds), row.text) << row.seconds;
}

// A library of MP3s is scanned at the pace of its file headers: no packet is read for an item.
TEST(PlayableItem, CompressedFilesGiveTheirItemWithoutReadingPackets)
{
    TempDir dir;
    for (const char *name : {"a.mp3", "a.m4a", "a.wv"}) {
        SCOPED_TRACE(name);
        ToolResult r = runProgram({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                   "sine=frequency=500:sample_rate=44100:duration=2.5", "-metadata", "title=Tone",
                                   dir.file(name)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const uint64_t before = AudioFileServicePacketsRead();
        PlayableItemPtr item = build(dir.file(name));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(AudioFileServicePacketsRead(), before);
        EXPECT_EQ(item->title(), "Tone");
        EXPECT_EQ(item->totalTime(), 2.5f);
        EXPECT_EQ(item->sampleRate(), 44100);
    }
}

TEST(PlayableItem, ToolDescribesItems)
{
    TempDir dir;
    writeWav(dir.file("album.wav"), seconds(4), id3v23({{"TIT2", "Whole"}}, imageBytes(7, 2, "PNG")));
    writeFile(dir.file("album.cue"), cueSheet("TITLE \"Live\"\n", {"a", "b"}, {0, 2}));
    ToolResult r = runTool({"item", "--cover", dir.file("album.wav"), dir.file("none.txt")});
    EXPECT_EQ(r.exitCode, 0);
    QJsonArray items = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
    ASSERT_EQ(items.size(), 2) << r.out;
    EXPECT_TRUE(items[1].isNull());
    QJsonObject album = items[0].toObject();
    EXPECT_EQ(album["title"], "Live");
    EXPECT_EQ(album["tagtitle"], "Whole");
    EXPECT_EQ(album["album"], "Live");
    EXPECT_TRUE(album["genre"].isNull());
    EXPECT_EQ(album["ownFile"], true);
    EXPECT_EQ(album["audioType"], 1);
    EXPECT_EQ(album["sampleRate"], 8000);
    EXPECT_EQ(album["hasEmbeddedCoverImage"], true);
    EXPECT_EQ(album["cover"], QJsonObject({{"width", 7}, {"height", 2}}));
    QJsonObject second = album["subItems"].toArray()[1].toObject();
    EXPECT_EQ(second["ownFile"], false);
    EXPECT_EQ(second["startTime"], 2);
    EXPECT_EQ(second["totalTime"], 2);
}

bool haveProgram(const std::string &name)
{
    return runProgram({"sh", "-c", "command -v " + name}).exitCode == 0;
}

TEST(PlayableItem, ToolDescribesAlbumsMadeByOtherPrograms)
{
    for (const char *program : {"sox", "flac", "ffmpeg", "java"}) {
        if (!haveProgram(program))
            GTEST_SKIP() << program << " is not installed";
    }
    TempDir dir;
    auto run = [](const std::vector<std::string> &args) {
        ToolResult r = runProgram(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
    };
    run({"sox", "-n", "-r", "44100", "-b", "16", "-c", "2", "-t", "wavpcm", dir.file("in.wav"), "synth", "12",
         "sine", "300", "brownnoise", "vol", "0.7"});
    writeFile(dir.file("cover.png"), imageBytes(9, 4, "PNG"));
    const std::string sheet = "PERFORMER \"Band\"\nTITLE \"Live\"\nFILE \"x\" WAVE\n"
                              "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                              "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:04:00\n"
                              "  TRACK 03 AUDIO\n    INDEX 01 00:09:00\n";
    writeFile(dir.file("sheet.cue"), sheet);
    // The sheet embedded as a CUESHEET comment, as ripping programs store it.
    run({"flac", "-s", "-f", "-o", dir.file("byflac.flac"), "-T", "TITLE=Whole", "-T", "ARTIST=Someone",
         "-T", "YEAR=2001", "--tag-from-file=CUESHEET=" + dir.file("sheet.cue"),
         "--picture=" + dir.file("cover.png"), dir.file("in.wav")});
    run({"ffmpeg", "-v", "error", "-y", "-i", dir.file("in.wav"), "-i", dir.file("cover.png"), "-map", "0",
         "-map", "1", "-c:a", "flac", "-c:v", "copy", "-disposition:v", "attached_pic", "-metadata:s:v",
         "comment=Cover (front)", "-metadata", "title=FF Title", "-metadata", "album=FF Album", "-metadata",
         "YEAR=2002", "-metadata", "TRACKNUMBER=4", dir.file("byffmpeg.flac")});
    run({"ffmpeg", "-v", "error", "-y", "-i", dir.file("in.wav"), "-write_id3v2", "1", "-id3v2_version", "3",
         "-metadata", "title=Aiff Title", "-metadata", "artist=Aiff Artist", "-metadata", "date=1998",
         dir.file("byffmpeg.aiff")});
    run({"java", "-jar", "/usr/share/java/jmac.jar", "c2", dir.file("in.wav"), dir.file("byjmac.ape")});
    writeFile(dir.file("byjmac.cue"), sheet);

    ToolResult r = runTool({"item", "--cover", dir.file("byflac.flac"), dir.file("byffmpeg.flac"),
                            dir.file("byffmpeg.aiff"), dir.file("byjmac.ape")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    QJsonParseError error;
    QJsonArray items = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    ASSERT_EQ(items.size(), 4) << r.out;

    struct Row {
        const char *name;
        const char *title, *tagtitle, *artist, *album;
        int year, trackNumber, audioType, coverWidth;
        bool withSheet;
    } rows[] = {
        {"flac, sheet embedded", "Live", "Whole", "Band", "Live", 2001, 0, 5, 9, true},
        {"ffmpeg flac, front cover", "FF Title", "FF Title", nullptr, "FF Album", 2002, 4, 5, 9, false},
        {"ffmpeg aiff, ID3 chunk", "Aiff Title", "Aiff Title", "Aiff Artist", nullptr, 1998, 0, 2, 0, false},
        {"jmac ape, sheet beside", "Live", nullptr, "Band", "Live", 0, 0, 6, 0, true},
    };
    auto text = [](const char *s) { return s ? QJsonValue(QString::fromUtf8(s)) : QJsonValue(QJsonValue::Null); };
    for (qsizetype i = 0; i < items.size(); i++) {
        const Row &row = rows[i];
        SCOPED_TRACE(row.name);
        QJsonObject item = items[i].toObject();
        EXPECT_EQ(item["title"], text(row.title));
        EXPECT_EQ(item["tagtitle"], text(row.tagtitle));
        EXPECT_EQ(item["artist"], text(row.artist));
        EXPECT_EQ(item["album"], text(row.album));
        EXPECT_EQ(item["year"].toInt(), row.year);
        EXPECT_EQ(item["trackNumber"].toInt(), row.trackNumber);
        EXPECT_EQ(item["audioType"].toInt(), row.audioType);
        EXPECT_EQ(item["sampleRate"].toInt(), 44100);
        EXPECT_EQ(item["bitsPerSample"].toInt(), 16);
        EXPECT_EQ(item["totalTime"].toDouble(), 12.0);
        EXPECT_EQ(item["hasEmbeddedCoverImage"].toBool(), row.coverWidth > 0);
        EXPECT_EQ(item["cover"].toObject()["width"].toInt(), row.coverWidth);
        QJsonArray subs = item["subItems"].toArray();
        ASSERT_EQ(subs.size(), row.withSheet ? 3 : 0);
        if (!row.withSheet)
            continue;
        const char *titles[] = {"One", "Two", ""};
        const double starts[] = {0, 4, 9}, totals[] = {4, 5, 3};
        for (int k = 0; k < 3; k++) {
            QJsonObject sub = subs[k].toObject();
            EXPECT_EQ(sub["title"].toString(), titles[k]);
            EXPECT_EQ(sub["trackNumber"].toInt(), k + 1);
            EXPECT_EQ(sub["startTime"].toDouble(), starts[k]);
            EXPECT_EQ(sub["totalTime"].toDouble(), totals[k]);
            EXPECT_FALSE(sub["ownFile"].toBool());
            EXPECT_EQ(sub["path"], item["path"]);
            EXPECT_EQ(sub["audioType"].toInt(), row.audioType);
            EXPECT_EQ(sub["cover"].toObject()["width"].toInt(), row.coverWidth);
        }
    }
    EXPECT_EQ(readFile(dir.file("byflac.flac.cue")), sheet);
    EXPECT_FALSE(QFileInfo::exists(q(dir.file("byjmac.ape.cue"))));
}

}  // namespace
