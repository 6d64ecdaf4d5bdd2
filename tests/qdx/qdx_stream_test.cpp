// The reader over a stream: a long body records the stream and its file
// positions, from which the caller can read the body back.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "common/limits.h"
#include "qdx/qdx.h"
#include "support/sanitizer.h"
#include "support/temp_dir.h"

namespace {

using pofreader::ExchangeElement;

struct Stream {
    explicit Stream(const std::string& content) : file(std::tmpfile()) {
        if (file == nullptr) return;
        std::fwrite(content.data(), 1, content.size(), file);
        std::rewind(file);
    }
    ~Stream() {
        if (file != nullptr) std::fclose(file);
    }
    std::FILE* file;
};

struct Element : ExchangeElement {
    Element() : ExchangeElement{0, nullptr, nullptr, nullptr, nullptr, -1, -1} {}
    ~Element() { pofreader::exchangeReleaseElement(this); }
};

TEST(QdxStream, LongBodyRecordsFilePositions) {
    testing_support::TempDir dir;
    const std::string body(5000, 'X');
    Stream in("m drill (" + body + ")\nv a(1)");
    ASSERT_NE(in.file, nullptr);
    Element e;
    ASSERT_EQ(pofreader::exchangeReadElement(in.file, &e), 1);
    EXPECT_EQ(e.kind, 'm');
    EXPECT_STREQ(e.name, "drill");
    EXPECT_EQ(e.attributes, nullptr);
    EXPECT_EQ(e.bodySource, in.file);
    EXPECT_EQ(e.bodyStart, 9);
    EXPECT_EQ(e.bodyEnd, 9 + 5000 + 1);
    const long resume = std::ftell(in.file);

    std::string readBack(static_cast<std::size_t>(e.bodyEnd - 1 - e.bodyStart), '\0');
    ASSERT_EQ(std::fseek(in.file, e.bodyStart, SEEK_SET), 0);
    ASSERT_EQ(std::fread(readBack.data(), 1, readBack.size(), in.file), readBack.size());
    EXPECT_EQ(readBack, body);
    ASSERT_EQ(std::fseek(in.file, resume, SEEK_SET), 0);

    pofreader::exchangeReleaseElement(&e);
    ASSERT_EQ(pofreader::exchangeReadElement(in.file, &e), 1);
    EXPECT_STREQ(e.name, "a");
    EXPECT_STREQ(e.text, "1");
    EXPECT_EQ(e.bodySource, nullptr);
    EXPECT_EQ(e.bodyStart, -1);
    EXPECT_EQ(pofreader::exchangeReadElement(in.file, &e), 0);
    EXPECT_EQ(pofreader::exchangeLastError(), pofreader::kQdxErrorNone);
    EXPECT_EQ(dir.read("EDK.TXT"), " methode = 'drill'\n");
}

TEST(QdxStream, ControlZEndsTheInput) {
    Stream in("v a(1)\x1a");
    ASSERT_NE(in.file, nullptr);
    Element e;
    ASSERT_EQ(pofreader::exchangeReadElement(in.file, &e), 1);
    pofreader::exchangeReleaseElement(&e);
    EXPECT_EQ(pofreader::exchangeReadElement(in.file, &e), 0);
    EXPECT_EQ(pofreader::exchangeLastError(), pofreader::kQdxErrorNone);
}

// A long body whose position a stream cannot tell (a pipe), or that lies past
// what the positions hold (2 GiB into a file), is read past and recorded with
// its source but no positions.
TEST(QdxStream, LongBodyWithoutPositions) {
    testing_support::TempDir dir;
    const std::string element = "m d (" + std::string(5000, 'X') + ") v a(1)";
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], element.data(), element.size()), static_cast<ssize_t>(element.size()));
    close(ends[1]);
    std::FILE* piped = fdopen(ends[0], "r");
    ASSERT_NE(piped, nullptr);
    const std::string farPath = dir.file("far.qdx");
    std::FILE* far = std::fopen(farPath.c_str(), "w+");
    ASSERT_NE(far, nullptr);
    const off_t farOffset = off_t{1} << 31;  // sparse: nothing before it is written
    ASSERT_EQ(fseeko(far, farOffset, SEEK_SET), 0);
    std::fputs(element.c_str(), far);
    ASSERT_EQ(fseeko(far, farOffset, SEEK_SET), 0);

    for (std::FILE* source : {piped, far}) {
        Element e;
        ASSERT_EQ(pofreader::exchangeReadElement(source, &e), 1);
        EXPECT_EQ(e.bodySource, source);
        EXPECT_EQ(e.bodyStart, -1);
        EXPECT_EQ(e.bodyEnd, -1);
        EXPECT_EQ(e.attributes, nullptr);
        pofreader::exchangeReleaseElement(&e);
        ASSERT_EQ(pofreader::exchangeReadElement(source, &e), 1);
        EXPECT_STREQ(e.name, "a");
    }
    std::fclose(piped);
    std::fclose(far);
}

