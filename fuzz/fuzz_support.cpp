#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

const std::string& scratchDirectory() {
    static const std::string path = [] {
        char pattern[] = "/tmp/pofreader-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr || chdir(made) != 0) fail(__FILE__, __LINE__, "scratch directory");
        return std::string(made);
    }();
    return path;
}

std::string writeScratchFile(const char* name, const uint8_t* data, std::size_t size) {
    const std::string path = scratchDirectory() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) fail(__FILE__, __LINE__, "cannot write a scratch file");
    if (size != 0 && std::fwrite(data, 1, size, file) != size) fail(__FILE__, __LINE__, "short write");
    std::fclose(file);
    return path;
}

void dropMethodReport() {
    scratchDirectory();
    unlink("EDK.TXT");
}

}  // namespace fuzz_support
