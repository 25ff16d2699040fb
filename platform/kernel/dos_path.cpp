/* Drive C: on the host: where its root folder lies, how it is laid out, and how DOS paths map
 * onto host paths. Windows names are case-insensitive, so every existing component is looked up
 * case-insensitively and the name on disk is used; missing components keep the caller's spelling. */
#include "kernel_private.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

namespace {

/* A root once laid out. Entries are never freed, so the strings StandinRootFolder returned stay
 * valid while the environment changes under a test. */
struct RootEntry {
    RootEntry *next;
    char *source;   /* the configured path it was made from */
    char *resolved; /* its absolute, canonical form */
};

std::mutex g_rootLock;
RootEntry *g_roots;

} /* namespace */

static bool dospath_is_sep(char c) { return c == '\\' || c == '/'; }

bool kernel_is_folder(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

/* The root folder as configured, before it is created or resolved; false when nothing names one. */
static bool dospath_root_source(char *buf, size_t size)
{
    const char *v = getenv(STANDIN_ROOT_ENV);
    if (v && *v)
        return (size_t)snprintf(buf, size, "%s", v) < size;
    v = getenv("XDG_DATA_HOME");
    if (v && *v)
        return (size_t)snprintf(buf, size, "%s/tavlinqx/drive_c", v) < size;
    v = getenv("HOME");
    if (v && *v)
        return (size_t)snprintf(buf, size, "%s/.local/share/tavlinqx/drive_c", v) < size;
    return false;
}

/* mkdir -p */
static bool dospath_make_dirs(const char *path)
{
    char buf[PATH_MAX];
    if ((size_t)snprintf(buf, sizeof buf, "%s", path) >= sizeof buf)
        return false;
    for (char *p = buf + 1; *p; p++) {
        if (*p != '/')
            continue;
        *p = 0;
        if (mkdir(buf, 0777) != 0 && errno != EEXIST)
            return false;
        *p = '/';
    }
    return mkdir(buf, 0777) == 0 || errno == EEXIST;
}

/* Appends the component comp (compLen bytes) to path, spelt as an entry of that folder whose name
 * matches it case-insensitively, or as given when there is none. */
static int dospath_append(char *path, size_t size, const char *comp, size_t compLen)
{
    size_t len = strlen(path);
    if (compLen > NAME_MAX || len + 1 + compLen >= size) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    path[len] = '/';
    memcpy(path + len + 1, comp, compLen);
    path[len + 1 + compLen] = 0;
    struct stat st;
    if (lstat(path, &st) == 0)
        return 0;
    path[len] = 0;
    DIR *dir = opendir(len ? path : "/");
    path[len] = '/';
    if (!dir)
        return 0;
    for (struct dirent *d; (d = readdir(dir)) != NULL;) {
        if (strlen(d->d_name) == compLen && strncasecmp(d->d_name, comp, compLen) == 0) {
            memcpy(path + len + 1, d->d_name, compLen);
            break;
        }
    }
    closedir(dir);
    return 0;
}

/* Walks the components of rest onto path ("" stands for "/"); ".." never cuts below floor. */
static int dospath_walk(char *path, size_t size, size_t floor, const char *rest)
{
    while (*rest) {
        while (dospath_is_sep(*rest))
            rest++;
        size_t n = 0;
        while (rest[n] && !dospath_is_sep(rest[n]))
            n++;
        if (n == 2 && rest[0] == '.' && rest[1] == '.') {
            char *cut = strrchr(path, '/');
            if (cut && (size_t)(cut - path) >= floor)
                *cut = 0;
        } else if (n > 0 && !(n == 1 && rest[0] == '.') && dospath_append(path, size, rest, n) != 0) {
            return -1;
        }
        rest += n;
    }
    return 0;
}

/* Copies base into path without a trailing slash, so that "/" becomes "". */
static int dospath_set_base(char *path, size_t size, const char *base)
{
    size_t len = strlen(base);
    while (len > 0 && base[len - 1] == '/')
        len--;
    if (len >= size) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    memcpy(path, base, len);
    path[len] = 0;
    return 0;
}

/* Creates C:\WINDOWS, C:\WINDOWS\temp and C:\TEMP unless a folder of that name in any case exists. */
static bool dospath_lay_out(const char *root)
{
    static const char *const folders[] = {"WINDOWS", "WINDOWS\\temp", "TEMP"};
    for (const char *rel : folders) {
        char path[PATH_MAX];
        if (dospath_set_base(path, sizeof path, root) != 0)
            return false;
        size_t floor = strlen(path);
        if (dospath_walk(path, sizeof path, floor, rel) != 0 || (mkdir(path, 0777) != 0 && errno != EEXIST))
            return false;
    }
    return true;
}

static RootEntry *dospath_add_root(const char *source, const char *resolved)
{
    RootEntry *e = (RootEntry *)calloc(1, sizeof *e);
    if (!e)
        return NULL;
    e->source = strdup(source);
    e->resolved = strdup(resolved);
    if (!e->source || !e->resolved) {
        free(e->source);
        free(e->resolved);
        free(e);
        return NULL;
    }
    e->next = g_roots;
    g_roots = e;
    return e;
}

const char *StandinRootFolder(void)
{
    char source[PATH_MAX], resolved[PATH_MAX];
    if (!dospath_root_source(source, sizeof source))
        return NULL;
    std::lock_guard<std::mutex> guard(g_rootLock);
    for (RootEntry *e = g_roots; e; e = e->next) {
        if (strcmp(e->source, source) == 0 && kernel_is_folder(e->resolved))
            return e->resolved;
    }
    if (!dospath_make_dirs(source) || !realpath(source, resolved) || !dospath_lay_out(resolved))
        return NULL;
    RootEntry *e = dospath_add_root(source, resolved);
    return e ? e->resolved : NULL;
}

/* Where a DOS path starts: its base folder in path, the part left to walk, and the floor that
 * ".." cannot cut below (the root of drive C:, or "/" for paths relative to the current folder). */
static int dospath_start(const char *dosPath, char *path, size_t size, size_t *floor, const char **rest)
{
    bool drive = isalpha((unsigned char)dosPath[0]) && dosPath[1] == ':';
    bool rooted = dospath_is_sep(dosPath[0]);
    if ((drive && tolower((unsigned char)dosPath[0]) != 'c') || (rooted && dospath_is_sep(dosPath[1]))) {
        SetLastError(ERROR_PATH_NOT_FOUND); /* other drives and UNC shares do not exist here */
        return -1;
    }
    char cwd[PATH_MAX];
    if (!drive && !rooted) {
        *floor = 0;
        *rest = dosPath;
        if (!getcwd(cwd, sizeof cwd)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return -1;
        }
        return dospath_set_base(path, size, cwd);
    }
    const char *root = StandinRootFolder();
    if (!root || dospath_set_base(path, size, root) != 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return -1;
    }
    *floor = strlen(path);
    *rest = drive ? dosPath + 2 : dosPath;
    /* "C:name" is relative to the current folder when that lies on drive C:, else to its root. */
    if (drive && !dospath_is_sep(dosPath[2]) && getcwd(cwd, sizeof cwd) && strncmp(cwd, path, *floor) == 0 &&
        (cwd[*floor] == '/' || cwd[*floor] == 0))
        return dospath_set_base(path, size, cwd);
    return 0;
}

int StandinMapPath(const char *dosPath, char *out, size_t outSize)
{
    if (!dosPath || !*dosPath) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return -1;
    }
    char path[PATH_MAX];
    if (dosPath[0] == '/') {
        if ((size_t)snprintf(path, sizeof path, "%s", dosPath) >= sizeof path) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return -1;
        }
    } else {
        size_t floor;
        const char *rest;
        if (dospath_start(dosPath, path, sizeof path, &floor, &rest) != 0 ||
            dospath_walk(path, sizeof path, floor, rest) != 0)
            return -1;
    }
    const char *result = path[0] ? path : "/";
    if (strlen(result) >= outSize) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    strcpy(out, result);
    return 0;
}
