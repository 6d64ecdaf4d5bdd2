// Why a reader dropped, cut or ignored something: the readers' decision points
// report a reason and a position here, and a checker that installs a sink
// prints them. The library's own runs install none and stay silent.
//
// Cost: every report sits on a path that rejects, cuts or ignores; the
// accepting path of a reader never reaches this header's functions. Each
// report function is out of line and tests the sink first.
#pragma once

#include <cstddef>
#include <cstdio>

namespace pofreader {

// ORDER: the checker's message table (tools/pofcheck/check_messages.cpp) follows it.
enum DiagnosticCode : int {
    // POF record reader and read phase
    kDiagNoRecordNumber = 0,    // text: the first byte that is no digit
    kDiagColonWithoutNumber,    //
    kDiagNumberWithoutColon,    // text: the byte after the digits, none at a line end
    kDiagEmptyPayload,          // number: the record number kept
    kDiagPayloadCut,            // number: the bytes kept
    kDiagControlZ,              // the checker tells whether anything follows
    kDiagIgnoredType,           // number: the record type
    kDiagFileNotOpened,         // text: the path
    kDiagDefaultsNotOpened,     // text: the path of the defaults file
    kDiagNoToolpath,            // the run names no POF file
    // Event, text and transformation records
    kDiagEventNoSplit,
    kDiagEventUnknown,          // text: the name
    kDiagEventOfLaterRevision,  // text: the name
    kDiagNameCut,               // number: the characters kept
    kDiagValueCut,              // number: the characters kept
    kDiagTextCut,               // number: the characters kept
    kDiagTransformNoSplit,
    kDiagWorkplaneValue,        // text: the value
    // Tool records
    kDiagQdxError,              // number: the reader's error kind
    // Moves
    kDiagMoveNoKind,
    kDiagMoveArcOpen,
    kDiagMovePartTooLong,       // text: the axis letter; number: the part's length
    kDiagMoveKindWord,          // text: the word before the group (revision 7.00)
    kDiagMoveGroupWord,         // text: the word (revision 7.00)
    // Key files
    kDiagKeyNoAssignment,       // a name with no ":=" on its line
    kDiagKeyColonWithoutEquals,
    kDiagKeyNoValue,            // ":=" with no value on its line
    kDiagKeyAfterValue,         // text: the name whose value stands; the rest is ignored
    kDiagKeyRefused,            // number: the bound, 0 when memory ran out
    kDiagKeyEmptyValue,         // text: the name
    // Line files
    kDiagLineNameCut,           // number: the characters kept
    kDiagLineValueCut,          // number: the characters kept
    kDiagLineContinued,         // text: the name whose value the line continues
    // Section files
    kDiagSectionNotKeyword,     // text: the word
    kDiagSectionNoStart,        // text: the language asked for, or none
    kDiagSectionNotEntry,
    kDiagCodeCount
};

// What kind of file a reader opened, for the checker's positions: a POF
// file's reports stand at a record line, the others at a character.
enum DiagnosticFileKind : int { kDiagPofFile = 0, kDiagKeyFile, kDiagLineFile, kDiagSectionFile };

struct Diagnostic {
    DiagnosticCode code;
    long offset;        // byte in the file; -1: where the file's reader stands
    long payloadIndex;  // in a POF record's payload; -1: none
    long number;
    const char* text;   // not terminated; may be null
    std::size_t textLength;
};

// Where the reader of the current file stands, as a byte offset: the last
// character read, or a byte of the last record line. -1 when not known.
using DiagnosticWhereFn = long (*)(const void* reader);

struct DiagnosticSink {
    void (*fileBegin)(void* user, const char* path, DiagnosticFileKind kind, DiagnosticWhereFn where,
                      const void* reader);
    void (*fileEnd)(void* user);
    void (*report)(void* user, const Diagnostic& diagnostic);
    void* user;
};

// Null for the library's own runs. A checker sets it around a run; it is
// process-wide, like every reader's own state. An installed sink has all
// three functions set: the reporters call them without looking.
extern DiagnosticSink* diagnosticSink;

// `diagnose` does nothing without a sink. The others are called only with one
// installed: their callers test the sink first, so a run without one pays no
// call, and a path or text they pass is never null.
[[gnu::cold]] void diagnoseFileBegin(const char* path, DiagnosticFileKind kind, DiagnosticWhereFn where,
                       const void* reader);
[[gnu::cold]] void diagnoseFileEnd();
[[gnu::cold]] void diagnose(DiagnosticCode code, long offset = -1, long payloadIndex = -1, long number = 0,
              const char* text = nullptr, std::size_t textLength = 0);
// `text` terminated.
[[gnu::cold]] void diagnoseText(DiagnosticCode code, const char* text, long offset = -1, long payloadIndex = -1,
                  long number = 0);

// A stream's reader stands on the character it read last.
long streamWhere(const void* stream);

// A parser that explains a record it refuses marks it, so that the handler
// does not report the refusal a second time. Marked only with a sink installed.
[[gnu::cold]] void markRecordExplained();
[[gnu::cold]] bool takeRecordExplained();

}  // namespace pofreader
