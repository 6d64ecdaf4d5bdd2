// The library's two static cycle records: the POF reading cycle, which the host
// obtains, and its parent, the base cycle. Which function sits in which phase
// slot is decided here, in one table, for both records.
#include <iterator>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// Phases that have nothing to do; the POF cycle's arguments phase declines.
int phaseSucceeds(CycleContext*) { return 1; }
int phaseDeclines(CycleContext*) { return 0; }

struct SlotAssignment {
    PhaseFn pofCycle;   // null: taken from the base cycle on the first run
    PhaseFn baseCycle;
};

// ORDER: kPhaseSlots.
constexpr SlotAssignment kSlotTable[] = {
    /*  0 argumentsPhase */ {phaseDeclines, phaseSucceeds},
    /*  1 startPhase     */ {registerPofSignals, phaseSucceeds},
    /*  2 configPhase    */ {nullptr, setupFramesFromDefaults},
    /*  3 configCfgPhase */ {nullptr, setupFramesFromCfg},
    /*  4 flagVPhase     */ {nullptr, phaseSucceeds},
    /*  5 flagQPhase     */ {nullptr, phaseSucceeds},
    /*  6 flagPPhase     */ {nullptr, showParameters},
    /*  7 flagAPhase     */ {nullptr, showAlgorithm},
    /*  8 flagYPhase     */ {nullptr, showLayers},
    /*  9 flagDPhase     */ {phaseSucceeds, phaseSucceeds},
    /* 10 mainPhase1     */ {findToolpathFile, phaseSucceeds},
    /* 11 mainPhase1Cfg  */ {findToolpathFileCfg, phaseSucceeds},
    /* 12 mainPhase2     */ {phaseSucceeds, phaseSucceeds},
    /* 13 mainPhase3     */ {phaseSucceeds, phaseSucceeds},
    /* 14 mainPhase4     */ {readPofFile, phaseSucceeds},
    /* 15 endPhase       */ {nullptr, sendCycleEnd},
};
static_assert(std::size(kSlotTable) == kPhaseSlotCount);


struct Version {
    uint16_t major, minor, year, month, day;
};
constexpr Version kPofCycleVersion =
    kEarlierRevision ? Version{7, 0, 2002, 8, 5} : Version{9, 50, 2008, 12, 2};
constexpr Version kBaseCycleVersion = {5, 0, 1999, 3, 25};

// Everything the two records share: identity matrices, the interface number,
// the first-signal mark and the version.
constexpr void fillCommon(CycleContext& record, const Version& version) {
    record.interfaceNumber = 5;
    record.versionMajor = version.major;
    record.versionMinor = version.minor;
    record.versionYear = version.year;
    record.versionMonth = version.month;
    record.versionDay = version.day;
    record.firstSignalPending = 1;
    record.frameMatrix = kIdentity;
    record.toolMatrix = kIdentity;
}

constexpr CycleContext makeBaseCycleRecord() {
    CycleContext record{};
    fillCommon(record, kBaseCycleVersion);
    record.inherited = 1;  // a root cycle has nothing to inherit
    record.cycleId = 1;
    record.title = "Grundwerk";
    for (std::size_t slot = 0; slot < kPhaseSlotCount; ++slot)
        record.*kPhaseSlots[slot] = kSlotTable[slot].baseCycle;
    return record;
}

constexpr PofCycleContext makePofCycleRecord(CycleContext* parent) {
    PofCycleContext record{};
    fillCommon(record.shared, kPofCycleVersion);
    record.shared.parent = parent;
    record.shared.cycleId = kPofCycleId;
    record.shared.title = "quorvant POF Reading Cycle";
    record.shared.shortName = "pofreader";
    for (std::size_t slot = 0; slot < kPhaseSlotCount; ++slot)
        record.shared.*kPhaseSlots[slot] = kSlotTable[slot].pofCycle;
#ifndef POFREADER_REVISION_700
    record.referenceMatrix = kIdentity;
    record.pofValues[3] = 1;
#endif
    return record;
}

}  // namespace

// Both records are constant-initialised: they are complete before any code of
// the library runs.
CycleContext baseCycleRecord = makeBaseCycleRecord();
PofCycleContext pofCycleRecord = makePofCycleRecord(&baseCycleRecord);

}  // namespace pofreader
