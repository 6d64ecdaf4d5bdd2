// The element grammar, case by case, over exchangeNextFromText: element kind,
// name, text, attributes in order, where the cursor stops, why a call gave
// nothing, and the method report lines.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "common/common.h"
#include "qdx/qdx.h"
#include "qdx_case.h"
#include "support/temp_dir.h"

using namespace std::string_literals;
using pofreader::kEarlierRevision;
using qdx_test::Case;
using qdx_test::element;
using qdx_test::nothing;

namespace {

// Why a call gave nothing, short for the rows.
constexpr int kNone = pofreader::kQdxErrorNone;
constexpr int kUnfinished = pofreader::kQdxErrorUnfinished;
constexpr int kSemicolon = pofreader::kQdxErrorSemicolon;
constexpr int kCharacter = pofreader::kQdxErrorCharacter;

std::string describe(const char* text) { return text == nullptr ? "(none)" : "'"s + text + "'"; }

void runCase(const Case& c) {
    SCOPED_TRACE(c.label);
    testing_support::TempDir dir;
    const char* cursor = c.input.data();
    pofreader::ExchangeElement got{};
    got.bodyStart = got.bodyEnd = -1;
    for (std::size_t i = 0; i < c.calls.size(); ++i) {
        const qdx_test::Call& want = c.calls[i];
        SCOPED_TRACE("call " + std::to_string(i + 1));
        EXPECT_EQ(pofreader::exchangeNextFromText(&cursor, &got), want.result);
        EXPECT_EQ(pofreader::exchangeLastError(), want.error);
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(describe(got.name), describe(want.name));
        EXPECT_EQ(describe(got.text), describe(want.text));
        std::size_t n = 0;
        for (const pofreader::ExchangeAttribute* a = got.attributes; a != nullptr; a = a->next, ++n) {
            if (n >= want.attributes.size()) break;
            EXPECT_EQ(describe(a->name), describe(want.attributes[n].name)) << "attribute " << n;
            EXPECT_EQ(describe(a->value), describe(want.attributes[n].value)) << "attribute " << n;
        }
        std::size_t count = 0;
        for (const pofreader::ExchangeAttribute* a = got.attributes; a != nullptr; a = a->next) ++count;
        EXPECT_EQ(count, want.attributes.size());
        EXPECT_EQ(got.bodySource, nullptr);
        EXPECT_EQ(got.bodyStart, -1);
        EXPECT_EQ(got.bodyEnd, -1);
        ASSERT_LE(want.rest.size(), c.input.size());
        EXPECT_EQ(static_cast<std::size_t>(cursor - c.input.data()), c.input.size() - want.rest.size())
            << "cursor at " << describe(cursor);
    }
    pofreader::exchangeReleaseElement(&got);
    std::string report;
    for (const std::string& name : c.reported) report += " methode = '" + name + "'\n";
    EXPECT_EQ(dir.read("EDK.TXT"), report);
}

// Separators, comments, end of input and the cursor.
std::vector<Case> textLevelCases() {
    return {
        {"empty text", "", {nothing("", kNone), nothing("", kNone)}, {}},
        {"whitespace and comments only", " \t\r\n ; first\n\n;second", {nothing("", kNone)}, {}},
        {"two values", "v a(1) v b(2)",
         {element('v', "a", "1", {}, " v b(2)"), element('v', "b", "2", {}, ""), nothing("", kNone)}, {}},
        {"stray letter, then the reader starts clean", "x v a(1)",
         {nothing(" v a(1)", kCharacter), element('v', "a", "1", {}, "")}, {}},
        {"comment to the end after an element", "v a(1) ; end",
         {element('v', "a", "1", {}, " ; end"), nothing("", kNone)}, {}},
        {"control-Z ends the text like the NUL", "v a(1)\x1a v b(2)",
         {element('v', "a", "1", {}, "\x1a v b(2)"), nothing("\x1a v b(2)", kNone),
          nothing("\x1a v b(2)", kNone)},
         {}},
        {"NUL in mid-text ends it", "v a(1)\0v b(2)"s,
         {element('v', "a", "1", {}, "\0v b(2)"s), nothing("\0v b(2)"s, kNone)}, {}},
        {"control-Z ends a begun value", "v a(12\x1a)", {element('v', "a", "12", {}, "\x1a)")}, {}},
        {"control-Z inside a name", "v ab\x1a(1)", {nothing("\x1a(1)", kUnfinished)}, {}},
        {"comment reaching the end inside an element", "v a ; note", {nothing("", kUnfinished)}, {}},
        {"unterminated comment inside attributes", "o x ( a[1] ; note", {nothing("", kUnfinished)}, {}},
        {"block markers", "{v a(1)}",
         {element('{', nullptr, nullptr, {}, "v a(1)}"), element('v', "a", "1", {}, "}"),
          element('}', nullptr, nullptr, {}, ""), nothing("", kNone)},
         {}},
        {"high byte between elements", "\x80v a(1)",
         {nothing("v a(1)", kCharacter), element('v', "a", "1", {}, "")}, {}},
        {"control byte between elements", "\x01", {nothing("", kCharacter)}, {}},
        {"closing parenthesis between elements", ")", {nothing("", kCharacter)}, {}},
        {"upper-case kind letter", "V a(1)", {nothing(" a(1)", kCharacter)}, {}},
        {"elements over several lines", "v\n\tname\r\n(\n 7\n",
         {element('v', "name", "7", {}, ""), nothing("", kNone)}, {}},
    };
}

// `v` elements: names, values, trimming and escapes.
std::vector<Case> valueCases() {
    return {
        {"value trimmed both sides", "v depth( 12.5 )", {element('v', "depth", "12.5", {}, "")}, {}},
        {"full stop in a v name", "v a.b(x)",
         {kEarlierRevision ? nothing("b(x)", kCharacter) : element('v', "a.b", "x", {}, "")}, {}},
        {"full stop begins a v name", "v .a(x)",
         {kEarlierRevision ? nothing("a(x)", kCharacter) : element('v', ".a", "x", {}, "")}, {}},
        {"backslash in a v name", "v a\\b(x)",
         {kEarlierRevision ? nothing("b(x)", kCharacter) : element('v', "a\\b", "x", {}, "")}, {}},
        {"no blank needed after the kind letter", "vx(1)", {element('v', "x", "1", {}, "")}, {}},
        {"comment between name and value", "v x ; c\n (1)", {element('v', "x", "1", {}, "")}, {}},
        {"three-digit escapes", "v x(\\065\\066C)", {element('v', "x", "ABC", {}, "")}, {}},
        {"two-digit escape", "v x(\\65)", {element('v', "x", "A", {}, "")}, {}},
        {"escape ends after three digits", "v x(\\0656)", {element('v', "x", "A6", {}, "")}, {}},
        {"escape modulo 256", "v x(\\999)", {element('v', "x", "\xe7", {}, "")}, {}},
        {"escaped closing parenthesis", "v x(\\))", {element('v', "x", ")", {}, "")}, {}},
        {"escaped backslash and bracket", "v x(\\\\\\[\\`)", {element('v', "x", "\\[`", {}, "")}, {}},
        {"escape ended by the closing parenthesis", "v x(a\\9)", {element('v', "x", "a\t", {}, "")}, {}},
        {"escape keeps a line break once begun", "v x(a\\\nb)", {element('v', "x", "a\nb", {}, "")}, {}},
        {"whitespace before the value skipped inside an escape", "v x(\\ 65)",
         {element('v', "x", "A", {}, "")}, {}},
        {"whitespace before the value skipped between escape digits", "v a(\\5 a)",
         {element('v', "a", "\x05" "a", {}, "")}, {}},
        {"line break before the value skipped between escape digits", "v a(\\1\r6)",
         {element('v', "a", "\x10", {}, "")}, {}},
        {"escaped high byte", "v x(\\\x80)", {element('v', "x", "\x80", {}, "")}, {}},
        {"escaped NUL ends the text", "v x(a\\0b)", {element('v', "x", "a", {}, "")}, {}},
        {"escaped spaces trimmed", "v x(\\032a b\\032)", {element('v', "x", "a b", {}, "")}, {}},
        {"spaces only become the empty text", "v x(\\032\\032)", {element('v', "x", "", {}, "")}, {}},
        {"tabs are not trimmed", "v x(a\tb\t)", {element('v', "x", "a\tb\t", {}, "")}, {}},
        {"semicolon inside a value", "v x(a;b)", {element('v', "x", "a;b", {}, "")}, {}},
        {"tilde, the last printable character, is a value character", "v x(~a~)",
         {element('v', "x", "~a~", {}, "")}, {}},
        {"control character 21 is a value character", "v x(\x15)", {element('v', "x", "\x15", {}, "")}, {}},
        {"empty value", "v x()", {element('v', "x", nullptr, {}, "")}, {}},
        {"blank value", "v x( \n\t )", {element('v', "x", nullptr, {}, "")}, {}},
        {"value ended by the end of input", "v x(abc", {element('v', "x", "abc", {}, "")}, {}},
        {"value ended by a line feed", "v x(a\nb)",
         {element('v', "x", "a", {}, "b)"), nothing(")", kCharacter)}, {}},
        {"value ended by a carriage return", "v x(a\rv y(2)",
         {element('v', "x", "a", {}, "v y(2)"), element('v', "y", "2", {}, "")}, {}},
        {"end before the value", "v x(\n", {nothing("", kUnfinished)}, {}},
        {"end inside an escape before the value", "v x(\\", {nothing("", kUnfinished)}, {}},
        {"end inside an escape after the value began", "v x(a\\", {element('v', "x", "a", {}, "")}, {}},
        {"high byte in a value", "v x(a\x80)", {nothing(")", kCharacter)}, {}},
        {"control byte in a value", "v x(a\x01" "b)", {nothing("b)", kCharacter)}, {}},
        {"back quote in a value", "v x(`)", {nothing(")", kCharacter)}, {}},
        {"bracket in a value", "v x([)", {nothing(")", kCharacter)}, {}},
        {"bracket after a v name", "v x[1]", {nothing("1]", kCharacter)}, {}},
        {"bracket after a v name and a blank", "v x [1]", {nothing("1]", kCharacter)}, {}},
        {"parenthesis where the name begins", "v (1)", {nothing("1)", kCharacter)}, {}},
        {"semicolon where the name begins", "v ;c\n x(1)", {nothing("c\n x(1)", kSemicolon)}, {}},
        {"end where the name begins", "v", {nothing("", kUnfinished)}, {}},
        {"end after the name", "v x ", {nothing("", kUnfinished)}, {}},
        {"closing parenthesis after the name", "v x )", {nothing("", kCharacter)}, {}},
    };
}

// `o` elements: bracket texts and attributes.
std::vector<Case> objectCases() {
    return {
        {"object with text and attributes", "o Tool [ ball  mill ] ( d[10] t[ flat ] )",
         {element('o', "Tool", "ball  mill", {{"d", "10"}, {"t", " flat "}}, "")}, {}},
        {"comment after an attribute value", "o x ( a [1] ; note\nb[2] )",
         {element('o', "x", nullptr, {{"a", "1"}, {"b", "2"}}, "")}, {}},
        {"semicolon directly after an attribute name", "o x ( a; [1] )",
         {nothing(" [1] )", kSemicolon)}, {}},
        {"semicolon in a bracket text", "o x [a;b] ()", {nothing("b] ()", kCharacter)}, {}},
        {"empty attribute value", "o x ( a[] )", {element('o', "x", nullptr, {{"a", nullptr}}, "")}, {}},
        {"empty verbatim value", "o x ( t[] )", {element('o', "x", nullptr, {{"t", nullptr}}, "")}, {}},
        {"full stop in an o name", "o a.b(x)", {nothing("b(x)", kCharacter)}, {}},
        {"comments in every separator", "o x ;c\n [t] ;d\n ( ;e\n a ;f\n [1] ;g\n )",
         {element('o', "x", "t", {{"a", "1"}}, "")}, {}},
        {"no blanks at all", "o x(a[1]b[2])", {element('o', "x", nullptr, {{"a", "1"}, {"b", "2"}}, "")},
         {}},
        {"empty bracket text and no attributes", "o x[]()", {element('o', "x", nullptr, {}, "")}, {}},
        {"tabs in a bracket text become spaces", "o x [ a\tb \t] ()",
         {element('o', "x", "a b", {}, "")}, {}},
        {"bracket text ended by a line feed", "o x [a\n ()", {element('o', "x", "a", {}, "")}, {}},
        {"parenthesis in a bracket text", "o x [a(b] ()", {nothing("b] ()", kCharacter)}, {}},
        {"value trimmed of trailing blanks only", "o x ( a[ 1 2 \t] )",
         {element('o', "x", nullptr, {{"a", "1 2"}}, "")}, {}},
        {"value with a semicolon and a backslash", "o x ( a[1;2\\] )",
         {element('o', "x", nullptr, {{"a", "1;2\\"}}, "")}, {}},
        {"value ended by a line break", "o x ( a[\n1\n b[2] )",
         {element('o', "x", nullptr, {{"a", "1"}, {"b", "2"}}, "")}, {}},
        {"verbatim value ended at once by a line break", "o x ( t[\nb[2] )",
         {element('o', "x", nullptr, {{"t", nullptr}, {"b", "2"}}, "")}, {}},
        {"verbatim value keeps tabs and blanks", "o x ( t[ a\tb ] tt[ c ] )",
         {element('o', "x", nullptr, {{"t", " a\tb "}, {"tt", "c"}}, "")}, {}},
        {"repeated attribute names keep their order", "o x ( a[1] a[2] )",
         {element('o', "x", nullptr, {{"a", "1"}, {"a", "2"}}, "")}, {}},
        {"backslash in names and texts", "o a\\b [c\\d] ( e\\f[1] )",
         {kEarlierRevision ? nothing("b [c\\d] ( e\\f[1] )", kCharacter)
                           : element('o', "a\\b", "c\\d", {{"e\\f", "1"}}, "")},
         {}},
        {"backslash in an attribute name", "o x ( e\\f[1] )",
         {kEarlierRevision ? nothing("f[1] )", kCharacter)
                           : element('o', "x", nullptr, {{"e\\f", "1"}}, "")},
         {}},
        {"attribute without a value", "o x ( a )", {nothing("", kCharacter)}, {}},
        {"value opened without a name", "o x ( [1] )", {nothing("1] )", kCharacter)}, {}},
        {"closing bracket instead of a name", "o x ( ] )", {nothing(" )", kCharacter)}, {}},
        {"opening parenthesis instead of a name", "o x ( ( )", {nothing(" )", kCharacter)}, {}},
        {"parenthesis after an attribute name", "o x ( a ( )", {nothing(" )", kCharacter)}, {}},
        {"bad character in an attribute name", "o x ( a.b[1] )", {nothing("b[1] )", kCharacter)}, {}},
        {"attribute name begun by a bad character", "o x ( .a[1] )", {nothing("a[1] )", kCharacter)}, {}},
        {"bracket in an attribute value", "o x ( a[1[ )", {nothing(" )", kCharacter)}, {}},
        {"high byte in an attribute value", "o x ( a[\xff] )", {nothing("] )", kCharacter)}, {}},
        {"second bracket text", "o x [a] [b] ()", {nothing("b] ()", kCharacter)}, {}},
        {"end after the name", "o x", {nothing("", kUnfinished)}, {}},
        {"end in the attribute list", "o x (", {nothing("", kUnfinished)}, {}},
        {"end in an attribute name", "o x ( a", {nothing("", kUnfinished)}, {}},
        {"end in an attribute value", "o x ( a[1", {nothing("", kUnfinished)}, {}},
        {"end in a bracket text", "o x [a", {nothing("", kUnfinished)}, {}},
        {"end after the last attribute", "o x ( a[1]", {nothing("", kUnfinished)}, {}},
        {"failed object, then a clean value", "o x ( a[1] b[2] .\nv y(3)",
         {nothing("\nv y(3)", kCharacter), element('v', "y", "3", {}, "")}, {}},
    };
}

// `m` elements: names, bracket texts, short bodies and the method report.
std::vector<Case> methodCases() {
    return {
        {"blank after the name is reported", "m drill ( G81 )",
         {element('m', "drill", nullptr, {{nullptr, " G81 "}}, "")}, {"drill"}},
        {"parenthesis right after the name is not reported", "m drill(G81)",
         {element('m', "drill", nullptr, {{nullptr, "G81"}}, "")}, {}},
        {"bracket text drops every blank", "m drill [x y] (G81)",
         {element('m', "drill", "xy", {{nullptr, "G81"}}, "")}, {"drill"}},
        {"bracket right after the name is not reported", "m d[a](x)",
         {element('m', "d", "a", {{nullptr, "x"}}, "")}, {}},
        {"empty parentheses open nothing", "m drill () G81)",
         {element('m', "drill", nullptr, {{nullptr, " G81"}}, "")}, {"drill"}},
        {"blank and comment after the name are reported", "m d ;c\n(b)",
         {element('m', "d", nullptr, {{nullptr, "b"}}, "")}, {"d"}},
        {"comment after the name is reported", "m d;c\n(b)", {element('m', "d", nullptr, {{nullptr, "b"}}, "")},
         {"d"}},
        {"comment after an m bracket text", "m d[a b] ;c\n ;d\n(x)",
         {element('m', "d", "ab", {{nullptr, "x"}}, "")}, {}},
        {"carriage returns dropped from a body", "m d(a\r\nb\t)",
         {element('m', "d", nullptr, {{nullptr, "a\nb\t"}}, "")}, {}},
        {"semicolon in a body", "m d( ; )", {element('m', "d", nullptr, {{nullptr, " ; "}}, "")}, {}},
        {"body ended by the end of input", "m d(abc", {element('m', "d", nullptr, {{nullptr, "abc"}}, "")},
         {}},
        {"two methods, two lines", "m a (1) m b\n(2) m c(3)",
         {element('m', "a", nullptr, {{nullptr, "1"}}, " m b\n(2) m c(3)"),
          element('m', "b", nullptr, {{nullptr, "2"}}, " m c(3)"),
          element('m', "c", nullptr, {{nullptr, "3"}}, "")},
         {"a", "b"}},
        {"report stays when the element fails", "m bad (`)", {nothing(")", kCharacter)}, {"bad"}},
        {"end before the body", "m d (", {nothing("", kUnfinished)}, {"d"}},
        {"end after empty parentheses", "m d()", {nothing("", kUnfinished)}, {}},
        {"parenthesis inside a body", "m d(a(b)", {nothing("b)", kCharacter)}, {}},
        {"high byte in a body", "m d(a\x80)", {nothing(")", kCharacter)}, {}},
        {"control byte in a body", "m d(a\x0b)", {nothing(")", kCharacter)}, {}},
        {"semicolon in an m bracket text", "m d [a;b] ()", {nothing("b] ()", kCharacter)}, {"d"}},
        {"semicolon where the name begins", "m ;", {nothing("", kSemicolon)}, {}},
        {"backslash in an m name", "m a\\b (x)",
         {kEarlierRevision ? nothing("b (x)", kCharacter)
                           : element('m', "a\\b", nullptr, {{nullptr, "x"}}, "")},
         kEarlierRevision ? std::vector<std::string>{} : std::vector<std::string>{"a\\b"}},
        {"full stop in an m name", "m a.b (x)", {nothing("b (x)", kCharacter)}, {}},
    };
}

class QdxText : public testing::TestWithParam<Case> {};

TEST_P(QdxText, ReadsAsExpected) { runCase(GetParam()); }

std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char* c = info.param.label; *c != '\0'; ++c) {
        name += (std::isalnum(static_cast<unsigned char>(*c)) != 0) ? *c : '_';
    }
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(TextLevel, QdxText, testing::ValuesIn(textLevelCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Values, QdxText, testing::ValuesIn(valueCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Objects, QdxText, testing::ValuesIn(objectCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Methods, QdxText, testing::ValuesIn(methodCases()), caseName);

TEST(QdxTextEntry, RefusesMissingArguments) {
    const char* text = "v a(1)";
    const char* noText = nullptr;
    pofreader::ExchangeElement got{};
    EXPECT_EQ(pofreader::exchangeNextFromText(nullptr, &got), 0);
    EXPECT_EQ(pofreader::exchangeNextFromText(&noText, &got), 0);
    EXPECT_EQ(pofreader::exchangeNextFromText(&text, nullptr), 0);
    EXPECT_STREQ(text, "v a(1)");
    EXPECT_EQ(pofreader::exchangeReadElement(nullptr, nullptr), 0);
    pofreader::exchangeReleaseElement(nullptr);
}

TEST(QdxTextEntry, ReleaseEmptiesTheRecord) {
    const char* text = "o x [y] ( a[1] )";
    pofreader::ExchangeElement got{};
    ASSERT_EQ(pofreader::exchangeNextFromText(&text, &got), 1);
    pofreader::exchangeReleaseElement(&got);
    EXPECT_EQ(got.kind, 0);
    EXPECT_EQ(got.name, nullptr);
    EXPECT_EQ(got.text, nullptr);
    EXPECT_EQ(got.attributes, nullptr);
    EXPECT_EQ(got.bodySource, nullptr);
    EXPECT_EQ(got.bodyStart, -1);
    EXPECT_EQ(got.bodyEnd, -1);
}

}  // namespace
