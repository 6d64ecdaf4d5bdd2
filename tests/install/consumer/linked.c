/* A host that links the earlier revision's library directly, through its
 * imported target: prints the version of the cycle record it gets. */
#include <stdio.h>

#include <pofreader/pofreader.h>

int main(void) {
    const CycleContext *cycle = qvCSgetCycle();
    if (cycle == NULL) return 1;
    printf("%u.%02u\n", (unsigned)cycle->versionMajor, (unsigned)cycle->versionMinor);
    return 0;
}
