#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ThmTestSupport.h"

namespace {

// Shaped like the themes that come with the program, with a computed entry.
const char *kTheme = R"(; Plain theme
(define grey 128)
(define (half x) (/ x 2))
(define inset-top (+ 10 2.5))
'((list-background-color 255 255 255 255)
  (list-title-color 0 0 0 255)
  (list-subtitle-color 128.7 64 32)
  (list-separator-color 300 -1)
  (scroll-indicator . #t)
  (background-image-portrait . "Plain/bg \"portrait\".png")
  (background-image-landscape "bg-landscape.png")
  (list-inset-portrait 10 20 30 40)
  (list-inset-landscape 8 16)
  ("background-color" 1 2 3)
  (caf)" "\xC3\xA9" R"( . ")" "\xE2\x82\xAC" R"("))
)";

// The value of the key as a theme record reads it.
ThmObject *query(ThmObject *alist, const char *key)
{
    ThmObject *k = ThmSymbolFromCString(key);
    ThmObject *v = ThmAssoc(alist, k);
    ThmRelease(k);
    return v;
}

std::vector<int32_t> numbers(ThmObject *alist, const char *key)
{
    std::vector<int32_t> r;
    ThmObject *v = query(alist, key);
    for (int n = 0; n < 4; n++) {
        ThmObject *e = ThmNth(v, n);
        r.push_back(ThmIsNumber(e) ? ThmToInteger(e) : -999);
        ThmRelease(e);
    }
    ThmRelease(v);
    return r;
}

class ThmThemeFile : public testing::Test {
protected:
    void SetUp() override
    {
        loadText(kTheme, &loaded);
        ASSERT_TRUE(ThmIsPair(loaded.value)) << loaded.err << loaded.out;
    }
    Loaded loaded;
};

