// pofhost: a small host of the POF reading cycle. It loads the cycle library,
// runs the cycle once with its command line and prints what its three host
// functions receive; optionally the events it can see and a picture of the
// toolpath.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cycle_library.h"
#include "delivery_format.h"
#include "host_options.h"
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
    RecordShape shape;
    ToolpathRecorder* toolpath = nullptr;
};

// The user pointer of one host function: which one it is, and the run.
struct HostFunction {
    char letter;
    HostRun* run;
};

int receive(CycleContext*, int key, SignalRecord* record, void* user) {
    const auto* function = static_cast<const HostFunction*>(user);
    HostRun& run = *function->run;
    if (record == nullptr) {
        emit(std::string(run.format == OutputFormat::Text ? "fn" : "{\"fn\":\"") + function->letter +
             (run.format == OutputFormat::Text ? " key=" + std::to_string(key) + " (no record)\n"
                                               : "\",\"key\":" + std::to_string(key) + "}\n"));
        return 1;
    }
    emit(formatDelivery(run.format, function->letter, key, *record, run.shape));
    if (key == PFR_KEY_MOVE && run.toolpath != nullptr) run.toolpath->record(*record);
    return 1;
}

int receiveEvent(CycleContext*, int event, void* user) {
    emit(formatEvent(static_cast<const HostRun*>(user)->format, event));
    return 1;
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

    // Open the picture first: a file that cannot be written is a usage error,
    // better found before the run than after it.
    std::FILE* picture = nullptr;
    if (!options.svgFile.empty()) {
        picture = std::fopen(options.svgFile.c_str(), "wb");
        if (picture == nullptr)
            return usageFailure("cannot write picture " + options.svgFile + ": " + std::strerror(errno));
    }

    HostRun run;
    run.format = options.format;
    run.shape = shapeOf(*cycle);
    ToolpathRecorder toolpath(run.shape.arcHasThirdZ);
    run.toolpath = &toolpath;

    HostFunction functionA{'A', &run}, functionB{'B', &run}, functionC{'C', &run};
    HostCallbacks callbacks{&receive, &functionA, &receive, &functionB, &receive, &functionC};

    if (options.events) {
        // Seen during the preparation; the library installs its own callback
        // for the phases and leaves the slot empty afterwards.
        cycle->eventCallback = &receiveEvent;
        cycle->eventUser = &run;
    }

    emit(formatCycle(run.format, *cycle));
    std::vector<std::string> arguments = options.cycleArguments;
    std::vector<char*> vector;
    for (std::string& argument : arguments) vector.push_back(argument.data());
    vector.push_back(nullptr);
    std::fflush(stdout);  // the cycle may write to standard output too
    const int result = library.execCycle(cycle, static_cast<int>(arguments.size()), vector.data(),
                                         &callbacks);

    emit(formatResult(run.format, result));
    emit(formatMatrix(run.format, "frameMatrix", cycle->frameMatrix));
    emit(formatMatrix(run.format, "toolMatrix", cycle->toolMatrix));
    if (run.shape.hasReferenceMatrix)
        emit(formatMatrix(run.format, "referenceMatrix",
                          reinterpret_cast<const PofCycleContext*>(cycle)->referenceMatrix));
    std::fflush(stdout);

    if (picture != nullptr) {
        const std::string svg = renderSvg(toolpath.segments(), options.view);
        const bool written = std::fwrite(svg.data(), 1, svg.size(), picture) == svg.size();
        if (std::fclose(picture) != 0 || !written)
            return usageFailure("cannot write picture " + options.svgFile);
    }
    return result == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return runHost(argc, argv); }
