#include "qdx/method_report.h"

#include <cstdio>

#include "common/diagnostics.h"

namespace pofreader {

void reportMethodName(const char* name) {
    // A checker listening takes the line instead: checking writes no file.
    if (diagnosticSink != nullptr) return diagnoseText(kDiagMethodReport, name);
    // Append only: the file is a running log that nothing here ever reads.
    std::FILE* report = std::fopen("EDK.TXT", "at");
    if (report == nullptr) return;
    std::fprintf(report, " methode = '%s'\n", name);
    std::fclose(report);
}

}  // namespace pofreader
