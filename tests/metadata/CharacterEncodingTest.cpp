#include <gtest/gtest.h>

#include <string>

#include "metadata/CharacterEncoding.h"
#include "platform/Preferences.h"

namespace {

using CharacterEncoding::parseCString;

// Identifiers persisted in "PreferedEnc".
enum { kWestern = 0, kJapanese = 1, kTraditional = 2, kKorean = 3, kSimplified = 25 };

struct DecodeCase {
    const char *name;
    int preferred;       // -1: key absent
    std::string bytes;   // without the terminating NUL
    std::string utf8;    // expected text as UTF-8
};

void PrintTo(const DecodeCase &c, std::ostream *os) { *os << c.name; }

class Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, Row)
{
    const DecodeCase &c = GetParam();
    if (c.preferred < 0)
        Preferences::setObject("PreferedEnc", QVariant());
    else
        Preferences::setInteger("PreferedEnc", c.preferred);
    QString text = parseCString(c.bytes.c_str());
    EXPECT_FALSE(text.isNull());
    EXPECT_EQ(text.toUtf8().toStdString(), c.utf8);
}

// あいう in Shift JIS; 한국 in EUC-KR/CP949; 中文 in GB 2312; 中文 in Big5.
const std::string kShiftJis = "\x82\xa0\x82\xa2\x82\xa4";
const std::string kKoreanBytes = "\xc7\xd1\xb1\xb9";
const std::string kGb2312 = "\xd6\xd0\xce\xc4";
const std::string kBig5 = "\xa4\xa4\xa4\xe5";

INSTANTIATE_TEST_SUITE_P(
    CharacterEncoding, Decode,
    testing::Values(
        DecodeCase{"ValidUtf8Unchanged", kJapanese, "Caf\xc3\xa9 \xe6\x97\xa5", "Caf\xc3\xa9 \xe6\x97\xa5"},
        DecodeCase{"Utf8WithBomKept", kWestern, "\xef\xbb\xbf" "A", "\xef\xbb\xbf" "A"},
        DecodeCase{"EmptyIsEmpty", kKorean, "", ""},
        DecodeCase{"AbsentKeyIsWestern", -1, "caf\x8e", "caf\xc3\xa9"},
        DecodeCase{"MacRoman", kWestern, "caf\x8e \xdb", "caf\xc3\xa9 \xe2\x82\xac"},
        DecodeCase{"ShiftJisWithJapanese", kJapanese, kShiftJis, "\xe3\x81\x82\xe3\x81\x84\xe3\x81\x86"},
        DecodeCase{"ShiftJisWithWestern", kWestern, kShiftJis,
                   "\xc3\x87\xe2\x80\xa0\xc3\x87\xc2\xa2\xc3\x87\xc2\xa7"},
        DecodeCase{"Cp932NecExtension", kJapanese, "\x87\x40", "\xe2\x91\xa0"},  // circled 1
        DecodeCase{"Korean", kKorean, kKoreanBytes, "\xed\x95\x9c\xea\xb5\xad"},
        DecodeCase{"Cp949ExtendedHangul", kKorean, "\x81\x41", "\xea\xb0\x82"},  // not in EUC-KR
        DecodeCase{"KoreanInvalidFallsToWestern", kKorean, "\xff\xff", "\xcb\x87\xcb\x87"},
        DecodeCase{"ChineseSimplified", kSimplified, kGb2312, "\xe4\xb8\xad\xe6\x96\x87"},
        DecodeCase{"ChineseTraditional", kTraditional, kBig5, "\xe4\xb8\xad\xe6\x96\x87"},
        DecodeCase{"UnknownIdentifierThenWestern", 4, "caf\x8e", "caf\xc3\xa9"},
        DecodeCase{"EncodedSurrogateIsNotUtf8", kWestern, "\xed\xa0\x80",
                   "\xc3\x8c\xe2\x80\xa0\xc3\x84"},
        DecodeCase{"OverlongIsNotUtf8", kWestern, "\xc0\xaf", "\xc2\xbf\xc3\x98"},
        DecodeCase{"TruncatedUtf8IsNotUtf8", kWestern, "a\xc3", "a\xe2\x88\x9a"}),
    [](const testing::TestParamInfo<DecodeCase> &info) { return std::string(info.param.name); });

TEST(CharacterEncoding, NullIsEmptyNotNull)
{
    QString text = parseCString(nullptr);
    EXPECT_FALSE(text.isNull());
    EXPECT_TRUE(text.isEmpty());
}

TEST(CharacterEncoding, AvailableEncodingsInChooserOrder)
{
    EXPECT_EQ(CharacterEncoding::getAvailableEncodings(),
              QStringList({"Western", "Chinese Simplified", "Chinese Traditional", "Japanese",
                           "Korean"}));
}

TEST(CharacterEncoding, DisplayNames)
{
    EXPECT_EQ(CharacterEncoding::getEncodingDisplayName(0), "Western");
    EXPECT_EQ(CharacterEncoding::getEncodingDisplayName(1), "Japanese");
    EXPECT_EQ(CharacterEncoding::getEncodingDisplayName(2), "Chinese Traditional");
    EXPECT_EQ(CharacterEncoding::getEncodingDisplayName(3), "Korean");
    EXPECT_EQ(CharacterEncoding::getEncodingDisplayName(25), "Chinese Simplified");
    EXPECT_EQ(CharacterEncoding::getEncodingDisplayName(4), "");
    EXPECT_FALSE(CharacterEncoding::getEncodingDisplayName(4).isNull());
    EXPECT_EQ(CharacterEncoding::getEncodingDisplayName(0xFFFFFFFFu), "");
}

TEST(CharacterEncoding, SetPreferedEncoding)
{
    const std::pair<const char *, int> rows[] = {
        {"Chinese Simplified", 25}, {"Japanese", 1}, {"Chinese Traditional", 2},
        {"Korean", 3}, {"Western", 0}};
    for (const auto &[name, id] : rows) {
        Preferences::setInteger("PreferedEnc", 99);
        CharacterEncoding::setPreferedEncoding(name);
        EXPECT_EQ(Preferences::integerForKey("PreferedEnc"), id) << name;
    }
    Preferences::setInteger("PreferedEnc", 1);
    CharacterEncoding::setPreferedEncoding("Klingon");
    CharacterEncoding::setPreferedEncoding("japanese");
    EXPECT_EQ(Preferences::integerForKey("PreferedEnc"), 1);
    Preferences::setObject("PreferedEnc", QVariant());
    CharacterEncoding::setPreferedEncoding("");
    EXPECT_FALSE(Preferences::objectForKey("PreferedEnc").isValid());
}

TEST(CharacterEncoding, PreferenceChangeSeenByNextDecode)
{
    Preferences::setInteger("PreferedEnc", kWestern);
    EXPECT_EQ(parseCString(kShiftJis.c_str()).size(), 6);
    CharacterEncoding::setPreferedEncoding("Japanese");
    EXPECT_EQ(parseCString(kShiftJis.c_str()), QString::fromUtf8("\xe3\x81\x82\xe3\x81\x84\xe3\x81\x86"));
}

}  // namespace
