#include <gtest/gtest.h>

#include "pofreader/pofreader.h"

extern "C" {
size_t cSizeofCycleContext(void);
size_t cSizeofPofCycleContext(void);
size_t cSizeofHostCallbacks(void);
size_t cSizeofSignalRecord(void);
size_t cOffsetofSignalOut(void);
size_t cOffsetofToolpathFile(void);
}

#include <type_traits>

TEST(Layout, CAndCppAgreeOnEveryRecord) {
    EXPECT_EQ(cSizeofCycleContext(), sizeof(CycleContext));
    EXPECT_EQ(cSizeofPofCycleContext(), sizeof(PofCycleContext));
    EXPECT_EQ(cSizeofHostCallbacks(), sizeof(HostCallbacks));
    EXPECT_EQ(cSizeofSignalRecord(), sizeof(SignalRecord));
    EXPECT_EQ(cOffsetofSignalOut(), offsetof(CycleContext, signalOut));
    EXPECT_EQ(cOffsetofToolpathFile(), offsetof(PofCycleContext, toolpathFile));
}

// The shared records must stay plain data: checked when this file compiles.
static_assert(std::is_standard_layout_v<CycleContext>);
static_assert(std::is_standard_layout_v<PofCycleContext>);
static_assert(std::is_standard_layout_v<HostCallbacks>);
static_assert(std::is_standard_layout_v<SignalRecord>);
static_assert(std::is_standard_layout_v<ConfigNode>);
static_assert(std::is_trivially_copyable_v<SignalRecord>);
