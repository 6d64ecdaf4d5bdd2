// The library as a host sees it: loaded with dlopen, called through its four
// exports.
#pragma once

#include <string>
#include <vector>

#include "pofreader/pofreader.h"

namespace testing_support {

class LoadedCycle {
public:
    // Loads the shared library at `path`; the library stays loaded for the
    // rest of the process, as a host would keep it.
    explicit LoadedCycle(const char* path);

    bool loaded() const { return getCycle_ != nullptr; }
    const std::string& error() const { return error_; }

    CycleContext* getCycle() const { return getCycle_(); }
    int exec(CycleContext* ctx, int argc, char* const* argv, HostCallbacks* host) const {
        return exec_(ctx, argc, argv, host);
    }
    // Runs with the given arguments (copied into a writable vector).
    int run(const std::vector<std::string>& args, HostCallbacks* host,
            CycleContext* ctx = nullptr) const;
    int setSignal(CycleContext* ctx, int value) const { return setSignal_(ctx, value); }
    int getSignal(CycleContext* ctx) const { return getSignal_(ctx); }

private:
    std::string error_;
    qvCSgetCycleFn getCycle_ = nullptr;
    qvCSexecCycleFn exec_ = nullptr;
    qvCSsetSignalFn setSignal_ = nullptr;
    qvCSgetSignalFn getSignal_ = nullptr;
};

#ifdef POFREADER_LIBRARY_PATH
// The shared library of the revision this test binary is built for.
inline const LoadedCycle& revisionLibrary() {
    static const LoadedCycle library(POFREADER_LIBRARY_PATH);
    return library;
}
#endif

}  // namespace testing_support