TEST_F(ThmThemeFile, ColourListsAndInsets)
{
    struct Row {
        const char *key;
        std::vector<int32_t> values;  // -999 where there is no number
    };
    const Row rows[] = {
        {"list-background-color", {255, 255, 255, 255}},
        {"list-title-color", {0, 0, 0, 255}},
        {"list-subtitle-color", {128, 64, 32, -999}},
        {"list-separator-color", {300, -1, -999, -999}},
        {"list-inset-portrait", {10, 20, 30, 40}},
        {"list-inset-landscape", {8, 16, -999, -999}},
        {"background-color", {-999, -999, -999, -999}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(numbers(loaded.value, row.key), row.values) << row.key;
}

TEST_F(ThmThemeFile, BooleansAndStrings)
{
    ThmObject *scroll = query(loaded.value, "scroll-indicator");
    EXPECT_EQ(scroll, ThmTrue);

    ThmObject *portrait = query(loaded.value, "background-image-portrait");
    ASSERT_TRUE(ThmIsString(portrait));
    char *text = ThmStringToUTF8(portrait);
    EXPECT_STREQ(text, "Plain/bg \"portrait\".png");
    free(text);

    // Only the dotted pair gives a string; a two-element list gives a list.
    ThmObject *landscape = query(loaded.value, "background-image-landscape");
    EXPECT_TRUE(ThmIsPair(landscape));

    ThmObject *nonAscii = ThmStringFromUTF8("caf\xC3\xA9");
    ThmObject *key = ThmNewSymbol(nonAscii);
    ThmObject *euro = ThmAssoc(loaded.value, key);
    ASSERT_TRUE(ThmIsString(euro));
    text = ThmStringToUTF8(euro);
    EXPECT_STREQ(text, "\xE2\x82\xAC");
    free(text);

    for (ThmObject *o : {scroll, portrait, landscape, key, euro})
        ThmRelease(o);
}

// A key written as a string literal is never found by a symbol.
TEST_F(ThmThemeFile, KeysMustBeSymbols)
{
    EXPECT_EQ(query(loaded.value, "background-color"), nullptr);
    ThmObject *asString = ThmStringFromUTF8("background-color");
    ThmObject *v = ThmAssoc(loaded.value, asString);
    EXPECT_TRUE(ThmIsPair(v)) << "the entry is there, under a string";
    EXPECT_EQ(query(loaded.value, "list-title-colour"), nullptr);
    ThmRelease(asString);
    ThmRelease(v);
}

TEST(ThmQueries, AssocNthAndToInteger)
{
    Loaded r;
    loadText("'((a . 1) 7 ((b c) . 2) (a . 3) (d 4 . 5))", &r);
    ASSERT_TRUE(ThmIsPair(r.value));

    struct AssocRow {
        const char *name;
        std::string key;  // read as a datum
        std::string value;
    };
    const AssocRow assocRows[] = {
        {"first match wins", "'a", "1"},
        {"non-pair elements skipped, list keys compared deeply", "'(b c)", "2"},
        {"absent", "'e", "<none>"},
        {"list value", "'d", "(4 . 5)"},
    };
    for (const AssocRow &row : assocRows) {
        Loaded key;
        loadText(row.key, &key);
        ThmObject *v = ThmAssoc(r.value, key.value);
        EXPECT_EQ(v ? printed(v) : "<none>", row.value) << row.name;
        ThmRelease(v);
    }

    struct NthRow {
        const char *name;
        std::string list;
        int n;
        std::string value;
    };
    const NthRow nthRows[] = {
        {"first", "'(1 2 3)", 0, "1"},
        {"last", "'(1 2 3)", 2, "3"},
        {"past the end gives the final cdr", "'(1 2 3)", 3, "()"},
        {"far past the end", "'(1 2 3)", 40, "()"},
        {"improper list's final cdr", "'(1 . 2)", 1, "2"},
        {"not a list", "5", 0, "5"},
    };
    for (const NthRow &row : nthRows) {
        Loaded l;
        loadText(row.list, &l);
        ThmObject *v = ThmNth(l.value, row.n);
        EXPECT_EQ(printed(v), row.value) << row.name;
        ThmRelease(v);
    }
    EXPECT_EQ(ThmNth(nullptr, 1), nullptr);

    struct IntRow {
        const char *name;
        ThmObject *object;
        int32_t value;
    };
    const IntRow intRows[] = {
        {"integer", ThmNewInteger(-12), -12},
        {"real truncated", ThmNewReal(128.7f), 128},
        {"negative real toward zero", ThmNewReal(-2.9f), -2},
        {"huge real saturates", ThmNewReal(1e20f), INT32_MAX},
        {"huge negative real saturates", ThmNewReal(-1e20f), INT32_MIN},
        {"not a number", ThmNewReal(NAN), 0},
        {"string", ThmStringFromUTF8("12"), 0},
        {"none", nullptr, 0},
    };
    for (const IntRow &row : intRows) {
        EXPECT_EQ(ThmToInteger(row.object), row.value) << row.name;
        ThmRelease(row.object);
    }
}

// sonavel-tool theme loads a file as the theme loader does.
TEST(ThmTool, PrintsTheValueOrFails)
{
    TempDir dir;
    struct Row {
        const char *name;
        std::string source;
        int exitCode;
        std::string out, err;
    };
    const std::string global =
        "#SCOPE(#HASHMAP((/ . #BUILTIN-PROCEDURE(/)) (quote . #BUILTIN-PROCEDURE(quote)) "
        "(- . #BUILTIN-PROCEDURE(-)) (define . #BUILTIN-PROCEDURE(define)) (car . #BUILTIN-PROCEDURE(car)) "
        "(* . #BUILTIN-PROCEDURE(*)) (% . #BUILTIN-PROCEDURE(%)) (+ . #BUILTIN-PROCEDURE(+)) "
        "(lambda . #BUILTIN-PROCEDURE(lambda)) (cdr . #BUILTIN-PROCEDURE(cdr))))";
    const Row rows[] = {
        {"association list", "'((list-title-color 0 0 0 255) (scroll-indicator . #t) (bg . \"b.png\"))", 0,
         "((list-title-color . (0 . (0 . (0 . (255 . ()))))) . ((scroll-indicator . #t) . ((bg . \"b.png\") . ())))\n", ""},
        {"a define gives its symbol", "(define x 1)", 0, "x\n", ""},
        {"non-ASCII text", "\"\xc3\xa9\xe2\x82\xac\"", 0, "\"\xc3\xa9\xe2\x82\xac\"\n", ""},
        {"last value before a reader error", "1 (2", 0, "1\n", "parser error: Unexpected end of file\n"},
        {"fatal error", "(1)", 1, global, "error: object is not procedure\n"},
        {"not implemented", "(car '(1))", 1, "Not implemented car\n" + global, ""},
        {"empty file", "", 1, "", ""},
        {"theme with definitions and comments",
         "; Dark\n(define grey 128)\n(define (half x) (/ x 2))\n'((list-title-color 255 255 255 255) ; white\n"
         "  (list-inset-portrait 10 20.5 30 40)\n  (scroll-indicator . #f)\n  (background-image-portrait . \"Dark/bg.png\"))\n",
         0,
         "((list-title-color . (255 . (255 . (255 . (255 . ()))))) . ((list-inset-portrait . (10 . (20.500000 . "
         "(30 . (40 . ()))))) . ((scroll-indicator . #f) . ((background-image-portrait . \"Dark/bg.png\") . ()))))\n",
         ""},
        {"broken string in the list: the last good value", "(define grey 128)\n'((a . 1)\n (b . \"x\\q\"))\n", 0,
         "grey\n",
         "parser error: Undefined escape char\nparser error: sub object is NULL\nparser error: sub object is NULL\n"},
        {"fatal error inside a procedure prints the call scope",
         "(define grey 128)\n(define (f x) (+ x y))\n(f 1)\n'((a . 1))\n", 1, "#SCOPE(#HASHMAP((x . 1)))",
         "error: no value\n"},
    };
    for (const Row &row : rows) {
        writeFile(dir.file("t.thm"), row.source);
        ToolResult r = runTool({"theme", dir.file("t.thm")});
        EXPECT_EQ(r.exitCode, row.exitCode) << row.name;
        EXPECT_EQ(r.out, row.out) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
    }
}

TEST(ThmTool, MissingFileAndMissingArgument)
{
    ToolResult missing = runTool({"theme", "/nonexistent/t.thm"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");

    ToolResult none = runTool({"theme"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.err, "usage: sonavel-tool theme FILE\n");
}

}  // namespace
