// pofcheck: says, with a file, a line and a reason, everything the cycle's
// readers skip, cut, ignore or refuse. It is linked with one revision's core
// and runs that revision's own readers with a diagnostic sink installed, so
// it cannot disagree with what the cycle does.
//
//   pofcheck [--format text|json] [--quiet] [--kind K] [--language L] FILE...
//   pofcheck [options] -Sjob [CYCLE-ARGUMENT]...   (or: pofcheck [options] -- CYCLE-ARGUMENT...)
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pofcheck/check_report.h"
#include "pofcheck/delivery_lines.h"
#include "common/common.h"
#include "config/config.h"
#include "pof/pof.h"

namespace {

using pofcheck::CheckSink;
using pofcheck::Finding;
using pofcheck::Severity;

constexpr int kExitClean = 0;
constexpr int kExitWarnings = 1;
constexpr int kExitUsage = 2;

const char* const kRevision = pofreader::kEarlierRevision ? "7.00" : "9.50";

// The language a section file is read for when none is named: the cycle's
// own choice when the configuration names no "SystemLanguage".
constexpr const char* kDefaultLanguage = "???";

enum class Kind { Guess, Pof, Key, Line, Section };

struct Options {
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    Kind kind = Kind::Guess;
    std::string language = kDefaultLanguage;
    std::vector<std::string> files;
    std::vector<std::string> cycleArguments;
    bool cycle = false;
    bool lines = false;  // with a run: each delivery's POF file line, for pofhost --check
};

int usage(const std::string& message) {
    std::fprintf(stderr, "pofcheck: %s\n", message.c_str());
    return kExitUsage;
}

bool parseKind(const std::string& value, Kind& kind) {
    if (value == "pof") kind = Kind::Pof;
    else if (value == "key") kind = Kind::Key;
    else if (value == "line") kind = Kind::Line;
    else if (value == "section") kind = Kind::Section;
    else return false;
    return true;
}

bool setValue(Options& options, const std::string& name, const std::string& value, std::string& error) {
    if (name == "--format") {
        if (value != "text" && value != "json")
            return error = "unknown format '" + value + "' (text or json)", false;
        options.json = value == "json";
    } else if (name == "--kind") {
        if (!parseKind(value, options.kind))
            return error = "unknown kind '" + value + "' (pof, key, line or section)", false;
    } else {
        options.language = value;
    }
    return true;
}

// Options start with "--"; any other argument that starts with "-", and
// everything after "--", belongs to the cycle; the rest are files.
bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--") {
            options.cycle = true;
            for (++i; i < argc; ++i) options.cycleArguments.push_back(argv[i]);
            break;
        }
        if (argument.compare(0, 2, "--") != 0) {
            if (argument.size() > 1 && argument[0] == '-') {
                options.cycle = true;
                options.cycleArguments.push_back(argument);
            } else {
                options.files.push_back(argument);
            }
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool inlineValue = equals != std::string::npos;
        if (name == "--quiet" || name == "--help" || name == "--version" || name == "--lines") {
            if (inlineValue) return error = "option " + name + " takes no value", false;
            (name == "--quiet" ? options.quiet : name == "--help" ? options.help
                                                 : name == "--lines" ? options.lines : options.version) = true;
            continue;
        }
        if (name != "--format" && name != "--kind" && name != "--language")
            return error = "unknown option " + argument + " (see --help)", false;
        std::string value = inlineValue ? argument.substr(equals + 1) : "";
        if (!inlineValue && i + 1 < argc) value = argv[++i];
        if (value.empty()) return error = "option " + name + " needs a value", false;
        if (!setValue(options, name, value, error)) return false;
    }
    if (options.help || options.version) return true;
    if (options.cycle && !options.files.empty())
        return error = "give files, or the cycle's arguments (-S...), not both", false;
    if (!options.cycle && options.files.empty()) return error = "no file to check (see --help)", false;
    if (options.lines && (!options.cycle || !options.json))
        return error = "--lines goes with a run of the cycle and --format json", false;
    return true;
}

std::string helpText() {
    return std::string("usage: pofcheck [OPTION]... FILE...\n"
                       "       pofcheck [OPTION]... -Sjob [CYCLE-ARGUMENT]...\n"
                       "Says, with a file, a line and a reason, what the POF cycle (revision ") +
           kRevision +
           ") skips, cuts, ignores\n"
           "or refuses in a file, or in every file that a run with the given arguments reads.\n"
           "\n"
           "  --format text|json  compiler-style lines (the default), or JSON Lines\n"
           "  --lines             with a run and --format json: the POF file line of\n"
           "                      each delivery, for pofhost --html --check\n"
           "  --quiet             warnings only: no notes and no closing count\n"
           "  --kind pof|key|line|section\n"
           "                      read every FILE as this kind; by default .pcf and .def are\n"
           "                      key files, .CFG line files, .txt section files, the rest POF\n"
           "  --language NAME     the language a section file is read for (default \"?\?\?\")\n"
           "  --help, --version\n"
           "\n"
           "An argument that starts with '-' (one dash), and everything after '--', goes to\n"
           "the cycle: pofcheck then runs it and checks the files it reads.\n"
           "Exit status: 0 no warnings, 1 warnings, 2 usage error or a file that cannot be read.\n";
}

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char a = text[text.size() - suffix.size() + i];
        const char b = suffix[i];
        if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(b)))
            return false;
    }
    return true;
}

