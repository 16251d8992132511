#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ThmTestSupport.h"

namespace {

// The global scope of a fresh interpreter, printed: its ten builtins in slot order.
const std::string kBuiltins =
    "(/ . #BUILTIN-PROCEDURE(/)) (quote . #BUILTIN-PROCEDURE(quote)) (- . #BUILTIN-PROCEDURE(-)) "
    "(define . #BUILTIN-PROCEDURE(define)) (car . #BUILTIN-PROCEDURE(car)) (* . #BUILTIN-PROCEDURE(*)) "
    "(% . #BUILTIN-PROCEDURE(%)) (+ . #BUILTIN-PROCEDURE(+)) (lambda . #BUILTIN-PROCEDURE(lambda)) "
    "(cdr . #BUILTIN-PROCEDURE(cdr))";
const std::string kGlobalScope = "#SCOPE(#HASHMAP(" + kBuiltins + "))";

struct ValueRow {
    const char *name;
    std::string source;
    std::string value;  // printed
};

void checkValues(const std::vector<ValueRow> &rows)
{
    for (const ValueRow &row : rows) {
        Loaded r;
        loadText(row.source, &r);
        EXPECT_EQ(r.text(), row.value) << row.name;
        EXPECT_EQ(r.out, "") << row.name;
        EXPECT_EQ(r.err, "") << row.name;
    }
}

TEST(ThmEval, Arithmetic)
{
    checkValues({
        {"sum of nothing", "(+)", "0"},
        {"product of nothing", "(*)", "1"},
        {"difference of nothing", "(-)", "0"},
        {"quotient of nothing", "(/)", "1"},
        {"sum", "(+ 1 2 3)", "6"},
        {"integer and real", "(+ 1 2.5)", "3.500000"},
        {"real stays real", "(+ 0.5 0.5)", "1.000000"},
        {"non-numbers skipped", "(+ 1 'a 2)", "3"},
        {"string skipped", "(+ \"7\" 1)", "1"},
        {"product", "(* 2 3 4)", "24"},
        {"product with a real", "(* 2 0.5)", "1.000000"},
        {"difference of the rest's sum", "(- 10 1 2)", "7"},
        {"one argument comes back", "(- 4)", "4"},
        {"first not a number", "(- 'a 1)", "0"},
        {"real difference", "(- 1 0.25)", "0.750000"},
        {"truncated quotient", "(/ 7 2)", "3"},
        {"truncated toward zero", "(/ -7 2)", "-3"},
        {"real quotient", "(/ 7.0 2)", "3.500000"},
        {"quotient by the rest's product", "(/ 100 2 5)", "10"},
        {"one argument divided by one", "(/ 8)", "8"},
        {"by zero", "(/ 1 0)", "inf"},
        {"negative by zero", "(/ -1 0)", "inf"},
        {"by a real zero", "(/ 1 0.0)", "inf"},
        {"dividend not a number", "(/ 'a 2)", "1"},
        {"nested", "(+ (* 2 3) (- 10 4))", "12"},
        {"sum wraps", "(+ 2147483647 1)", "-2147483648"},
        {"product wraps", "(* 65536 65536)", "0"},
        {"difference wraps", "(- -2147483648 1)", "2147483647"},
        {"smallest by minus one", "(/ -2147483648 -1)", "-2147483648"},
        {"smallest minus nothing", "(- -2147483648)", "-2147483648"},
        {"float overflow", "(* 1000000.0 1000000.0 1000000.0 1000000.0 1000000.0 1000000.0 1000000.0)", "inf"},
        {"float underflow", "(* 0.000001 0.000001 0.000001 0.000001 0.000001 0.000001 0.000001 0.000001)", "0.000000"},
        {"divisor wrapping to zero", "(/ 1 65536 65536)", "inf"},
        {"an integer part too long for 32 bits wraps before the point", "(+ 4294967296.5 0)", "0.500000"},
    });
}

TEST(ThmEval, DefineQuoteAndProcedures)
{
    checkValues({
        {"a define's value is its symbol", "(define x 1)", "x"},
        {"defined value", "(define x 5) x", "5"},
        {"define without value binds the empty list", "(define x) x", "()"},
        {"redefinition", "(define x 1) (define x (+ x 1)) x", "2"},
        {"defining a procedure gives its name", "(define (f) 1)", "f"},
        {"procedure without parameters", "(define (f) 1) (f)", "1"},
        {"parameters", "(define (f x y) (+ x y)) (f 1 2)", "3"},
        {"surplus arguments ignored", "(define (f x) x) (f 1 2)", "1"},
        {"body's last value", "(define (f) 1 2 3) (f)", "3"},
        {"empty body", "(define (f)) (f)", "()"},
        {"improper parameters without arguments", "(define (f . x) 1) (f)", "1"},
        {"procedure calling procedure", "(define (sq x) (* x x)) (define (f x) (+ (sq x) 1)) (f 3)", "10"},
        {"definition in a body without parameters goes to the defining scope",
         "(define (f) (define y 2) 0) (f) y", "2"},
        {"a parameterless body sees its caller's bindings", "(define (g) x) (define (f x) (g)) (f 7)", "7"},
        {"a procedure is a value", "(define (f) 1) (define g f) (g)", "1"},
        {"quote form gives its rest", "(quote a)", "(a . ())"},
        {"quote form with two", "(quote a b)", "(a . (b . ()))"},
        {"quote alone", "(quote)", "()"},
        {"quoted symbol", "'a", "a"},
        {"quoted dotted pair", "'(a . b)", "(a . b)"},
        {"quoted list", "'(a b)", "(a . (b . ()))"},
        {"quoted list keeps the empty list", "'(() 1)", "(() . (1 . ()))"},
        {"self-evaluating string", "\"s\"", "\"s\""},
        {"self-evaluating vector", "#(1 a)", "#(1 a)"},
        {"empty list", "()", "()"},
        {"builtin as a value", "+", "#BUILTIN-PROCEDURE(+)"},
        {"last expression wins", "1 2 3", "3"},
        {"tail of an argument list counts as an argument", "(+ 1 . 2)", "3"},
    });
}

struct FailRow {
    const char *name;
    std::string source;
    std::string err;
    std::string out;  // the printed scope and anything before it
};

void checkFailures(const std::vector<FailRow> &rows)
{
    for (const FailRow &row : rows) {
        Loaded r;
        loadText(row.source, &r);
        EXPECT_EQ(r.value, nullptr) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
        EXPECT_EQ(r.out, row.out) << row.name;
    }
}

TEST(ThmEval, ErrorsPrintTheCurrentScopeAndGiveNone)
{
    checkFailures({
        {"unbound symbol at top level", "foo", "", kGlobalScope},
        {"not a procedure", "(1 2)", "error: object is not procedure\n", kGlobalScope},
        {"unbound procedure", "(foo 1)", "error: object is not procedure\n", kGlobalScope},
        {"define alone", "(define)", "error: define without symbol\n", kGlobalScope},
        {"define with a dotted rest", "(define . x)", "error: syntax error\n", kGlobalScope},
        {"define of a number", "(define 5 1)", "error: syntax error\n", kGlobalScope},
        {"define with two values", "(define x 1 2)", "error: syntax error\n", kGlobalScope},
        {"define with a dotted value", "(define x . 1)", "error: syntax error\n", kGlobalScope},
        {"procedure named by a number", "(define (5) 1)", "error: syntax error\n", kGlobalScope},
        {"define of an unbound value", "(define x y)", "error: no value\n", kGlobalScope},
        {"argument list not a list", "(+ . 1)", "error: eval list expect pair\n\n", kGlobalScope},
        {"unbound argument", "(+ 1 y)", "error: no value\n", kGlobalScope},
        {"lambda", "(lambda 'x 1)", "", "Not implemented lambda\n" + kGlobalScope},
        {"lambda's arguments are evaluated first", "(lambda (x) x)", "error: object is not procedure\n", kGlobalScope},
        {"remainder", "(% 7 2)", "", "Not implemented %\n" + kGlobalScope},
        {"car", "(car '(1 2))", "", "Not implemented car\n" + kGlobalScope},
        {"cdr", "(cdr '(1 2))", "", "Not implemented cdr\n" + kGlobalScope},
        {"unimplemented as an argument", "(+ (car '(1)))", "error: no value\n",
         "Not implemented car\n" + kGlobalScope},
        {"error inside a call prints the call scope", "(define (f x) (+ x y)) (f 1)", "error: no value\n",
         "#SCOPE(#HASHMAP((x . 1)))"},
    });
}

// Rows whose scope holds user bindings: the scope printed must show them.
TEST(ThmEval, ScopePrintedAfterAnErrorShowsTheBindings)
{
    struct Row {
        const char *name;
        std::string source;
        std::string err;
        std::vector<std::string> shown, absent;
    };
    const Row rows[] = {
        {"parameters not a list", "(define (f . x) 1) (f 2)", "error: error syntax\n", {"(f . #PROCEDURE(0x"}, {}},
        {"body not a list", "(define (f) . 1) (f)", "error: error proc body\n", {"(f . #PROCEDURE(0x"}, {}},
        {"unbound last expression of a body", "(define (f x) y) (f 1)", "", {"(f . #PROCEDURE("}, {"(x . 1)"}},
        {"a body's definitions stay in its call", "(define (f x) (define y 2) y) (f 1) y", "", {"(f . #PROCEDURE("}, {"(y . 2)"}},
        {"call's binding gone", "(define (g) 1) (define (f x) (g)) (f 7) x", "", {"(g . #PROCEDURE(", "(f . #PROCEDURE("}, {"(x . 7)"}},
        {"evaluation stops at the error", "(define a 1) (undefined 2) (define b 2)",
         "error: object is not procedure\n", {"(a . 1)"}, {"(b . 2)"}},
        {"string and list values", "(define s \"t\\\"\") (define l '(1 2)) (car l)", "", {"(s . \"t\\\"\")", "(l . (1 . (2 . ())))"}, {}},
    };
    for (const Row &row : rows) {
        Loaded r;
        loadText(row.source, &r);
        EXPECT_EQ(r.value, nullptr) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
        size_t scope = r.out.find("#SCOPE(#HASHMAP(");
        ASSERT_NE(scope, std::string::npos) << row.name;
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "))") << row.name;
        for (const std::string &s : row.shown)
            EXPECT_NE(r.out.find(s, scope), std::string::npos) << row.name << ": " << s;
        for (const std::string &s : row.absent)
            EXPECT_EQ(r.out.find(s), std::string::npos) << row.name << ": " << s;
    }
}

