/* Runs the scenarios against libtavlinqx.so, loaded at run time the way the Wine harness loads
 * TAVLINQX.DLL, so both flavours are driven through the same table of exports.
 *
 * usage: scenario_host LIBRARY OUTDIR [SCENARIO...]
 */
#include "scenarios.h"

#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>

static ScenarioProc host_lookup(void *module, const char *name)
{
    return reinterpret_cast<ScenarioProc>(dlsym(module, name));
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s LIBRARY OUTDIR [SCENARIO...]\n", argv[0]);
        return 2;
    }
    void *module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == NULL) {
        printf("cannot load %s: %s\n", argv[1], dlerror());
        return 2;
    }
    if (mkdir(argv[2], 0777) != 0 && errno != EEXIST) {
        printf("cannot create %s\n", argv[2]);
        return 2;
    }
    ScenarioExports exports;
    if (ScenarioBindExports(&exports, host_lookup, module) != 0)
        return 2;
    int result = ScenarioMain(&exports, argv[2], argc - 3, argv + 3);
    dlclose(module);
    return result;
}
