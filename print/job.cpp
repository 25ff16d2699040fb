/* Finding, reading and checking job files. The temporary folder and the name come from the
 * stand-in's own GetTempPathA, wsprintfA and drive mapping, so the program looks exactly where
 * the library wrote. */
#include "job.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include "standin.h"
#include "winapi.h"

int JobParseNumber(const char *text, int32_t *number)
{
    if (text == NULL || *text == '\0')
        return -1;
    const char *digits = text[0] == '-' ? text + 1 : text;
    if (*digits < '0' || *digits > '9')
        return -1;
    errno = 0;
    char *end = NULL;
    long long v = strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
        return -1;
    *number = (int32_t)v;
    return 0;
}

int JobFilePath(int32_t number, char *dosPath, size_t dosSize, char *hostPath, size_t hostSize,
                char *error, size_t errorSize)
{
    char folder[MAX_PATH], name[32];
    DWORD len = GetTempPathA(sizeof folder, folder);
    if (len == 0 || len >= sizeof folder) {
        snprintf(error, errorSize, "the temporary folder cannot be had");
        return -1;
    }
    wsprintfA(name, "QOR%05ld.JBX", (long)number);
    if ((size_t)snprintf(dosPath, dosSize, "%s%s", folder, name) >= dosSize) {
        snprintf(error, errorSize, "the job file's path is too long");
        return -1;
    }
    if (StandinMapPath(dosPath, hostPath, hostSize) != 0) {
        snprintf(error, errorSize, "%s does not map to a host path", dosPath);
        return -1;
    }
    return 0;
}

bool JobInSpoolFolder(const char *hostPath)
{
    char dos[MAX_PATH], folder[PATH_MAX], spoolFolder[PATH_MAX], parent[PATH_MAX], fileFolder[PATH_MAX];
    UINT length = GetWindowsDirectoryA(dos, sizeof dos);
    if (length == 0 || length + sizeof "\\temp" > sizeof dos)
        return false;
    strcat(dos, "\\temp");
    if (StandinMapPath(dos, folder, sizeof folder) != 0 || realpath(folder, spoolFolder) == NULL)
        return false;
    if ((size_t)snprintf(parent, sizeof parent, "%s", hostPath) >= sizeof parent)
        return false;
    char *slash = strrchr(parent, '/');
    const char *name = slash ? slash + 1 : parent;
    if (*name == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return false;
    if (slash == parent)
        slash[1] = '\0'; /* a file in the root folder */
    else if (slash)
        *slash = '\0';
    else
        strcpy(parent, ".");
    struct stat st;
    return realpath(parent, fileFolder) != NULL && strcmp(fileFolder, spoolFolder) == 0 &&
           lstat(hostPath, &st) == 0 && S_ISREG(st.st_mode);
}

/* Copies the NUL-terminated string of field (JOB_PATH_SIZE bytes) into out; false when the
 * field holds no terminator. */
static bool job_string(const uint8_t *field, char *out)
{
    const void *nul = memchr(field, 0, JOB_PATH_SIZE);
    if (nul == NULL)
        return false;
    memcpy(out, field, (size_t)((const uint8_t *)nul - field) + 1);
    return true;
}

int JobParse(const uint8_t *bytes, size_t size, JobFile *job, char *error, size_t errorSize)
{
    memset(job, 0, sizeof *job);
    if (size != JOB_FILE_SIZE) {
        snprintf(error, errorSize, "has %s%zu bytes, not %d", size > JOB_FILE_SIZE ? "more than " : "",
                 size > JOB_FILE_SIZE ? (size_t)JOB_FILE_SIZE : size, JOB_FILE_SIZE);
        return -1;
    }
    uint32_t first = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
    if (first != 1) {
        snprintf(error, errorSize, "starts with %u, not 1", first);
        return -1;
    }
    job->flags = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | (uint32_t)bytes[7] << 24;
    if (!job_string(bytes + JOB_METAFILE_AT, job->metafilePath) ||
        !job_string(bytes + JOB_AUX_AT, job->auxPath)) {
        snprintf(error, errorSize, "holds a path without its terminating NUL");
        return -1;
    }
    if (job->metafilePath[0] == '\0') {
        snprintf(error, errorSize, "names no spool metafile");
        return -1;
    }
    return 0;
}

int JobRead(const char *hostPath, JobFile *job, char *error, size_t errorSize)
{
    FILE *f = fopen(hostPath, "rb");
    if (f == NULL) {
        snprintf(error, errorSize, "%s", strerror(errno));
        return -1;
    }
    uint8_t bytes[JOB_FILE_SIZE + 1];
    size_t size = fread(bytes, 1, sizeof bytes, f);
    bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) {
        snprintf(error, errorSize, "read error");
        return -1;
    }
    return JobParse(bytes, size, job, error, errorSize);
}

