// A shared library that loads but is no cycle: it has none of the exports.
extern "C" int notACycle(void) { return 0; }
