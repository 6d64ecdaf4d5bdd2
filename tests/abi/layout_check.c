/* The public header compiled as C11: its layout pins hold for a C host too.
 * The sizes are handed to the C++ side so that both languages are seen to
 * agree on the records. */
#include <pofreader/pofreader.h>

size_t cSizeofCycleContext(void) { return sizeof(CycleContext); }
size_t cSizeofPofCycleContext(void) { return sizeof(PofCycleContext); }
size_t cSizeofHostCallbacks(void) { return sizeof(HostCallbacks); }
size_t cSizeofSignalRecord(void) { return sizeof(SignalRecord); }
size_t cOffsetofSignalOut(void) { return offsetof(CycleContext, signalOut); }
size_t cOffsetofToolpathFile(void) { return offsetof(PofCycleContext, toolpathFile); }
