/* Entry points shared between the stand-in's kernel files: handle tables, errno mapping, the
 * kernel object table behind files and processes, and command-line splitting. */
#ifndef TAVLINQX_KERNEL_PRIVATE_H
#define TAVLINQX_KERNEL_PRIVATE_H

#include "../private.h"

#include <stdint.h>
#include <sys/types.h>

/* ---- Handle tables (table.cpp) ----
 * A growable array of fixed-size entries addressed by handles. A handle carries the table's tag,
 * the slot and the slot's generation, so a stale handle (its slot freed, perhaps reused) and a
 * handle of another table never match. Handles are never pointers and are never dereferenced.
 * Callers serialise access with a lock of their own; an entry pointer is valid until the next add.
 */
struct KernelTable {
    unsigned tag;          /* bits 24..31 of every handle of this table */
    size_t entrySize;      /* bytes per entry */
    unsigned char *entries;
    uint32_t *generation;  /* bumped when a slot is freed */
    unsigned char *live;
    int firstFree;         /* no free slot lies below it */
    int highWater;         /* slots ever used */
    int capacity;
    long liveCount;
};

#define KERNEL_TABLE_INIT(tag, entryType) { (tag), sizeof(entryType), NULL, NULL, NULL, 0, 0, 0, 0 }

enum {
    KERNEL_TAG_GLOBAL = 0x47, /* GlobalAlloc blocks */
    KERNEL_TAG_OBJECT = 0x4B, /* files, processes, threads */
};

/* Adds a zeroed entry; returns it and its handle, or NULL when memory or slots run out. */
void *kernel_table_add(KernelTable *t, HANDLE *handle);
/* The live entry h names, or NULL for a null, stale, foreign or junk handle. */
void *kernel_table_get(const KernelTable *t, HANDLE h);
/* Frees the entry h names; false when h names no live entry. */
bool kernel_table_remove(KernelTable *t, HANDLE h);
/* The slot number (1-based) h names for trace entries, or 0. */
int kernel_table_number(const KernelTable *t, HANDLE h);
/* The live entry in slot i (0-based, below highWater) or NULL; for scans. */
void *kernel_table_slot(const KernelTable *t, int i);
/* The handle of slot i, live or not. */
HANDLE kernel_table_handle(const KernelTable *t, int i);

/* ---- Drive C: (dos_path.cpp) ---- */

/* True when the host path names a folder (or a link to one). */
bool kernel_is_folder(const char *path);

/* ---- Errors (last_error.cpp) ---- */

/* The Win32 error that best describes errno value err. */
DWORD kernel_error_from_errno(int err);
/* ERROR_PATH_NOT_FOUND when the folder of a missing host path is missing too, else
 * ERROR_FILE_NOT_FOUND. */
DWORD kernel_missing_file_error(const char *path);

/* ---- Kernel objects (handles.cpp) ---- */

enum KernelObjectKind {
    KOBJ_FILE = 1,
    KOBJ_PROCESS,
    KOBJ_THREAD,
};

/* Registers an open file descriptor (owned from now on) with its GENERIC_* access rights, or a
 * process or thread by pid. Returns the handle, or NULL (ERROR_TOO_MANY_OPEN_FILES) when the
 * table is full; the caller then still owns fd. */
HANDLE kernel_object_add(KernelObjectKind kind, int fd, DWORD access, pid_t pid);
/* A duplicate of the descriptor behind file handle h, for I/O outside the table lock; -1 with
 * ERROR_INVALID_HANDLE for a non-file handle, ERROR_ACCESS_DENIED when access is not granted. */
int kernel_object_dup_fd(HANDLE h, DWORD access);
/* Writes "file#n", "process#n", "thread#n", "null" or "invalid" into buf (32 bytes). */
const char *kernel_object_name(HANDLE h, char *buf);
/* Closes h without tracing: the descriptor of a file, the child of a process handle is reaped.
 * false (ERROR_INVALID_HANDLE) when h names no object. */
bool kernel_object_close(HANDLE h);

/* ---- Processes (process.cpp) ---- */

/* Hands a child whose process handle was closed over to be reaped, now or on a later call. */
void kernel_process_release(pid_t pid);

/* ---- Command lines (command_line.cpp) ---- */

/* Splits a command line by the Windows rules into a NULL-terminated argv in one malloc'd block
 * (release it with free). argv[0] follows the program-name rule (quotes group, no escapes); the
 * other arguments follow the C runtime's backslash and quote rules. NULL when memory runs out. */
char **kernel_split_command_line(const char *cmdLine, int *argc);

#endif