TEST(ThmEval, LoadStopsAtAReaderErrorWithTheLastValue)
{
    struct Row {
        const char *name;
        std::string source;
        std::string value, err;
    };
    const Row rows[] = {
        {"list not closed", "1 2 (", "2", "parser error: Unexpected end of file\n"},
        {"stray parenthesis", "1 ) 2", "1", ""},
        {"malformed number", "'a 1.2.3 'b", "a", ""},
        {"unknown hash form", "(define x 4) x #q 5", "4", ""},
        {"bad escape", "3 \"\\q\"", "3", "parser error: Undefined escape char\n"},
        {"empty file", "", "<none>", ""},
        {"comments only", "; a\n; b\n", "<none>", ""},
        {"reader error first", "(a . ", "<none>", "parser error: sub object is NULL\n"},
        {"dot at the end of input starts a datum", "(a .", "<none>", "parser error: Invalid identifier\nparser error: sub object is NULL\n"},
        {"comment before the closing parenthesis", "7 '(1 ;c\n)", "7", "parser error: sub object is NULL\n"},
    };
    for (const Row &row : rows) {
        Loaded r;
        loadText(row.source, &r);
        EXPECT_EQ(r.text(), row.value) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
        EXPECT_EQ(r.out, "") << row.name;
    }
}

