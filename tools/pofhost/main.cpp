// pofhost: a small host of the POF reading cycle. It loads the cycle library,
// runs the cycle once with its command line and prints what its three host
// functions receive; optionally the events it can see, a summary, a picture
// of the toolpath and a 3D page of it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "pofhost/cycle_library.h"
#include "text/delivery_format.h"
#include "pofhost/host_options.h"
#include "toolpath/job_summary.h"
#include "toolpath/toolpath_html.h"
#include "toolpath/toolpath_svg.h"

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
    JobRecorder* job = nullptr;  // null: neither a summary nor a picture was asked for
};

// The user pointer of one host function: which one it is, and the run.
struct HostFunction {
    char letter;
    HostRun* run;
};

int receive(CycleContext*, int key, SignalRecord* record, void* user) {
    const auto* function = static_cast<const HostFunction*>(user);
    HostRun& run = *function->run;
    if (run.job != nullptr) run.job->receive(function->letter, key, record);
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

// The method names among the lines appended to `path` after `offset`.
std::vector<std::string> methodsAppended(const char* path, std::streamoff offset) {
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.seekg(offset)) return {};
    return reportedMethods(in);
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

// The files --svg and --html write, opened before the run.
struct Pictures {
    std::FILE* svg = nullptr;
    std::FILE* page = nullptr;
    bool any() const { return svg != nullptr || page != nullptr; }
    void close() {
        if (svg != nullptr) std::fclose(svg);
        if (page != nullptr) std::fclose(page);
        svg = page = nullptr;
    }
};

std::string helpWithPlaces(const std::vector<std::string>& places) {
    std::string listed;
    for (const std::string& place : places)
        listed += "                       " + place +
                  (place.find('/') == std::string::npos ? " on the loader's search path" : "") + "\n";
    return helpText(listed);
}

std::string versionLines(const CycleContext& cycle, const std::string& libraryPath) {
    return std::string(kHostVersion) + "\n" + (cycle.title != nullptr ? cycle.title : "") + " " +
           versionText(cycle) + "\n" + "library " + libraryPath + "\n";
}

bool openPictures(const HostOptions& options, Pictures& pictures, std::string& error) {
    if (!options.htmlFile.empty() && !htmlPageAvailable()) {
        error = "this pofhost was built without the 3D page (--html): three.js "
                "(libjs-three) was missing when it was built";
        return false;
    }
    if (openOutput(options.svgFile, "picture", pictures.svg, error) &&
        openOutput(options.htmlFile, "page", pictures.page, error))
        return true;
    pictures.close();
    return false;
}

// Runs the cycle once with the host's three functions; the lines of each
// delivery are written as they arrive.
int runCycle(CycleLibrary& library, CycleContext* cycle, const HostOptions& options, HostRun& run) {
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
    return result;
}

// The summary and the pictures, from what the run delivered; an error
// message when a picture cannot be written.
std::string writeAfterRun(const HostOptions& options, const JobRecorder& job, int result,
                          std::streamoff reportBefore, Pictures& pictures) {
    std::FILE* page = pictures.page;
    pictures.page = nullptr;
    if (pictures.svg != nullptr) {
        std::FILE* svg = pictures.svg;
        pictures.svg = nullptr;
        if (!writeOutput(svg, renderSvg(job.moves(), options.view))) {
            if (page != nullptr) std::fclose(page);
            return "cannot write picture " + options.svgFile;
        }
    }
    if (!options.summary && page == nullptr) return "";
    const JobSummary summary = summarize(job, result, methodsAppended(kMethodReport, reportBefore));
    if (options.summary) (options.format == OutputFormat::Text ? writeSummaryText : writeSummaryJson)(summary, emit);
    if (page == nullptr) return "";
    std::string title;
    for (const std::string& argument : options.cycleArguments) title += (title.empty() ? "" : " ") + argument;
    CheckedRun checked;
    if (!options.checkFile.empty() && !readCheckedRun(options.checkFile, checked)) {
        std::fclose(page);
        return "cannot read " + options.checkFile;
    }
    return writeOutput(page, renderHtml(job, summary, title, checked)) ? "" : "cannot write page " + options.htmlFile;
}

int runHost(int argc, char** argv) {
    // ---- The command line, and what needs no run.
    HostOptions options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) return usageFailure(error);
    const std::vector<std::string> places =
        defaultLibraryPlaces(programDirectory(), POFHOST_LIBDIR_FROM_BINDIR, POFHOST_LIBRARY_NAME);
    if (options.help) {
        emit(helpWithPlaces(places));
        return 0;
    }
    CycleLibrary library;
    if (!(options.library.empty() ? findCycleLibrary(places, library, error)
                                  : loadCycleLibrary(options.library, library, error)))
        return usageFailure(error);
    CycleContext* cycle = library.getCycle();
    if (cycle == nullptr) return usageFailure("library " + library.path + " returned no cycle record");
    if (options.version) {
        emit(versionLines(*cycle, library.path));
        return 0;
    }

    // ---- The run. Moves are kept only for a picture; the lines and the
    // summary take each delivery as it comes.
    Pictures pictures;
    if (!openPictures(options, pictures, error)) return usageFailure(error);
    HostRun run;
    run.format = options.format;
    run.lines = !options.summary || options.lines;
    run.shape = shapeOf(*cycle);
    JobRecorder job(run.shape, pictures.page != nullptr ? JobRecorder::Keep::Page
                               : pictures.svg != nullptr ? JobRecorder::Keep::Moves
                                                         : JobRecorder::Keep::Nothing);
    if (options.summary || pictures.any()) run.job = &job;
    const std::streamoff reportBefore = fileSize(kMethodReport);
    const int result = runCycle(library, cycle, options, run);

    // ---- After the run: the summary and the pictures.
    error = writeAfterRun(options, job, result, reportBefore, pictures);
    std::fflush(stdout);
    if (!error.empty()) return usageFailure(error);
    return result == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return runHost(argc, argv); }
