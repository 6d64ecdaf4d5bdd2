// pofbench: the read speed of the cycle against the byte-reading floor, on one
// generated job, in one process, printed as a table.
//
//   pofbench [--moves N] [--seed S] [--reps R] [--mix standard|multiaxis|tools]
//            [--baseline LIBRARY] [--scale | --no-scale] [--keep]
//
// --baseline loads a second build of the cycle (a libpofreader.so, with its
// libpofreader-7.00.so beside it), times it interleaved with this build on the
// same jobs and prints the speed-up. Whole runs use three job mixes (the
// standard one, multi-axis moves, and tool records only) unless --mix names one.
//
// Times are CPU time of the measuring thread (user and system, so the kernel's
// copying of file pages counts), the best of R repetitions: the file is in the
// page cache after the first pass, and the best pass is the one least disturbed
// by other work on the machine. Wall time is shown beside it.
//
// Order matters: glibc's stdio locks on every fgetc once the process has had a
// second thread, and a process never goes back. Every row above the thread
// line runs before any thread exists; the rows below it after one was started
// and joined.
//
// --scale adds the streaming check: a 10 MB and a 200 MB toolpath are each read
// by a fresh child process, which reports its peak resident memory (VmHWM).
// The files live in the temporary directory and are deleted afterwards.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/config.h"
#include "job_generator.h"
#include "pof/pof.h"
#include "qdx/qdx.h"
#include "tests/support/move_grammars.h"

namespace {

// ---- Clocks -----------------------------------------------------------------
double clockSeconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Timing {
    double cpu = 1e300;   // best CPU time of the thread
    double wall = 1e300;  // best wall time
};

template <typename F>
Timing best(int reps, F&& body) {
    Timing timing;
    for (int i = 0; i < reps; ++i) {
        const double cpu0 = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double wall0 = clockSeconds(CLOCK_MONOTONIC);
        body();
        const double cpu = clockSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
        const double wall = clockSeconds(CLOCK_MONOTONIC) - wall0;
        if (cpu < timing.cpu) timing.cpu = cpu;
        if (wall < timing.wall) timing.wall = wall;
    }
    return timing;
}

void keepBest(Timing& kept, const Timing& t) {
    if (t.cpu < kept.cpu) kept.cpu = t.cpu;
    if (t.wall < kept.wall) kept.wall = t.wall;
}

// ---- The library as the host loads it ----------------------------------------
struct Library {
    qvCSexecCycleFn exec = nullptr;
    bool load(const char* path) {
        void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            std::fprintf(stderr, "pofbench: %s\n", dlerror());
            return false;
        }
        exec = reinterpret_cast<qvCSexecCycleFn>(dlsym(handle, "qvCSexecCycle"));
        return exec != nullptr;
    }
};

int doNothing(CycleContext*, int, SignalRecord*, void*) { return 1; }

long deliveries = 0;
int countDelivery(CycleContext*, int, SignalRecord*, void*) {
    ++deliveries;
    return 1;
}

// One whole run of the job in the current directory: -Sjob reads job.pcf,
// which names job.pof.
int runJob(const Library& library, HostFn fn) {
    char argument[] = "-Sjob";
    char* argv[] = {argument, nullptr};
    HostCallbacks host{fn, nullptr, fn, nullptr, fn, nullptr};
    return library.exec(nullptr, 1, argv, &host);
}

// ---- The floor ---------------------------------------------------------------
long countLinesFgetc(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
    long lines = 0;
    for (int c; (c = std::fgetc(file)) != EOF;)
        if (c == '\n') ++lines;
    std::fclose(file);
    return lines;
}

// As tight as a byte loop over stdio gets: one lock for the file, one
// branch-free counter.
long countLinesUnlocked(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
    long lines = 0;
    flockfile(file);
    for (int c; (c = getc_unlocked(file)) != EOF;) lines += c == '\n';
    funlockfile(file);
    std::fclose(file);
    return lines;
}

// ---- Payloads for the parsers alone -----------------------------------------
struct Payloads {
    std::vector<std::string> moves;
    std::vector<std::string> tools;
    long long moveBytes = 0;
    long long toolBytes = 0;
};

