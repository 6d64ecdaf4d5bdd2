#include "support/loaded_cycle.h"

#include <dlfcn.h>

namespace testing_support {

namespace {

template <typename Fn>
Fn resolve(void* handle, const char* name, std::string& error) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr && error.empty()) error = std::string("missing export ") + name;
    return reinterpret_cast<Fn>(symbol);
}

}  // namespace

LoadedCycle::LoadedCycle(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error_ = why != nullptr ? why : "dlopen failed";
        return;
    }
    auto getCycle = resolve<qvCSgetCycleFn>(handle, "qvCSgetCycle", error_);
    exec_ = resolve<qvCSexecCycleFn>(handle, "qvCSexecCycle", error_);
    setSignal_ = resolve<qvCSsetSignalFn>(handle, "qvCSsetSignal", error_);
    getSignal_ = resolve<qvCSgetSignalFn>(handle, "qvCSgetSignal", error_);
    if (error_.empty()) getCycle_ = getCycle;
}

int LoadedCycle::run(const std::vector<std::string>& args, HostCallbacks* host,
                     CycleContext* ctx) const {
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    storage.reserve(args.size());
    for (const std::string& arg : args) {
        storage.emplace_back(arg.begin(), arg.end());
        storage.back().push_back('\0');
        argv.push_back(storage.back().data());
    }
    argv.push_back(nullptr);
    return exec_(ctx, static_cast<int>(args.size()), argv.data(), host);
}

}  // namespace testing_support
