// pofcheck's side of the readers' diagnostics: the sink that follows which
// file the library is reading, turns byte offsets into lines and columns, and
// words each reason for a person.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/diagnostics.h"

namespace pofcheck {

enum class Severity { Warning, Note };

// One line of pofcheck's output. Line and column 0: not known.
struct Finding {
    std::string file;
    long line = 0;
    long column = 0;
    Severity severity = Severity::Warning;
    std::string code;  // a stable name for the reason, for JSON readers
    std::string message;
};

// How a diagnostic reads. `shown` false: nothing worth saying (a control-Z
// that is the file's last byte). `bytesAfter` is what the file holds behind
// the diagnostic's position.
struct Wording {
    bool shown = true;
    Severity severity = Severity::Warning;
    const char* code = "";
    std::string message;
};
Wording wordingOf(const pofreader::Diagnostic& diagnostic, long bytesAfter, int savedErrno);

// Where the lines of one file start, found by reading it once in pieces and
// never holding it: an endless line costs one entry. Also the first ':' of
// each line, where a POF record's payload begins.
class LineIndex {
public:
    void feed(const char* bytes, std::size_t count);
    long fed() const { return fed_; }
    // The 1-based line of `offset` (fed already) and that line's start and colon (-1: none).
    long lineOf(long offset) const;
    long startOf(long line) const { return starts_[static_cast<std::size_t>(line - 1)]; }
    long colonOf(long line) const { return colons_[static_cast<std::size_t>(line - 1)]; }

private:
    std::vector<long> starts_{0};
    std::vector<long> colons_{-1};
    long fed_ = 0;
    bool afterCr_ = false;
};

// The sink: install it around the library calls whose files are checked.
// Findings go to `emit` as they become certain: the word findings of a move
// wait until it is known whether the move is delivered at all.
class CheckSink {
public:
    using Emit = std::function<void(const Finding&)>;
    explicit CheckSink(Emit emit);
    ~CheckSink();
    CheckSink(const CheckSink&) = delete;
    CheckSink& operator=(const CheckSink&) = delete;

    // The name to show for the file at `path` (file mode: as the user typed it).
    void nameFile(const std::string& path, const std::string& shownName);
    // The lines of `path` come from `index`, fed by whoever reads the file for
    // the library (a pipe is read once); `index` is used under `lock`.
    void indexFile(const std::string& path, const LineIndex* index, std::mutex* lock);
    // A finding of pofcheck's own, not from a reader.
    void add(Finding finding);
    // Hands on the findings still held back.
    void flush();

    long warnings() const { return warnings_; }
    long notes() const { return notes_; }
    bool found(const std::string& code) const;
    long filesRead() const { return static_cast<long>(filesRead_.size()); }

private:
    struct OpenFile {
        std::string shownName;
        std::string path;  // absolute
        pofreader::DiagnosticFileKind kind;
        pofreader::DiagnosticWhereFn where;
        const void* reader;
    };
    // A file's lines: read lazily from a file of its own, or fed from outside.
    struct Lines {
        LineIndex own;
        std::FILE* file = nullptr;  // regular files only; null when done or not readable
        const LineIndex* fedIndex = nullptr;
        std::mutex* lock = nullptr;
        long size = -1;  // of a regular file
    };

    static void onFileBegin(void* user, const char* path, pofreader::DiagnosticFileKind kind,
                            pofreader::DiagnosticWhereFn where, const void* reader);
    static void onFileEnd(void* user);
    static void onReport(void* user, const pofreader::Diagnostic& diagnostic);
    void report(const pofreader::Diagnostic& diagnostic, int savedErrno);
    Lines& linesOf(const std::string& path);
    // Line and column of `offset`; `payloadIndex` >= 0 counts from the line's first ':'.
    void place(Lines& lines, long offset, long payloadIndex, bool atRecord, Finding& finding);
    long bytesAfter(Lines& lines, long offset);
    void settle(Finding finding, pofreader::DiagnosticCode code);
    void hand(const Finding& finding);

    Emit emit_;
    pofreader::DiagnosticSink sink_;
    pofreader::DiagnosticSink* previous_;
    std::vector<OpenFile> open_;
    std::map<std::string, std::string> names_;  // absolute path -> shown name
    std::map<std::string, Lines> lines_;
    std::map<std::string, bool> filesRead_;
    std::vector<Finding> held_;  // word findings of the last move
    std::map<std::string, bool> codes_;
    long warnings_ = 0;
    long notes_ = 0;
};

// "FILE:LINE:COLUMN: warning: message", the line or column left out when not
// known; or one JSON object.
std::string findingText(const Finding& finding);
std::string findingJson(const Finding& finding);

}  // namespace pofcheck
