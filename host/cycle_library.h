// The cycle library as pofhost holds it: loaded with dlopen, its four
// exports resolved by name.
#pragma once

#include <string>

#include "pofreader/pofreader.h"

namespace pofhost {

struct CycleLibrary {
    qvCSgetCycleFn getCycle = nullptr;
    qvCSexecCycleFn execCycle = nullptr;
    qvCSsetSignalFn setSignal = nullptr;
    qvCSgetSignalFn getSignal = nullptr;
};

// Loads the library at `path` and resolves the exports. On failure returns
// false with a one-line `error` that names the path and the reason. A loaded
// library stays loaded for the life of the process, as a host keeps it.
bool loadCycleLibrary(const std::string& path, CycleLibrary& library, std::string& error);

}  // namespace pofhost
