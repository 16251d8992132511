#include "AppFixture.h"

#include "app/OptionLists.h"
#include "app/SettingsModel.h"
#include "metadata/CharacterEncoding.h"

// Texts show as text in failure messages.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// Preferences read from a file written here, as a user's would be after some use; the
// file replaces the test program's own, which it leaves empty.
class PreferenceFile {
public:
    explicit PreferenceFile(const std::string &contents)
    {
        Preferences::reset();
        QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Sonavel";
        QDir().mkpath(folder);
        path_ = (folder + "/Sonavel.conf").toStdString();
        writeFile(path_, contents);
    }
    ~PreferenceFile()
    {
        Preferences::reset();
        writeFile(path_, "");
    }

private:
    std::string path_;
};

QStringList texts(const OptionList &list)
{
    QStringList all;
    for (int row = 0; row < list.count(); row++)
        all << list.text(row);
    return all;
}

QList<int> checkedRows(const OptionList &list)
{
    QList<int> rows;
    for (int row = 0; row < list.count(); row++)
        if (list.checked(row))
            rows << row;
    return rows;
}

}  // namespace

TEST_F(AppTest, SettingsRowsShowThePreferences)
{
    EXPECT_EQ(SettingsModel::rowCount(SettingsModel::SectionGeneral), 5);
    EXPECT_EQ(SettingsModel::rowCount(SettingsModel::SectionFtp), 2);
    EXPECT_EQ(SettingsModel::rowCount(SettingsModel::SectionSupport), 1);
    EXPECT_EQ(SettingsModel::rowAt(SettingsModel::SectionFtp, 1), SettingsModel::AutoStart);
    EXPECT_EQ(SettingsModel::rowAt(SettingsModel::SectionFtp, 2), SettingsModel::RowCount);
    EXPECT_EQ(SettingsModel::header(SettingsModel::SectionGeneral), "General");
    EXPECT_EQ(SettingsModel::header(SettingsModel::SectionSupport), "Support");
    EXPECT_TRUE(SettingsModel::footer(SettingsModel::SectionFtp).isEmpty());
    EXPECT_TRUE(SettingsModel::footer(SettingsModel::SectionSupport).contains("translat"));

    struct Row {
        const char *name;
        std::string file;
        const char *theme, *encoding, *backStep, *autoStart;
        QList<int> backStepChecked, encodingChecked;
    } rows[] = {
        {"a used program", "[General]\nCurrentTheme=Dusk.thm\nPreferedEnc=1\nBackStep=45\nFTPAutoStart=1\n",
         "Dusk", "Japanese", "45 sec", "Yes", {4}, {3}},
        {"nothing stored", "", "", "Western", "30 sec", "No", {3}, {0}},
        {"a step no longer offered, Chinese", "[General]\nBackStep=7\nPreferedEnc=25\nCurrentTheme=My.Theme.thm\n",
         "My.Theme", "Chinese Simplified", "7 sec", "No", {}, {1}},
        {"step 0 means 30", "[General]\nBackStep=0\nFTPAutoStart=0\n", "", "Western", "30 sec", "No", {3}, {0}},
    };
    SettingsModel model(app.get());
    EncodingOptions encodings(app.get());
    BackStepOptions steps;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PreferenceFile prefs(row.file);
        auto cell = [&](SettingsModel::Row r) { return model.cell(r); };
        EXPECT_EQ(cell(SettingsModel::Theme).text, "Playlist Theme");
        EXPECT_EQ(cell(SettingsModel::Theme).detail, row.theme);
        EXPECT_EQ(cell(SettingsModel::Encoding).text, "Character Encoding");
        EXPECT_EQ(cell(SettingsModel::Encoding).detail, row.encoding);
        EXPECT_EQ(cell(SettingsModel::SleepTimer).text, "Sleep Timer");
        EXPECT_EQ(cell(SettingsModel::SleepTimer).detail, "");
        EXPECT_EQ(cell(SettingsModel::BackStep).text, "Backward Step");
        EXPECT_EQ(cell(SettingsModel::BackStep).detail, row.backStep);
        EXPECT_EQ(cell(SettingsModel::Backup).text, "iTunes/iCloud Backup");
        EXPECT_TRUE(cell(SettingsModel::Backup).isSwitch);
        EXPECT_EQ(cell(SettingsModel::Backup).detail, "");
        EXPECT_EQ(cell(SettingsModel::FtpServer).text, "Start FTP Server");
        EXPECT_EQ(cell(SettingsModel::FtpServer).detail, "");
        EXPECT_EQ(cell(SettingsModel::AutoStart).text, "Auto Start");
        EXPECT_EQ(cell(SettingsModel::AutoStart).detail, row.autoStart);
        EXPECT_EQ(cell(SettingsModel::Feedback).text, "Send Feedback");
        for (SettingsModel::Row r : {SettingsModel::Theme, SettingsModel::Encoding, SettingsModel::SleepTimer,
                                     SettingsModel::BackStep})
            EXPECT_TRUE(cell(r).disclosure) << r;
        EXPECT_EQ(checkedRows(steps), row.backStepChecked);
        EXPECT_EQ(checkedRows(encodings), row.encodingChecked);
    }

    EXPECT_EQ(texts(encodings), CharacterEncoding::getAvailableEncodings());
    EXPECT_EQ(SettingsModel::feedbackUrl().toString(), "mailto:" + SettingsModel::supportAddress() +
                                                           "?subject=Feedback on Sonavel");
}

