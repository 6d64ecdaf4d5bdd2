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
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
// Only a regular file is opened to find out: a pipe is read once, by the check.
bool readable(const std::string& path, std::string& reason, bool& regular) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return reason = std::strerror(errno), false;
    if (S_ISDIR(status.st_mode)) return reason = "is a directory", false;
    regular = S_ISREG(status.st_mode);
    if (access(path.c_str(), R_OK) != 0) return reason = std::strerror(errno), false;
    return true;
}

// A pipe, a FIFO or a device is read once: a thread reads it, feeds the line
// index with every piece and passes the piece on through a pipe of its own,
// which the library reads as /proc/PID/fd/N. An endless input costs no memory.
class PassThrough {
public:
    explicit PassThrough(const std::string& path) {
        int ends[2];
        if (pipe(ends) != 0) return;
        source_ = open(path.c_str(), O_RDONLY);
        if (source_ < 0) {
            close(ends[0]);
            close(ends[1]);
            return;
        }
        readEnd_ = ends[0];
        writeEnd_ = ends[1];
        thread_ = std::thread([this] { pass(); });
    }
    ~PassThrough() {
        if (!thread_.joinable()) return;
        // The library may stop early (a control-Z) or leave its stream open:
        // drain what the thread still writes until it has closed its end.
        done_ = true;
        char piece[4096];
        while (read(readEnd_, piece, sizeof piece) > 0) {
        }
        thread_.join();
        close(readEnd_);
    }
    PassThrough(const PassThrough&) = delete;
    PassThrough& operator=(const PassThrough&) = delete;

    bool ready() const { return thread_.joinable(); }
    // By the process's number, not "self": the key-file check reads from the
    // file's own directory, and that is where its path must lead back.
    std::string path() const { return "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(readEnd_); }
    const pofcheck::LineIndex* index() const { return &index_; }
    std::mutex* lock() { return &lock_; }

private:
    void pass() {
        char piece[64 * 1024];
        for (;;) {
            const ssize_t got = read(source_, piece, sizeof piece);
            if (got <= 0 || done_) break;
            {
                const std::lock_guard<std::mutex> guard(lock_);
                index_.feed(piece, static_cast<std::size_t>(got));
            }
            for (ssize_t written = 0; written < got;) {
                const ssize_t put = write(writeEnd_, piece + written, static_cast<std::size_t>(got - written));
                if (put <= 0) break;
                written += put;
            }
        }
        close(writeEnd_);
        close(source_);
    }

    int source_ = -1;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::atomic<bool> done_{false};
    pofcheck::LineIndex index_;
    std::mutex lock_;
    std::thread thread_;
};

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

// The configuration readers find positions by asking their stream, which a
// pipe cannot answer: a pipe of one of those kinds is read once into a
// temporary file, which is checked under the pipe's name. Empty on failure.
std::string copyToTemporary(const std::string& path) {
    char directory[] = "/tmp/pofcheck-XXXXXX";
    if (mkdtemp(directory) == nullptr) return "";
    const std::string copy = std::string(directory) + "/" + std::filesystem::path(path).filename().string();
    const int in = open(path.c_str(), O_RDONLY);
    const int out = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    bool copied = in >= 0 && out >= 0;
    char piece[64 * 1024];
    for (ssize_t got; copied && (got = read(in, piece, sizeof piece)) > 0;)
        copied = write(out, piece, static_cast<std::size_t>(got)) == got;
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    if (copied) return copy;
    std::remove(copy.c_str());
    rmdir(directory);
    return "";
}

void removeTemporary(const std::string& copy) {
    std::remove(copy.c_str());
    rmdir(std::filesystem::path(copy).parent_path().c_str());
}

// Returns the deliveries; `result` is what qvCSexecCycle returned.
long runCycle(const std::vector<std::string>& arguments, int& result, pofcheck::DeliveryLines* lines = nullptr) {
    long deliveries = 0;
    HostCallbacks host{&countDelivery, &deliveries, &countDelivery, &deliveries, &countDelivery,
                       &deliveries};
    if (lines != nullptr) host = lines->host();
    std::vector<std::string> copies = arguments;
    std::vector<char*> vector;
    for (std::string& argument : copies) vector.push_back(argument.data());
    vector.push_back(nullptr);
    result = qvCSexecCycle(qvCSgetCycle(), static_cast<int>(copies.size()), vector.data(), &host);
    std::fflush(stdout);  // the run may have copied a file to standard output, which goes nowhere
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
        bool regular = true;
        if (!readable(path, reason, regular)) {
            std::fprintf(stderr, "pofcheck: %s: cannot be read: %s\n", path.c_str(), reason.c_str());
            allRead = false;
            continue;
        }
        const Kind kind = kindOf(path, options.kind);
        if (regular) {
            sink.nameFile(path, path);
            checkFile(path, kind, options.language);
            continue;
        }
        if (kind != Kind::Pof && kind != Kind::Guess) {
            const std::string copy = copyToTemporary(path);
            if (copy.empty()) {
                std::fprintf(stderr, "pofcheck: %s: cannot be read: %s\n", path.c_str(), std::strerror(errno));
                allRead = false;
                continue;
            }
            sink.nameFile(copy, path);
            checkFile(copy, kind, options.language);
            removeTemporary(copy);
            continue;
        }
        PassThrough through(path);
        if (!through.ready()) {
            std::fprintf(stderr, "pofcheck: %s: cannot be read: %s\n", path.c_str(), std::strerror(errno));
            allRead = false;
            continue;
        }
        sink.nameFile(through.path(), path);
        sink.indexFile(through.path(), through.index(), through.lock());
        checkFile(through.path(), kind, options.language);
        sink.flush();
    }
    return allRead;
}

