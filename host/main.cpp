// pofhost: a small host of the POF reading cycle. It loads the cycle library,
// runs the cycle once with its command line and prints what its three host
// functions receive; optionally the events it can see, a summary, a picture
// of the toolpath and a 3D page of it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cycle_library.h"
#include "delivery_format.h"
#include "host_options.h"
#include "job_summary.h"
#include "toolpath_html.h"
#include "toolpath_svg.h"

#ifndef POFHOST_LIBRARY_NAME
#define POFHOST_LIBRARY_NAME "libpofreader.so"
#endif
#ifndef POFHOST_LIBDIR_FROM_BINDIR
#define POFHOST_LIBDIR_FROM_BINDIR "../lib"
#endif

namespace {

using namespace pofhost;

constexpr const char* kHostVersion = "pofhost 1.0";
constexpr int kExitUsage = 2;

void emit(const std::string& text) { std::fputs(text.c_str(), stdout); }

int usageFailure(const std::string& message) {
    std::fprintf(stderr, "pofhost: %s\n", message.c_str());
    return kExitUsage;
}

// What the host's callbacks share during the run.
struct HostRun {
    OutputFormat format = OutputFormat::Text;
    bool lines = true;
    RecordShape shape;
    JobRecorder* job = nullptr;
};

// The user pointer of one host function: which one it is, and the run.
struct HostFunction {
    char letter;
    HostRun* run;
};

int receive(CycleContext*, int key, SignalRecord* record, void* user) {
    const auto* function = static_cast<const HostFunction*>(user);
    HostRun& run = *function->run;
    run.job->receive(function->letter, key, record);
    if (!run.lines) return 1;
    if (record == nullptr) {
        emit(std::string(run.format == OutputFormat::Text ? "fn" : "{\"fn\":\"") + function->letter +
             (run.format == OutputFormat::Text ? " key=" + std::to_string(key) + " (no record)\n"
                                               : "\",\"key\":" + std::to_string(key) + "}\n"));
        return 1;
    }
    emit(formatDelivery(run.format, function->letter, key, *record, run.shape));
    return 1;
}

int receiveEvent(CycleContext*, int event, void* user) {
    const auto* run = static_cast<const HostRun*>(user);
    if (run->lines) emit(formatEvent(run->format, event));
    return 1;
}

// The method report file the cycle appends to in the current directory.
constexpr const char* kMethodReport = "EDK.TXT";

std::streamoff fileSize(const char* path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<std::streamoff>(in.tellg()) : 0;
}

std::string readFrom(const char* path, std::streamoff offset) {
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.seekg(offset)) return "";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Opens an output file before the run: one that cannot be written is a usage
// error, better found before the run than after it.
bool openOutput(const std::string& path, const char* what, std::FILE*& file, std::string& error) {
    if (path.empty()) return true;
    file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) error = std::string("cannot write ") + what + " " + path + ": " + std::strerror(errno);
    return file != nullptr;
}

bool writeOutput(std::FILE* file, const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

int runHost(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) return usageFailure(error);
    const std::vector<std::string> places =
        defaultLibraryPlaces(programDirectory(), POFHOST_LIBDIR_FROM_BINDIR, POFHOST_LIBRARY_NAME);
    if (options.help) {
        std::string listed;
        for (const std::string& place : places)
            listed += "                       " + place +
                      (place.find('/') == std::string::npos ? " on the loader's search path" : "") + "\n";
        emit(helpText(listed));
        return 0;
    }

    CycleLibrary library;
    if (!(options.library.empty() ? findCycleLibrary(places, library, error)
                                  : loadCycleLibrary(options.library, library, error)))
        return usageFailure(error);
    CycleContext* cycle = library.getCycle();
    if (cycle == nullptr) return usageFailure("library " + library.path + " returned no cycle record");

    if (options.version) {
        emit(std::string(kHostVersion) + "\n");
        emit(std::string(cycle->title != nullptr ? cycle->title : "") + " " + versionText(*cycle) + "\n");
        emit("library " + library.path + "\n");
        return 0;
    }

    if (!options.htmlFile.empty() && !htmlPageAvailable())
        return usageFailure("this pofhost was built without the 3D page (--html): three.js "
                            "(libjs-three) was missing when it was built");
    std::FILE* picture = nullptr;
    std::FILE* page = nullptr;
    if (!openOutput(options.svgFile, "picture", picture, error) ||
        !openOutput(options.htmlFile, "page", page, error)) {
        if (picture != nullptr) std::fclose(picture);
        return usageFailure(error);
    }

    HostRun run;
    run.format = options.format;
    run.lines = !options.summary || options.lines;
    run.shape = shapeOf(*cycle);
    JobRecorder job(run.shape);
    run.job = &job;
    const std::streamoff reportBefore = fileSize(kMethodReport);

    HostFunction functionA{'A', &run}, functionB{'B', &run}, functionC{'C', &run};
    HostCallbacks callbacks{&receive, &functionA, &receive, &functionB, &receive, &functionC};

    if (options.events) {
        // Seen during the preparation; the library installs its own callback
        // for the phases and leaves the slot empty afterwards.
        cycle->eventCallback = &receiveEvent;
        cycle->eventUser = &run;
    }

    if (run.lines) emit(formatCycle(run.format, *cycle));
    std::vector<std::string> arguments = options.cycleArguments;
    std::vector<char*> vector;
    for (std::string& argument : arguments) vector.push_back(argument.data());
    vector.push_back(nullptr);
    std::fflush(stdout);  // the cycle may write to standard output too
    const int result = library.execCycle(cycle, static_cast<int>(arguments.size()), vector.data(),
                                         &callbacks);

    if (run.lines) {
        emit(formatResult(run.format, result));
        emit(formatMatrix(run.format, "frameMatrix", cycle->frameMatrix));
        emit(formatMatrix(run.format, "toolMatrix", cycle->toolMatrix));
        if (run.shape.hasReferenceMatrix)
            emit(formatMatrix(run.format, "referenceMatrix",
                              reinterpret_cast<const PofCycleContext*>(cycle)->referenceMatrix));
    }
    if (picture != nullptr && !writeOutput(picture, renderSvg(job.moves(), options.view))) {
        if (page != nullptr) std::fclose(page);
        return usageFailure("cannot write picture " + options.svgFile);
    }
    if (options.summary || page != nullptr) {
        const std::vector<DrawnMove> drawn = drawMoves(job.moves());
        const JobSummary summary =
            summarize(job, drawn, result, reportedMethods(readFrom(kMethodReport, reportBefore)));
        if (options.summary)
            emit(options.format == OutputFormat::Text ? summaryText(summary) : summaryJson(summary));
        if (page != nullptr) {
            std::string title;
            for (const std::string& argument : options.cycleArguments) title += (title.empty() ? "" : " ") + argument;
            if (!writeOutput(page, renderHtml(job, drawn, summary, title)))
                return usageFailure("cannot write page " + options.htmlFile);
        }
    }
    std::fflush(stdout);

    return result == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return runHost(argc, argv); }
