#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ThmTestSupport.h"
#include "theme/ThmEval.h"
#include "theme/ThmHashMap.h"

namespace {

ThmObject *list(std::vector<ThmObject *> items)
{
    ThmObject *l = ThmEmpty;
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        l = ThmNewPair(*it, l);
    return l;
}

ThmObject *vector(std::vector<ThmObject *> items)
{
    ThmObject *v = ThmNewVector();
    for (ThmObject *o : items)
        ThmVectorAppend(v, o);
    return v;
}

ThmObject *string(const char *utf8)
{
    return ThmStringFromUTF8(utf8);
}

ThmObject *symbol(const char *name)
{
    return ThmSymbolFromCString(name);
}

TEST(ThmPrinter, EveryKind)
{
    struct Row {
        const char *name;
        ThmObject *object;  // owned by the row
        std::string text;
    };
    const Row rows[] = {
        {"none", nullptr, "<null>"},
        {"empty list", ThmEmpty, "()"},
        {"true", ThmTrue, "#t"},
        {"false", ThmFalse, "#f"},
        {"space character", ThmNewCharacter(' '), "#\\space"},
        {"newline character", ThmNewCharacter('\n'), "#\\newline"},
        {"carriage return prints as newline", ThmNewCharacter('\r'), "#\\newline"},
        {"letter", ThmNewCharacter('a'), "#\\a"},
        {"non-ASCII character", ThmNewCharacter(0x20AC), "#\\\xe2\x82\xac"},
        {"tab character", ThmNewCharacter('\t'), "#\\\t"},
        {"integer", ThmNewInteger(-7), "-7"},
        {"smallest integer", ThmNewInteger(INT32_MIN), "-2147483648"},
        {"real", ThmNewReal(2.5f), "2.500000"},
        {"negative real", ThmNewReal(-0.125f), "-0.125000"},
        {"infinity", ThmNewReal(INFINITY), "inf"},
        {"string", string("a b"), "\"a b\""},
        {"string with quote and backslash", string("say \"\\\""), "\"say \\\"\\\\\\\"\""},
        {"non-ASCII string", string("\xc3\xa9t\xc3\xa9"), "\"\xc3\xa9t\xc3\xa9\""},
        {"empty string", string(""), "\"\""},
        {"symbol", symbol("list-title-color"), "list-title-color"},
        {"symbol with a quote is not escaped", symbol("a\"b"), "a\"b"},
        {"builtin procedure", ThmBuiltin(3), "#BUILTIN-PROCEDURE(+)"},
        {"builtin lambda", ThmBuiltin(2), "#BUILTIN-PROCEDURE(lambda)"},
        {"pair", ThmNewPair(symbol("a"), symbol("b")), "(a . b)"},
        {"list", list({ThmNewInteger(1), ThmNewInteger(2)}), "(1 . (2 . ()))"},
        {"nested list", list({list({symbol("a")}), ThmEmpty}), "((a . ()) . (() . ()))"},
        {"vector", vector({ThmNewInteger(1), string("s"), ThmNewCharacter(' ')}), "#(1 \"s\" #\\space)"},
        {"empty vector", ThmNewVector(), "#()"},
        {"vector in a list", list({vector({ThmTrue})}), "(#(#t) . ())"},
        {"port prints nothing", ThmOpenBytes("", 0), ""},
        {"empty hash map", ThmNewHashMap(7), "#HASHMAP()"},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(printed(row.object), row.text) << row.name;
        ThmRelease(row.object);
    }
}

TEST(ThmPrinter, UserProcedurePrintsItsAddress)
{
    Loaded r;
    loadText("(define (f) 1) f", &r);
    ASSERT_TRUE(ThmIsKind(r.value, ThmKindProcedure));
    char expected[64];
    snprintf(expected, sizeof expected, "#PROCEDURE(%p)", static_cast<void *>(r.value));
    EXPECT_EQ(r.text(), expected);
}

TEST(ThmPrinter, HashMapPrintsOccupiedSlotsInOrder)
{
    ThmObject *map = ThmNewHashMap(7);
    ThmObject *k1 = symbol("k1"), *k2 = string("k2"), *tomb = symbol("tomb");
    ThmObject *v1 = ThmNewInteger(1), *v2 = list({ThmNewInteger(2)});
    ThmMapPut(map, k1, v1);
    ThmMapPut(map, k2, v2);
    ThmMapPut(map, tomb, nullptr);  // a key without value is not printed
    std::string text = printed(map);

    std::string expected = "#HASHMAP(";
    bool first = true;
    for (int32_t i = 0; i < map->map.capacity; i++) {
        ThmObject *k = map->map.slots[i].key;
        if (k == k1 || k == k2) {
            expected += first ? "" : " ";
            expected += k == k1 ? "(k1 . 1)" : "(\"k2\" . (2 . ()))";
            first = false;
        }
    }
    expected += ")";
    EXPECT_EQ(text, expected);
    for (ThmObject *o : {map, k1, k2, tomb, v1, v2})
        ThmRelease(o);
}

TEST(ThmPrinter, ScopePrintsItsMap)
{
    ThmInterpreter *interp = ThmNewInterpreter();
    ThmObject *scope = ThmNewScope(interp, nullptr);
    ThmObject *k = symbol("x"), *v = ThmNewInteger(3);
    ThmMapPut(scope->scope.map, k, v);
    EXPECT_EQ(printed(scope), "#SCOPE(#HASHMAP((x . 3)))");
    for (ThmObject *o : {scope, k, v})
        ThmRelease(o);
    ThmFreeInterpreter(interp);
}

TEST(ThmPrinter, LongListPrintsWithoutDeepRecursion)
{
    std::vector<ThmObject *> items;
    for (int i = 0; i < 300000; i++)
        items.push_back(ThmNewInteger(i % 10));
    ThmObject *l = list(items);
    std::string text = printed(l);
    EXPECT_EQ(text.substr(0, 15), "(0 . (1 . (2 . ");
    EXPECT_EQ(text.size(), size_t(300000) * 6 + 2);
    EXPECT_EQ(text.substr(text.size() - 4), "))))");
    ThmRelease(l);  // releasing is not recursive either
}

}  // namespace
