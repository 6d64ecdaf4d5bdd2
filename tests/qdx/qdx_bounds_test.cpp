// Bounds and failures of the qDX reader: the long-body boundary, the token
// limit, allocation failures and a method report file that cannot be opened.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/common.h"
#include "common/limits.h"
#include "qdx/qdx.h"
#include "support/sanitizer.h"
#include "support/temp_dir.h"

namespace {

using pofreader::ExchangeElement;

// Releases the element whatever the test's outcome.
struct Element : ExchangeElement {
    Element() : ExchangeElement{0, nullptr, nullptr, nullptr, nullptr, -1, -1} {}
    ~Element() { pofreader::exchangeReleaseElement(this); }
};

std::size_t attributeCount(const ExchangeElement& e) {
    std::size_t n = 0;
    for (const pofreader::ExchangeAttribute* a = e.attributes; a != nullptr; a = a->next) ++n;
    return n;
}

// A body of `length` characters that uses more than one character class.
std::string bodyOf(std::size_t length) {
    std::string body;
    for (std::size_t i = 0; i < length; ++i) body += "G81 X;\t"[i % 7];
    return body;
}

TEST(QdxLongBody, Body4351StaysInMemory) {
    testing_support::TempDir dir;
    const std::string body = bodyOf(4351);
    const std::string text = "m d(" + body + ")";
    const char* cursor = text.c_str();
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    ASSERT_EQ(attributeCount(e), 1u);
    EXPECT_EQ(e.attributes->name, nullptr);
    EXPECT_EQ(std::string(e.attributes->value), body);
    EXPECT_EQ(e.bodySource, nullptr);
    EXPECT_EQ(e.bodyStart, -1);
    EXPECT_EQ(e.bodyEnd, -1);
    EXPECT_EQ(*cursor, '\0');
}

TEST(QdxLongBody, CarriageReturnsDoNotCountTowardsTheBoundary) {
    const std::string body = bodyOf(4351);
    const std::string text = "m d(\r\r" + body.substr(0, 2000) + "\r" + body.substr(2000) + "\r)";
    const char* cursor = text.c_str();
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    ASSERT_EQ(attributeCount(e), 1u);
    EXPECT_EQ(std::string(e.attributes->value), body);
}

TEST(QdxLongBody, Body4352RecordsTextOffsets) {
    testing_support::TempDir dir;  // the method report lands there
    const std::string body = bodyOf(4352);
    const std::string text = "m d (" + body + ") v a(1)";
    const char* cursor = text.c_str();
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_EQ(e.kind, 'm');
    EXPECT_STREQ(e.name, "d");
    EXPECT_EQ(e.attributes, nullptr);
    EXPECT_EQ(e.bodySource, nullptr);  // a text has no source handle
    EXPECT_EQ(e.bodyStart, 5);
    EXPECT_EQ(e.bodyEnd, static_cast<int>(5 + body.size() + 1));
    EXPECT_EQ(text.substr(e.bodyStart, e.bodyEnd - 1 - e.bodyStart), body);
    EXPECT_STREQ(cursor, " v a(1)");
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_STREQ(e.name, "a");
    EXPECT_EQ(e.bodyStart, -1);
}

TEST(QdxLongBody, OffsetsCountFromWhereTheCallBegan) {
    testing_support::TempDir dir;  // the method report lands there
    const std::string body = bodyOf(6000);
    const std::string text = "v a(1) m d (" + body + ")";
    const char* cursor = text.c_str();
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    const char* methodStart = cursor;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_EQ(e.bodyStart, 6);  // " m d (" from where this call began
    EXPECT_EQ(std::string(methodStart + e.bodyStart, e.bodyEnd - 1 - e.bodyStart), body);
    EXPECT_EQ(*cursor, '\0');
}

TEST(QdxLongBody, EndOfInputEndsALongBody) {
    const std::string text = "m d(" + bodyOf(5000) + "\r\n";
    const char* cursor = text.c_str();
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_EQ(e.bodyStart, 4);
    EXPECT_EQ(e.bodyEnd, static_cast<int>(text.size()));
    EXPECT_EQ(e.attributes, nullptr);
}

TEST(QdxLongBody, BadCharacterInALongBodyFails) {
    const std::string text = "m d(" + bodyOf(5000) + "`) v a(1)";
    const char* cursor = text.c_str();
    Element e;
    EXPECT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 0);
    EXPECT_EQ(pofreader::exchangeLastError(), pofreader::kQdxErrorCharacter);
    EXPECT_STREQ(cursor, ") v a(1)");
    EXPECT_EQ(e.kind, 0);
    EXPECT_EQ(e.bodyStart, -1);
}

// The sanitizer's allocator copies on every resize, so a 1 MiB token grown in
// 16-byte steps costs it most of a minute. There the name test alone walks
// every step up to the limit, once: the token code has no revision branch.
constexpr bool kCopyingAllocator = testing_support::kAddressSanitizer;