/* ---- The aux file's settings ---- */

enum { SETTINGS_LINE_MAX = 1000 };

/* text without the blanks at its ends, in place. */
static char *job_trim(char *text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    size_t n = strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t' || text[n - 1] == '\r' || text[n - 1] == '\n'))
        text[--n] = '\0';
    return text;
}

static bool job_yes_no(const char *value, bool *out)
{
    static const char *const yes[] = {"yes", "true", "on", "1"}, *const no[] = {"no", "false", "off", "0"};
    for (int i = 0; i < 4; i++) {
        if (strcasecmp(value, yes[i]) == 0 || strcasecmp(value, no[i]) == 0) {
            *out = strcasecmp(value, yes[i]) == 0;
            return true;
        }
    }
    return false;
}

/* "png", "pdf" or both, comma-separated; false for anything else or an empty list. */
static bool job_outputs(char *value, JobSettings *settings)
{
    bool png = false, pdf = false;
    for (char *next = value; next != NULL;) {
        char *item = next;
        next = strchr(item, ',');
        if (next)
            *next++ = '\0';
        item = job_trim(item);
        if (strcasecmp(item, "png") == 0)
            png = true;
        else if (strcasecmp(item, "pdf") == 0)
            pdf = true;
        else
            return false;
    }
    settings->png = png;
    settings->pdf = pdf;
    return true;
}

/* Applies one "key=value" line; false when the key or its value is not understood. */
static bool job_setting(char *line, JobSettings *settings)
{
    char *equals = strchr(line, '=');
    if (equals == NULL)
        return false;
    *equals = '\0';
    const char *key = job_trim(line);
    char *value = job_trim(equals + 1);
    if (strcasecmp(key, "printer") == 0 && strlen(value) < sizeof settings->printer) {
        memcpy(settings->printer, value, strlen(value) + 1);
        return true;
    }
    if (strcasecmp(key, "outputs") == 0)
        return job_outputs(value, settings);
    if (strcasecmp(key, "remove") == 0)
        return job_yes_no(value, &settings->remove);
    return false;
}

int JobReadSettings(const char *hostPath, JobSettings *settings, char *warning, size_t warningSize)
{
    memset(settings, 0, sizeof *settings);
    settings->png = settings->pdf = true;
    warning[0] = '\0';
    FILE *f = hostPath ? fopen(hostPath, "r") : NULL;
    if (f == NULL)
        return 0;
    char line[SETTINGS_LINE_MAX + 2];
    int number = 0, ignored = 0;
    while (fgets(line, sizeof line, f)) {
        number++;
        size_t n = strlen(line);
        bool tooLong = n == sizeof line - 1 && line[n - 1] != '\n';
        for (int c = 0; tooLong && c != '\n' && c != EOF;)
            c = fgetc(f);
        char *text = job_trim(line);
        if (!tooLong && (*text == '\0' || *text == '#' || *text == ';'))
            continue;
        if (!tooLong && job_setting(text, settings))
            continue;
        if (ignored++ == 0)
            snprintf(warning, warningSize, "line %d is %s", number,
                     tooLong ? "too long" : "not a setting this program knows (printer, outputs, remove)");
    }
    fclose(f);
    return ignored;
}
