/* Mends for qemu-user 7.2 running 32-bit Wine on a host that cannot run i386 programs itself.
 *
 * Preloaded into the emulated processes only (QEMU_SET_ENV=LD_PRELOAD=...), it fixes three faults
 * of the emulator that Wine runs into:
 *  1. qemu ignores MAP_FIXED_NOREPLACE and maps elsewhere; Wine then reserves its address space in
 *     ever smaller steps (some 200,000 mmap calls per process start). Here the flag is honoured:
 *     the range is looked up in /proc/self/maps and either mapped in place or refused with EEXIST.
 *  2. qemu puts trap number -1 into the signal context, so Wine cannot tell an access violation
 *     from an illegal instruction and an exception it should catch becomes a crash. Every fault
 *     handler is called through mend_fault_handler, which fills in the trap number from the signal.
 *  3. qemu keeps one descriptor table for all threads, and reloading %fs or %gs (as sigreturn and
 *     Wine's signal handlers do) picks up whichever thread wrote the shared entry last. Here every
 *     thread gets a private LDT entry for %gs, and Wine is steered to its per-thread LDT entries for
 *     %fs by refusing it a shared GDT slot.
 *
 * Built freestanding (gcc -m32 -nostdlib -shared -fPIC): it makes its own system calls and reaches
 * the C library (dlsym, malloc, errno) through the dynamic linker at run time. */
#include <stdarg.h>
#include <stddef.h>

#define MEND_EXPORT __attribute__((visibility("default")))

typedef unsigned int u32;

/* The C library's functions, resolved when the process runs. */
extern void *dlsym(void *handle, const char *name);
extern int *__errno_location(void);
extern void *malloc(size_t size);
extern void free(void *block);
extern int pthread_key_create(u32 *key, void (*destructor)(void *));
extern int pthread_setspecific(u32 key, const void *value);
#define RTLD_NEXT ((void *)-1l)

enum {
    SYS_exit = 1, SYS_read = 3, SYS_open = 5, SYS_close = 6, SYS_modify_ldt = 123,
    SYS_rt_sigprocmask = 175, SYS_mmap2 = 192, SYS_set_thread_area = 243
};
enum { EAGAIN = 11, EINVAL = 22, EEXIST = 17, ENOSYS = 38 };
enum { MAP_FIXED = 0x10, MAP_FIXED_NOREPLACE = 0x100000 };
enum { SIGILL = 4, SIGTRAP = 5, SIGBUS = 7, SIGFPE = 8, SIGSEGV = 11, MEND_SIGNALS = 65 };
enum { SA_SIGINFO = 4 };
enum { SI_KERNEL = 0x80 };
/* x86 trap numbers, as the kernel reports them in the signal context. */
enum { TRAP_DIVIDE = 0, TRAP_DEBUG = 1, TRAP_BREAKPOINT = 3, TRAP_OVERFLOW = 4, TRAP_INVALID_OP = 6,
       TRAP_PROTECTION = 13, TRAP_PAGE = 14, TRAP_FPU = 16, TRAP_ALIGNMENT = 17 };
enum { CONTEXT_GREGS = 20, REG_TRAPNO = 12 };    /* ucontext_t: flags, link, stack, then gregs */

/* struct user_desc of modify_ldt and set_thread_area. */
struct mend_user_desc {
    u32 entry_number;
    u32 base_addr;
    u32 limit;
    u32 flags;   /* seg_32bit:1 contents:2 read_exec_only:1 limit_in_pages:1 not_present:1 useable:1 */
};
#define MEND_TLS_FLAGS 0x51u   /* 32-bit, limit in pages, usable: as the C library sets up %gs */

/* The C library's struct sigaction on i386. */
struct mend_sigaction {
    void (*handler)(int, void *, void *);
    u32 mask[32];
    int flags;
    void (*restorer)(void);
};

long mend_syscall6(long number, long a1, long a2, long a3, long a4, long a5, long a6);
__asm__(".text\n"
        ".globl mend_syscall6\n"
        ".hidden mend_syscall6\n"
        "mend_syscall6:\n"
        "    push %ebp\n    push %edi\n    push %esi\n    push %ebx\n"
        "    mov 20(%esp), %eax\n    mov 24(%esp), %ebx\n    mov 28(%esp), %ecx\n"
        "    mov 32(%esp), %edx\n    mov 36(%esp), %esi\n    mov 40(%esp), %edi\n"
        "    mov 44(%esp), %ebp\n"
        "    int $0x80\n"
        "    pop %ebx\n    pop %esi\n    pop %edi\n    pop %ebp\n"
        "    ret\n");

static long mend_result(long result)
{
    if ((unsigned long)result > -4096ul) {
        *__errno_location() = (int)-result;
        return -1;
    }
    return result;
}

void *memcpy(void *to, const void *from, size_t size)
    __attribute__((visibility("hidden")));
void *memcpy(void *to, const void *from, size_t size)
{
    char *out = to;
    const char *in = from;
    while (size--)
        *out++ = *in++;
    return to;
}

/* ---- 1. MAP_FIXED_NOREPLACE ---- */

