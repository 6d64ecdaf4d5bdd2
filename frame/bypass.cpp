// The "POFbypass" copy: a configured text file passed through to standard
// output unchanged.
#include <cstdio>

#include "common/char_classes.h"
#include "common/common.h"
#include "common/diagnostics.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// Reads the next piece: at most `limit` characters, ending after a line end.
// Returns its length; 0 at the end of input.
std::size_t readPiece(std::FILE* file, char* buffer, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit) {
        const int c = std::getc(file);
        if (c == EOF || c == kEndOfInputMark) {
            if (c == kEndOfInputMark) std::fseek(file, 0, SEEK_END);
            break;
        }
        buffer[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return length;
}

}  // namespace

// Copies the text file `path` to standard output in pieces of at most
// `lineLength` - 1 characters. A file that cannot be opened is skipped.
void copyBypassFile(const char* path, int lineLength) {
    if (path == nullptr) return;
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        if (diagnosticSink != nullptr) diagnoseText(kDiagBypassNotOpened, path);
        return;
    }
    const std::size_t length = lineLength > 2 ? static_cast<std::size_t>(lineLength) : 2;
    char* buffer = static_cast<char*>(memAllocZero(length + 4));
    if (buffer != nullptr) {
        std::size_t piece;
        while ((piece = readPiece(file, buffer, length - 1)) > 0)
            std::fwrite(buffer, 1, piece, stdout);
        std::fflush(stdout);
        memRelease(buffer);
    }
    std::fclose(file);
}

}  // namespace pofreader
