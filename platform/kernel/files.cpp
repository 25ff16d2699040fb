/* Files: CreateFileA with the Windows dispositions and share modes, ReadFile, WriteFile and
 * DeleteFileA.
 *
 * Share modes are realised with flock, whose locks belong to an open file and so also hold between
 * processes: an opener that shares nothing takes an exclusive lock, any other opener a shared one,
 * both without waiting. A file is therefore opened by at most one handle that shares nothing, and
 * deleted only while nobody holds it open (FILE_SHARE_DELETE is not told apart).
 */
#include "kernel_private.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

/* Opens path without creating it, or creates it exclusively; *created tells which. Retries when
 * the file appears or vanishes between the two attempts. -1 with errno on failure. */
static int files_open_or_create(const char *path, int mode, bool create, bool *created)
{
    for (int attempt = 0; attempt < 8; attempt++) {
        if (create) {
            int fd = open(path, mode | O_CREAT | O_EXCL, 0666);
            if (fd >= 0 || errno != EEXIST) {
                *created = fd >= 0;
                return fd;
            }
        }
        int fd = open(path, mode);
        if (fd >= 0 || errno != ENOENT || !create) {
            *created = false;
            return fd;
        }
    }
    errno = EAGAIN;
    return -1;
}

static int files_fail(int fd, DWORD error)
{
    if (fd >= 0)
        close(fd);
    SetLastError(error);
    return -1;
}

/* The descriptor for a CreateFileA call, locked for its share mode, truncated only once the lock
 * is held so that a refused open leaves the file as it was. -1 with the last error set. */
static int files_open(LPCSTR name, DWORD access, DWORD share, DWORD disposition, bool *existed)
{
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return files_fail(-1, ERROR_INVALID_PARAMETER);
    char path[PATH_MAX];
    if (!name || StandinMapPath(name, path, sizeof path) != 0)
        return files_fail(-1, name ? GetLastError() : ERROR_PATH_NOT_FOUND);
    bool truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    bool read = (access & GENERIC_READ) != 0;
    bool write = (access & GENERIC_WRITE) != 0 || truncate;
    int mode = (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY) | O_CLOEXEC | O_NOCTTY;
    bool create = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    bool created = false;
    int fd = disposition == CREATE_NEW ? open(path, mode | O_CREAT | O_EXCL, 0666)
                                       : files_open_or_create(path, mode, create, &created);
    if (fd < 0) {
        int err = errno;
        if (err == ENOENT)
            return files_fail(-1, kernel_missing_file_error(path));
        return files_fail(-1, err == EISDIR ? ERROR_ACCESS_DENIED : kernel_error_from_errno(err));
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
        return files_fail(fd, ERROR_ACCESS_DENIED);
    if (flock(fd, (share ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0)
        return files_fail(fd, errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : kernel_error_from_errno(errno));
    if (truncate && ftruncate(fd, 0) != 0)
        return files_fail(fd, kernel_error_from_errno(errno));
    *existed = disposition != CREATE_NEW && !created;
    return fd;
}

/* After CREATE_ALWAYS or OPEN_ALWAYS on an existing file the last error is ERROR_ALREADY_EXISTS,
 * otherwise 0. */
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    hooks_trace("CreateFileA", "\"%s\", 0x%x, 0x%x, %u, 0x%x", lpFileName ? lpFileName : "(null)",
                dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes);
    if (hooks_fail("CreateFileA")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    bool existed = false;
    int fd = files_open(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, &existed);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    HANDLE h = kernel_object_add(KOBJ_FILE, fd, dwDesiredAccess & (GENERIC_READ | GENERIC_WRITE), 0);
    if (!h) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    bool always = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(existed && always ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

/* Traces name(file#n, count) and sets *done to 0, as Windows does before anything else. */
static void files_io_entry(const char *name, HANDLE h, DWORD count, LPDWORD done)
{
    if (hooks_tracing()) {
        char handleName[32];
        hooks_trace(name, "%s, %u", kernel_object_name(h, handleName), count);
    }
    if (done)
        *done = 0;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    files_io_entry("WriteFile", hFile, nNumberOfBytesToWrite, lpNumberOfBytesWritten);
    if (hooks_fail("WriteFile")) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int fd = kernel_object_dup_fd(hFile, GENERIC_WRITE);
    if (fd < 0)
        return FALSE;
    const char *p = (const char *)lpBuffer;
    DWORD done = 0;
    int err = 0;
    while (done < nNumberOfBytesToWrite && err == 0) {
        ssize_t n = write(fd, p + done, nNumberOfBytesToWrite - done);
        if (n > 0)
            done += (DWORD)n;
        else if (n == 0 || errno != EINTR)
            err = n == 0 ? ENOSPC : errno;
    }
    close(fd);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    if (err != 0) {
        SetLastError(kernel_error_from_errno(err));
        return FALSE;
    }
    return TRUE;
}

/* At the end of the file it succeeds with 0 bytes read. */
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    files_io_entry("ReadFile", hFile, nNumberOfBytesToRead, lpNumberOfBytesRead);
    if (hooks_fail("ReadFile")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int fd = kernel_object_dup_fd(hFile, GENERIC_READ);
    if (fd < 0)
        return FALSE;
    char *p = (char *)lpBuffer;
    DWORD done = 0;
    int err = 0;
    bool eof = false;
    while (done < nNumberOfBytesToRead && err == 0 && !eof) {
        ssize_t n = read(fd, p + done, nNumberOfBytesToRead - done);
        if (n > 0)
            done += (DWORD)n;
        else if (n == 0)
            eof = true;
        else if (errno != EINTR)
            err = errno;
    }
    close(fd);
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = done;
    if (err != 0) {
        SetLastError(kernel_error_from_errno(err));
        return FALSE;
    }
    return TRUE;
}

/* Fails with ERROR_SHARING_VIOLATION while any handle holds the file open. */
BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    hooks_trace("DeleteFileA", "\"%s\"", lpFileName ? lpFileName : "(null)");
    if (hooks_fail("DeleteFileA")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    char path[PATH_MAX];
    if (!lpFileName || StandinMapPath(lpFileName, path, sizeof path) != 0) {
        if (!lpFileName)
            SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat st;
    if (lstat(path, &st) != 0) {
        SetLastError(errno == ENOENT ? kernel_missing_file_error(path) : kernel_error_from_errno(errno));
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        files_fail(fd, ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    int rc = unlink(path);
    int err = errno;
    if (fd >= 0)
        close(fd);
    if (rc != 0) {
        SetLastError(kernel_error_from_errno(err));
        return FALSE;
    }
    return TRUE;
}