Payloads collectPayloads(const char* path) {
    Payloads payloads;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return payloads;
    char line[2048];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        char* colon = std::strchr(line, ':');
        if (colon == nullptr) continue;
        std::string payload(colon + 1);
        while (!payload.empty() && (payload.back() == '\n' || payload.back() == '\r'))
            payload.pop_back();
        if (std::strncmp(line, "31:", 3) == 0) {
            payloads.moveBytes += static_cast<long long>(payload.size());
            payloads.moves.push_back(std::move(payload));
        } else if (std::strncmp(line, "11:", 3) == 0) {
            payloads.toolBytes += static_cast<long long>(payload.size());
            payloads.tools.push_back(std::move(payload));
        }
    }
    std::fclose(file);
    return payloads;
}

using ParseFn = int32_t (*)(const char*, pofreader::MoveWords&);
using testing_support::parseCurrentGrammar;
using testing_support::parseEarlierGrammar;

long parseAll(const Payloads& payloads, ParseFn parse) {
    long accepted = 0;
    for (const std::string& payload : payloads.moves) {
        pofreader::MoveWords words{};
        words.w = 1.0;
        if (parse(payload.c_str(), words) >= 0) ++accepted;
    }
    return accepted;
}

long readAllTools(const Payloads& payloads) {
    long elements = 0;
    pofreader::ExchangeElement element{};
    element.bodyStart = element.bodyEnd = -1;
    for (const std::string& payload : payloads.tools) {
        const char* cursor = payload.c_str();
        while (pofreader::exchangeNextFromText(&cursor, &element)) ++elements;
    }
    pofreader::exchangeReleaseElement(&element);
    return elements;
}

long countNodes(ConfigNode* list) {
    long n = 0;
    for (; list != nullptr; list = list->next) ++n;
    return n;
}

// ---- The table ----------------------------------------------------------------
void printHeader() {
    std::printf("%-50s %9s %9s %9s %9s %8s\n", "benchmark", "cpu ms", "wall ms", "MB/s",
                "krec/s", "x floor");
}

// `floor` is the tight getc_unlocked loop's time; 0 leaves the column empty.
void printRow(const char* name, const Timing& t, long long bytes, long records, double floor) {
    std::printf("%-50s %9.1f %9.1f %9.1f %9.0f", name, t.cpu * 1e3, t.wall * 1e3,
                static_cast<double>(bytes) / 1e6 / t.cpu, static_cast<double>(records) / 1e3 / t.cpu);
    if (floor > 0) std::printf(" %8.2f\n", t.cpu / floor);
    else std::printf(" %8s\n", "-");
}

void printSpeedup(const char* name, const Timing& landed, const Timing& now) {
    std::printf("%-50s %8.2fx\n", name, landed.cpu / now.cpu);
}

long long fileSize(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// ---- The streaming check: a fresh process per toolpath ------------------------
// The peak resident set of this process image, from /proc/self/status. Not
// ru_maxrss: Linux carries that over from the forking parent across exec, so
// a child of a big parent would report the parent's size.
long peakResidentKiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(status);
    return kib;
}

// Child: run the job in `dir` once to warm the page cache, then time one run.
int childRun(const char* dir) {
    if (chdir(dir) != 0) return 2;
    Library current;
    if (!current.load(POFREADER_LIBRARY_PATH)) return 2;
    runJob(current, doNothing);
    const Timing t = best(1, [&] { runJob(current, doNothing); });
    std::printf("%.9f %.9f %ld\n", t.cpu, t.wall, peakResidentKiB());
    return 0;
}

struct ChildResult {
    double cpu = 0, wall = 0;
    long maxRssKiB = 0;
    bool ok = false;
};

