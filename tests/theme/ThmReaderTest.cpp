#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ThmTestSupport.h"
#include "theme/ThmReader.h"

namespace {

std::string repeat(const std::string &s, int n)
{
    std::string r;
    for (int i = 0; i < n; i++)
        r += s;
    return r;
}

// Every datum of the text printed and joined by "|", and what the reader wrote.
struct ReadResult {
    std::string data, err;
};

ReadResult readAll(const std::string &text)
{
    ThmInterpreter *interp = ThmNewInterpreter();
    ThmObject *port = ThmOpenBytes(text.data(), text.size());
    testing::internal::CaptureStderr();
    ReadResult r;
    while (ThmObject *datum = ThmRead(interp, port)) {
        r.data += (r.data.empty() ? "" : "|") + printed(datum);
        ThmRelease(datum);
    }
    r.err = testing::internal::GetCapturedStderr();
    ThmRelease(port);
    ThmFreeInterpreter(interp);
    return r;
}

struct ReaderRow {
    const char *name;
    std::string text;
    std::string data;  // printed data, "|" between them
    std::string err;   // the reader's messages
};

const std::string kEof = "parser error: Unexpected end of file\n";
const std::string kSubNull = "parser error: sub object is NULL\n";

const std::vector<ReaderRow> kReaderRows = {
    // Lists and dots
    {"dotted pair", "(a . b)", "(a . b)", ""},
    {"proper list prints dotted", "(a b)", "(a . (b . ()))", ""},
    {"empty list", "()", "()", ""},
    {"datum after the dotted cdr makes it an element", "(a . b c)", "(a . (b . (c . ())))", ""},
    {"second dot replaces the cdr", "(a . b . c)", "(a . c)", ""},
    {"empty list keeps its place", "(() 1)", "(() . (1 . ()))", ""},
    {"nested lists", "((1 2) (3))", "((1 . (2 . ())) . ((3 . ()) . ()))", ""},
    {"dot before any element", "( . a)", "", "parser error: Missing object before `.'\n"},
    {"dot without a datum after it", "(a . )", "", kSubNull},
    {"dot then a comment then the cdr", "(a . ;c\n b)", "(a . b)", ""},
    {"dot glued to a symbol", "(a .b)", "", "parser error: Invalid identifier\n" + kSubNull},
    {"list not closed", "(a b", "", kEof},
    {"stray closing parenthesis ends the reading", ") 1", "", ""},
    {"element not readable", "(a \"b\\q\")", "", "parser error: Undefined escape char\n" + kSubNull},
    {"inner list not closed", "((a)", "", kEof},
    // Quote
    {"quote is a dotted pair", "'a", "(quote . a)", ""},
    {"quoted list", "'(1 2)", "(quote . (1 . (2 . ())))", ""},
    {"quote inside a list", "(a 'b)", "(a . ((quote . b) . ()))", ""},
    {"quote at the end of input", "'", "", ""},
    // Strings
    {"string", "\"a b\"", "\"a b\"", ""},
    {"escaped quote and backslash", "\"q\\\"x\\\\\"", "\"q\\\"x\\\\\"", ""},
    {"newline kept in a string", "\"a\nb\"", "\"a\nb\"", ""},
    {"empty string", "\"\"", "\"\"", ""},
    {"undefined escape", "\"a\\qb\"", "", "parser error: Undefined escape char\n"},
    {"backslash at the end of input", "\"a\\", "", "parser error: Undefined escape char\n"},
    {"string not closed", "\"abc", "", kEof},
    {"non-ASCII string", "\"\xc3\xa9\xe2\x82\xac\"", "\"\xc3\xa9\xe2\x82\xac\"", ""},
    // Characters
    {"letter", "#\\a", "#\\a", ""},
    {"named space", "#\\space", "#\\space", ""},
    {"named newline", "#\\newline", "#\\newline", ""},
    {"backslash then blank", "#\\ 1", "#\\space|1", ""},
    {"non-ASCII character", "#\\\xc3\xa9", "#\\\xc3\xa9", ""},
    {"character as the last element", "(#\\a)", "(#\\a . ())", ""},
    {"unknown name", "#\\ab", "", "parser error: invalid char constant\n"},
    {"parenthesis is no character", "#\\(", "", "parser error: invalid char constant\n"},
    {"backslash at the end of input", "#\\", "", "parser error: invalid char constant\n"},
    {"name longer than ten", "#\\newlinenewline", "", "parser error: invalid char constant\n"},
    // Booleans, vectors and other "#" forms
    {"booleans", "#t #f", "#t|#f", ""},
    {"boolean glued to a symbol", "#tx", "#t|x", ""},
    {"unknown hash form", "#x 1", "", ""},
    {"hash before a newline", "#\n1", "", ""},
    {"vector", "#(1 #(2) \"s\" (a))", "#(1 #(2) \"s\" (a . ()))", ""},
    {"empty vector", "#()", "#()", ""},
    {"vector not closed", "#(1 2", "", ""},
    {"comment before the end of a vector", "#(1 ;c\n)", "", ""},
    {"vector past its growth limit", "#(" + repeat("7 ", 2000) + ")", "#(" + repeat("7 ", 1999) + "7)", ""},
    // Numbers and signs
    {"integer", "42", "42", ""},
    {"negative", "-5", "-5", ""},
    {"explicit plus", "+5", "5", ""},
    {"real", "1.5", "1.500000", ""},
    {"real without fraction", "1.", "1.000000", ""},
    {"negative real", "-0.25", "-0.250000", ""},
    {"integer wraps", "4294967297", "1", ""},
    {"largest plus one wraps", "2147483648", "-2147483648", ""},
    {"smallest", "-2147483648", "-2147483648", ""},
    {"number ended by a parenthesis", "(1)", "(1 . ())", ""},
    {"second point", "1.2.3", "", ""},
    {"letters after digits", "12abc", "", ""},
    {"point first", ".5", "", "parser error: Invalid identifier\n"},
    {"lone minus", "-", "-", ""},
    {"lone plus before a parenthesis", "(+)", "(+ . ())", ""},
    {"minus before a letter", "-x", "", "parser error: unexpected things following +/-\n"},
    {"ellipsis", "...", "...", ""},
    {"ellipsis in a list", "(a ...)", "(a . (... . ()))", ""},
    {"two points", "..x", "", "parser error: Invalid identifier\n"},
    // Comments and whitespace
    {"comment before a datum", "; c\n1", "1", ""},
    {"comment to a carriage return", "; c\r2", "2", ""},
    {"only comments", "; a\n; b", "", ""},
    {"comment before an element", "(1 ;c\n 2)", "(1 . (2 . ()))", ""},
    {"comment before the closing parenthesis", "(1 2 ;c\n)", "", kSubNull},
    {"tabs and form feeds", "\t1\f\v2", "1|2", ""},
    // Symbols
    {"quotes and hash inside a symbol", "a'b\"c#", "a'b\"c#", ""},
    {"punctuation symbols", "! $ % & * , / :", "!|$|%|&|*|,|/|:", ""},
    {"non-ASCII symbol", "h\xc3\xa9llo", "h\xc3\xa9llo", ""},
    {"symbol ended by a parenthesis", "(ab)", "(ab . ())", ""},
};

TEST(ThmReader, Rows)
{
    for (const ReaderRow &row : kReaderRows) {
        ReadResult r = readAll(row.text);
        EXPECT_EQ(r.data, row.data) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
    }
}

// Nesting far deeper than any theme ends in a reader error, not in a stack overflow.
TEST(ThmReader, DeepNesting)
{
    struct Row {
        const char *name;
        std::string text;
    };
    const Row rows[] = {
        {"parentheses", std::string(200000, '(')},
        {"quotes", std::string(200000, '\'') + "a"},
        {"vectors", [] {
             std::string s;
             for (int i = 0; i < 200000; i++)
                 s += "#(";
             return s;
         }()},
        {"lists inside vectors", [] {
             std::string s;
             for (int i = 0; i < 100000; i++)
                 s += "#((";
             return s;
         }()},
    };
    for (const Row &row : rows) {
        ReadResult r = readAll(row.text);
        EXPECT_EQ(r.data, "") << row.name;
        EXPECT_EQ(r.err.rfind("parser error: nesting too deep\n", 0), 0u) << row.name;
    }

    std::string deepest = std::string(ThmMaxNesting, '(') + std::string(ThmMaxNesting, ')');
    ReadResult r = readAll(deepest);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.data.size(), size_t(ThmMaxNesting) * 2 + (ThmMaxNesting - 1) * 5);
}

TEST(ThmReader, LongListReadsAndPrints)
{
    std::string text = "(";
    for (int i = 0; i < 100000; i++)
        text += "1 ";
    text += ")";
    ReadResult r = readAll(text);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.data.size(), size_t(100000) * 6 + 2);
}

// Within one load identical names and literals share one string object.
TEST(ThmReader, InterningInALoad)
{
    Loaded loaded;
    loadText("'(\"x\" \"x\" abc abc \"abc\")", &loaded);
    ASSERT_TRUE(ThmIsPair(loaded.value));
    ThmObject *items[5];
    for (int i = 0; i < 5; i++) {
        items[i] = ThmNth(loaded.value, i);
        ThmRelease(items[i]);
    }
    EXPECT_EQ(items[0], items[1]);
    EXPECT_NE(items[2], items[3]) << "symbols are new objects";
    EXPECT_EQ(items[2]->symbol.name, items[3]->symbol.name);
    EXPECT_EQ(items[2]->symbol.name, items[4]) << "a literal shares the name of a symbol";
}

}  // namespace
