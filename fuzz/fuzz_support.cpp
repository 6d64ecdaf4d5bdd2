#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <deque>

namespace fuzz_support {

void fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

namespace {
bool isFlag(int32_t given) { return given == 0 || given == 1; }
}  // namespace

void checkMoveForm(const SignalRecord& record) {
    FUZZ_CHECK(isMoveCode(record.code));
    if (record.code == PFR_CODE_ARC || record.code == PFR_CODE_ARC_NORMAL) {
        FUZZ_CHECK(record.body.arc.direction == 0 || record.body.arc.direction == 1);
        return;
    }
    const SignalMove& m = record.body.move;
    FUZZ_CHECK(isFlag(m.xGiven) && isFlag(m.yGiven) && isFlag(m.zGiven));
    FUZZ_CHECK(isFlag(m.uGiven) && isFlag(m.vGiven) && isFlag(m.wGiven));
}

bool terminatedWithin(const char* field, std::size_t size) {
    return std::memchr(field, '\0', size) != nullptr;
}

char* terminatedCopy(const uint8_t* data, std::size_t size) {
    char* text = new char[size + 1];
    if (size != 0) std::memcpy(text, data, size);
    text[size] = '\0';
    return text;
}

namespace {

// The scratch files written so far, each kept open for rewriting; a deque,
// so that the paths handed out stay where they are.
struct ScratchFile {
    std::string name;
    std::string path;
    int descriptor;
};
std::deque<ScratchFile>& scratchFiles() {
    static std::deque<ScratchFile> files;
    return files;
}

// A disk file system turns every rewrite into a flush (ext4 does so for a
// file truncated and written again), which costs more than the run itself.
std::string scratchParent() {
    const char* chosen = std::getenv("FUZZ_SCRATCH");
    if (chosen != nullptr && chosen[0] != '\0') return chosen;
    if (access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
}

void removeScratch() {
    const std::string& path = scratchDirectory();
    for (const ScratchFile& file : scratchFiles()) {
        close(file.descriptor);
        unlink(file.path.c_str());
    }
    unlink((path + "/EDK.TXT").c_str());
    rmdir(path.c_str());
}

}  // namespace

const std::string& scratchDirectory() {
    static const std::string path = [] {
        std::string pattern = scratchParent() + "/pofreader-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (made == nullptr || chdir(made) != 0) fail(__FILE__, __LINE__, "scratch directory");
        // The method report only ever grows; appending to /dev/null keeps the
        // writes without a file to remove after every input.
        if (symlink("/dev/null", "EDK.TXT") != 0) fail(__FILE__, __LINE__, "method report sink");
        return std::string(made);
    }();
    static const bool cleanupRegistered = std::atexit(removeScratch) == 0;
    (void)cleanupRegistered;
    return path;
}

const std::string& writeScratchFile(const char* name, const uint8_t* data, std::size_t size) {
    std::deque<ScratchFile>& files = scratchFiles();
    ScratchFile* file = nullptr;
    for (ScratchFile& known : files)
        if (known.name == name) file = &known;
    if (file == nullptr) {
        std::string path = scratchDirectory() + "/" + name;
        const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (descriptor < 0) fail(__FILE__, __LINE__, "cannot write a scratch file");
        files.push_back(ScratchFile{name, std::move(path), descriptor});
        file = &files.back();
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(file->descriptor, data + written, size - written,
                                 static_cast<off_t>(written));
        if (n <= 0) fail(__FILE__, __LINE__, "short write");
        written += static_cast<std::size_t>(n);
    }
    if (ftruncate(file->descriptor, static_cast<off_t>(size)) != 0)
        fail(__FILE__, __LINE__, "cannot truncate a scratch file");
    return file->path;
}

void discardMethodReport() { scratchDirectory(); }

}  // namespace fuzz_support
