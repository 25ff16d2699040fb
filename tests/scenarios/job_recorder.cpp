/* The print program of the hand-off scenario, built for both flavours and installed as
 * C:\APP\JOBREC.EXE. Started with the job number, it finds the job file in the temporary folder as
 * a print program must, and reports what it received in "QOR<number>.REC" beside it: its argument
 * count, its arguments after the program name, and the job file's bytes as it found them. An empty
 * "QOR<number>.END" written afterwards tells the scenario that the report is complete. The job
 * file is left where it was. */
#include "job_report.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int recorder_write(const char *path, const char *bytes, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, size, &written, NULL);
    CloseHandle(file);
    return ok && written == size ? 0 : -1;
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    long number = strtol(argv[1], NULL, 10);
    char path[MAX_PATH];
    static char report[4096];
    int used = snprintf(report, sizeof report, "argc=%d\n", argc);
    for (int i = 1; i < argc && used < (int)sizeof report; i++)
        used += snprintf(report + used, sizeof report - used, "argv[%d]=%s\n", i, argv[i]);
    if (used >= (int)sizeof report - 1024 || JobReportPath(number, JOB_FILE_EXTENSION, path) != 0)
        return 2;

    char job[1024];
    DWORD jobSize = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    if (file != INVALID_HANDLE_VALUE) {
        if (!ReadFile(file, job, sizeof job, &jobSize, NULL))
            jobSize = 0;
        CloseHandle(file);
    }
    used += snprintf(report + used, sizeof report - used, "job file: %lu bytes\n", (unsigned long)jobSize);
    memcpy(report + used, job, jobSize);
    used += (int)jobSize;

    if (JobReportPath(number, JOB_REPORT_EXTENSION, path) != 0 || recorder_write(path, report, (DWORD)used) != 0)
        return 1;
    if (JobReportPath(number, JOB_REPORT_DONE_EXTENSION, path) != 0 || recorder_write(path, "", 0) != 0)
        return 1;
    return 0;
}
