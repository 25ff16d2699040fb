/* The calling thread's last error, and how host errors translate into it.
 *
 * GetLastError and SetLastError do not trace: every other call sets the error as a side effect,
 * and entries for it would bury the calls a trace is read for. */
#include "kernel_private.h"

#include <errno.h>
#include <limits.h>
#include <string.h>

static thread_local DWORD t_lastError = ERROR_SUCCESS;

DWORD WINAPI GetLastError(void) { return t_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

DWORD kernel_error_from_errno(int err)
{
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    default: /* EACCES, EPERM, EROFS, EISDIR, ETXTBSY and the rest */
        return ERROR_ACCESS_DENIED;
    }
}

DWORD kernel_missing_file_error(const char *path)
{
    char folder[PATH_MAX];
    const char *slash = strrchr(path, '/');
    if (!slash || slash == path || (size_t)(slash - path) >= sizeof folder)
        return ERROR_FILE_NOT_FOUND;
    memcpy(folder, path, (size_t)(slash - path));
    folder[slash - path] = 0;
    return kernel_is_folder(folder) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}
