#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>

#include <cmath>

#include "TestSupport.h"
#include "theme/ImageTint.h"
#include "theme/Theme.h"

namespace {

std::unique_ptr<Theme> themeFrom(const TempDir &dir, const std::string &source)
{
    writeFile(dir.file("t.thm"), source);
    // A broken theme reports on standard error and prints its scope on standard output.
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    auto theme = Theme::create(QString::fromStdString(dir.path()), "t.thm");
    fflush(stdout);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    return theme;
}

void writePng(const std::string &path)
{
    QImage image(4, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString(path)));
}

}  // namespace

// Which files make a theme at all.
TEST(Theme, LoadsOnlyListValues)
{
    TempDir dir;
    struct Row {
        const char *name;
        std::string source;
        bool loads;
    };
    const Row rows[] = {
        {"association list", "'((list-title-color 1 2 3))", true},
        {"last expression a define (a symbol)", "'((a . 1))\n(define x 2)", false},
        {"a number", "42", false},
        {"a string", "\"theme\"", false},
        {"the empty list", "'()", false},
        {"an error after a good list loses it", "'((a . 1))\n(1 2)", false},
    };
    for (const Row &row : rows)
        EXPECT_EQ(themeFrom(dir, row.source) != nullptr, row.loads) << row.name;
    EXPECT_EQ(Theme::create(QString::fromStdString(dir.path()), "missing.thm"), nullptr);
}