ChildResult spawnChildRun(const std::string& dir) {
    ChildResult result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl("/proc/self/exe", "pofbench", "--child-run", dir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char text[128] = {};
    ssize_t got = 0, n;
    while (got < static_cast<ssize_t>(sizeof text) - 1 &&
           (n = read(pipeFds[0], text + got, sizeof text - 1 - got)) > 0)
        got += n;
    close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                std::sscanf(text, "%lf %lf %ld", &result.cpu, &result.wall, &result.maxRssKiB) == 3 &&
                result.maxRssKiB > 0;
    return result;
}

void removeJob(const std::string& dir) {
    for (const char* name : {"job.pof", "job.pcf", "EDK.TXT"}) std::remove((dir + "/" + name).c_str());
    rmdir(dir.c_str());
}

bool scaleCheck(const std::string& base, uint64_t seed, int reps) {
    struct Size {
        const char* label;
        long long bytes;
    };
    const Size sizes[] = {{"10 MB", 10'000'000LL}, {"200 MB", 200'000'000LL}};
    ChildResult results[2];
    long long bytes[2] = {};
    std::printf("\nstreaming: each toolpath read by a fresh process (best of %d)\n", reps);
    std::printf("%-10s %12s %14s %9s %9s\n", "toolpath", "bytes", "VmHWM KiB", "cpu ms",
                "ms/MB");
    for (int i = 0; i < 2; ++i) {
        const std::string dir = base + "/scale" + std::to_string(i);
        mkdir(dir.c_str(), 0700);
        pofbench::JobSize size;
        size.seed = seed;
        size.bytes = sizes[i].bytes;
        pofbench::JobStats stats;
        if (!pofbench::writeJob(dir, "job", size, &stats)) {
            removeJob(dir);
            return false;
        }
        bytes[i] = stats.bytes;
        for (int r = 0; r < reps; ++r) {
            const ChildResult run = spawnChildRun(dir);
            if (!run.ok) {
                removeJob(dir);
                return false;
            }
            if (r == 0 || run.cpu < results[i].cpu) {
                results[i].cpu = run.cpu;
                results[i].wall = run.wall;
            }
            if (run.maxRssKiB > results[i].maxRssKiB) results[i].maxRssKiB = run.maxRssKiB;
        }
        removeJob(dir);
        std::printf("%-10s %12lld %14ld %9.1f %9.3f\n", sizes[i].label, bytes[i],
                    results[i].maxRssKiB, results[i].cpu * 1e3,
                    results[i].cpu * 1e3 / (static_cast<double>(bytes[i]) / 1e6));
    }
    const long rssDiff = results[1].maxRssKiB - results[0].maxRssKiB;
    const double perMb0 = results[0].cpu / static_cast<double>(bytes[0]);
    const double perMb1 = results[1].cpu / static_cast<double>(bytes[1]);
    std::printf("peak RSS 200 MB - 10 MB: %+ld KiB (target: within 1024 KiB)\n", rssDiff);
    std::printf("time per MB 200 MB / 10 MB: %.3f (target: within 0.85 .. 1.15)\n", perMb1 / perMb0);
    return true;
}

// The libraries measured: this build's, and optionally a baseline's (the
// landed library), each in both revisions.
struct Libraries {
    Library current, earlier;
    Library baseline, baseline700;
    bool hasBaseline = false;
};

// The earlier revision's library beside a current one: "libpofreader.so"
// becomes "libpofreader-7.00.so" in the same directory.
std::string earlierBeside(const std::string& path) {
    const std::string name = "libpofreader.so";
    if (path.size() < name.size() || path.compare(path.size() - name.size(), name.size(), name) != 0)
        return "";
    return path.substr(0, path.size() - name.size()) + "libpofreader-7.00.so";
}

long countDeliveries(const Library& library) {
    deliveries = 0;
    runJob(library, countDelivery);
    return deliveries;
}

// Whole runs of one job mix: the floors, this build and the baseline take
// turns, so that a busy spell of the machine touches all of them alike.
bool benchWholeRuns(const Libraries& libs, const pofbench::JobSize& size, int reps, long& sink,
                    Timing& runOut) {
    pofbench::JobStats stats;
    if (!pofbench::writeJob(".", "job", size, &stats)) return false;
    std::printf("\njob \"%s\": seed %llu, %ld records (%ld straight, %ld arcs, %ld events, "
                "%ld texts, %ld transformations, %ld tools), %.1f MB\n",
                pofbench::jobMixName(size.mix), static_cast<unsigned long long>(size.seed),
                stats.records, stats.straight, stats.arcs, stats.events, stats.texts,
                stats.transforms, stats.tools, static_cast<double>(stats.bytes) / 1e6);

    // A run that reads the whole job delivers at least every move, and the
    // baseline delivers exactly as often.
    const long current = countDeliveries(libs.current), earlier = countDeliveries(libs.earlier);
    std::printf("host deliveries per run: current %ld, 7.00 %ld", current, earlier);
    if (libs.hasBaseline) {
        const long base = countDeliveries(libs.baseline);
        const long base700 = countDeliveries(libs.baseline700);
        std::printf("; baseline %ld, 7.00 %ld", base, base700);
        if (base != current || base700 != earlier) {
            std::fprintf(stderr, "\npofbench: the baseline delivers a different number of records\n");
            return false;
        }
    }
    std::printf("; best of %d\n", reps);
    if (current < stats.moves() || earlier < stats.moves()) {
        std::fprintf(stderr, "pofbench: a run did not deliver every move\n");
        return false;
    }

    Timing floorT, tightT, runT, run700T, baseT, base700T;
    for (int round = 0; round < reps; ++round) {
        keepBest(floorT, best(1, [&] { sink += countLinesFgetc("job.pof"); }));
        keepBest(tightT, best(1, [&] { sink += countLinesUnlocked("job.pof"); }));
        keepBest(runT, best(1, [&] { runJob(libs.current, doNothing); }));
        keepBest(run700T, best(1, [&] { runJob(libs.earlier, doNothing); }));
        if (libs.hasBaseline) {
            keepBest(baseT, best(1, [&] { runJob(libs.baseline, doNothing); }));
            keepBest(base700T, best(1, [&] { runJob(libs.baseline700, doNothing); }));
        }
    }
    const long long bytes = stats.bytes;
    const long records = stats.records;
    const double floor = tightT.cpu;
    printHeader();
    printRow("(a) floor: getc_unlocked loop, one lock", tightT, bytes, records, floor);
    printRow("    fgetc loop counting line ends", floorT, bytes, records, floor);
    printRow("(b) whole run, current revision", runT, bytes, records, floor);
    if (libs.hasBaseline) printRow("    whole run, current revision, baseline", baseT, bytes, records, floor);
    printRow("(d) whole run, revision 7.00", run700T, bytes, records, floor);
    if (libs.hasBaseline) printRow("    whole run, revision 7.00, baseline", base700T, bytes, records, floor);
    std::printf("(b)/(a) = %.2f (stretch: at most 5); (d)/(b) = %.2f (at most 1.2)\n",
                runT.cpu / floor, run700T.cpu / runT.cpu);
    if (libs.hasBaseline) {
        printSpeedup("speed-up over the baseline, current revision", baseT, runT);
        printSpeedup("speed-up over the baseline, revision 7.00", base700T, run700T);
    }
    runOut = runT;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long moves = 1'000'000;
    uint64_t seed = 12;
    int reps = 5;
    bool scale = false, keep = false;
    std::string baselinePath;
    std::vector<pofbench::JobMix> mixes = {pofbench::JobMix::standard, pofbench::JobMix::multiAxis,
                                           pofbench::JobMix::tools};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        pofbench::JobMix mix;
        if (arg == "--child-run" && i + 1 < argc) return childRun(argv[++i]);
        if (arg == "--moves" && i + 1 < argc) moves = std::atol(argv[++i]);
        else if (arg == "--seed" && i + 1 < argc) seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--reps" && i + 1 < argc) reps = std::atoi(argv[++i]);
        else if (arg == "--baseline" && i + 1 < argc) baselinePath = argv[++i];
        else if (arg == "--mix" && i + 1 < argc && pofbench::parseJobMix(argv[++i], mix)) mixes = {mix};
        else if (arg == "--scale") scale = true;
        else if (arg == "--no-scale") scale = false;
        else if (arg == "--keep") keep = true;
        else {
            std::fprintf(stderr,
                         "usage: pofbench [--moves N] [--seed S] [--reps R] [--mix standard|multiaxis|tools]\n"
                         "                [--baseline LIBRARY] [--scale | --no-scale] [--keep]\n");
            return 2;
        }
    }
    if (moves < 1 || reps < 1) return 2;

    Libraries libs;
    if (!libs.current.load(POFREADER_LIBRARY_PATH) || !libs.earlier.load(POFREADER_700_LIBRARY_PATH))
        return 1;
    if (!baselinePath.empty()) {
        const std::string baseline700 = earlierBeside(baselinePath);
        if (baseline700.empty()) {
            std::fprintf(stderr, "pofbench: --baseline names a libpofreader.so\n");
            return 2;
        }
        if (!libs.baseline.load(baselinePath.c_str()) || !libs.baseline700.load(baseline700.c_str()))
            return 1;
        libs.hasBaseline = true;
        std::printf("baseline: %s and %s\n", baselinePath.c_str(), baseline700.c_str());
    }

    // ---- The jobs, in a directory of their own.
    char dirTemplate[] = "/tmp/pofbench-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) return 1;
    const std::string dir = dirTemplate;
    if (chdir(dir.c_str()) != 0) return 1;

    long sink = 0;
    bool ok = true;
    Timing standardRunT, mixRunT;
    for (pofbench::JobMix mix : mixes) {
        pofbench::JobSize size;
        size.seed = seed;
        size.moves = mix == pofbench::JobMix::tools ? moves / 10 : moves;
        size.mix = mix;
        ok = ok && benchWholeRuns(libs, size, reps, sink, mixRunT);
        if (mix == pofbench::JobMix::standard) standardRunT = mixRunT;
    }

    // ---- The readers alone, on the standard job.
    pofbench::JobSize size;
    size.seed = seed;
    size.moves = moves;
    pofbench::JobStats stats;
    if (!ok || !pofbench::writeJob(".", "job", size, &stats) ||
        !pofbench::writeKeyFile("keys.pcf", 10'000, seed) ||
        !pofbench::writeKeyFile("keys100k.pcf", 100'000, seed) ||
        !pofbench::writeLineFile("lines.CFG", 10'000, seed)) {
        std::fprintf(stderr, "pofbench: cannot write the jobs in %s\n", dir.c_str());
        return 1;
    }
    const Payloads payloads = collectPayloads("job.pof");
    std::printf("\nthe readers alone (this build; payloads of the standard job in memory)\n");
    printHeader();
    const Timing parseT = best(reps, [&] { sink += parseAll(payloads, parseCurrentGrammar); });
    printRow("(e) move parser alone", parseT, payloads.moveBytes,
             static_cast<long>(payloads.moves.size()), 0);
    const Timing parse700T =
        best(reps, [&] { sink += parseAll(payloads, parseEarlierGrammar); });
    printRow("    move parser alone, 7.00 grammar", parse700T, payloads.moveBytes,
             static_cast<long>(payloads.moves.size()), 0);
    const Timing qdxT = best(reps, [&] { sink += readAllTools(payloads); });
    printRow("(f) qDX reader alone (tool payloads)", qdxT, payloads.toolBytes,
             static_cast<long>(payloads.tools.size()), 0);
    long keyNodes = 0, keyNodes100k = 0, lineNodes = 0;
    const Timing keyT = best(reps, [&] {
        ConfigNode* list = pofreader::configLoadKeyFile(nullptr, "keys.pcf", PFR_TAG_CALL);
        keyNodes = countNodes(list);
        pofreader::configFree(list);
    });
    printRow("(g) key file, 10,000 entries", keyT, fileSize("keys.pcf"), keyNodes, 0);
    const Timing key100kT = best(reps < 3 ? reps : 3, [&] {
        ConfigNode* list = pofreader::configLoadKeyFile(nullptr, "keys100k.pcf", PFR_TAG_CALL);
        keyNodes100k = countNodes(list);
        pofreader::configFree(list);
    });
    printRow("    key file, 100,000 entries (target: 100 ms)", key100kT, fileSize("keys100k.pcf"),
             keyNodes100k, 0);
    const Timing lineT = best(reps, [&] {
        ConfigNode* list = pofreader::configLoadLineFile(nullptr, "lines.CFG", PFR_TAG_CALL);
        lineNodes = countNodes(list);
        pofreader::configFree(list);
    });
    printRow("(g) .CFG line file, 10,000 lines", lineT, fileSize("lines.CFG"), lineNodes, 0);
    if (keyNodes != 10'000 || keyNodes100k != 100'000 || lineNodes != 10'000)
        std::printf("warning: loaded %ld and %ld key entries and %ld lines\n", keyNodes, keyNodes100k,
                    lineNodes);

    // ---- From here on the process has had a second thread: glibc's stdio
    // locks every fgetc, and the cycle must not slow down with it.
    std::thread([] {}).join();
    std::printf("\nafter a thread was started and joined (standard job)\n");
    printHeader();
    Timing floorT, runThreadT;
    for (int round = 0; round < reps; ++round) {
        keepBest(floorT, best(1, [&] { sink += countLinesUnlocked("job.pof"); }));
        keepBest(runThreadT, best(1, [&] { runJob(libs.current, doNothing); }));
    }
    printRow("(a) getc_unlocked loop, one lock", floorT, stats.bytes, stats.records, floorT.cpu);
    printRow("(c) whole run, current revision", runThreadT, stats.bytes, stats.records, floorT.cpu);
    if (standardRunT.cpu < 1e300)
        std::printf("(c)/(b) = %.2f (at most 1.1)\n", runThreadT.cpu / standardRunT.cpu);

    bool scaled = true;
    if (scale) scaled = scaleCheck(dir, seed, reps < 3 ? reps : 3);

    if (!keep) {
        for (const char* name : {"job.pof", "job.pcf", "keys.pcf", "keys100k.pcf", "lines.CFG", "EDK.TXT"})
            std::remove(name);
        if (chdir("/") == 0) rmdir(dir.c_str());
    } else {
        std::printf("jobs kept in %s\n", dir.c_str());
    }
    return sink == 42 || !scaled ? 1 : 0;
}
