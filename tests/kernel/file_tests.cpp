/* Files: dispositions, share modes within and across processes, access rights, bad handles,
 * DeleteFileA. Expected errors follow Windows as observed under Wine. */
#include "kernel_test.h"

#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

using Files = KernelTest;

static HANDLE OpenFile(const char *name, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(name, access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
}

TEST_F(Files, WrittenBytesReadBack)
{
    char record[528];
    for (size_t i = 0; i < sizeof record; i++)
        record[i] = (char)(i * 7);
    HANDLE h = OpenFile("C:\\TEMP\\QOR00042.JBX", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 1234;
    ASSERT_TRUE(WriteFile(h, record, sizeof record, &n, NULL));
    EXPECT_EQ(n, sizeof record);
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_EQ(ReadHostFile(root + "/TEMP/QOR00042.JBX"), std::string(record, sizeof record));

    h = OpenFile("c:\\temp\\qor00042.jbx", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char back[600];
    ASSERT_TRUE(ReadFile(h, back, sizeof back, &n, NULL));
    EXPECT_EQ(n, sizeof record);
    EXPECT_EQ(memcmp(back, record, sizeof record), 0);
    n = 99;
    EXPECT_TRUE(ReadFile(h, back, sizeof back, &n, NULL)) << "end of file is no error";
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(Files, DispositionsOnMissingAndExistingFiles)
{
    struct Row {
        bool exists;
        DWORD disposition;
        DWORD lastError;     /* after the call, success or not */
        bool opens;
        const char *content; /* afterwards; nullptr: no file */
    } rows[] = {
        {false, CREATE_NEW, ERROR_SUCCESS, true, ""},
        {true, CREATE_NEW, ERROR_FILE_EXISTS, false, "old"},
        {false, CREATE_ALWAYS, ERROR_SUCCESS, true, ""},
        {true, CREATE_ALWAYS, ERROR_ALREADY_EXISTS, true, ""},
        {false, OPEN_EXISTING, ERROR_FILE_NOT_FOUND, false, nullptr},
        {true, OPEN_EXISTING, ERROR_SUCCESS, true, "old"},
        {false, OPEN_ALWAYS, ERROR_SUCCESS, true, ""},
        {true, OPEN_ALWAYS, ERROR_ALREADY_EXISTS, true, "old"},
        {false, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND, false, nullptr},
        {true, TRUNCATE_EXISTING, ERROR_SUCCESS, true, ""},
        {true, 0, ERROR_INVALID_PARAMETER, false, "old"},
        {true, 6, ERROR_INVALID_PARAMETER, false, "old"},
    };
    std::string host = root + "/TEMP/f.dat";
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "disposition " << r.disposition << (r.exists ? ", existing" : ", missing"));
        unlink(host.c_str());
        if (r.exists)
            WriteHostFile(host, "old");
        SetLastError(0xDEAD);
        HANDLE h = OpenFile("C:\\TEMP\\f.dat", GENERIC_READ | GENERIC_WRITE, 0, r.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, r.opens);
        EXPECT_EQ(GetLastError(), r.lastError);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(h));
        }
        EXPECT_EQ(HostExists(host), r.content != nullptr);
        if (r.content) {
            EXPECT_EQ(ReadHostFile(host), r.content);
        }
    }
}

TEST_F(Files, TruncatingNeedsNoWriteAccess)
{
    WriteHostFile(root + "/TEMP/t.dat", "old");
    HANDLE h = OpenFile("C:\\TEMP\\t.dat", GENERIC_READ, 0, TRUNCATE_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(h, "x", 1, NULL, NULL)) << "the handle still only reads";
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(ReadHostFile(root + "/TEMP/t.dat"), "");
}

TEST_F(Files, PathsThatNameNoFile)
{
    struct Row {
        const char *name;
        DWORD error;
    } rows[] = {
        {"C:\\no\\such\\x.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS", ERROR_ACCESS_DENIED},
        {"Q:\\x.txt", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
        {nullptr, ERROR_PATH_NOT_FOUND},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name ? r.name : "(null)");
        SetLastError(0);
        EXPECT_EQ(OpenFile(r.name, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), r.error);
    }
    EXPECT_FALSE(HostExists(root + "/no"));
}