/* Whether any mapping of the process overlaps [start, end); unknown counts as in use. */
static int mend_range_in_use(u32 start, u32 end)
{
    char buffer[4096];
    long fd = mend_syscall6(SYS_open, (long)"/proc/self/maps", 0, 0, 0, 0, 0);
    if (fd < 0)
        return 1;
    /* Each line starts "low-high "; the rest of the line is skipped. */
    u32 low = 0, high = 0;
    int field = 0;   /* 0: low, 1: high, 2: rest of the line */
    int in_use = 0;
    long count;
    while (!in_use && (count = mend_syscall6(SYS_read, fd, (long)buffer, sizeof buffer, 0, 0, 0)) > 0) {
        for (long i = 0; i < count && !in_use; i++) {
            char c = buffer[i];
            if (c == '\n') {
                field = 0;
                low = high = 0;
                continue;
            }
            if (field == 2)
                continue;
            int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit >= 0) {
                if (field == 0)
                    low = low << 4 | (u32)digit;
                else
                    high = high << 4 | (u32)digit;
            } else if (field == 0 && c == '-') {
                field = 1;
            } else {
                field = 2;
                in_use = low < end && high > start;
            }
        }
    }
    mend_syscall6(SYS_close, fd, 0, 0, 0, 0, 0);
    return in_use || count < 0;
}

static void *mend_map(void *address, size_t length, int prot, int flags, int fd, unsigned long long offset)
{
    if (offset & 0xfff) {
        *__errno_location() = EINVAL;
        return (void *)-1;
    }
    if (flags & MAP_FIXED_NOREPLACE) {
        u32 start = (u32)address, end = start + (u32)length;
        if (end >= start && mend_range_in_use(start, end)) {
            *__errno_location() = EEXIST;
            return (void *)-1;
        }
        flags = (flags & ~MAP_FIXED_NOREPLACE) | MAP_FIXED;
    }
    return (void *)mend_result(mend_syscall6(SYS_mmap2, (long)address, (long)length, prot, flags, fd,
                                             (long)(offset >> 12)));
}

MEND_EXPORT void *mmap(void *address, size_t length, int prot, int flags, int fd, long offset)
{
    return mend_map(address, length, prot, flags, fd, (unsigned long long)(u32)offset);
}

MEND_EXPORT void *mmap64(void *address, size_t length, int prot, int flags, int fd, long long offset)
{
    return mend_map(address, length, prot, flags, fd, (unsigned long long)offset);
}

/* ---- 2. trap numbers ---- */

static void (*mend_handlers[MEND_SIGNALS])(int, void *, void *);

static int mend_is_fault(int signal)
{
    return signal == SIGSEGV || signal == SIGILL || signal == SIGBUS || signal == SIGFPE || signal == SIGTRAP;
}

static u32 mend_trap_number(int signal, int code)
{
    switch (signal) {
    case SIGSEGV: return code == SI_KERNEL ? TRAP_PROTECTION : TRAP_PAGE;
    case SIGILL:  return TRAP_INVALID_OP;
    case SIGBUS:  return TRAP_ALIGNMENT;
    case SIGFPE:  return code == 1 ? TRAP_DIVIDE : code == 2 ? TRAP_OVERFLOW : TRAP_FPU;  /* FPE_INTDIV, FPE_INTOVF */
    default:      return code == 2 ? TRAP_DEBUG : TRAP_BREAKPOINT;                        /* TRAP_TRACE */
    }
}

static void mend_fault_handler(int signal, void *info, void *context)
{
    u32 *trapno = (u32 *)((char *)context + CONTEXT_GREGS) + REG_TRAPNO;
    if (*trapno == 0xffffffffu)
        *trapno = mend_trap_number(signal, ((int *)info)[2]);   /* si_code */
    mend_handlers[signal](signal, info, context);
}

MEND_EXPORT int sigaction(int signal, const struct mend_sigaction *action, struct mend_sigaction *old)
{
    static int (*next)(int, const struct mend_sigaction *, struct mend_sigaction *);
    if (!next)
        next = (int (*)(int, const struct mend_sigaction *, struct mend_sigaction *))dlsym(RTLD_NEXT, "sigaction");
    if (!mend_is_fault(signal))
        return next(signal, action, old);

    void (*previous)(int, void *, void *) = mend_handlers[signal];
    struct mend_sigaction wrapped;
    if (action && (action->flags & SA_SIGINFO)) {
        wrapped = *action;
        wrapped.handler = mend_fault_handler;
        mend_handlers[signal] = action->handler;
        action = &wrapped;
    }
    int result = next(signal, action, old);
    if (result != 0)
        mend_handlers[signal] = previous;
    else if (old && old->handler == mend_fault_handler)
        old->handler = previous;
    return result;
}

/* ---- 3. per-thread descriptors ---- */

/* LDT entries 1 to 511 hold the threads' %gs; Wine keeps to 512 and above when %gs is in the LDT. */
enum { MEND_LDT_FIRST = 1, MEND_LDT_LIMIT = 512 };
static u32 mend_ldt_used[MEND_LDT_LIMIT / 32];
static u32 mend_ldt_next = MEND_LDT_FIRST;
static u32 mend_gdt_gs_entry;       /* the C library's shared GDT entry for %gs; 0 when unmended */
static u32 mend_exit_key;
static int mend_exit_key_made;

