// Runs from two threads through the loaded library: while one thread's run is
// in progress, a run from any other thread returns 0 at once and touches
// nothing, nested runs on the running thread go on as before, and the signal
// words stay usable from anywhere. Built once more under ThreadSanitizer
// (frame_thread_guard_tsan), which sees every access the guard orders.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loaded_cycle.h"
#include "support/temp_dir.h"

namespace {

using testing_support::LoadedCycle;
using testing_support::TempDir;

const LoadedCycle& library() { return testing_support::revisionLibrary(); }

void writeJob(const TempDir& dir) {
    dir.write("pofreader.def", "unit := mm\n");
    dir.write("job.pcf", "toolpath := part.pof\n");
    dir.write("part.pof",
              "0:cycle(One)\n"
              "2:a text\n"
              "10:tr(workplane)\n"
              "31:oL ( x[/1] y[/2] )\n"
              "0:cycleEnd(One)\n");
}

// One line per delivery: function, key, code.
struct Log {
    std::vector<std::string> lines;
    void add(char function, int key, const SignalRecord* record) {
        lines.push_back(std::string(1, function) + " " + std::to_string(key) + " " +
                        std::to_string(record->code));
    }
};

int logA(CycleContext*, int key, SignalRecord* record, void* user) {
    static_cast<Log*>(user)->add('A', key, record);
    return 1;
}
int logB(CycleContext*, int key, SignalRecord* record, void* user) {
    static_cast<Log*>(user)->add('B', key, record);
    return 1;
}

// A point where the running thread stops until the test lets it go on.
class Gate {
public:
    void arrive() {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return opened_; });
    }
    void awaitArrival() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return arrived_; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        opened_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool arrived_ = false;
    bool opened_ = false;
};

int run(CycleContext* ctx, HostCallbacks* host) {
    char source[] = "-Sjob";
    char* argv[] = {source};
    return library().exec(ctx, 1, argv, host);
}

// Where the running thread waits while another thread tries a run.
enum class StopAt { ConfigEvent, FirstSignal, Move, NestedText };

// The running thread's host: logs, and stops once at the chosen point (in a
// nested run of the same job for NestedText, on a record of its own, so that
// the outer run's later deliveries still reach the host).
struct RunningHost {
    StopAt stopAt;
    Gate gate;
    Log log;
    HostCallbacks callbacks{};
    int depth = 0;
    int nestedResult = -1;
    bool stopped = false;
    PofCycleContext nestedRecord;

    void maybeStop(bool here) {
        if (here && !stopped) {
            stopped = true;
            gate.arrive();
        }
    }
    int receive(char function, CycleContext*, int key, SignalRecord* record) {
        log.add(function, key, record);
        maybeStop((stopAt == StopAt::FirstSignal && record->code == 112) ||
                  (stopAt == StopAt::Move && key == 31) ||
                  (stopAt == StopAt::NestedText && depth == 1 && key == 2));
        if (stopAt == StopAt::NestedText && depth == 0 && record->code == 112 && function == 'B') {
            ++depth;
            nestedResult = run(&nestedRecord.shared, &callbacks);
            --depth;
        }
        return 1;
    }
    static int receiveA(CycleContext* ctx, int key, SignalRecord* record, void* user) {
        return static_cast<RunningHost*>(user)->receive('A', ctx, key, record);
    }
    static int receiveB(CycleContext* ctx, int key, SignalRecord* record, void* user) {
        return static_cast<RunningHost*>(user)->receive('B', ctx, key, record);
    }
    static int onEvent(CycleContext*, int event, void* user) {
        auto* host = static_cast<RunningHost*>(user);
        host->maybeStop(host->stopAt == StopAt::ConfigEvent && event == 121);
        return 0;
    }
    explicit RunningHost(StopAt at) : stopAt(at) {
        callbacks = {&receiveA, this, &receiveB, this, nullptr, nullptr};
        std::memcpy(&nestedRecord, library().getCycle(), sizeof nestedRecord);
    }
};

int countEvents(CycleContext*, int, void* user) {
    ++*static_cast<int*>(user);
    return 0;
}

struct IntruderCase {
    const char* name;
    StopAt stopAt;
};

const IntruderCase kIntruderCases[] = {
    {"during preparation", StopAt::ConfigEvent},
    {"at the first signal", StopAt::FirstSignal},
    {"at a move", StopAt::Move},
    {"inside a nested run", StopAt::NestedText},
};

