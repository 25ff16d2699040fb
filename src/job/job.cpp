/* The print job hand-off: the job file in the temporary folder and the start of the print program
 * with the job number. The program is not waited for; the job file is its to read and remove.
 *
 * Every string reaches a 260-byte buffer here, so every length is measured against its limit
 * before anything is created: a job whose names do not fit is refused, never truncated. */
#include "frame/win32.h"

#include <stddef.h>
#include <string.h>

/* The job file's content: the print program reads these 528 bytes. */
typedef struct JobFileRecord {
    DWORD One;                   /* always 1 */
    DWORD Flags;                 /* the job's flags, unchanged */
    CHAR MetafilePath[MAX_PATH]; /* the spool metafile */
    CHAR ProgramPath[MAX_PATH];  /* ProgramDir followed by AuxFile */
} JobFileRecord;

static_assert(sizeof(JobFileRecord) == 528, "the job file is 528 bytes");
static_assert(offsetof(JobFileRecord, ProgramPath) == 268, "the program path is at 268");

/* Length of the string in a fixed field of size bytes, or -1 when the field holds no terminator. */
static int FieldLength(const CHAR *field, size_t size)
{
    const void *end = memchr(field, '\0', size);
    return end ? (int)((const CHAR *)end - field) : -1;
}

/* Decimal digits of a job number as "%d" writes it, with its sign. */
static int NumberWidth(INT number)
{
    long long value = number;
    int width = value < 0 ? 2 : 1;
    for (value = value < 0 ? -value : value; value >= 10; value /= 10)
        width++;
    return width;
}

/* The job's checks, then every length limit; 0 when the job can be handed over. */
static int CheckJob(const PrintJob32 *job, const PrintProgram32 *program)
{
    if (job == NULL || program == NULL)
        return -1;
    if ((job->Flags & PRINTJOB_ALLOW_ZERO) == 0 && job->JobNumber == 0)
        return -1;
    if (program->Size != sizeof(PrintProgram32))
        return -1;
    if (program->AuxFile[0] == '\0' || program->RequiredName1[0] == '\0' ||
        program->RequiredName2[0] == '\0' || program->ProgramFile[0] == '\0')
        return -1;

    int metafile = FieldLength(job->MetafilePath, MAX_PATH);
    int aux = FieldLength(program->AuxFile, sizeof program->AuxFile);
    int file = FieldLength(program->ProgramFile, sizeof program->ProgramFile);
    int dir = FieldLength(program->ProgramDir, sizeof program->ProgramDir);
    if (metafile < 0 || aux < 0 || file < 0 || dir < 0)
        return -1;
    int quoted = dir + file + 2;
    if (dir + aux >= MAX_PATH || quoted >= MAX_PATH)
        return -1;
    if (quoted + 1 + NumberWidth(job->JobNumber) >= MAX_PATH)
        return -1;
    return 0;
}

/* The job file's full path: the temporary folder and "QOR%05ld.JBX". 0, or -1 when the folder is
 * unknown or the two do not fit in MAX_PATH characters. */
static int JobFilePath(INT jobNumber, CHAR *path)
{
    CHAR name[MAX_PATH];
    int nameLength = wsprintfA(name, "QOR%05ld.JBX", jobNumber);
    DWORD folderLength = GetTempPathA(MAX_PATH, path);
    if (folderLength == 0 || folderLength >= MAX_PATH)
        return -1;
    if (folderLength + (DWORD)nameLength >= MAX_PATH)
        return -1;
    lstrcatA(path, name);
    return 0;
}

/* Creates the job file and writes the record whole. 0, or -1 with no file of ours left behind
 * (an existing file that could not be opened is left as it was). */
static int WriteJobFile(const CHAR *path, const JobFileRecord *record)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, record, sizeof *record, &written, NULL);
    CloseHandle(file);
    /* A short write (a full disk) leaves a job file the print program would reject. */
    if (!ok || written != sizeof *record) {
        DeleteFileA(path);
        return -1;
    }
    return 0;
}

INT TAVLINQX_API ZVLPrintEMF32(const PrintJob32 *job, const PrintProgram32 *program)
{
    if (CheckJob(job, program) != 0)
        return -1;

    JobFileRecord record;
    memset(&record, 0, sizeof record);
    record.One = 1;
    record.Flags = job->Flags;
    lstrcpyA(record.MetafilePath, job->MetafilePath);
    lstrcpyA(record.ProgramPath, program->ProgramDir);
    lstrcatA(record.ProgramPath, program->AuxFile);

    CHAR path[MAX_PATH];
    if (JobFilePath(job->JobNumber, path) != 0 || WriteJobFile(path, &record) != 0)
        return -1;

    CHAR quoted[MAX_PATH];
    CHAR commandLine[MAX_PATH];
    memset(quoted, 0, sizeof quoted);
    memset(commandLine, 0, sizeof commandLine);
    wsprintfA(quoted, "\"%s%s\"", program->ProgramDir, program->ProgramFile);
    wsprintfA(commandLine, "%s %d", quoted, job->JobNumber);

    STARTUPINFOA startup;
    PROCESS_INFORMATION started;
    memset(&startup, 0, sizeof startup);
    memset(&started, 0, sizeof started);
    startup.cb = sizeof startup;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started)) {
        DeleteFileA(path);
        return -1;
    }
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
    return 0;
}
