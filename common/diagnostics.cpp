// The reporting side of the readers' decision points: forwards to the sink a
// checker installed, or does nothing.
#include "common/diagnostics.h"

#include <cstring>

namespace pofreader {

DiagnosticSink* diagnosticSink = nullptr;

namespace {

bool recordExplained = false;

}  // namespace

void diagnoseFileBegin(const char* path, DiagnosticFileKind kind, DiagnosticWhereFn where,
                       const void* reader) {
    recordExplained = false;
    diagnosticSink->fileBegin(diagnosticSink->user, path, kind, where, reader);
}

void diagnoseFileEnd() { diagnosticSink->fileEnd(diagnosticSink->user); }

void diagnose(DiagnosticCode code, long offset, long payloadIndex, long number, const char* text,
              std::size_t textLength) {
    DiagnosticSink* sink = diagnosticSink;
    if (sink == nullptr) return;
    sink->report(sink->user, Diagnostic{code, offset, payloadIndex, number, text, textLength});
}

void diagnoseText(DiagnosticCode code, const char* text, long offset, long payloadIndex,
                  long number) {
    diagnose(code, offset, payloadIndex, number, text, std::strlen(text));
}

long streamWhere(const void* stream) {
    const long position = std::ftell(static_cast<std::FILE*>(const_cast<void*>(stream)));
    return position > 0 ? position - 1 : position;
}

void markRecordExplained() { recordExplained = true; }

bool takeRecordExplained() {
    const bool explained = recordExplained;
    recordExplained = false;
    return explained;
}

}  // namespace pofreader