// The closing count; `deliveries` is -1 when no run was made.
std::string closingCount(const Options& options, const CheckSink& sink, long deliveries, bool refused) {
    if (options.json) {
        std::string out = "{\"warnings\":" + std::to_string(sink.warnings()) + ",\"notes\":" +
                          std::to_string(sink.notes()) + ",\"files\":" + std::to_string(sink.filesRead());
        if (deliveries >= 0) out += ",\"deliveries\":" + std::to_string(deliveries);
        if (refused) out += ",\"refused\":true";
        return out + "}\n";
    }
    std::string out = plural(sink.warnings(), "warning") + ", " + plural(sink.notes(), "note") + " in " +
                      plural(sink.filesRead(), "file");
    if (refused) out += "; run refused";
    else if (deliveries >= 0) out += "; " + std::to_string(deliveries) + (deliveries == 1 ? " delivery" : " deliveries");
    return out + "\n";
}

// The checker's output stays its own: the run's standard output (the bypass
// copy) goes to /dev/null, and the findings to a copy of the original.
struct OwnOutput {
    OwnOutput() {
        std::fflush(stdout);
        const int copy = dup(STDOUT_FILENO);
        out = copy >= 0 ? fdopen(copy, "w") : nullptr;
        const int null = open("/dev/null", O_WRONLY);
        if (out != nullptr && null >= 0) dup2(null, STDOUT_FILENO);
        if (null >= 0) close(null);
        if (out == nullptr) out = stdout;
    }
    ~OwnOutput() {
        std::fflush(out);
        if (out != stdout) std::fclose(out);
    }
    std::FILE* out;
};

int runCheck(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) return usage(error);
    if (options.help) return std::fputs(helpText().c_str(), stdout), kExitClean;
    if (options.version) return std::printf("pofcheck 1.0 (cycle revision %s)\n", kRevision), kExitClean;

    std::signal(SIGPIPE, SIG_IGN);  // a reader that stops early closes its pipe
    OwnOutput output;
    std::FILE* out = output.out;
    // Each finding is written as soon as it is certain, so that an input
    // without end still shows what was found in it.
    CheckSink sink([&options, out](const Finding& finding) {
        if (options.quiet && finding.severity != Severity::Warning) return;
        const std::string line = options.json ? pofcheck::findingJson(finding) : pofcheck::findingText(finding);
        std::fputs(line.c_str(), out);
        std::fflush(out);
    });
    long deliveries = -1;
    bool allRead = true;
    bool refused = false;
    std::string lineRuns;
    if (options.cycle) {
        int result = 0;
        if (options.lines) {
            pofcheck::DeliveryLines lines;
            deliveries = runCycle(options.cycleArguments, result, &lines);
            lineRuns = lines.json();
        } else {
            deliveries = runCycle(options.cycleArguments, result);
        }
        sink.flush();
        refused = result == 0;
        if (refused && !sink.found("run-refused"))
            sink.add(Finding{"", 0, 0, Severity::Warning, "run-refused",
                             "run refused: the cycle returned 0 and read nothing"});
        else if (!refused && deliveries == 0)
            sink.add(Finding{"", 0, 0, Severity::Note, "no-deliveries", "the run delivered nothing to the host"});
    } else {
        allRead = checkFiles(options, sink);
    }
    sink.flush();
    std::fputs(lineRuns.c_str(), out);

    if (!options.quiet) std::fputs(closingCount(options, sink, deliveries, refused).c_str(), out);
    if (!allRead) return kExitUsage;
    return sink.warnings() > 0 ? kExitWarnings : kExitClean;
}

}  // namespace

int main(int argc, char** argv) { return runCheck(argc, argv); }
