/* A host built against the installed tree only: it dlopens the cycle library
 * named by its first argument, runs the cycle once with the other arguments
 * and prints one line per delivery in pofhost's words ("fnA key=0 code=103"),
 * then "result N". */
#include <dlfcn.h>
#include <stdio.h>

#include <pofreader/pofreader.h>

static int receive(CycleContext *cycle, int key, SignalRecord *record, void *user) {
    (void)cycle;
    if (record != NULL) printf("fn%c key=%d code=%d\n", *(const char *)user, key, (int)record->code);
    return 1;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s LIBRARY [CYCLE-ARGUMENT]...\n", argv[0]);
        return 2;
    }
    void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    qvCSgetCycleFn getCycle = (qvCSgetCycleFn)dlsym(library, "qvCSgetCycle");
    qvCSexecCycleFn execCycle = (qvCSexecCycleFn)dlsym(library, "qvCSexecCycle");
    if (getCycle == NULL || execCycle == NULL) return 2;
    static char a = 'A', b = 'B', c = 'C';
    HostCallbacks host = {receive, &a, receive, &b, receive, &c};
    const int result = execCycle(getCycle(), argc - 2, argv + 2, &host);
    printf("result %d\n", result);
    return result == 1 ? 0 : 1;
}
