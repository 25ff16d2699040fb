/* Fault injection: an armed call fails the Windows way, is still traced, does nothing else, and
 * the next call works again. */
#include "kernel_test.h"

#include <dirent.h>
#include <string.h>

#include <functional>

using Faults = KernelTest;

static int CountEntries(const std::string &folder)
{
    int n = 0;
    DIR *dir = opendir(folder.c_str());
    while (struct dirent *d = dir ? readdir(dir) : NULL)
        n += d->d_name[0] != '.';
    if (dir)
        closedir(dir);
    return n;
}

TEST_F(Faults, ArmedCallsFailTheWindowsWay)
{
    HGLOBAL block = GlobalAlloc(GHND, 8);
    HGLOBAL freeMe = GlobalAlloc(GHND, 8);
    char job[] = "\"/bin/true\"";
    struct Row {
        const char *name;
        DWORD error;
        std::function<bool()> failed; /* makes the call; true when it returned the failure value */
        std::function<bool()> leftAlone; /* true when the call left nothing behind */
    } rows[] = {
        {"GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY, [] { return GlobalAlloc(GHND, 8) == NULL; }, nullptr},
        {"GlobalLock", ERROR_DISCARDED, [&] { return GlobalLock(block) == NULL; }, nullptr},
        /* a real unlock of a block locked once answers FALSE too, but with last error 0 */
        {"GlobalUnlock", ERROR_NOT_LOCKED,
         [&] {
             GlobalLock(block);
             SetLastError(ERROR_SUCCESS);
             if (GlobalUnlock(block) || GetLastError() == ERROR_SUCCESS)
                 return false;
             DWORD error = GetLastError();
             GlobalUnlock(block);
             SetLastError(error);
             return true;
         },
         nullptr},
        {"GlobalFree", ERROR_INVALID_HANDLE, [&] { return GlobalFree(freeMe) == freeMe; },
         [&] { return GlobalSize(freeMe) == 8; }},
        {"GlobalSize", ERROR_INVALID_HANDLE, [&] { return GlobalSize(block) == 0; }, nullptr},
        {"GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY,
         [] { char b[MAX_PATH] = "u"; return GetWindowsDirectoryA(b, sizeof b) == 0 && !strcmp(b, "u"); }, nullptr},
        {"GetTempPathA", ERROR_NOT_ENOUGH_MEMORY,
         [] { char b[MAX_PATH] = "u"; return GetTempPathA(sizeof b, b) == 0 && !strcmp(b, "u"); }, nullptr},
        {"GetTempFileNameA", ERROR_ACCESS_DENIED,
         [] { char b[MAX_PATH] = "u"; return GetTempFileNameA("C:\\TEMP", "QOR", 0, b) == 0 && !strcmp(b, "u"); },
         [&] { return CountEntries(root + "/TEMP") == 1; /* only "keep" */ }},
        {"CreateFileA", ERROR_ACCESS_DENIED,
         [] {
             HANDLE h = CreateFileA("C:\\TEMP\\f", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
             return h == INVALID_HANDLE_VALUE || !CloseHandle(h);
         },
         [&] { return !HostExists(root + "/TEMP/f"); }},
        {"DeleteFileA", ERROR_ACCESS_DENIED, [] { return !DeleteFileA("C:\\TEMP\\keep"); },
         [&] { return HostExists(root + "/TEMP/keep"); }},
        {"CreateProcessA", ERROR_NOT_ENOUGH_MEMORY,
         [&] {
             STARTUPINFOA si = {};
             PROCESS_INFORMATION pi;
             if (!CreateProcessA(NULL, job, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
                 return true;
             CloseHandle(pi.hProcess);
             CloseHandle(pi.hThread);
             return false;
         },
         nullptr},
    };
    WriteHostFile(root + "/TEMP/keep", "k");
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        StandinFailCall(r.name, 1);
        StandinTraceStart();
        SetLastError(0);
        EXPECT_TRUE(r.failed());
        EXPECT_EQ(GetLastError(), r.error);
        StandinTraceStop();
        std::string call = std::string(r.name) + "(";
        bool traced = false;
        for (size_t i = 0; i < StandinTraceCount(); i++)
            traced = traced || strncmp(StandinTraceEntry(i), call.c_str(), call.size()) == 0;
        EXPECT_TRUE(traced) << "the failed call is traced";
        if (r.leftAlone) {
            EXPECT_TRUE(r.leftAlone());
        }
        SetLastError(0);
        EXPECT_FALSE(r.failed()) << "the fault is used up";
    }
    GlobalFree(block);
}

TEST_F(Faults, NthCallFailsAndOnlyThat)
{
    long before = StandinLiveGlobalBlocks();
    StandinFailCall("GlobalAlloc", 3);
    HGLOBAL h[5];
    for (HGLOBAL &x : h)
        x = GlobalAlloc(GHND, 4);
    EXPECT_NE(h[0], nullptr);
    EXPECT_NE(h[1], nullptr);
    EXPECT_EQ(h[2], nullptr);
    EXPECT_NE(h[3], nullptr);
    EXPECT_NE(h[4], nullptr);
    EXPECT_EQ(StandinLiveGlobalBlocks(), before + 4);
    for (HGLOBAL x : h)
        GlobalFree(x);
    EXPECT_EQ(StandinLiveGlobalBlocks(), before);
}

TEST_F(Faults, FailedIoLeavesTheFileAsItWas)
{
    HANDLE f = CreateFileA("C:\\TEMP\\w", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    StandinFailCall("WriteFile", 1);
    DWORD n = 99;
    EXPECT_FALSE(WriteFile(f, "abc", 3, &n, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(ReadHostFile(root + "/TEMP/w"), "");
    StandinFailCall("CloseHandle", 1);
    EXPECT_FALSE(CloseHandle(f));
    EXPECT_TRUE(WriteFile(f, "abc", 3, &n, NULL)) << "a failed close leaves the handle open";
    EXPECT_TRUE(CloseHandle(f));
    EXPECT_EQ(ReadHostFile(root + "/TEMP/w"), "abc");
}
