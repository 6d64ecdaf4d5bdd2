#include "pofcheck/check_report.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "text/output_text.h"

namespace pofcheck {

namespace {

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// Every break counts once: LF, CR, and CR LF together, as an editor counts.
std::vector<long> lineStarts(const std::string& content) {
    std::vector<long> starts{0};
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
        if (c == '\r' || c == '\n') starts.push_back(static_cast<long>(i + 1));
    }
    return starts;
}

}  // namespace

CheckSink::CheckSink()
    : sink_{&CheckSink::onFileBegin, &CheckSink::onFileEnd, &CheckSink::onReport, this},
      previous_(pofreader::diagnosticSink) {
    pofreader::diagnosticSink = &sink_;
}

CheckSink::~CheckSink() { pofreader::diagnosticSink = previous_; }

void CheckSink::nameFile(const std::string& path, const std::string& shownName) {
    names_[absolutePath(path)] = shownName;
}

void CheckSink::add(Finding finding) { findings_.push_back(std::move(finding)); }

void CheckSink::onFileBegin(void* user, const char* path, pofreader::DiagnosticFileKind kind,
                            pofreader::DiagnosticWhereFn where, const void* reader) {
    auto* self = static_cast<CheckSink*>(user);
    const std::string absolute = absolutePath(path);
    const auto named = self->names_.find(absolute);
    self->open_.push_back(
        OpenFile{named != self->names_.end() ? named->second : path, absolute, kind, where, reader});
    self->filesRead_[absolute] = true;
}

void CheckSink::onFileEnd(void* user) {
    auto* self = static_cast<CheckSink*>(user);
    if (!self->open_.empty()) self->open_.pop_back();
}

void CheckSink::onReport(void* user, const pofreader::Diagnostic& diagnostic) {
    const int savedErrno = errno;  // a file that would not open says why
    static_cast<CheckSink*>(user)->report(diagnostic, savedErrno);
}

const CheckSink::Lines& CheckSink::linesOf(const std::string& path) {
    auto found = lines_.find(path);
    if (found != lines_.end()) return found->second;
    Lines lines;
    std::ifstream in(path, std::ios::binary);
    lines.content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    lines.starts = lineStarts(lines.content);
    return lines_.emplace(path, std::move(lines)).first->second;
}

void CheckSink::report(const pofreader::Diagnostic& diagnostic, int savedErrno) {
    using namespace pofreader;
    Finding finding;
    long bytesAfter = 0;
    const bool aboutAFile = diagnostic.code == kDiagFileNotOpened ||
                            diagnostic.code == kDiagDefaultsNotOpened || diagnostic.code == kDiagNoToolpath;
    if (aboutAFile) {
        const std::string path(diagnostic.text != nullptr ? diagnostic.text : "", diagnostic.textLength);
        const auto named = names_.find(absolutePath(path));
        finding.file = named != names_.end() ? named->second : path;
    } else if (!open_.empty()) {
        const OpenFile& file = open_.back();
        finding.file = file.shownName;
        const bool atRecord = diagnostic.offset < 0 && file.kind == kDiagPofFile;
        const long offset = diagnostic.offset >= 0 ? diagnostic.offset
                            : file.where != nullptr ? file.where(file.reader)
                                                    : -1;
        const Lines& lines = linesOf(file.path);
        const long size = static_cast<long>(lines.content.size());
        if (offset >= 0 && offset <= size) {
            const auto after = std::upper_bound(lines.starts.begin(), lines.starts.end(), offset);
            finding.line = static_cast<long>(after - lines.starts.begin());
            const long lineStart = lines.starts[static_cast<std::size_t>(finding.line - 1)];
            bytesAfter = size - offset - 1;
            if (!atRecord) {
                finding.column = offset - lineStart + 1;
            } else if (diagnostic.payloadIndex >= 0) {
                // The payload starts behind the line's first colon.
                const std::size_t colon = lines.content.find(':', static_cast<std::size_t>(lineStart));
                if (colon != std::string::npos)
                    finding.column = static_cast<long>(colon) - lineStart + 2 + diagnostic.payloadIndex;
            }
        }
    }
    const Wording wording = wordingOf(diagnostic, bytesAfter, savedErrno);
    if (!wording.shown) return;
    finding.severity = wording.severity;
    finding.code = wording.code;
    finding.message = wording.message;
    findings_.push_back(std::move(finding));
}

std::string findingText(const Finding& finding) {
    std::string text = finding.file.empty() ? "pofcheck" : finding.file;
    if (finding.line > 0) text += ":" + std::to_string(finding.line);
    if (finding.line > 0 && finding.column > 0) text += ":" + std::to_string(finding.column);
    text += finding.severity == Severity::Warning ? ": warning: " : ": note: ";
    return text + finding.message + "\n";
}

std::string findingJson(const Finding& finding) {
    using pofhost::jsonString;
    std::string json = "{\"file\":" + jsonString(finding.file);
    if (finding.line > 0) json += ",\"line\":" + std::to_string(finding.line);
    if (finding.line > 0 && finding.column > 0) json += ",\"column\":" + std::to_string(finding.column);
    json += ",\"severity\":" + jsonString(finding.severity == Severity::Warning ? "warning" : "note");
    json += ",\"code\":" + jsonString(finding.code) + ",\"message\":" + jsonString(finding.message);
    return json + "}\n";
}

}  // namespace pofcheck
