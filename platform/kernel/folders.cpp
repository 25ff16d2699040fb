/* The Windows and temporary folders of drive C:, and unique temporary file names in a folder. */
#include "kernel_private.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>

#define FOLDERS_WINDOWS "C:\\WINDOWS"
#define FOLDERS_TEMP "C:\\TEMP\\"
#define FOLDERS_MAX_TEMP_DIR (MAX_PATH - 14) /* leaves room for "\XXXFFFF.TMP" and the NUL */

/* Answers a folder query with the Windows convention for a string into a caller's buffer: its
 * length when it fits, else the size it needs including the NUL, with the buffer untouched. */
static UINT folders_answer(const char *name, const char *value, LPSTR buf, UINT size)
{
    hooks_trace(name, "%u", size);
    if (hooks_fail(name)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    UINT len = (UINT)strlen(value);
    if (!buf || size <= len)
        return len + 1;
    memcpy(buf, value, len + 1);
    return len;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    const char *windows = getenv(STANDIN_WINDIR_ENV);
    if (windows == NULL || windows[0] == '\0')
        windows = FOLDERS_WINDOWS;
    return folders_answer("GetWindowsDirectoryA", windows, lpBuffer, uSize);
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    const char *temp = getenv(STANDIN_TEMP_ENV);
    if (temp == NULL || temp[0] == '\0')
        return folders_answer("GetTempPathA", FOLDERS_TEMP, lpBuffer, nBufferLength);
    std::string folder(temp);
    if (folder.back() != '\\')
        folder += '\\';
    return folders_answer("GetTempPathA", folder.c_str(), lpBuffer, nBufferLength);
}

/* A starting number that differs from call to call and between processes started together. */
static UINT folders_clock_start(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (UINT)((ts.tv_nsec / 1000) ^ ts.tv_sec ^ ((UINT)getpid() << 4));
}

/* Tries unique numbers from a clock-derived start until a new file can be created exclusively;
 * name holds the path and prefix (baseLen bytes) and receives the number and extension. */
static UINT folders_create_unique(char *name, size_t baseLen)
{
    UINT start = folders_clock_start();
    for (UINT i = 0; i < 0xFFFF; i++) {
        UINT n = (start + i) % 0xFFFF + 1; /* 1 .. 0xFFFF: 0 is not a unique number */
        snprintf(name + baseLen, MAX_PATH - baseLen, "%X.TMP", n);
        char path[PATH_MAX];
        if (StandinMapPath(name, path, sizeof path) != 0)
            return 0;
        int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return n;
        }
        if (errno != EEXIST) {
            SetLastError(kernel_error_from_errno(errno));
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

/* lpTempFileName is written only on success; a folder longer than MAX_PATH - 14 characters fails
 * with ERROR_BUFFER_OVERFLOW and a missing one with ERROR_DIRECTORY, whatever uUnique is. */
UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName)
{
    hooks_trace("GetTempFileNameA", "\"%s\", \"%s\", 0x%x", lpPathName ? lpPathName : "(null)",
                lpPrefixString ? lpPrefixString : "(null)", uUnique);
    if (hooks_fail("GetTempFileNameA")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (!lpPathName || !lpTempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t dirLen = strlen(lpPathName);
    if (dirLen > FOLDERS_MAX_TEMP_DIR) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    char folder[PATH_MAX];
    if (StandinMapPath(lpPathName, folder, sizeof folder) != 0 || !kernel_is_folder(folder)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    char name[MAX_PATH];
    bool hasSep = dirLen > 0 && (lpPathName[dirLen - 1] == '\\' || lpPathName[dirLen - 1] == '/');
    int baseLen = snprintf(name, sizeof name, "%s%s%.3s", lpPathName, hasSep ? "" : "\\",
                           lpPrefixString ? lpPrefixString : "");
    /* Only the low 16 bits count, and a number that is 0 there asks for a new file. */
    UINT unique = uUnique & 0xFFFF;
    if (unique)
        snprintf(name + baseLen, sizeof name - (size_t)baseLen, "%X.TMP", unique);
    else if ((unique = folders_create_unique(name, (size_t)baseLen)) == 0)
        return 0;
    strcpy(lpTempFileName, name);
    return unique;
}