TEST(QdxStream, NoSourceReadsAsEmpty) {
    Element e;
    EXPECT_EQ(pofreader::exchangeReadElement(nullptr, &e), 0);
    EXPECT_EQ(pofreader::exchangeLastError(), pofreader::kQdxErrorNone);
}

// A text read after a stream still reads from the text, and a stream read
// after a text reads from the stream again.
TEST(QdxStream, TextAndStreamSourcesDoNotMix) {
    Stream in("v s(1)");
    ASSERT_NE(in.file, nullptr);
    const char* cursor = "v t(2)";
    Element e;
    ASSERT_EQ(pofreader::exchangeNextFromText(&cursor, &e), 1);
    EXPECT_STREQ(e.name, "t");
    pofreader::exchangeReleaseElement(&e);
    ASSERT_EQ(pofreader::exchangeReadElement(in.file, &e), 1);
    EXPECT_STREQ(e.name, "s");
}

// A text is read through a fast path that stores whole runs of characters;
// a stream, one character at a time. Both must give the same elements, stop
// at the same place and fail the same way. Every token here is longer than a
// growth step, in every state that stores one.
std::string describeRuns(const std::string& input, bool fromText) {
    Stream in(input);
    const char* cursor = input.c_str();
    std::string out;
    for (int guard = 0; guard < 20; ++guard) {
        Element e;
        const long before = fromText ? cursor - input.c_str() : std::ftell(in.file);
        const int read = fromText ? pofreader::exchangeNextFromText(&cursor, &e)
                                  : pofreader::exchangeReadElement(in.file, &e);
        const long after = fromText ? cursor - input.c_str() : std::ftell(in.file);
        out += std::to_string(read) + "/" + std::to_string(pofreader::exchangeLastError()) + " @" +
               std::to_string(after) + " " + std::string(1, static_cast<char>(e.kind ? e.kind : '-'));
        if (e.name != nullptr) out += " " + std::string(e.name);
        if (e.text != nullptr) out += " [" + std::string(e.text) + "]";
        for (auto* a = e.attributes; a != nullptr; a = a->next)
            out += std::string(" ") + (a->name ? a->name : "-") + "=" + (a->value ? a->value : "-");
        // A text reports body positions from where its run began.
        if (e.bodyStart >= 0) out += " body " + std::to_string(e.bodyStart + (fromText ? before : 0)) + ".." +
                                     std::to_string(e.bodyEnd + (fromText ? before : 0));
        out += "\n";
        // An error ends a run, not the input: reading goes on behind it.
        const bool quietEnd = pofreader::exchangeLastError() == pofreader::kQdxErrorNone;
        if (read == 0 && (quietEnd || after == before)) break;
    }
    return out;
}

TEST(QdxStream, TextAndStreamGiveTheSameElements) {
    testing_support::TempDir dir;  // method report lines land here
    const std::string n(20, 'n'), v(20, 'v');
    const std::string inputs[] = {
        "v " + n + "( " + v + " \\065" + v + "\\x" + v + " ) v b(2)",
        "v " + n + ".x.y(1) v b(2)",
        "o " + n + " [ " + v + "  \t " + v + " ] ( " + n + "[ " + v + " \t] t[ " + v + " ] ) {",
        "m " + n + " [" + v + " " + v + "] (" + std::string(300, 'G') + ") }",
        "m " + n + ";c\n(" + std::string(5000, 'X') + ") v a(1)",
        "o " + n + " [" + v + ";] v a(1)",
        "o " + n + " ( " + n + "; ) v a(1)",
        "v a(" + v + "\r\n) x",
        "v a(1) o x ( a[1] b[",
    };
    std::vector<std::string> all(std::begin(inputs), std::end(inputs));
    // A token past the limit fails at the same place (1 MiB grown in 16-byte
    // steps: too slow where every resize copies).
    if (!testing_support::kAddressSanitizer)
        all.push_back("v " + std::string(pofreader::kQdxTokenMax + 1, 'n') + "(1) v b(2)");
    for (const std::string& input : all) {
        const std::string fromText = describeRuns(input, true);
        EXPECT_EQ(fromText, describeRuns(input, false)) << input.substr(0, 80);
        EXPECT_NE(fromText.find("1/" + std::to_string(pofreader::kQdxErrorNone)), std::string::npos) << "no element read from " << input.substr(0, 80);
    }
}

}  // namespace
