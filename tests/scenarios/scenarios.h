/* Scenario programs: short jobs driven through the ten exports, compiled into the native host and
 * into the Wine harness, so both flavours run the same calls and leave comparable metafiles. */
#ifndef TAVLINQX_SCENARIOS_H
#define TAVLINQX_SCENARIOS_H

#include "tavlinqx.h"
#include "export_list.h"

/* The exports as the host found them in the loaded library. */
struct ScenarioExports {
#define SCENARIO_EXPORT_FIELD(name, ordinal, bytes, zero) decltype(&::name) name;
    TAVLINQX_EXPORT_LIST(SCENARIO_EXPORT_FIELD)
#undef SCENARIO_EXPORT_FIELD
};

/* What a host's lookup returns for a name: the export's address, or null. */
typedef void (*ScenarioProc)(void);
typedef ScenarioProc (*ScenarioLookup)(void *module, const char *name);

/* Fills every field through lookup. Returns 0, or -1 after printing the first name not found. */
int ScenarioBindExports(ScenarioExports *exports, ScenarioLookup lookup, void *module);

/* Runs the named scenarios (every one when nameCount is 0), each writing its metafile as
 * <outDir>/<scenario>.emf. Prints one line per scenario and one per failed check. Returns 0 when
 * all passed, 1 when a check failed, 2 for an unknown scenario name. */
int ScenarioMain(const ScenarioExports *exports, const char *outDir, int nameCount,
                 char **names);

/* Runs the named drawing scenario with page, a device context of the caller's, in place of the
 * metafile it would open: the same export calls drawn directly by the platform, the reference for
 * what a player makes of the metafile. Its checks on the metafile's records are left out. Returns
 * 0 when it drew, 1 when a check failed, 2 for an unknown name or a scenario that draws no page. */
int ScenarioDrawPage(const ScenarioExports *exports, const char *name, HDC page);

#endif
