// Which line of which POF file each delivery of a checked run came from: a
// sink laid over the checker's that follows the files the readers open, and
// a host that asks, at each delivery, where the reader of the innermost POF
// file stands. The reader delivers a record before it reads the next line,
// so that is the record's own line; the library is asked nothing else.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "pofreader/pofreader.h"

namespace pofcheck {

class DeliveryLines {
public:
    // Installs itself over the sink installed now, to which it passes every call.
    DeliveryLines();
    ~DeliveryLines();
    DeliveryLines(const DeliveryLines&) = delete;
    DeliveryLines& operator=(const DeliveryLines&) = delete;

    // The host functions of the run: they count each delivery and note its line.
    HostCallbacks host();
    long deliveries() const { return deliveries_; }
    // One JSON object a line: {"lines":[first delivery, first line, count, "file"]}
    // for each run of deliveries from consecutive lines of one file.
    std::string json() const;

private:
    struct OpenFile {
        std::string path;
        pofreader::DiagnosticWhereFn where;
        const void* reader;
    };
    struct Run {
        long delivery, line, count;
        std::string file;
    };
    static void onFileBegin(void* user, const char* path, pofreader::DiagnosticFileKind kind,
                            pofreader::DiagnosticWhereFn where, const void* reader);
    static void onFileEnd(void* user);
    static void onReport(void* user, const pofreader::Diagnostic& diagnostic);
    static int onDelivery(CycleContext*, int, SignalRecord*, void* user);
    long lineAt(const std::string& path, long offset);

    pofreader::DiagnosticSink sink_;
    pofreader::DiagnosticSink* below_;
    std::vector<OpenFile> open_;  // every kind, so that begin and end pair up; POF files hold a reader
    std::map<std::string, std::vector<long>> lineStarts_;
    std::vector<Run> runs_;
    long deliveries_ = 0;
};

}  // namespace pofcheck