// Names, values and texts grow on the heap; past kQdxTokenMax characters the
// element fails as if memory had run out, and the next element reads clean.
TEST(QdxTokenLimit, NamePastTheLimitFailsWithoutExhaustingMemory) {
    if (kCopyingAllocator && pofreader::kEarlierRevision) GTEST_SKIP() << "run once, by the current revision";
    std::string text = "v ";
    text.append(pofreader::kQdxTokenMax + 1, 'n');
    text += "(1) v b(2)";
    const char* cursor = text.c_str();
    Element e;
    EXPECT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 0);
    EXPECT_EQ(pofreader::exchangeLastError(), pofreader::kQdxErrorMemory);
    EXPECT_STREQ(cursor, "(1) v b(2)");  // stopped on the character that did not fit
    cursor += 3;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_STREQ(e.name, "b");
}

TEST(QdxTokenLimit, ValueAtTheLimitIsKept) {
    if (kCopyingAllocator) GTEST_SKIP() << "covered by the name test under the sanitizer";
    std::string text = "v a(";
    text.append(pofreader::kQdxTokenMax, 'x');
    text += ")";
    const char* cursor = text.c_str();
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_EQ(std::string(e.text).size(), pofreader::kQdxTokenMax);
}

// Every allocation of a run is failed in turn: each failure gives 0 with
// kQdxErrorMemory, releases the partial element (the sanitizer build proves no
// leak) and leaves the reader ready for the next text. A token grows again at
// its 16th character: the second text stores that one in each way a value or
// a bracket text can (escapes of three digits, of fewer, of a plain
// character, a blank inside).
TEST(QdxAllocation, EveryFailureGivesNothingAndLeaksNothing) {
    testing_support::TempDir dir;
    const struct {
        const char* text;
        int elements;
        const char* firstName;
    } texts[] = {
        {"o T [a b] ( d[10] t[ x ] ) m d [p] ( G81 ) v x(\\065bc) {", 4, "T"},
        {"v a(aaaaaaaaaaaaaaa\\065) v b(bbbbbbbbbbbbbbb\\65) v c(ccccccccccccccc\\c) "
         "v d(ddddddddddddddd d) o e [eeeeeeeeeeeeeee e] ()",
         5, "a"},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.text);
        bool sawSuccess = false;
        for (long n = 1; n < 100 && !sawSuccess; ++n) {
            SCOPED_TRACE("failing allocation " + std::to_string(n));
            const char* cursor = t.text;
            Element e;
            int elements = 0;
            int failures = 0;
            pofreader::memInjectFailure(n);
            for (int call = 0; call < 2 * t.elements; ++call) {
                if (pofreader::exchangeNextFromText(&cursor, &e) == 1) {
                    ++elements;
                } else if (pofreader::exchangeLastError() == pofreader::kQdxErrorMemory) {
                    ++failures;
                } else if (*cursor == '\0') {
                    break;
                }
            }
            const long made = pofreader::memInjectFailure(0);
            if (made < n) {
                sawSuccess = true;
                EXPECT_EQ(elements, t.elements);
                EXPECT_EQ(failures, 0);
            } else {
                EXPECT_EQ(failures, 1);
                EXPECT_LT(elements, t.elements);
            }
        }
        EXPECT_TRUE(sawSuccess);
        const char* cursor = t.text;
        Element e;
        EXPECT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
        EXPECT_STREQ(e.name, t.firstName);
    }
}

// The node is the last allocation of this element; losing it fails the
// element (kQdxErrorMemory) rather than dropping the attribute.
TEST(QdxAllocation, AttributeNodeThatCannotBeAllocated) {
    const char* const text = "o x ( a[1] )";
    const char* cursor = text;
    Element e;
    pofreader::memInjectFailure(0);
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    const long allocations = pofreader::memInjectFailure(0);
    pofreader::exchangeReleaseElement(&e);
    cursor = text;
    pofreader::memInjectFailure(allocations);
    EXPECT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 0);
    EXPECT_EQ(pofreader::exchangeLastError(), pofreader::kQdxErrorMemory);
    EXPECT_STREQ(cursor, " )");
    EXPECT_EQ(pofreader::memInjectFailure(0), allocations);
}

TEST(QdxMethodReport, UnopenableFileIsIgnored) {
    testing_support::TempDir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("EDK.TXT")));
    const char* cursor = "m d (x) v a(1)";
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_STREQ(e.attributes->value, "x");
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_STREQ(e.name, "a");
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("EDK.TXT")));
}

TEST(QdxMethodReport, LinesAreAppended) {
    testing_support::TempDir dir;
    dir.write("EDK.TXT", "earlier\n");
    const char* cursor = "m drill\n(G81) m tap ;c\n(x)";
    Element e;
    while (pofreader::exchangeNextFromText(&cursor, &e) == 1) {
    }
    EXPECT_EQ(dir.read("EDK.TXT"), "earlier\n methode = 'drill'\n methode = 'tap'\n");
}

}  // namespace