TEST_F(Files, UnsharedOpenExcludesEveryOtherOpener)
{
    HANDLE h = OpenFile("C:\\TEMP\\job.jbx", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteFile(h, "first", 5, NULL, NULL));
    struct Row {
        DWORD access, share, disposition;
    } rows[] = {
        {GENERIC_WRITE, 0, CREATE_ALWAYS},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING},
        {GENERIC_WRITE, FILE_SHARE_WRITE, TRUNCATE_EXISTING},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "share " << r.share << " disposition " << r.disposition);
        SetLastError(0);
        EXPECT_EQ(OpenFile("C:\\TEMP\\JOB.JBX", r.access, r.share, r.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
        EXPECT_EQ(ReadHostFile(root + "/TEMP/job.jbx"), "first") << "a refused open truncates nothing";
    }
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA("C:\\TEMP\\job.jbx"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(h));
    h = OpenFile("C:\\TEMP\\job.jbx", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "free again once closed";
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(Files, SharingOpenersCoexistUntilOneSharesNothing)
{
    WriteHostFile(root + "/TEMP/s.dat", "data");
    HANDLE a = OpenFile("C:\\TEMP\\s.dat", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE b = OpenFile("C:\\TEMP\\s.dat", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_NE(a, b);
    EXPECT_EQ(OpenFile("C:\\TEMP\\s.dat", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(CloseHandle(b));
}

/* A child process holds the job file without sharing; the parent's open must fail and must not
 * truncate what the child wrote. */
TEST_F(Files, UnsharedOpenExcludesAnotherProcess)
{
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE h = OpenFile("C:\\TEMP\\QOR00007.JBX", GENERIC_WRITE, 0, CREATE_ALWAYS);
        char ok = h != INVALID_HANDLE_VALUE && WriteFile(h, "child", 5, NULL, NULL) ? 'y' : 'n';
        char go;
        if (write(ready[1], &ok, 1) != 1 || read(release[0], &go, 1) != 1)
            _exit(2);
        CloseHandle(h);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    SetLastError(0);
    HANDLE h = OpenFile("C:\\TEMP\\QOR00007.JBX", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadHostFile(root + "/TEMP/QOR00007.JBX"), "child");
    ASSERT_EQ(write(release[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    h = OpenFile("C:\\TEMP\\QOR00007.JBX", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "the child's exit released the file";
    CloseHandle(h);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}

TEST_F(Files, AccessRightsAreEnforced)
{
    WriteHostFile(root + "/TEMP/a.dat", "abc");
    char buf[8];
    DWORD n = 77;
    HANDLE w = OpenFile("C:\\TEMP\\a.dat", GENERIC_WRITE, 0, OPEN_EXISTING);
    SetLastError(0);
    EXPECT_FALSE(ReadFile(w, buf, sizeof buf, &n, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    CloseHandle(w);
    HANDLE r = OpenFile("C:\\TEMP\\a.dat", GENERIC_READ, 0, OPEN_EXISTING);
    n = 77;
    SetLastError(0);
    EXPECT_FALSE(WriteFile(r, "x", 1, &n, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    CloseHandle(r);
    EXPECT_EQ(ReadHostFile(root + "/TEMP/a.dat"), "abc");
}

TEST_F(Files, BadHandlesFail)
{
    HANDLE closed = OpenFile("C:\\TEMP\\c.dat", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_TRUE(CloseHandle(closed));
    HGLOBAL memory = GlobalAlloc(GHND, 4);
    struct Row {
        const char *what;
        HANDLE h;
    } rows[] = {
        {"closed", closed},
        {"null", nullptr},
        {"junk", (HANDLE)(uintptr_t)0x12345},
        {"invalid", INVALID_HANDLE_VALUE},
        {"global memory", memory},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        DWORD n = 5;
        char buf[4];
        SetLastError(0);
        EXPECT_FALSE(WriteFile(r.h, "x", 1, &n, NULL));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_FALSE(ReadFile(r.h, buf, 1, &n, NULL));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        if (r.h != INVALID_HANDLE_VALUE) {
            SetLastError(0);
            EXPECT_FALSE(CloseHandle(r.h));
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        }
    }
    EXPECT_TRUE(CloseHandle(INVALID_HANDLE_VALUE)) << "the current process's pseudo-handle";
    EXPECT_EQ(GlobalSize(memory), 4u) << "CloseHandle left the memory block alone";
    GlobalFree(memory);
}

TEST_F(Files, DeleteFile)
{
    WriteHostFile(root + "/TEMP/d.dat", "x");
    EXPECT_TRUE(DeleteFileA("c:\\Temp\\D.DAT"));
    EXPECT_FALSE(HostExists(root + "/TEMP/d.dat"));
    struct Row {
        const char *name;
        DWORD error;
    } rows[] = {
        {"C:\\TEMP\\d.dat", ERROR_FILE_NOT_FOUND},
        {"C:\\no\\such\\d.dat", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS", ERROR_ACCESS_DENIED},
        {"D:\\x", ERROR_PATH_NOT_FOUND},
        {nullptr, ERROR_PATH_NOT_FOUND},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name ? r.name : "(null)");
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(r.name));
        EXPECT_EQ(GetLastError(), r.error);
    }
    EXPECT_TRUE(HostIsDir(root + "/WINDOWS"));
}

TEST_F(Files, TraceNamesTheJobFileSequence)
{
    StandinTraceStart();
    HANDLE h = OpenFile("C:\\TEMP\\QOR00042.JBX", GENERIC_WRITE, 0, CREATE_ALWAYS);
    WriteFile(h, "abcd", 4, NULL, NULL);
    CloseHandle(h);
    DeleteFileA("C:\\TEMP\\QOR00042.JBX");
    StandinTraceStop();
    const char *expected[] = {
        "CreateFileA(\"C:\\TEMP\\QOR00042.JBX\", 0x40000000, 0x0, 2, 0x80)",
        "WriteFile(file#1, 4)",
        "CloseHandle(file#1)",
        "DeleteFileA(\"C:\\TEMP\\QOR00042.JBX\")",
    };
    ASSERT_EQ(StandinTraceCount(), 4u);
    for (size_t i = 0; i < 4; i++)
        EXPECT_STREQ(StandinTraceEntry(i), expected[i]) << i;
}
