// Opening, loading and closing key files: the path rules ("| stdin", '~'
// for "HOME", Windows separators) around the key-file lexer.
//
// A path that does not fit its buffer (kKeyPathSize after the separator
// turning, kHomePathSize after the "HOME" expansion) is not opened at all:
// a cut path could name a different, existing file.
#include <cstdlib>
#include <cstring>

#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "config/config.h"

namespace pofreader {

std::FILE* keyFileOpen(const char* path) {
    if (path[0] == '|') return std::strcmp(path, kStdinSource) == 0 ? stdin : nullptr;
    if (path[0] == '~') {
        const char* home = std::getenv("HOME");
        if (home == nullptr) return nullptr;
        char expanded[kHomePathSize];
        const int length = std::snprintf(expanded, sizeof expanded, "%s%s", home, path + 1);
        // Cut short, or failed (negative).
        if (static_cast<std::size_t>(length) >= sizeof expanded) return nullptr;
        return std::fopen(expanded, "rb");
    }
    return std::fopen(path, "rb");
}

// Streams without a position (a console, a pipe) are left open, and so is the
// standard input in every case: the host's process keeps using it.
void keyFileClose(std::FILE* stream) {
    if (stream == nullptr || stream == stdin) return;
    if (std::ftell(stream) < 0) return;
    std::fclose(stream);
}

ConfigNode* configLoadKeyFile(ConfigNode* list, const char* path, ConfigTag tag) {
    if (path == nullptr) return list;

    // The earlier revision opens the path as given. The current one tries the
    // path with Windows separators first, so that a file named with
    // backslashes still wins, then the path as written: on a system whose
    // separator is '/', the turned path of a folder never exists.
    const char* openPath = path;
    char converted[kKeyPathSize];
    std::FILE* stream = nullptr;
    if constexpr (!kEarlierRevision) {
        const std::size_t length = std::strlen(path);
        if (length >= sizeof converted) return list;
        bool turned = false;
        for (std::size_t i = 0; i <= length; ++i) {
            turned = turned || path[i] == '/';
            converted[i] = path[i] == '/' ? '\\' : path[i];
        }
        stream = keyFileOpen(converted);
        if (stream != nullptr || !turned) openPath = converted;
    }
    if (stream == nullptr && openPath == path) stream = keyFileOpen(path);
    if (stream == nullptr) {
        if (diagnosticSink != nullptr)
            diagnoseText(tag < PFR_TAG_CALL ? kDiagDefaultsNotOpened : kDiagFileNotOpened, openPath);
        return list;
    }
    if (diagnosticSink != nullptr) diagnoseFileBegin(openPath, kDiagKeyFile, streamWhere, stream);

    ConfigPair pair{nullptr, nullptr};
    // Each entry replaces an earlier one of its name: the side table finds it
    // without walking the list, so a long file loads in linear time.
    ConfigIndex index;
    configIndexInit(index, list);
    // Character 26 ends one entry, not the file: read on until the stream
    // itself reports its end or an error.
    for (;;) {
        keyFileNextPair(stream, &pair);  // a pass without an entry leaves the pair empty
        list = configMergeIndexed(index, list, &pair, tag);
        if (std::feof(stream) || std::ferror(stream)) break;
    }
    if (diagnosticSink != nullptr) diagnoseFileEnd();
    configIndexRelease(index);
    memRelease(pair.name);
    memRelease(pair.value);
    keyFileClose(stream);
    return list;
}

}  // namespace pofreader
