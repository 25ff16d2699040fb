/* The scenarios' view of the metafiles they leave, through the project's reader. Kept apart from
 * <windows.h>, whose EMR_ macros would clash with the reader's record layouts. */
#ifndef TAVLINQX_SCENARIO_EMF_H
#define TAVLINQX_SCENARIO_EMF_H

#include <stddef.h>
#include <stdint.h>

/* Loads the metafile at path with every structural check of the reader. Returns 0 with the header's
 * rclFrame (left, top, right, bottom) in frame, or -1 with the reason in error. */
int ScenarioEmfLoad(const char *path, int32_t frame[4], char *error, size_t errorSize);

/* Number of records of the given type in the metafile at path; -1 when it does not load. */
long ScenarioEmfCount(const char *path, uint32_t type);

#endif