TEST(ThreadGuard, ARunFromAnotherThreadIsRefusedAndTouchesNothing) {
    ASSERT_TRUE(library().loaded()) << library().error();
    TempDir dir;
    writeJob(dir);
    Log reference;
    HostCallbacks referenceHost{&logA, &reference, &logB, &reference, nullptr, nullptr};
    ASSERT_EQ(run(nullptr, &referenceHost), 1);
    ASSERT_GT(reference.lines.size(), 4u);

    for (const IntruderCase& c : kIntruderCases) {
        SCOPED_TRACE(c.name);
        CycleContext* record = library().getCycle();
        RunningHost running(c.stopAt);
        if (c.stopAt == StopAt::ConfigEvent) {
            record->eventCallback = &RunningHost::onEvent;
            record->eventUser = &running;
        }
        int runningResult = -1;
        std::thread runner([&] { runningResult = run(nullptr, &running.callbacks); });
        running.gate.awaitArrival();

        // The intruder: on the running record and on a record of its own,
        // with an event callback that would see any event.
        Log intruder;
        HostCallbacks intruderHost{&logA, &intruder, &logB, &intruder, nullptr, nullptr};
        EXPECT_EQ(run(nullptr, &intruderHost), 0);
        PofCycleContext own;
        std::memcpy(&own, record, sizeof own);
        own.shared.parent = nullptr;
        int events = 0;
        own.shared.eventCallback = &countEvents;
        own.shared.eventUser = &events;
        PofCycleContext before;
        std::memcpy(&before, &own, sizeof own);
        EXPECT_EQ(run(&own.shared, &intruderHost), 0);
        EXPECT_EQ(std::memcmp(&before, &own, sizeof own), 0) << "the refused run wrote its record";
        EXPECT_EQ(events, 0);
        EXPECT_TRUE(intruder.lines.empty());
        // The signal words and the record pointer work meanwhile.
        EXPECT_EQ(library().getCycle(), record);
        const int previous = library().setSignal(nullptr, 77);
        EXPECT_EQ(library().setSignal(nullptr, previous), 77);
        EXPECT_EQ(library().getSignal(nullptr), static_cast<int>(record->signalOut));

        running.gate.open();
        runner.join();
        EXPECT_EQ(runningResult, 1);
        EXPECT_EQ(record->eventCallback, nullptr);
        if (c.stopAt == StopAt::NestedText) {
            EXPECT_EQ(running.nestedResult, 1);
            // The nested run's deliveries come between the outer run's
            // first signal (to A and B) and the rest of the outer run.
            std::vector<std::string> expected(reference.lines.begin(), reference.lines.begin() + 2);
            expected.insert(expected.end(), reference.lines.begin(), reference.lines.end());
            expected.insert(expected.end(), reference.lines.begin() + 2, reference.lines.end());
            EXPECT_EQ(running.log.lines, expected);
        } else {
            EXPECT_EQ(running.log.lines, reference.lines);
        }
        // The frame is free again: this thread's run now goes through.
        Log after;
        HostCallbacks afterHost{&logA, &after, &logB, &after, nullptr, nullptr};
        EXPECT_EQ(run(nullptr, &afterHost), 1);
        EXPECT_EQ(after.lines, reference.lines);
    }
}

// Two threads running jobs as fast as they can, with nothing between them:
// each run either ran whole or was refused without a delivery.
TEST(ThreadGuard, ConcurrentRunsEachRunWholeOrNotAtAll) {
    ASSERT_TRUE(library().loaded()) << library().error();
    TempDir dir;
    writeJob(dir);
    Log reference;
    HostCallbacks referenceHost{&logA, &reference, &logB, &reference, nullptr, nullptr};
    ASSERT_EQ(run(nullptr, &referenceHost), 1);

    constexpr int kRuns = 200;
    struct Worker {
        int ran = 0;
        int refused = 0;
        int wrong = 0;
    };
    Worker workers[2];
    auto work = [&](Worker& worker) {
        for (int i = 0; i < kRuns; ++i) {
            Log log;
            HostCallbacks host{&logA, &log, &logB, &log, nullptr, nullptr};
            const int result = run(nullptr, &host);
            if (result == 1 && log.lines == reference.lines) ++worker.ran;
            else if (result == 0 && log.lines.empty()) ++worker.refused;
            else ++worker.wrong;
        }
    };
    std::thread first(work, std::ref(workers[0]));
    std::thread second(work, std::ref(workers[1]));
    first.join();
    second.join();
    for (const Worker& worker : workers) {
        EXPECT_EQ(worker.wrong, 0);
        EXPECT_EQ(worker.ran + worker.refused, kRuns);
    }
    EXPECT_GT(workers[0].ran + workers[1].ran, 0);
}

}  // namespace
