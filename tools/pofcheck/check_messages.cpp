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
                   " has an empty payload: it is not delivered unless the file ends here, and the "
                   "next record line takes its number's place";
        case kDiagPayloadCut:
            return "payload cut to its first " + number(d.number) + " bytes; the rest of the line is dropped";
        case kDiagControlZ:
            return "control-Z ends the input here: the " + number(bytesAfter) + " bytes after it are never read";
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
    // A control-Z as the file's last byte is the old end-of-file mark.
    if (d.code == pofreader::kDiagControlZ && bytesAfter <= 0) wording.shown = false;
    // A saturated record number is surely a slip, not a record kept aside.
    if (d.code == pofreader::kDiagIgnoredType && d.number == INT32_MAX) wording.severity = Severity::Warning;
    wording.message = messageOf(d, bytesAfter, savedErrno);
    return wording;
}

}  // namespace pofcheck
