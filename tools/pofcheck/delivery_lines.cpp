#include "pofcheck/delivery_lines.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "text/output_text.h"

namespace pofcheck {

DeliveryLines::DeliveryLines()
    : sink_{&DeliveryLines::onFileBegin, &DeliveryLines::onFileEnd, &DeliveryLines::onReport, this},
      below_(pofreader::diagnosticSink) {
    pofreader::diagnosticSink = &sink_;
}

DeliveryLines::~DeliveryLines() { pofreader::diagnosticSink = below_; }

HostCallbacks DeliveryLines::host() {
    return HostCallbacks{&onDelivery, this, &onDelivery, this, &onDelivery, this};
}

void DeliveryLines::onFileBegin(void* user, const char* path, pofreader::DiagnosticFileKind kind,
                                pofreader::DiagnosticWhereFn where, const void* reader) {
    auto* self = static_cast<DeliveryLines*>(user);
    const bool pof = kind == pofreader::kDiagPofFile;
    self->open_.push_back(OpenFile{path, pof ? where : nullptr, pof ? reader : nullptr});
    if (self->below_ != nullptr) self->below_->fileBegin(self->below_->user, path, kind, where, reader);
}

void DeliveryLines::onFileEnd(void* user) {
    auto* self = static_cast<DeliveryLines*>(user);
    if (!self->open_.empty()) self->open_.pop_back();
    if (self->below_ != nullptr) self->below_->fileEnd(self->below_->user);
}

void DeliveryLines::onReport(void* user, const pofreader::Diagnostic& diagnostic) {
    auto* self = static_cast<DeliveryLines*>(user);
    if (self->below_ != nullptr) self->below_->report(self->below_->user, diagnostic);
}

// Lines counted as the checker's findings count them: LF, CR, and CR LF once.
long DeliveryLines::lineAt(const std::string& path, long offset) {
    auto found = lineStarts_.find(path);
    if (found == lineStarts_.end()) {
        std::ifstream in(path, std::ios::binary);
        const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<long> starts{0};
        for (std::size_t i = 0; i < content.size(); ++i) {
            const char c = content[i];
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
            if (c == '\r' || c == '\n') starts.push_back(static_cast<long>(i + 1));
        }
        found = lineStarts_.emplace(path, std::move(starts)).first;
    }
    return static_cast<long>(std::upper_bound(found->second.begin(), found->second.end(), offset) -
                             found->second.begin());
}

int DeliveryLines::onDelivery(CycleContext*, int, SignalRecord*, void* user) {
    auto* self = static_cast<DeliveryLines*>(user);
    const long delivery = ++self->deliveries_;
    // The innermost file open while the record was delivered, if it is a POF file.
    if (self->open_.empty() || self->open_.back().where == nullptr) return 1;
    const OpenFile& file = self->open_.back();
    const long offset = file.where(file.reader);
    if (offset < 0) return 1;
    const long line = self->lineAt(file.path, offset);
    if (!self->runs_.empty()) {
        Run& last = self->runs_.back();
        if (last.file == file.path && last.delivery + last.count == delivery && last.line + last.count == line) {
            ++last.count;
            return 1;
        }
    }
    self->runs_.push_back(Run{delivery, line, 1, file.path});
    return 1;
}

std::string DeliveryLines::json() const {
    std::string out;
    for (const Run& run : runs_)
        out += "{\"lines\":[" + std::to_string(run.delivery) + "," + std::to_string(run.line) + "," +
               std::to_string(run.count) + "," + pofhost::jsonString(run.file) + "]}\n";
    return out;
}

}  // namespace pofcheck
