// The record payload splitter: takes "name(value)" apart. The name is the last
// word before the first opening parenthesis outside double quotes; the value
// runs to the matching closing parenthesis (the earlier revision: to the first
// one outside quotes).
#include "common/char_classes.h"
#include "common/common.h"
#include "common/diagnostics.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// A buffer that keeps at most its size minus one characters and is always
// terminated (when it has room for the terminator at all). The logical length
// goes on counting what is cut, so that emptiness is judged on the input.
class BoundedText {
public:
    BoundedText(char* buffer, std::size_t size) : buffer_(buffer), size_(size) { terminate(); }

    void restart() { length_ = 0; }
    void append(char c) {
        if (length_ + 1 < size_) buffer_[length_] = c;
        ++length_;
    }
    void terminate() {
        if (size_ == 0) return;
        buffer_[length_ < size_ ? length_ : size_ - 1] = '\0';
    }
    // Terminates the text as it is handed out; a cut one is reported.
    void finish(DiagnosticCode cutCode) {
        if (size_ == 0) return;
        if (length_ < size_) {
            buffer_[length_] = '\0';
            return;
        }
        buffer_[size_ - 1] = '\0';
        diagnose(cutCode, -1, -1, static_cast<long>(size_ - 1));
    }
    bool empty() const { return length_ == 0; }

private:
    char* buffer_;
    std::size_t size_;
    std::size_t length_ = 0;
};

// Name scanner. Leaves `cursor` on the opening parenthesis when it succeeds.
bool scanName(const char*& cursor, BoundedText& name) {
    bool quoted = false;
    bool startAfresh = false;  // after a blank, tab or closing quote outside quotes
    for (;; ++cursor) {
        const char c = *cursor;
        if (c == '\0') {
            name.terminate();
            return false;
        }
        if (c == '"') {
            name.append(c);
            quoted = !quoted;
            startAfresh = !quoted;  // an opening quote continues the word
            continue;
        }
        if (!quoted) {
            if (isBlank(c)) {
                name.terminate();
                startAfresh = true;
                continue;
            }
            if (c == '(') {
                name.finish(kDiagNameCut);
                return !name.empty();
            }
            if (c == ')') {
                name.terminate();
                return false;
            }
        }
        if (startAfresh) {
            name.restart();
            startAfresh = false;
        }
        name.append(c);
    }
}

// Text behind the value's closing parenthesis is read by no one. In the
// earlier revision a value with an opening parenthesis of its own was cut at
// its first ')', so that is what the rest says.
[[gnu::cold]] void noteAfterValue(const char* payload, const char* close, bool opened, const char* value) {
    const char* rest = close + 1;
    while (isBlank(*rest)) ++rest;
    if (*rest == '\0') return;
    if (kEarlierRevision && opened)
        return diagnoseText(kDiagValueCutAtParen, value, -1, close - payload);
    diagnoseText(kDiagTextAfterValue, rest, -1, rest - payload);
}

// Value scanner: from the opening parenthesis at `cursor`; the name scanner
// stopped there, or at the end or a closing parenthesis, which hold no value.
void scanValue(const char* payload, const char* cursor, BoundedText& value, const char* valueText) {
    if (*cursor != '(') return;
    ++cursor;

    bool quoted = false;
    bool opened = false;  // an opening parenthesis inside the value
    int depth = 0;
    for (; *cursor != '\0'; ++cursor) {
        const char c = *cursor;
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ')') {
            if (kEarlierRevision || depth == 0) break;
            --depth;
        } else if (!quoted && c == '(') {
            opened = true;
            if (!kEarlierRevision) ++depth;
        }
        value.append(c);
    }
    value.finish(kDiagValueCut);
    if (*cursor == ')' && diagnosticSink != nullptr) noteAfterValue(payload, cursor, opened, valueText);
}

}  // namespace

// Splits `payload` into `name` and `value` (buffers of `nameSize` and
// `valueSize` bytes; longer texts are cut). Returns 1 when a non-empty name
// followed by an opening parenthesis was found. On failure the buffers hold
// whatever had been copied, terminated.
int splitNameValue(const char* payload, char* name, std::size_t nameSize, char* value,
                   std::size_t valueSize) {
    BoundedText nameText(name, nameSize);
    BoundedText valueText(value, valueSize);
    if (payload == nullptr) return 0;
    const char* cursor = payload;
    const bool found = scanName(cursor, nameText);
    scanValue(payload, cursor, valueText, value);
    return found ? 1 : 0;
}

}  // namespace pofreader
