/* CreateProcessA: the program named on a Windows command line, started as a host program with
 * posix_spawn, and the reaping of children whose handles were closed.
 *
 * The program is the command line's first token (or lpApplicationName), mapped like any DOS path;
 * the child gets its host path as argv[0] and the remaining arguments split by the Windows rules.
 * Whether it started is known before the call returns: glibc's posix_spawn reports a failed exec.
 */
#include "kernel_private.h"

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

extern char **environ;

namespace {

/* Children whose process handle is closed but which had not exited then. */
std::mutex g_reapLock;
pid_t *g_orphans;
int g_orphanCount;
int g_orphanCapacity;

} /* namespace */

/* Reaps the orphans that have exited; call with g_reapLock held. Only our own children are
 * waited for, never any child of the host program. */
static void process_reap_locked(void)
{
    for (int i = 0; i < g_orphanCount;) {
        pid_t r = waitpid(g_orphans[i], NULL, WNOHANG);
        if (r == 0)
            i++;
        else
            g_orphans[i] = g_orphans[--g_orphanCount];
    }
}

void kernel_process_release(pid_t pid)
{
    std::lock_guard<std::mutex> guard(g_reapLock);
    if (waitpid(pid, NULL, WNOHANG) == 0) {
        if (g_orphanCount == g_orphanCapacity) {
            int cap = g_orphanCapacity ? g_orphanCapacity * 2 : 8;
            pid_t *grown = (pid_t *)realloc(g_orphans, (size_t)cap * sizeof *grown);
            if (grown) {
                g_orphans = grown;
                g_orphanCapacity = cap;
            }
        }
        if (g_orphanCount < g_orphanCapacity)
            g_orphans[g_orphanCount++] = pid; /* else it stays a zombie: better than blocking */
    }
    process_reap_locked();
}

/* Maps the program token to an executable host path. A missing program is ERROR_FILE_NOT_FOUND;
 * ERROR_PATH_NOT_FOUND only when lpApplicationName names it and its folder is missing, as Windows
 * reports it. */
static bool process_find_program(const char *token, bool fromApplicationName, char *path)
{
    struct stat st;
    if (!*token || StandinMapPath(token, path, PATH_MAX) != 0) {
        SetLastError(fromApplicationName ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (stat(path, &st) != 0) {
        bool missing = errno == ENOENT || errno == ENOTDIR;
        DWORD error = fromApplicationName ? kernel_missing_file_error(path) : ERROR_FILE_NOT_FOUND;
        SetLastError(missing ? error : kernel_error_from_errno(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode) || access(path, X_OK) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

/* Starts program with argv in folder (NULL: ours); 0 or an errno value. */
static int process_spawn(const char *program, char **argv, const char *folder, pid_t *pid)
{
    posix_spawn_file_actions_t actions;
    int err = posix_spawn_file_actions_init(&actions);
    if (err != 0)
        return err;
    if (folder)
        err = posix_spawn_file_actions_addchdir_np(&actions, folder);
    if (err == 0)
        err = posix_spawn(pid, program, &actions, NULL, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return err;
}

/* Registers the started child's process and thread handles; on failure the child is stopped. */
static bool process_register(pid_t pid, LPPROCESS_INFORMATION info)
{
    HANDLE process = kernel_object_add(KOBJ_PROCESS, -1, 0, pid);
    HANDLE thread = process ? kernel_object_add(KOBJ_THREAD, -1, 0, pid) : NULL;
    if (!thread) {
        kill(pid, SIGKILL);
        if (process)
            kernel_object_close(process);
        else
            kernel_process_release(pid);
        return false;
    }
    info->hProcess = process;
    info->hThread = thread;
    info->dwProcessId = (DWORD)pid;
    info->dwThreadId = (DWORD)pid; /* a process's first thread has the process's id */
    return true;
}

/* The host program and the host folder to start it in (folder is empty for ours). */
static bool process_locate(LPCSTR application, const char *token, LPCSTR currentDirectory, char *program,
                           char *folder)
{
    if (!process_find_program(application ? application : token, application != NULL, program))
        return false;
    folder[0] = 0;
    if (currentDirectory && (StandinMapPath(currentDirectory, folder, PATH_MAX) != 0 || !kernel_is_folder(folder))) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    return true;
}

/* Supported: a null environment (the caller's) and any current directory. Creation flags and
 * the startup information are accepted and not used; no handles are inherited. */
BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes, LPSECURITY_ATTRIBUTES lpThreadAttributes,
                           BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
    (void)lpProcessAttributes, (void)lpThreadAttributes, (void)bInheritHandles;
    (void)dwCreationFlags, (void)lpStartupInfo;
    hooks_trace("CreateProcessA", "\"%s\", \"%s\"", lpApplicationName ? lpApplicationName : "(null)",
                lpCommandLine ? lpCommandLine : "(null)");
    if (hooks_fail("CreateProcessA")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(g_reapLock);
        process_reap_locked();
    }
    if (!lpProcessInformation || lpEnvironment || (!lpApplicationName && !lpCommandLine)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int argc;
    char **argv = kernel_split_command_line(lpCommandLine ? lpCommandLine : "", &argc);
    if (!argv) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    char program[PATH_MAX], folder[PATH_MAX];
    BOOL ok = FALSE;
    if (process_locate(lpApplicationName, argv[0], lpCurrentDirectory, program, folder)) {
        pid_t pid;
        argv[0] = program;
        int err = process_spawn(program, argv, folder[0] ? folder : NULL, &pid);
        if (err != 0)
            SetLastError(kernel_error_from_errno(err));
        else
            ok = process_register(pid, lpProcessInformation);
    }
    free(argv);
    return ok;
}
