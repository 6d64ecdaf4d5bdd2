// The words of every diagnostic: its stable name, its severity and what it
// says. A warning means that something in the file does not reach the host
// as written; a note, that the cycle passes over something by design.
#include <climits>
#include <cstring>
#include <iterator>

#include "pofcheck/check_report.h"
#include "common/limits.h"
#include "qdx/qdx.h"
#include "text/output_text.h"

namespace pofcheck {

namespace {

using pofreader::Diagnostic;

struct Reason {
    const char* code;
    Severity severity;
};

// ORDER: DiagnosticCode.
constexpr Reason kReasons[] = {
    {"no-record-number", Severity::Warning},
    {"colon-without-number", Severity::Warning},
    {"number-without-colon", Severity::Warning},
    {"empty-payload", Severity::Warning},
    {"payload-cut", Severity::Warning},
    {"control-z", Severity::Warning},
    {"ignored-type", Severity::Note},
    {"file-not-opened", Severity::Warning},
    {"defaults-not-opened", Severity::Note},
    {"no-toolpath", Severity::Note},
    {"event-no-split", Severity::Warning},
    {"event-unknown", Severity::Warning},
    {"event-of-later-revision", Severity::Note},
    {"name-cut", Severity::Warning},
    {"value-cut", Severity::Warning},
    {"text-cut", Severity::Warning},
    {"transform-no-split", Severity::Warning},
    {"workplane-value", Severity::Warning},
    {"qdx-error", Severity::Warning},
    {"move-no-kind", Severity::Warning},
    {"move-arc-open", Severity::Warning},
    {"move-part-too-long", Severity::Warning},
    {"move-kind-word", Severity::Warning},
    {"move-group-word", Severity::Warning},
    {"key-no-assignment", Severity::Warning},
    {"key-colon-without-equals", Severity::Warning},
    {"key-no-value", Severity::Warning},
    {"key-after-value", Severity::Warning},
    {"key-refused", Severity::Warning},
    {"key-empty-value", Severity::Warning},
    {"line-name-cut", Severity::Warning},
    {"line-value-cut", Severity::Warning},
    {"line-continued", Severity::Warning},
    {"section-not-keyword", Severity::Warning},
    {"section-no-start", Severity::Warning},
    {"section-not-entry", Severity::Warning},
    {"nul-byte", Severity::Warning},
    {"record-number-long", Severity::Warning},
    {"move-word-ignored", Severity::Warning},
    {"move-word-outside-group", Severity::Warning},
    {"move-part-read-in-part", Severity::Warning},
    {"move-word-swallowed", Severity::Warning},
    {"move-direction-reset", Severity::Warning},
    {"move-direction-ignored", Severity::Warning},
    {"tr-value", Severity::Warning},
    {"value-cut-at-paren", Severity::Warning},
    {"text-after-value", Severity::Warning},
    {"method-report", Severity::Note},
    {"key-empty-name", Severity::Warning},
    {"key-after-quote", Severity::Warning},
    {"byte-order-mark", Severity::Warning},
    {"section-last-line", Severity::Warning},
    {"bypass-not-opened", Severity::Warning},
    {"file-unreadable", Severity::Warning},
    {"value-overridden", Severity::Warning},
    {"run-refused", Severity::Warning},
};
static_assert(std::size(kReasons) == pofreader::kDiagCodeCount);

std::string textOf(const Diagnostic& d) {
    return pofhost::quoteText(std::string(d.text != nullptr ? d.text : "", d.textLength));
}

std::string number(long value) { return std::to_string(value); }

const char* qdxErrorText(long kind) {
    switch (kind) {
        case pofreader::kQdxErrorUnfinished: return "the text ends inside an element";
        case pofreader::kQdxErrorSemicolon:
            return "a semicolon where a name must begin or right after an attribute name";
        case pofreader::kQdxErrorCharacter: return "a character that is not allowed here";
        case pofreader::kQdxErrorMemory: return "out of memory, or a token too long";
        default: return "an error";
    }
}

// The record reader: lines it skips, cuts or ends at.
std::string recordLineMessage(const Diagnostic& d, long bytesAfter) {
    using namespace pofreader;
    switch (d.code) {
        case kDiagNoRecordNumber:
            return "line skipped: it does not begin with a record number (" + textOf(d) + " found)";
        case kDiagColonWithoutNumber: return "line skipped: no record number before the ':'";
        case kDiagNumberWithoutColon:
            return d.textLength > 0 ? "line skipped: the record number is followed by " + textOf(d) +
                                          " where ':' belongs"
                                    : "line skipped: a record number with no ':' and no payload";
        case kDiagEmptyPayload:
            return "record " + number(d.number) +
                   " has an empty payload: it is not delivered; the next record line takes its number's place";
        case kDiagPayloadCut:
            return "payload cut to its first " + number(d.number) + " bytes; the rest of the line is dropped";
        case kDiagControlZ:
            if (bytesAfter < 0) return "control-Z ends the input here: what follows it is never read";
            return "control-Z ends the input here: the " + number(bytesAfter) + " bytes after it are never read";
        case kDiagNulByte:
            if (d.payloadIndex >= 0)
                return "NUL byte: the record is read only up to here; the " + number(d.number) +
                       (d.number == 1 ? " byte" : " bytes") + " after it on this line do not reach the host";
            return "NUL byte: the name or value is read only up to here; the rest of it does not reach "
                   "the configuration";
        case kDiagRecordNumberLong:
            return "record number of more than " + number(d.number) +
                   " digits (leading zeros count): read as an unknown type and ignored, whatever its value";
        case kDiagIgnoredType:
            if (d.number == INT32_MAX)
                return "record number too large (2147483647 or more): read as an unknown type and ignored";
            return "record type " + number(d.number) + " is not read by the cycle: ignored";
        default: return "";
    }
}

// The run: files it cannot open or does not name.
std::string runFileMessage(const Diagnostic& d, int savedErrno) {
    using namespace pofreader;
    switch (d.code) {
        case kDiagFileNotOpened:
            return std::string("cannot be opened (") + std::strerror(savedErrno) +
                   "): the run goes on without it";
        case kDiagDefaultsNotOpened:
            return std::string("defaults file cannot be opened (") + std::strerror(savedErrno) +
                   "): the run goes on without it";
        case kDiagNoToolpath: return "the run names no toolpath file: no POF file is read";
        case kDiagBypassNotOpened:
            return std::string("bypass file (POFbypass) cannot be opened (") + std::strerror(savedErrno) +
                   "): nothing is copied to standard output";
        case kDiagFileUnreadable:
            return std::string("cannot be read (") + std::strerror(savedErrno) +
                   "): the run reads no record from it";
        case kDiagValueOverridden:
            return "the configured value of " + textOf(d) + " (" + (d.number < 21 ? "a default" : "from the call") +
                   ") is replaced by the cycle's own value 128: it never takes effect";
        case kDiagRunRefused:
            return "run refused: " + number(d.number) + " arguments, over the bound of " +
                   number(static_cast<long>(kArgumentCountMax)) +
                   "; the cycle returns 0 at once and reads nothing";
        default: return "";
    }
}

// The record handlers: events, texts, transformations and tool records.
std::string recordBodyMessage(const Diagnostic& d) {
    using namespace pofreader;
    switch (d.code) {
        case kDiagEventNoSplit: return "event record dropped: the payload does not split into name(value)";
        case kDiagEventUnknown: return "event record dropped: " + textOf(d) + " is no known event name";
        case kDiagEventOfLaterRevision:
            return "event record dropped: revision 7.00 does not know " + textOf(d);
        case kDiagNameCut: return "name cut to its first " + number(d.number) + " characters";
        case kDiagValueCut: return "value cut to its first " + number(d.number) + " characters";
        case kDiagTextCut: return "text cut to its first " + number(d.number) + " characters";
        case kDiagTransformNoSplit:
            return "transformation record dropped: the payload does not split into name(value)";
        case kDiagTrValue:
            return "tr value " + textOf(d) +
                   " is not exactly \"workplane\" (blanks or case): no workplane is activated";
        case kDiagValueCutAtParen:
            return "value cut at its first ')': the host receives " + textOf(d) +
                   " (revision 7.00 does not count nested parentheses), and the rest of the payload is dropped";
        case kDiagTextAfterValue:
            return "text after the value's closing ')' is dropped: " + textOf(d);
        case kDiagMethodReport:
            return "the cycle appends \" methode = '" + std::string(d.text, d.textLength) +
                   "'\" to EDK.TXT in the current directory (pofcheck writes nothing)";
        case kDiagWorkplaneValue:
            return "workplane " + textOf(d) + " is neither \"XY\" nor \"ZX\": the workplane stays as it was";
        case kDiagQdxError:
            return "tool record: qDX error " + number(d.number) + " (" + qdxErrorText(d.number) +
                   "): the rest of the record is not read";
        default: return "";
    }
}

// The move grammar: moves it drops.
std::string moveMessage(const Diagnostic& d) {
    using namespace pofreader;
    switch (d.code) {
        case kDiagMoveNoKind: return "move dropped: no kind word (oM, oL or oA)";
        case kDiagMoveArcOpen:
            return "move dropped: the arc (oA) has no direction word o[-] or o[+] in its group";
        case kDiagMovePartTooLong:
            return "move dropped: a value part of " + textOf(d) + " is " + number(d.number) +
                   " characters long, over the bound of " + number(static_cast<long>(kMovePartMax));
        case kDiagMoveKindWord:
            return "move dropped: " + textOf(d) + " before the group is no kind word (oA, oL or oM)";
        case kDiagMoveGroupWord:
            return "move dropped: " + textOf(d) + " is no word of the group (o, u, v, w, x, y, z or multax)";
        case kDiagMoveWordIgnored:
            return textOf(d) + " is no move word (oA, oL, oM; in the group o, x, y, z, u, v, w, multax): "
                   "the move is delivered without it";
        case kDiagMoveWordOutsideGroup:
            return "axis word " + textOf(d) + " stands outside the group ( ... ): the move is delivered without it";
        case kDiagMovePartReadInPart:
            return "value part " + textOf(d) + " is read only as far as its number goes (" +
                   pofhost::quoteText(std::string(d.text, static_cast<std::size_t>(d.number))) +
                   "): the rest from here is dropped";
        case kDiagMoveWordSwallowed:
            return textOf(d) + " is read as part of the value of " + std::string(1, static_cast<char>(d.number)) +
                   " (its bracket is still open): the move is delivered without it as a word";
        case kDiagMoveDirectionReset:
            return "move dropped: the later " + textOf(d) +
                   " makes the arc's direction open again, and no direction word follows it in the group";
        case kDiagMoveDirectionIgnored:
            if (d.number == 2)
                return "the later " + textOf(d) +
                       " makes the arc a straight move: its direction word has no effect, and the host "
                       "receives no arc";
            return d.number != 0 ? "direction word o[" + std::string(d.text, d.textLength) +
                                       "] has no effect: the move is no open arc (oA) at this point"
                                 : "o[" + std::string(d.text, d.textLength) +
                                       "] is no direction ('-' or '+'): it has no effect";
        default: return "";
    }
}

// The configuration readers: key files, line files and section files.
std::string configMessage(const Diagnostic& d) {
    using namespace pofreader;
    switch (d.code) {
        case kDiagKeyNoAssignment: return "line ignored: the name " + textOf(d) + " is not followed by ':='";
        case kDiagKeyColonWithoutEquals:
            return "line ignored: the ':' after " + textOf(d) + " is not followed directly by '='";
        case kDiagKeyNoValue: return "line ignored: no value after " + textOf(d) + " :=";
        case kDiagKeyAfterValue:
            return "text after the value of " + textOf(d) + " is ignored; the entry keeps the value before it";
        case kDiagKeyRefused:
            return d.number > 0 ? "entry refused: its name or value is longer than " + number(d.number) +
                                      " characters"
                                : "entry refused: out of memory";
        case kDiagKeyEmptyValue: return "entry " + textOf(d) + " has an empty value: it is not taken";
        case kDiagLineNameCut: return "name cut to its first " + number(d.number) + " characters";
        case kDiagLineValueCut: return "value cut to its first " + number(d.number) + " characters";
        case kDiagLineContinued:
            return "this line goes on with the value of " + textOf(d) +
                   ": the comment on the line before ended at a line end that does not end the entry";
        case kDiagSectionNotKeyword:
            return textOf(d) + " is no keyword (default, language, start, end): the file yields no section";
        case kDiagSectionNoStart:
            return "no \"start\" line for the language " + textOf(d) + ": the file yields no section";
        case kDiagSectionNotEntry: return "line in the section skipped: no ':' entry and no \"end\"";
        case kDiagSectionLastLine:
            return "entry on the last line has no line end: the section reader yields no entry for it";
        case kDiagKeyEmptyName: return "entry with an empty name: it is not taken";
        case kDiagKeyAfterQuote:
            return textOf(d) + " right after the closing quote is consumed unread" +
                   (d.textLength == 1 && d.text[0] == '>' ? ": the value does not continue on the next line"
                    : d.textLength == 1 && d.text[0] == ';' ? ": the comment that follows is taken for text after the value"
                                                            : "");
        case kDiagByteOrderMark:
            return "a byte-order mark (EF BB BF) opens the file: the reader takes it for text, so the first "
                   "name or line is not what it seems";
        default: return "";
    }
}

// Each reader's messages in turn; a code none of them knows is named by its number.
std::string messageOf(const Diagnostic& d, long bytesAfter, int savedErrno) {
    for (std::string message : {recordLineMessage(d, bytesAfter), runFileMessage(d, savedErrno),
                                recordBodyMessage(d), moveMessage(d), configMessage(d)})
        if (!message.empty()) return message;
    return "diagnostic " + number(d.code);
}

}  // namespace

Wording wordingOf(const Diagnostic& d, long bytesAfter, int savedErrno) {
    Wording wording;
    if (d.code < 0 || d.code >= pofreader::kDiagCodeCount) {
        wording.code = "unknown";
        wording.message = messageOf(d, bytesAfter, savedErrno);
        return wording;
    }
    const Reason& reason = kReasons[d.code];
    wording.code = reason.code;
    wording.severity = reason.severity;
    // A control-Z as the file's last byte, or before a last line end, is the old
    // end-of-file mark. `bytesAfter` is -1 when the file cannot be looked at again.
    if (d.code == pofreader::kDiagControlZ && bytesAfter == 0) wording.shown = false;
    // A saturated record number is surely a slip, not a record kept aside.
    if (d.code == pofreader::kDiagIgnoredType && d.number == INT32_MAX) wording.severity = Severity::Warning;
    wording.message = messageOf(d, bytesAfter, savedErrno);
    return wording;
}

}  // namespace pofcheck
