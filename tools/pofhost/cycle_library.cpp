#include "pofhost/cycle_library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <filesystem>

namespace pofhost {

namespace {

std::string lastDlError() {
    const char* reason = dlerror();
    return reason != nullptr ? reason : "unknown reason";
}

template <typename Fn>
bool resolve(void* handle, const char* name, const std::string& path, Fn& fn, std::string& error) {
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        error = "library " + path + " has no export " + name + ": " + lastDlError();
        return false;
    }
    fn = reinterpret_cast<Fn>(symbol);
    return true;
}

}  // namespace

bool loadCycleLibrary(const std::string& path, CycleLibrary& library, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        error = "cannot load library " + path + ": " + lastDlError();
        return false;
    }
    CycleLibrary found;
    if (!resolve(handle, "qvCSgetCycle", path, found.getCycle, error) ||
        !resolve(handle, "qvCSexecCycle", path, found.execCycle, error) ||
        !resolve(handle, "qvCSsetSignal", path, found.setSignal, error) ||
        !resolve(handle, "qvCSgetSignal", path, found.getSignal, error)) {
        dlclose(handle);
        return false;
    }
    // The loader's own record of the file: for a bare name, where its search led.
    const link_map* map = nullptr;
    found.path = dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name[0] != '\0'
                     ? map->l_name
                     : path;
    library = found;
    return true;
}

std::vector<std::string> defaultLibraryPlaces(const std::string& programDirectory,
                                              const std::string& libraryDirectoryFromProgram,
                                              const std::string& name) {
    std::vector<std::string> places;
    if (!programDirectory.empty()) {
        const std::filesystem::path directory(programDirectory);
        places.push_back((directory / libraryDirectoryFromProgram / name).lexically_normal().string());
        const std::string beside = (directory / name).lexically_normal().string();
        if (beside != places.back()) places.push_back(beside);
    }
    places.push_back(name);
    return places;
}

std::string programDirectory() {
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? std::string() : program.parent_path().string();
}

bool findCycleLibrary(const std::vector<std::string>& places, CycleLibrary& library, std::string& error) {
    std::string looked;
    for (const std::string& place : places) {
        const bool searched = place.find('/') == std::string::npos;
        if (!looked.empty()) looked += ", ";
        if (searched) {
            if (loadCycleLibrary(place, library, error)) return true;
            // Found but unusable (no exports, another architecture) is its own error.
            if (error.find("No such file or directory") == std::string::npos) return false;
            looked += place +
                      " on the dynamic loader's search path (LD_LIBRARY_PATH, /etc/ld.so.cache, "
                      "the system's library directories)";
        } else {
            if (access(place.c_str(), F_OK) == 0) return loadCycleLibrary(place, library, error);
            looked += place;
        }
    }
    error = "no cycle library found; looked at " + looked + "; --library PATH names one";
    return false;
}

}  // namespace pofhost