// Runaway evaluation ends in a fatal error, not in a crash or a hang.
TEST(ThmEval, RunawayEvaluation)
{
    std::string fanOut = "(define (a) 1)";
    const char *names = "abcdefgh";
    for (int i = 1; i < 8; i++) {
        fanOut += std::string("(define (") + names[i] + ")";
        for (int j = 0; j < 10; j++)
            fanOut += std::string(" (") + names[i - 1] + ")";
        fanOut += ")";
    }
    fanOut += "(h)";
    std::string deepArguments;
    for (int i = 0; i < 999; i++)
        deepArguments += "(+ 1 ";
    deepArguments += "0" + std::string(999, ')');

    struct Row {
        const char *name;
        std::string source, err, value;
    };
    const Row rows[] = {
        {"self call with a parameter", "(define (f x) (f x)) (f 1)", "error: recursion too deep\n", "<none>"},
        {"self call without parameters", "(define (f) (f)) (f)", "error: recursion too deep\n", "<none>"},
        {"two calling each other", "(define (f x) (g x)) (define (g x) (f x)) (f 1)", "error: recursion too deep\n", "<none>"},
        {"ten million calls", fanOut, "error: too many applications\n", "<none>"},
        {"arguments nested as deep as the reader allows", deepArguments, "", "999"},
    };
    for (const Row &row : rows) {
        Loaded r;
        loadText(row.source, &r);
        EXPECT_EQ(r.err, row.err) << row.name;
        EXPECT_EQ(r.text(), row.value) << row.name;
    }
}

// A procedure defined in the global scope and called from it makes the global scope its
// own parent during the call; freeing the interpreter still frees every scope once.
TEST(ThmEval, ScopeCyclesAreBrokenWhenTheInterpreterIsFreed)
{
    Loaded r;
    loadText("(define (f) 1) (f) (define (g x) (define (inner) x) inner) (define keep (g 5)) (f) keep", &r);
    ASSERT_TRUE(ThmIsKind(r.value, ThmKindProcedure));
    // The procedure's defining scope (a call scope of g) outlives the interpreter, emptied:
    // only the procedure holds it, and it holds nothing.
    ThmObject *scope = r.value->procedure.scope;
    EXPECT_EQ(scope->refCount, 1);
    EXPECT_EQ(scope->scope.map->map.count, 0);
    EXPECT_EQ(scope->scope.parent, nullptr);
    EXPECT_EQ(scope->scope.list, nullptr);
    EXPECT_EQ(r.err, "");
}

TEST(ThmEval, SelfParentDuringACall)
{
    // While f runs, the global scope is its own parent: lookups still end.
    Loaded r;
    loadText("(define (f) undefined-name) (define (g) (f)) (g)", &r);
    EXPECT_EQ(r.value, nullptr);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("(g . #PROCEDURE("), std::string::npos);
}

}  // namespace
