#include "cycle_library.h"

#include <dlfcn.h>

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
    library = found;
    return true;
}

}  // namespace pofhost
