/* The job file the hand-off leaves for the print program: where it lies for a job number and
 * what it holds.
 *
 * Layout (528 bytes, little-endian): a 32-bit 1, the job's 32-bit flags, the spool metafile's
 * path in 260 bytes and the program folder's auxiliary file in 260 bytes, both NUL-terminated.
 */
#ifndef TAVLINQX_PRINT_JOB_H
#define TAVLINQX_PRINT_JOB_H

#include <stddef.h>
#include <stdint.h>

enum {
    JOB_FILE_SIZE = 528,
    JOB_PATH_SIZE = 260,
    JOB_METAFILE_AT = 8,
    JOB_AUX_AT = 268,
};

struct JobFile {
    uint32_t flags;
    char metafilePath[JOB_PATH_SIZE]; /* a DOS path, as the library wrote it */
    char auxPath[JOB_PATH_SIZE];
};

/* Parses a job number as the hand-off writes it on the command line: decimal, optionally
 * negative, within 32 bits. Returns -1 for anything else. */
int JobParseNumber(const char *text, int32_t *number);

/* The job file of job number: its DOS path (the temporary folder and "QOR%05ld.JBX") and the
 * host path drive C: maps it to. Returns -1 with a message when the folder cannot be had. */
int JobFilePath(int32_t number, char *dosPath, size_t dosSize, char *hostPath, size_t hostSize,
                char *error, size_t errorSize);

/* Checks the bytes of a job file and fills *job: exactly 528 bytes, first field 1, both paths
 * terminated inside their fields, a spool metafile named. Returns -1 with the reason. */
int JobParse(const uint8_t *bytes, size_t size, JobFile *job, char *error, size_t errorSize);

/* Reads the job file at hostPath and parses it; -1 with the reason (never more than 529 bytes
 * are read, whatever the file's size). */
int JobRead(const char *hostPath, JobFile *job, char *error, size_t errorSize);

/* Whether hostPath names a regular file that lies directly in the spool folder of drive C: (the
 * Windows directory's temp folder, where the library puts spool metafiles), however the path is
 * spelt: "..", symbolic links to the folder and repeated slashes are resolved first. */
bool JobInSpoolFolder(const char *hostPath);

/* The print program's settings for a job, from the aux file the job file names. */
enum { JOB_QUEUE_SIZE = 128 };

struct JobSettings {
    char printer[JOB_QUEUE_SIZE]; /* the CUPS queue the job is sent to; "" for none */
    bool png, pdf;                /* the pictures a job leaves beside its spool metafile */
    bool remove;                  /* remove the job's files once it is printed */
};

/* Reads the settings from the aux file at hostPath: "key=value" lines, keys "printer" (a queue
 * name), "outputs" (a comma-separated list of png and pdf) and "remove" (yes or no); keys are
 * compared case-insensitively, blanks around keys and values are skipped, and blank lines and
 * lines starting with '#' or ';' are comments. A missing or unreadable file, or a NULL path, gives
 * the defaults: no printer, both pictures, nothing removed. Returns how many lines were ignored
 * (an unknown key, a value not understood, a line over 1000 bytes), the first described in
 * warning. */
int JobReadSettings(const char *hostPath, JobSettings *settings, char *warning, size_t warningSize);

#endif
