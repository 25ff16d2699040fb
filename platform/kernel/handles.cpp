/* The kernel object table behind file, process and thread handles, and CloseHandle. */
#include "kernel_private.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <mutex>

namespace {

struct KernelObject {
    KernelObjectKind kind;
    int fd;        /* files */
    DWORD access;  /* files: GENERIC_READ and GENERIC_WRITE as granted */
    pid_t pid;     /* processes and threads */
};

std::mutex g_objectLock;
KernelTable g_objects = KERNEL_TABLE_INIT(KERNEL_TAG_OBJECT, KernelObject);

} /* namespace */

HANDLE kernel_object_add(KernelObjectKind kind, int fd, DWORD access, pid_t pid)
{
    std::lock_guard<std::mutex> guard(g_objectLock);
    HANDLE h;
    KernelObject *o = (KernelObject *)kernel_table_add(&g_objects, &h);
    if (!o) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return NULL;
    }
    o->kind = kind;
    o->fd = fd;
    o->access = access;
    o->pid = pid;
    return h;
}

int kernel_object_dup_fd(HANDLE h, DWORD access)
{
    std::lock_guard<std::mutex> guard(g_objectLock);
    KernelObject *o = (KernelObject *)kernel_table_get(&g_objects, h);
    if (!o || o->kind != KOBJ_FILE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    if ((o->access & access) != access) {
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    int fd = fcntl(o->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        SetLastError(kernel_error_from_errno(errno));
    return fd;
}

const char *kernel_object_name(HANDLE h, char *buf)
{
    static const char *const kinds[] = {"invalid", "file", "process", "thread"};
    std::lock_guard<std::mutex> guard(g_objectLock);
    KernelObject *o = (KernelObject *)kernel_table_get(&g_objects, h);
    if (!h)
        snprintf(buf, 32, "null");
    else if (!o)
        snprintf(buf, 32, "invalid");
    else
        snprintf(buf, 32, "%s#%d", kinds[o->kind], kernel_table_number(&g_objects, h));
    return buf;
}

bool kernel_object_close(HANDLE h)
{
    KernelObject o;
    {
        std::lock_guard<std::mutex> guard(g_objectLock);
        KernelObject *found = (KernelObject *)kernel_table_get(&g_objects, h);
        if (!found) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        o = *found;
        kernel_table_remove(&g_objects, h);
    }
    if (o.kind == KOBJ_FILE)
        close(o.fd);
    else if (o.kind == KOBJ_PROCESS)
        kernel_process_release(o.pid);
    return true;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (hooks_tracing()) {
        char name[32];
        hooks_trace("CloseHandle", "%s", kernel_object_name(hObject, name));
    }
    if (hooks_fail("CloseHandle")) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (hObject == INVALID_HANDLE_VALUE)
        return TRUE; /* the current process's pseudo-handle: closing it is allowed and does nothing */
    return kernel_object_close(hObject) ? TRUE : FALSE;
}
