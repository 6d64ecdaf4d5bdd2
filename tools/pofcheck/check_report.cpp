#include "pofcheck/check_report.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

#include "text/output_text.h"

namespace pofcheck {

namespace {

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// The word findings of a move, held until the move is known to be delivered;
// and the findings that say the move was dropped, which discard them.
bool isWordCode(pofreader::DiagnosticCode code) {
    using namespace pofreader;
    return code == kDiagMoveWordIgnored || code == kDiagMoveWordOutsideGroup ||
           code == kDiagMovePartReadInPart || code == kDiagMoveWordSwallowed ||
           code == kDiagMoveDirectionIgnored;
}

bool isDropCode(pofreader::DiagnosticCode code) {
    using namespace pofreader;
    return code == kDiagMoveNoKind || code == kDiagMoveArcOpen || code == kDiagMovePartTooLong ||
           code == kDiagMoveKindWord || code == kDiagMoveGroupWord || code == kDiagMoveDirectionReset;
}

constexpr std::size_t kReadPiece = 64 * 1024;

}  // namespace

// Every break counts once: LF, CR, and CR LF together, as an editor counts.
void LineIndex::feed(const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        const long offset = fed_ + static_cast<long>(i);
        if (c == '\n' && afterCr_) {
            starts_.back() = offset + 1;  // the LF of a CR LF: the same break
        } else if (c == '\r' || c == '\n') {
            starts_.push_back(offset + 1);
            colons_.push_back(-1);
        } else if (c == ':' && colons_.back() < 0) {
            colons_.back() = offset;
        }
        afterCr_ = c == '\r';
    }
    fed_ += static_cast<long>(count);
}

long LineIndex::lineOf(long offset) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    return static_cast<long>(after - starts_.begin());
}

CheckSink::CheckSink(Emit emit)
    : emit_(std::move(emit)),
      sink_{&CheckSink::onFileBegin, &CheckSink::onFileEnd, &CheckSink::onReport, this},
      previous_(pofreader::diagnosticSink) {
    pofreader::diagnosticSink = &sink_;
}

CheckSink::~CheckSink() {
    pofreader::diagnosticSink = previous_;
    for (auto& entry : lines_)
        if (entry.second.file != nullptr) std::fclose(entry.second.file);
}

void CheckSink::nameFile(const std::string& path, const std::string& shownName) {
    names_[absolutePath(path)] = shownName;
}

void CheckSink::indexFile(const std::string& path, const LineIndex* index, std::mutex* lock) {
    Lines& lines = lines_[absolutePath(path)];
    lines.fedIndex = index;
    lines.lock = lock;
}

void CheckSink::add(Finding finding) {
    flush();
    hand(finding);
}

void CheckSink::flush() {
    for (const Finding& finding : held_) hand(finding);
    held_.clear();
}

bool CheckSink::found(const std::string& code) const { return codes_.count(code) > 0; }

void CheckSink::hand(const Finding& finding) {
    (finding.severity == Severity::Warning ? warnings_ : notes_) += 1;
    codes_[finding.code] = true;
    emit_(finding);
}

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
    self->flush();
    if (!self->open_.empty()) self->open_.pop_back();
}

void CheckSink::onReport(void* user, const pofreader::Diagnostic& diagnostic) {
    const int savedErrno = errno;  // a file that would not open says why
    static_cast<CheckSink*>(user)->report(diagnostic, savedErrno);
}

// A regular file is read again, in pieces, by a stream of the checker's own;
// any other (a pipe, a device) only through an index that its reader feeds.
CheckSink::Lines& CheckSink::linesOf(const std::string& path) {
    auto found = lines_.find(path);
    if (found != lines_.end()) return found->second;
    Lines& lines = lines_[path];
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        lines.file = std::fopen(path.c_str(), "rb");
        lines.size = static_cast<long>(status.st_size);
    }
    return lines;
}

void CheckSink::place(Lines& lines, long offset, long payloadIndex, bool atRecord, Finding& finding) {
    std::unique_lock<std::mutex> guard;
    if (lines.lock != nullptr) guard = std::unique_lock<std::mutex>(*lines.lock);
    const LineIndex* index = lines.fedIndex;
    if (index == nullptr) {
        // Read on until the offset's line has been seen to its first ':'.
        char piece[kReadPiece];
        while (lines.file != nullptr && lines.own.fed() <= offset) {
            const std::size_t got = std::fread(piece, 1, sizeof piece, lines.file);
            if (got == 0) {
                std::fclose(lines.file);
                lines.file = nullptr;
                break;
            }
            lines.own.feed(piece, got);
        }
        index = &lines.own;
    }
    if (offset < 0 || offset > index->fed()) return;  // the end itself: an empty file's 1:1
    finding.line = index->lineOf(offset);
    const long lineStart = index->startOf(finding.line);
    if (!atRecord) {
        finding.column = offset - lineStart + 1;
    } else if (payloadIndex >= 0) {
        // The payload starts behind the line's first colon.
        const long colon = index->colonOf(finding.line);
        if (colon >= 0) finding.column = colon - lineStart + 2 + payloadIndex;
    }
}

// The bytes behind `offset` that are more than one last line end; -1 when the
// file cannot be looked at again.
long CheckSink::bytesAfter(Lines& lines, long offset) {
    if (lines.size < 0 || offset < 0) return -1;
    const long after = lines.size - offset - 1;
    if (after <= 0 || after > 2) return after < 0 ? 0 : after;
    char tail[2] = {};
    std::FILE* file = std::fopen(open_.back().path.c_str(), "rb");
    if (file == nullptr) return after;
    const bool read = std::fseek(file, offset + 1, SEEK_SET) == 0 &&
                      std::fread(tail, 1, static_cast<std::size_t>(after), file) == static_cast<std::size_t>(after);
    std::fclose(file);
    const bool oneLineEnd = read && (after == 1 ? (tail[0] == '\n' || tail[0] == '\r')
                                                : tail[0] == '\r' && tail[1] == '\n');
    return oneLineEnd ? 0 : after;
}

void CheckSink::report(const pofreader::Diagnostic& diagnostic, int savedErrno) {
    using namespace pofreader;
    Finding finding;
    long after = 0;
    const bool aboutAFile = diagnostic.code == kDiagFileNotOpened || diagnostic.code == kDiagDefaultsNotOpened ||
                            diagnostic.code == kDiagNoToolpath || diagnostic.code == kDiagBypassNotOpened ||
                            diagnostic.code == kDiagFileUnreadable;
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
        Lines& lines = linesOf(file.path);
        place(lines, offset, diagnostic.payloadIndex, atRecord, finding);
        if (diagnostic.code == kDiagControlZ) after = bytesAfter(lines, offset);
    }
    const Wording wording = wordingOf(diagnostic, after, savedErrno);
    if (!wording.shown) return;
    finding.severity = wording.severity;
    finding.code = wording.code;
    finding.message = wording.message;
    settle(std::move(finding), diagnostic.code);
}

// A move's word findings wait for the move's fate: a finding that the move
// (same file, same line) was dropped discards them.
void CheckSink::settle(Finding finding, pofreader::DiagnosticCode code) {
    const bool sameRecord = !held_.empty() && held_.back().file == finding.file && held_.back().line == finding.line;
    if (isWordCode(code)) {
        if (!sameRecord) flush();
        held_.push_back(std::move(finding));
        return;
    }
    if (isDropCode(code) && sameRecord) held_.clear();
    flush();
    hand(finding);
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
