// pofcheck's side of the readers' diagnostics: the sink that follows which
// file the library is reading, turns byte offsets into lines and columns, and
// words each reason for a person.
#pragma once

#include <map>
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

// The sink: install it around the library calls whose files are checked.
class CheckSink {
public:
    CheckSink();
    ~CheckSink();
    CheckSink(const CheckSink&) = delete;
    CheckSink& operator=(const CheckSink&) = delete;

    // The name to show for the file at `path` (file mode: as the user typed it).
    void nameFile(const std::string& path, const std::string& shownName);
    // A finding of pofcheck's own, not from a reader.
    void add(Finding finding);

    const std::vector<Finding>& findings() const { return findings_; }
    long filesRead() const { return static_cast<long>(filesRead_.size()); }

private:
    struct OpenFile {
        std::string shownName;
        std::string path;  // absolute
        pofreader::DiagnosticFileKind kind;
        pofreader::DiagnosticWhereFn where;
        const void* reader;
    };
    struct Lines {
        std::string content;
        std::vector<long> starts;  // offset of each line's first byte
    };

    static void onFileBegin(void* user, const char* path, pofreader::DiagnosticFileKind kind,
                            pofreader::DiagnosticWhereFn where, const void* reader);
    static void onFileEnd(void* user);
    static void onReport(void* user, const pofreader::Diagnostic& diagnostic);
    void report(const pofreader::Diagnostic& diagnostic, int savedErrno);
    const Lines& linesOf(const std::string& path);

    pofreader::DiagnosticSink sink_;
    pofreader::DiagnosticSink* previous_;
    std::vector<OpenFile> open_;
    std::map<std::string, std::string> names_;  // absolute path -> shown name
    std::map<std::string, Lines> lines_;
    std::map<std::string, bool> filesRead_;
    std::vector<Finding> findings_;
};

// "FILE:LINE:COLUMN: warning: message", the line or column left out when not
// known; or one JSON object.
std::string findingText(const Finding& finding);
std::string findingJson(const Finding& finding);

}  // namespace pofcheck
