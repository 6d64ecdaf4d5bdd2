// Filling the text forms of a SignalRecord. A text longer than its field is cut
// to the field and terminated; the rest of the record is left as it is.
#include <cstring>

#include "common/limits.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// Copies at most `size` - 1 characters of `text` (null: empty) and terminates.
void copyCut(char* field, std::size_t size, const char* text) {
    const std::size_t length = text != nullptr ? strnlen(text, size - 1) : 0;
    if (length > 0) std::memcpy(field, text, length);
    field[length] = '\0';
}

static_assert(sizeof(SignalNameValue::name) == kSignalNameSize);
static_assert(sizeof(SignalNameValue::value) == kSignalValueSize);
static_assert(sizeof(SignalRecord{}.body.text) == kSignalTextSize);

}  // namespace

void setNameValue(SignalRecord* record, int32_t code, const char* name, const char* value) {
    record->code = code;
    copyCut(record->body.nameValue.name, kSignalNameSize, name);
    copyCut(record->body.nameValue.value, kSignalValueSize, value);
}

void setText(SignalRecord* record, int32_t code, const char* text) {
    record->code = code;
    copyCut(record->body.text, kSignalTextSize, text);
}

}  // namespace pofreader