TEST_F(AppTest, SleepTimerListCountsDown)
{
    SleepTimerOptions timer(app.get());
    EXPECT_EQ(texts(timer), QStringList({"NO", "15 Minutes", "30 Minutes", "45 Minutes", "60 Minutes", "90 Minutes"}));
    EXPECT_EQ(timer.title(), "Sleep Timer");
    timer.select(0);  // no timer to remove: harmless
    EXPECT_EQ(app->sleepTime(), 0);

    struct Row {
        qint64 remainingMs;
        const char *title;
    } rows[] = {
        {0, "Sleep Timer"},       {-5, "Sleep Timer"},           {1, "Sleep Timer(00:01)"},
        {59000, "Sleep Timer(00:59)"}, {899001, "Sleep Timer(15:00)"}, {899000, "Sleep Timer(14:59)"},
        {5400000, "Sleep Timer(90:00)"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(SleepTimerOptions::titleFor(row.remainingMs), row.title) << row.remainingMs;

    // The second choice replaces the first; the wall-clock time is for showing only.
    timer.select(1);
    timer.select(5);
    EXPECT_NEAR(double(app->sleepTime()), double(QDateTime::currentSecsSinceEpoch() + 5400), 2);
    EXPECT_GT(app->sleepRemaining(), 5390000);
    EXPECT_LE(app->sleepRemaining(), 5400000);
    timer.select(0);
    EXPECT_EQ(app->sleepRemaining(), 0);
}

// Choosing an encoding rescans, and cue-sheet texts come out decoded in it.
TEST_F(AppTest, EncodingChoiceDecodesCueTextsAgain)
{
    writeWav(path("album.wav"), makePcm(8000, 1, 16, 8000 * 4));
    // "テスト" in Shift JIS, which the Western encoding reads as something else.
    writeFile(path("album.cue"), "FILE \"album.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"\x83\x65\x83\x58\x83\x67\"\n"
                                 "    INDEX 01 00:00:00\n");
    ASSERT_TRUE(scan());
    PlayList *list = app->playListController();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_NE(list->rowTitle(1), "テスト");

    EncodingOptions encodings(app.get());
    int japanese = int(CharacterEncoding::getAvailableEncodings().indexOf("Japanese"));
    QSignalSpy done(app.get(), &AppDelegate::libraryChanged);
    quint64 before = app->loadId();
    encodings.select(japanese);
    EXPECT_EQ(Preferences::integerForKey("PreferedEnc"), 1);
    EXPECT_GT(app->loadId(), before);
    EXPECT_EQ(checkedRows(encodings), QList<int>{japanese});
    ASSERT_TRUE(runLoopUntil([&] { return !done.isEmpty(); }, 20000));
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->rowTitle(1), "テスト");
}
