#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTranslator>

#include "HelperProcess.h"
#include "TestSupport.h"
#include "platform/Localization.h"

namespace {

const char *const kLanguages[] = {"ja", "zh_CN", "zh_TW", "ko", "de"};

// What a translation must keep of its English text: the QString::arg markers (%1, in any order)
// and the printf-style ones (%d, %02d, %@, in their order), and the spaces and line feeds at
// either end that texts are joined by.
std::string shape(const std::string &utf8)
{
    const QString text = QString::fromStdString(utf8);
    static const QRegularExpression numbered(QStringLiteral("%\\d+"));
    static const QRegularExpression printfStyle(QStringLiteral("%[-+ #0]*\\d*(?:\\.\\d+)?(?:ll|l|h)?[a-zA-Z@]"));
    static const QRegularExpression edges(QStringLiteral("^(\\s*).*?(\\s*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    QStringList arg;
    for (const QRegularExpressionMatch &m : numbered.globalMatch(text))
        arg << m.captured();
    arg.sort();
    QStringList printf;
    for (const QRegularExpressionMatch &m : printfStyle.globalMatch(text))
        printf << m.captured();
    QRegularExpressionMatch edge = edges.match(text);
    return (arg.join(' ') + " | " + printf.join(' ') + " | [" + edge.captured(1) + "][" + edge.captured(2) + "]")
        .toStdString();
}

TEST(Localization, EveryCatalogueTranslatesEveryTextTheProgramLooksUp)
{
    const auto texts = readCatalogue(SONAVEL_TEXTS);
    ASSERT_FALSE(texts.empty()) << "no extracted texts in " SONAVEL_TEXTS;
    for (const char *language : kLanguages) {
        SCOPED_TRACE(language);
        const auto catalogue = readCatalogue(SONAVEL_CATALOGUES "/sonavel_" + std::string(language) + ".ts");
        for (const auto &[text, extracted] : texts) {
            auto found = catalogue.find(text);
            if (found == catalogue.end() || !found->second.finished) {
                ADD_FAILURE() << (found == catalogue.end() ? "missing: \"" : "unfinished: \"") << text
                              << "\" (ninja sonavel_lupdate brings new texts in)";
                continue;
            }
            const std::string &translation = found->second.translation;
            EXPECT_EQ(shape(translation), shape(text)) << '"' << text << "\" -> \"" << translation << '"';
        }
    }
}

// Run as a helper, in the environment under test: the program's start-up, then one lookup.
int lookUp(const QStringList &texts)
{
    SVInstallTranslations();
    helperSay(SVLocalized(texts.value(0).toUtf8().constData()));
    return 0;
}

const bool registered = registerHelperRole("look-up", lookUp);

struct LanguageCase {
    const char *name;
    std::vector<std::pair<const char *, const char *>> environment;
    const char *catalogue;  // null: the English text
};

TEST(Localization, TheUsersLanguagePicksTheCatalogue)
{
    const LanguageCase cases[] = {
        {"LANGUAGE alone", {{"LANGUAGE", "ja"}, {"LANG", "C.UTF-8"}}, "ja"},
        {"LANG alone", {{"LANG", "ja_JP.UTF-8"}}, "ja"},
        {"simplified Chinese", {{"LANGUAGE", "zh_CN"}}, "zh_CN"},
        {"traditional Chinese", {{"LANG", "zh_TW.UTF-8"}}, "zh_TW"},
        {"Hong Kong reads the traditional script", {{"LANG", "zh_HK.UTF-8"}}, "zh_TW"},
        {"Singapore reads the simplified script", {{"LANGUAGE", "zh_SG"}}, "zh_CN"},
        {"Korean", {{"LC_ALL", "ko_KR.UTF-8"}}, "ko"},
        {"German after a language without a catalogue", {{"LANGUAGE", "fr:de"}, {"LANG", "fr_FR.UTF-8"}}, "de"},
        {"LANGUAGE before LANG", {{"LANGUAGE", "de"}, {"LANG", "ja_JP.UTF-8"}}, "de"},
        {"English first", {{"LANGUAGE", "en:ja"}}, nullptr},
        {"no catalogue for the language", {{"LANG", "fr_FR.UTF-8"}}, nullptr},
        {"nothing set", {}, nullptr},
    };
    const char *probe = "Playlists";
    for (const LanguageCase &c : cases) {
        SCOPED_TRACE(c.name);
        QString expected = QString::fromLatin1(probe);
        if (c.catalogue) {
            QTranslator translator;
            ASSERT_TRUE(translator.load(QStringLiteral("sonavel_%1").arg(c.catalogue),
                                        SVResourcesPath() + QStringLiteral("/translations")));
            expected = translator.translate("Sonavel", probe);
            ASSERT_FALSE(expected.isEmpty());
            ASSERT_NE(expected, QString::fromLatin1(probe));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
            env.remove(QString::fromLatin1(name));
        for (const auto &[name, value] : c.environment)
            env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
        auto helper = startHelper("look-up", {QString::fromLatin1(probe)}, env);
        EXPECT_EQ(waitForHelperLine(*helper, QString()).toStdString(), expected.toStdString());
        EXPECT_TRUE(helper->waitForFinished(10000));
        EXPECT_EQ(helper->exitCode(), 0);
    }
}

}  // namespace