Kind kindOf(const std::string& path, Kind forced) {
    if (forced != Kind::Guess) return forced;
    if (endsWithIgnoringCase(path, ".pcf") || endsWithIgnoringCase(path, ".def")) return Kind::Key;
    if (endsWithIgnoringCase(path, ".cfg")) return Kind::Line;
    if (endsWithIgnoringCase(path, ".txt")) return Kind::Section;
    return Kind::Pof;
}

// A file the readers could not open would pass silently: say so and stop.
bool readable(const std::string& path, std::string& reason) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return reason = "is a directory", false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return reason = std::strerror(errno), false;
    std::fclose(file);
    return true;
}

// The read phase of the cycle on one file, with a record of its own: nothing
// is registered, so the records reach no one.
void checkPof(const std::string& path) {
    PofCycleContext context{};
    context.toolpathFile = pofreader::memDupString(path.c_str());
    pofreader::readPofFile(&context.shared);
}

// Key-file paths have '/' turned into '\' by the cycle: read the file from
// its own directory, by its bare name.
void checkKeyFile(const std::string& path) {
    const std::filesystem::path file(path);
    std::error_code error;
    const std::filesystem::path before = std::filesystem::current_path(error);
    if (file.has_parent_path()) std::filesystem::current_path(file.parent_path(), error);
    pofreader::configFree(
        pofreader::configLoadKeyFile(nullptr, file.filename().string().c_str(), PFR_TAG_CALL));
    if (file.has_parent_path()) std::filesystem::current_path(before, error);
}

void checkFile(const std::string& path, Kind kind, const std::string& language) {
    switch (kind) {
        case Kind::Key: return checkKeyFile(path);
        case Kind::Line:
            return pofreader::configFree(pofreader::configLoadLineFile(nullptr, path.c_str(), PFR_TAG_CALL));
        case Kind::Section: pofreader::sectionFileCheck(path.c_str(), language.c_str()); return;
        case Kind::Pof:
        case Kind::Guess: return checkPof(path);
    }
}

// The host of a checked run: it only counts what it receives.
int countDelivery(CycleContext*, int, SignalRecord*, void* user) {
    ++*static_cast<long*>(user);
    return 1;
}

long runCycle(const std::vector<std::string>& arguments, pofcheck::DeliveryLines* lines = nullptr) {
    long deliveries = 0;
    HostCallbacks host{&countDelivery, &deliveries, &countDelivery, &deliveries, &countDelivery,
                       &deliveries};
    if (lines != nullptr) host = lines->host();
    std::vector<std::string> copies = arguments;
    std::vector<char*> vector;
    for (std::string& argument : copies) vector.push_back(argument.data());
    vector.push_back(nullptr);
    std::fflush(stdout);  // the run may copy a file to standard output
    qvCSexecCycle(qvCSgetCycle(), static_cast<int>(copies.size()), vector.data(), &host);
    std::fflush(stdout);
    return lines != nullptr ? lines->deliveries() : deliveries;
}

std::string plural(long count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// Checks each file as its kind; false when one of them cannot be read.
bool checkFiles(const Options& options, CheckSink& sink) {
    bool allRead = true;
    for (const std::string& path : options.files) {
        std::string reason;
        if (!readable(path, reason)) {
            std::fprintf(stderr, "pofcheck: %s: cannot be read: %s\n", path.c_str(), reason.c_str());
            allRead = false;
            continue;
        }
        sink.nameFile(path, path);
        checkFile(path, kindOf(path, options.kind), options.language);
    }
    return allRead;
}

// The findings, then the closing count; `deliveries` is -1 when no run was made.
std::string report(const Options& options, const CheckSink& sink, long deliveries, long& warnings) {
    long notes = 0;
    std::string out;
    for (const Finding& finding : sink.findings()) {
        const bool warning = finding.severity == Severity::Warning;
        (warning ? warnings : notes) += 1;
        if (options.quiet && !warning) continue;
        out += options.json ? pofcheck::findingJson(finding) : pofcheck::findingText(finding);
    }
    if (options.quiet) return out;
    if (options.json) {
        out += "{\"warnings\":" + std::to_string(warnings) + ",\"notes\":" + std::to_string(notes) +
               ",\"files\":" + std::to_string(sink.filesRead());
        if (deliveries >= 0) out += ",\"deliveries\":" + std::to_string(deliveries);
        return out + "}\n";
    }
    out += plural(warnings, "warning") + ", " + plural(notes, "note") + " in " + plural(sink.filesRead(), "file");
    if (deliveries >= 0) out += "; " + std::to_string(deliveries) + (deliveries == 1 ? " delivery" : " deliveries");
    return out + "\n";
}

int runCheck(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) return usage(error);
    if (options.help) return std::fputs(helpText().c_str(), stdout), kExitClean;
    if (options.version) return std::printf("pofcheck 1.0 (cycle revision %s)\n", kRevision), kExitClean;

    CheckSink sink;
    long deliveries = -1;
    bool allRead = true;
    std::string lineRuns;
    if (options.cycle && options.lines) {
        pofcheck::DeliveryLines lines;
        deliveries = runCycle(options.cycleArguments, &lines);
        lineRuns = lines.json();
    } else if (options.cycle) {
        deliveries = runCycle(options.cycleArguments);
    } else {
        allRead = checkFiles(options, sink);
    }
    std::fputs(lineRuns.c_str(), stdout);

    long warnings = 0;
    std::fputs(report(options, sink, deliveries, warnings).c_str(), stdout);
    std::fflush(stdout);
    if (!allRead) return kExitUsage;
    return warnings > 0 ? kExitWarnings : kExitClean;
}

}  // namespace

int main(int argc, char** argv) { return runCheck(argc, argv); }