// Every query and its edge cases.
TEST(Theme, Queries)
{
    TempDir dir;
    writePng(dir.file("p.png"));
    auto theme = themeFrom(dir, R"(
'((list-background-color 10 20 30 40)
  (background-color 255 128.7 0)
  (list-separator-color 300 -1)
  (list-title-color 1 "two" 3 x)
  ("list-subtitle-color" 1 2 3)
  (scroll-indicator . 1)
  (background-image-portrait . "p.png")
  (background-image-landscape "p.png")
  (list-inset-portrait 1 2 3 4)
  (list-inset-landscape 5.9 6)
  (b1 . #t) (b2 #t) (b3 . #f) (s1 . "text") (s2 "text") (q 9))
)");
    ASSERT_TRUE(theme);
    EXPECT_EQ(theme->themeName(), "t.thm");

    struct ColorRow {
        const char *name;
        QColor color;
        double r, g, b, a;  // NAN: no colour
    };
    const ColorRow colors[] = {
        {"four components", theme->listBackgroundColor(), 10 / 255., 20 / 255., 30 / 255., 40 / 255.},
        {"three give an opaque colour, 128.7 is 128", theme->backgroundColor(), 1, 128 / 255., 0, 1},
        {"300 is above 1, -1 below 0, missing blue is 0", theme->separatorColor(), 300 / 255., -1 / 255., 0, 1},
        {"non-numbers count 0, alpha 1", theme->titleColor(), 1 / 255., 0, 3 / 255., 1},
        {"a key written as a string is never found", theme->subtitleColor(), NAN, 0, 0, 0},
        {"a dotted value is not a colour list", theme->queryColor("s1"), NAN, 0, 0, 0},
    };
    for (const ColorRow &row : colors) {
        SCOPED_TRACE(row.name);
        if (std::isnan(row.r)) {
            EXPECT_FALSE(row.color.isValid());
            continue;
        }
        ASSERT_TRUE(row.color.isValid());
        EXPECT_NEAR(row.color.redF(), row.r, 2e-3);
        EXPECT_NEAR(row.color.greenF(), row.g, 2e-3);
        EXPECT_NEAR(row.color.blueF(), row.b, 2e-3);
        EXPECT_NEAR(row.color.alphaF(), row.a, 2e-3);
    }

    struct BoolRow {
        const char *key;
        bool value;
    };
    const BoolRow bools[] = {{"b1", true}, {"b2", false}, {"b3", false}, {"scroll-indicator", false}, {"none", false}};
    for (const BoolRow &row : bools)
        EXPECT_EQ(theme->queryBool(row.key), row.value) << row.key;
    EXPECT_FALSE(theme->visibleScrollIndicator()) << "the number 1 is not true";
    EXPECT_EQ(theme->queryString("s1"), "text");
    EXPECT_TRUE(theme->queryString("s2").isNull()) << "a list holding a string is not a string";
    EXPECT_TRUE(theme->queryString("none").isNull());

    // Only the dotted pair names an image; portrait and landscape each have their slot.
    EXPECT_EQ(theme->backgroundImage(Device::Orientation::Portrait).size(), QSize(4, 2));
    EXPECT_EQ(theme->backgroundImage(Device::Orientation::PortraitUpsideDown).size(), QSize(4, 2));
    EXPECT_TRUE(theme->backgroundImage(Device::Orientation::LandscapeLeft).isNull());
    EXPECT_TRUE(theme->backgroundImage(Device::Orientation::LandscapeRight).isNull());

    struct InsetRow {
        Device::Orientation orientation;
        QMarginsF inset;  // left, top, right, bottom
    };
    const InsetRow insets[] = {
        {Device::Orientation::Portrait, QMarginsF(2, 1, 4, 3)},
        {Device::Orientation::PortraitUpsideDown, QMarginsF(2, 1, 4, 3)},
        {Device::Orientation::LandscapeLeft, QMarginsF(6, 5, 0, 0)},
        {Device::Orientation::LandscapeRight, QMarginsF(6, 5, 0, 0)},
    };
    for (const InsetRow &row : insets)
        EXPECT_EQ(theme->insetForList(row.orientation), row.inset) << int(row.orientation);

    // Fields without a number are left as they were.
    float quad[4] = {-1, -1, -1, -1};
    theme->queryQuadruple("q", quad);
    EXPECT_EQ(std::vector<float>(quad, quad + 4), (std::vector<float>{9, -1, -1, -1}));
    theme->queryQuadruple("none", quad);
    EXPECT_EQ(quad[0], 9);
}

// A background image that is missing is looked for again; a loaded one is kept.
TEST(Theme, BackgroundImageRetriedUntilLoaded)
{
    TempDir dir;
    auto theme = themeFrom(dir, "'((background-image-landscape . \"later.png\"))");
    ASSERT_TRUE(theme);
    EXPECT_TRUE(theme->backgroundImage(Device::Orientation::LandscapeLeft).isNull());
    writePng(dir.file("later.png"));
    EXPECT_EQ(theme->backgroundImage(Device::Orientation::LandscapeLeft).size(), QSize(4, 2));
    QFile::remove(QString::fromStdString(dir.file("later.png")));
    EXPECT_FALSE(theme->backgroundImage(Device::Orientation::LandscapeRight).isNull());
}

// The themes that come with the program load in both idioms and use every key.
TEST(Theme, ShippedThemes)
{
    for (const char *idiom : {"phone", "tablet"}) {
        qputenv("SONAVEL_IDIOM", idiom);
        const QStringList files = QDir(Theme::defaultThemeFolder()).entryList({"*.thm"});
        EXPECT_GE(files.size(), 3) << idiom;
        EXPECT_TRUE(files.contains("Plain.thm"));
        bool images = false;
        for (const QString &file : files) {
            auto theme = Theme::create(file);
            ASSERT_TRUE(theme) << idiom << " " << file.toStdString();
            EXPECT_TRUE(theme->titleColor().isValid()) << file.toStdString();
            EXPECT_TRUE(theme->listBackgroundColor().isValid()) << file.toStdString();
            const QImage portrait = theme->backgroundImage(Device::Orientation::Portrait);
            const QImage landscape = theme->backgroundImage(Device::Orientation::LandscapeLeft);
            if (!portrait.isNull()) {
                images = true;
                EXPECT_GT(portrait.height(), portrait.width());
                EXPECT_GT(landscape.width(), landscape.height());
            }
        }
        EXPECT_TRUE(images) << "one theme has background images in " << idiom;
    }
    qunsetenv("SONAVEL_IDIOM");
}

// The tint keeps the colour where the image is opaque, times its alpha, whatever the
// image's own colour.
TEST(Theme, TintPixels)
{
    QImage icon(3, 1, QImage::Format_ARGB32);
    icon.setPixel(0, 0, qRgba(255, 0, 0, 255));  // opaque red
    icon.setPixel(1, 0, qRgba(0, 0, 0, 128));    // half-transparent black
    icon.setPixel(2, 0, qRgba(0, 255, 0, 0));    // transparent
    struct Row {
        const char *name;
        QColor color;
        QRgb expected[3];  // unpremultiplied
    };
    const Row rows[] = {
        {"opaque colour", QColor(20, 140, 250), {qRgba(20, 140, 250, 255), qRgba(20, 140, 250, 128), qRgba(0, 0, 0, 0)}},
        {"half-transparent colour", QColor(255, 255, 255, 128), {qRgba(255, 255, 255, 128), qRgba(255, 255, 255, 64), qRgba(0, 0, 0, 0)}},
    };
    for (const Row &row : rows) {
        const QImage tinted = tintedImage(icon, row.color).convertToFormat(QImage::Format_ARGB32);
        for (int x = 0; x < 3; x++) {
            const QRgb got = tinted.pixel(x, 0), want = row.expected[x];
            SCOPED_TRACE(std::string(row.name) + " pixel " + std::to_string(x));
            EXPECT_EQ(qAlpha(got), qAlpha(want));
            if (qAlpha(want) > 0) {
                EXPECT_NEAR(qRed(got), qRed(want), 2);
                EXPECT_NEAR(qGreen(got), qGreen(want), 2);
                EXPECT_NEAR(qBlue(got), qBlue(want), 2);
            }
        }
    }

    // A shipped icon: its shape in the colour, nothing else.
    const QImage note = imageNamedWithColor("note.png", QColor(0, 200, 100)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(note.size(), QSize(24, 24));
    int opaque = 0;
    for (int y = 0; y < note.height(); y++)
        for (int x = 0; x < note.width(); x++) {
            const QRgb p = note.pixel(x, y);
            if (qAlpha(p) == 255) {
                opaque++;
                EXPECT_EQ(p, qRgb(0, 200, 100));
            }
        }
    EXPECT_GT(opaque, 40);
    EXPECT_TRUE(imageNamedWithColor("no-such.png", Qt::red).isNull());
}
