/* A host that links a revision's library directly, through its imported
 * target or its pkg-config file: prints the version of the cycle record it
 * gets and whether it is the revision the header was built for. */
#include <stdio.h>

#include <pofreader/pofreader.h>

int main(void) {
    const CycleContext *cycle = qvCSgetCycle();
    if (cycle == NULL) return 1;
    printf("%u.%02u %s\n", (unsigned)cycle->versionMajor, (unsigned)cycle->versionMinor,
           pofreaderRevisionMatches(cycle) ? "matches" : "differs");
    return 0;
}