static u32 mend_get_gs(void)
{
    u32 selector;
    __asm__ volatile("movl %%gs, %0" : "=r"(selector));
    return selector & 0xffff;
}

static void mend_set_gs(u32 selector)
{
    __asm__ volatile("movl %0, %%gs" : : "r"(selector) : "memory");
}

/* The C library's thread pointer: the word at %gs:0 points to itself. */
static u32 mend_thread_base(void)
{
    u32 base;
    __asm__ volatile("movl %%gs:0, %0" : "=r"(base));
    return base;
}

static u32 mend_ldt_take(void)
{
    for (u32 tries = 0; tries < MEND_LDT_LIMIT; tries++) {
        u32 entry = __atomic_fetch_add(&mend_ldt_next, 1, __ATOMIC_RELAXED) % MEND_LDT_LIMIT;
        if (entry < MEND_LDT_FIRST)
            continue;
        u32 bit = 1u << (entry % 32);
        if (!(__atomic_fetch_or(&mend_ldt_used[entry / 32], bit, __ATOMIC_ACQUIRE) & bit))
            return entry;
    }
    return 0;
}

static void mend_ldt_release(void *value)
{
    u32 entry = (u32)value;
    __atomic_fetch_and(&mend_ldt_used[entry / 32], ~(1u << (entry % 32)), __ATOMIC_RELEASE);
}

/* Moves the calling thread's %gs to a private LDT entry with the same base. */
static void mend_private_gs(void)
{
    u32 entry = mend_ldt_take();
    if (!entry)
        return;
    struct mend_user_desc desc = { entry, mend_thread_base(), 0xfffff, MEND_TLS_FLAGS };
    if (mend_syscall6(SYS_modify_ldt, 0x11, (long)&desc, sizeof desc, 0, 0, 0) != 0) {
        mend_ldt_release((void *)entry);
        return;
    }
    mend_set_gs(entry << 3 | 7);
    if (mend_exit_key_made)
        pthread_setspecific(mend_exit_key, (void *)entry);
}

struct mend_start {
    void *(*routine)(void *);
    void *argument;
};

static void *mend_thread_start(void *start)
{
    struct mend_start copy = *(struct mend_start *)start;
    free(start);
    mend_private_gs();
    return copy.routine(copy.argument);
}

/* The C library takes the new thread's GDT entry number from the creator's %gs, so the creator
 * goes back to the shared entry, pointed at its own base, while it creates the thread. */
MEND_EXPORT int pthread_create(void *thread, const void *attributes, void *(*routine)(void *), void *argument)
{
    static int (*next)(void *, const void *, void *(*)(void *), void *);
    if (!next)
        next = (int (*)(void *, const void *, void *(*)(void *), void *))dlsym(RTLD_NEXT, "pthread_create");
    u32 own = mend_get_gs();
    if (!mend_gdt_gs_entry || !(own & 4))
        return next(thread, attributes, routine, argument);
    if (!mend_exit_key_made)
        mend_exit_key_made = pthread_key_create(&mend_exit_key, mend_ldt_release) == 0;
    struct mend_start *start = malloc(sizeof *start);
    if (!start)
        return EAGAIN;
    start->routine = routine;
    start->argument = argument;

    u32 all[2] = { 0xffffffffu, 0xffffffffu }, saved[2];
    mend_syscall6(SYS_rt_sigprocmask, 0 /* SIG_BLOCK */, (long)all, (long)saved, sizeof all, 0, 0);
    struct mend_user_desc shared = { mend_gdt_gs_entry, mend_thread_base(), 0xfffff, MEND_TLS_FLAGS };
    mend_syscall6(SYS_set_thread_area, (long)&shared, 0, 0, 0, 0, 0);
    mend_set_gs(mend_gdt_gs_entry << 3 | 3);
    int result = next(thread, attributes, mend_thread_start, start);
    mend_set_gs(own);
    mend_syscall6(SYS_rt_sigprocmask, 2 /* SIG_SETMASK */, (long)saved, 0, sizeof saved, 0, 0);
    if (result != 0)
        free(start);
    return result;
}

/* Wine asks for a GDT slot of its own for %fs; refused, it gives every thread an LDT entry. */
MEND_EXPORT long syscall(long number, ...)
{
    va_list list;
    long a[6];
    va_start(list, number);
    for (int i = 0; i < 6; i++)
        a[i] = va_arg(list, long);
    va_end(list);
    if (number == SYS_set_thread_area && a[0] && ((struct mend_user_desc *)a[0])->entry_number == 0xffffffffu)
        return mend_result(-ENOSYS);
    return mend_result(mend_syscall6(number, a[0], a[1], a[2], a[3], a[4], a[5]));
}

__attribute__((constructor)) static void mend_init(void)
{
    u32 gs = mend_get_gs();
    if (gs == 0 || (gs & 4))
        return;
    mend_gdt_gs_entry = gs >> 3;
    mend_private_gs();
}
