// The cycle library as pofhost holds it: loaded with dlopen, its four
// exports resolved by name.
#pragma once

#include <string>
#include <vector>

#include "pofreader/pofreader.h"

namespace pofhost {

struct CycleLibrary {
    qvCSgetCycleFn getCycle = nullptr;
    qvCSexecCycleFn execCycle = nullptr;
    qvCSsetSignalFn setSignal = nullptr;
    qvCSgetSignalFn getSignal = nullptr;
    std::string path;  // the file the loader opened
};

// Loads the library at `path` and resolves the exports. On failure returns
// false with a one-line `error` that names the path and the reason. A loaded
// library stays loaded for the life of the process, as a host keeps it.
bool loadCycleLibrary(const std::string& path, CycleLibrary& library, std::string& error);

// Where pofhost looks for its cycle when it is given none, in order: the
// library directory relative to its own (an installed tree: bin/../lib), its
// own directory (a build tree), then `name` by the dynamic loader's search.
// The last place is the bare name; the others are absolute paths.
std::vector<std::string> defaultLibraryPlaces(const std::string& programDirectory,
                                              const std::string& libraryDirectoryFromProgram,
                                              const std::string& name);

// The directory of the running program, symbolic links resolved; empty when
// the system does not tell.
std::string programDirectory();

// Loads the cycle from the first place that holds a file (the bare name: that
// the dynamic loader finds). A file that is there but fails to load is the
// error: a broken install is not passed over for another library. When no
// place holds one, `error` names every place looked at.
bool findCycleLibrary(const std::vector<std::string>& places, CycleLibrary& library, std::string& error);

}  // namespace pofhost
