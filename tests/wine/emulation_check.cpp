// Checks that this Wine runs programs the way Windows does in the three places where an emulated
// i386 machine has been seen to go wrong: address-space reservation, exceptions that a program
// catches, and threads keeping their own thread data across exceptions. Run under Wine by the Wine
// tier before anything else; prints PASS or the first failures and exits non-zero.
#include <windows.h>

#include <stdio.h>

static int check_failures;

static void check(bool ok, const char *what)
{
    if (!ok) {
        check_failures++;
        fprintf(stderr, "FAIL: %s\n", what);
    }
}

// A write to a read-only page is reported as an access violation with the write flag, and the
// handler can make the page writable and let the write go through.
static volatile LONG violation_code, violation_write;

static LONG CALLBACK check_on_violation(EXCEPTION_POINTERS *pointers)
{
    EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    violation_code = (LONG)record->ExceptionCode;
    violation_write = (LONG)record->ExceptionInformation[0];
    DWORD old;
    VirtualProtect((void *)record->ExceptionInformation[1], 1, PAGE_READWRITE, &old);
    return EXCEPTION_CONTINUE_EXECUTION;
}

static void check_exceptions()
{
    check(IsBadReadPtr(NULL, 4), "IsBadReadPtr(NULL) catches the access violation");
    char *page = (char *)VirtualAlloc(NULL, 4096, MEM_COMMIT, PAGE_READONLY);
    check(page != NULL, "VirtualAlloc of a read-only page");
    if (!page)
        return;
    check(IsBadWritePtr(page, 1), "IsBadWritePtr of a read-only page");
    check(!IsBadReadPtr(page, 4096), "IsBadReadPtr of a readable page");
    void *handler = AddVectoredExceptionHandler(1, check_on_violation);
    ((volatile char *)page)[10] = 42;
    RemoveVectoredExceptionHandler(handler);
    check(violation_code == (LONG)EXCEPTION_ACCESS_VIOLATION, "a write fault is an access violation");
    check(violation_write == 1, "the access violation says it was a write");
    check(page[10] == 42, "the write went through once the page was writable");
    VirtualFree(page, 0, MEM_RELEASE);
}

// Large reservations, at an address of our choice and anywhere, as a spool job's big blocks need.
static void check_reservations()
{
    char *anywhere = (char *)VirtualAlloc(NULL, 256 << 20, MEM_RESERVE, PAGE_NOACCESS);
    check(anywhere != NULL, "reserving 256 MB anywhere");
    if (!anywhere)
        return;
    check(VirtualFree(anywhere, 0, MEM_RELEASE), "releasing the reservation");
    char *placed = (char *)VirtualAlloc(anywhere, 64 << 20, MEM_RESERVE, PAGE_NOACCESS);
    check(placed == anywhere, "reserving 64 MB again where the first reservation was");
    char *committed = (char *)VirtualAlloc(placed, 1 << 20, MEM_COMMIT, PAGE_READWRITE);
    check(committed == placed, "committing the start of the reservation");
    if (committed)
        committed[(1 << 20) - 1] = 1;
    check(VirtualAlloc(placed, 4096, MEM_RESERVE, PAGE_NOACCESS) == NULL,
          "a second reservation over a reserved range fails");
    VirtualFree(placed, 0, MEM_RELEASE);
}

// Each thread stores its own number in a thread-local slot, takes exceptions, and must find its
// own number (and its own thread id in its TEB) afterwards.
enum { thread_rounds = 16, threads_per_round = 16, exceptions_per_thread = 32 };
static DWORD thread_slot;
static volatile LONG thread_mixups;

static DWORD WINAPI check_thread(void *parameter)
{
    DWORD id = GetCurrentThreadId();
    TlsSetValue(thread_slot, parameter);
    for (int i = 0; i < exceptions_per_thread; i++) {
        if (!IsBadReadPtr(NULL, 1) || TlsGetValue(thread_slot) != parameter || GetCurrentThreadId() != id)
            InterlockedIncrement(&thread_mixups);
        Sleep(0);
    }
    return 0;
}

static void check_threads()
{
    thread_slot = TlsAlloc();
    check(thread_slot != TLS_OUT_OF_INDEXES, "TlsAlloc");
    int started = 0;
    for (int round = 0; round < thread_rounds; round++) {
        HANDLE threads[threads_per_round];
        int count = 0;
        for (int i = 0; i < threads_per_round; i++) {
            threads[count] = CreateThread(NULL, 0, check_thread, (void *)(INT_PTR)(started + 1), 0, NULL);
            if (threads[count]) {
                count++;
                started++;
            }
        }
        WaitForMultipleObjects(count, threads, TRUE, INFINITE);
        for (int i = 0; i < count; i++)
            CloseHandle(threads[i]);
    }
    check(started == thread_rounds * threads_per_round, "every thread started");
    check(thread_mixups == 0, "every thread kept its own thread data through its exceptions");
}

int main()
{
    check_exceptions();
    check_reservations();
    check_threads();
    printf("%s emulation check\n", check_failures == 0 ? "PASS" : "FAIL");
    return check_failures == 0 ? 0 : 1;
}
