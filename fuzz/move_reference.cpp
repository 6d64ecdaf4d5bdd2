// The one-pass move parser of the revision built against the test support's
// plain reading of that revision's grammar: for every payload both must give
// the same kind and the same words, bit for bit, from the same preset. The
// input is one payload, cut where the record reader would cut it.
#include <algorithm>
#include <cstring>

#include "common/common.h"
#include "common/limits.h"
#include "fuzz_support.h"
#include "pof/pof.h"
#include "support/move_tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pofreader;
    char payload[kPayloadBufferSize];
    const size_t kept = std::min(size, static_cast<size_t>(kPayloadLimit));
    std::memcpy(payload, data, kept);
    payload[kept] = '\0';

    MoveWords preset{};
    preset.targetX = preset.thirdX = 1.5;
    preset.targetY = preset.thirdY = -2.5;
    preset.targetZ = preset.thirdZ = 3.25;
    preset.u = 0.5;
    preset.v = -0.5;
    preset.w = 1.0;
    MoveWords fast = preset, reference = preset;
    // The handler's way in, with the length the record reader reports.
    const int32_t kind = parseMove(payload, kept, fast);
    const int32_t referenceKind = kEarlierRevision
                                      ? testing_support::parseMoveEarlierReference(payload, reference)
                                      : testing_support::parseMoveReference(payload, reference);
    FUZZ_CHECK(kind == referenceKind);
    FUZZ_CHECK(std::memcmp(&fast.kind, &reference.kind, 7 * sizeof(int32_t)) == 0);
    FUZZ_CHECK(std::memcmp(&fast.targetX, &reference.targetX, 9 * sizeof(double)) == 0);
    return 0;
}
