// Text records (type 2): the whole payload, unsplit, under key 2.
#include "common/diagnostics.h"
#include "common/limits.h"
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

// setText cuts the text to the record's 775 characters.
void handleTextRecord(const char* payload, PofReaderState& state) {
    if (state.payloadLength >= kSignalTextSize)
        diagnose(kDiagTextCut, -1, kSignalTextSize - 1, kSignalTextSize - 1);
    setText(state.record, PFR_CODE_TEXT, payload);
    sendSignal(state.context, PFR_KEY_TEXT, state.record);
}

}  // namespace pofreader
