// Tool records (type 11): qDX text read element by element and dropped.
// Nothing is sent and nothing is kept; the only trace is the method report
// that the qDX reader appends to "EDK.TXT".
#include "common/diagnostics.h"
#include "pof/pof.h"
#include "qdx/qdx.h"

namespace pofreader {

void handleToolRecord(const char* payload, PofReaderState&) {
    const char* cursor = payload;
    ExchangeElement element{};
    element.bodyStart = -1;
    element.bodyEnd = -1;
    for (;;) {
        const char* before = cursor;
        if (!exchangeNextFromText(&cursor, &element)) {
            // The reader stops just past the character it could not take,
            // or at the end when the input ran out.
            const int error = exchangeLastError();
            if (diagnosticSink != nullptr && error != kQdxErrorNone) {
                const long at = cursor - payload;
                diagnose(kDiagQdxError, -1, error == kQdxErrorUnfinished || at == 0 ? at : at - 1, error);
            }
            break;
        }
        exchangeReleaseElement(&element);
        // An element always consumes text; stop rather than spin if not.
        if (cursor == before) break;
    }
    exchangeReleaseElement(&element);
}

}  // namespace pofreader
