/* Where the hand-off scenario and its print program meet: the job file and the program's report,
 * named after the job number in the temporary folder. */
#ifndef TAVLINQX_JOB_REPORT_H
#define TAVLINQX_JOB_REPORT_H

#include "frame/win32.h"

#include <stdio.h>

/* The job file's extension, the report's, and the empty file that marks the report complete. */
#define JOB_FILE_EXTENSION ".JBX"
#define JOB_REPORT_EXTENSION ".REC"
#define JOB_REPORT_DONE_EXTENSION ".END"

/* <temporary folder>QOR<number, at least five digits><extension>: 0, or -1. */
static inline int JobReportPath(long number, const char *extension, char *path)
{
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH)
        return -1;
    int n = snprintf(path, MAX_PATH, "%sQOR%05ld%s", folder, number, extension);
    return n > 0 && n < MAX_PATH ? 0 : -1;
}

#endif
