/* The Windows and temporary folders and GetTempFileNameA, including processes racing for names. */
#include "kernel_test.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <set>

using Folders = KernelTest;

TEST_F(Folders, FolderNamesFollowTheSmallBufferConvention)
{
    struct Row {
        const char *what;
        UINT (*call)(LPSTR, UINT);
        const char *value;
    } rows[] = {
        {"windows", [](LPSTR b, UINT n) { return GetWindowsDirectoryA(b, n); }, "C:\\WINDOWS"},
        {"temp", [](LPSTR b, UINT n) { return (UINT)GetTempPathA(n, b); }, "C:\\TEMP\\"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        UINT len = (UINT)strlen(r.value);
        char buf[64];
        memset(buf, 'z', sizeof buf);
        EXPECT_EQ(r.call(buf, len), len + 1) << "one byte short: the size needed with the NUL";
        EXPECT_EQ(buf[0], 'z') << "and the buffer is untouched";
        EXPECT_EQ(r.call(NULL, 0), len + 1);
        EXPECT_EQ(r.call(buf, len + 1), len);
        EXPECT_STREQ(buf, r.value);
    }
}

TEST_F(Folders, TempPathMapsToTheLaidOutFolder)
{
    char buf[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof buf, buf), 0u);
    EXPECT_EQ(Host(buf), root + "/TEMP");
}

TEST_F(Folders, TempPathFromTheEnvironmentEndsWithABackslash)
{
    const char *rows[][2] = {{"C:\\JOBS", "C:\\JOBS\\"}, {"C:\\JOBS\\", "C:\\JOBS\\"}, {"", "C:\\TEMP\\"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r[0]);
        setenv(STANDIN_TEMP_ENV, r[0], 1);
        char buf[MAX_PATH];
        EXPECT_EQ(GetTempPathA(sizeof buf, buf), strlen(r[1]));
        EXPECT_STREQ(buf, r[1]);
        EXPECT_EQ(GetTempPathA(3, buf), strlen(r[1]) + 1);
    }
    unsetenv(STANDIN_TEMP_ENV);
}

TEST_F(Folders, NewNamesAreUniqueCreatedAndEmpty)
{
    std::regex form(R"(C:\\WINDOWS\\temp\\EMF([0-9A-F]{1,4})\.TMP)");
    std::set<std::string> names;
    for (int i = 0; i < 50; i++) {
        char buf[MAX_PATH];
        UINT n = GetTempFileNameA("C:\\WINDOWS\\temp", "EMF", 0, buf);
        ASSERT_NE(n, 0u);
        std::cmatch m;
        ASSERT_TRUE(std::regex_match(buf, m, form)) << buf;
        EXPECT_EQ(strtoul(m[1].str().c_str(), NULL, 16), n) << "the result is the number in the name";
        std::string host = Host(buf);
        EXPECT_TRUE(HostExists(host));
        EXPECT_EQ(ReadHostFile(host), "");
        names.insert(buf);
    }
    EXPECT_EQ(names.size(), 50u);
}

TEST_F(Folders, GivenNumbersFormNamesWithoutCreatingFiles)
{
    struct Row {
        const char *path, *prefix;
        UINT unique, result;
        const char *name;
    } rows[] = {
        {"C:\\TEMP\\", "QOR", 0x1a2b, 0x1a2b, "C:\\TEMP\\QOR1A2B.TMP"},
        {"C:\\TEMP", "QOR", 0x7, 0x7, "C:\\TEMP\\QOR7.TMP"},
        {"C:\\TEMP", "QOR", 0x12345, 0x2345, "C:\\TEMP\\QOR2345.TMP"},
        {"C:\\TEMP", "ABCDEF", 0xF, 0xF, "C:\\TEMP\\ABCF.TMP"},
        {"C:\\TEMP", "qo", 0xFFFF, 0xFFFF, "C:\\TEMP\\qoFFFF.TMP"},
        {"C:\\TEMP", "", 0x10, 0x10, "C:\\TEMP\\10.TMP"},
        {"C:\\TEMP", nullptr, 0x10, 0x10, "C:\\TEMP\\10.TMP"},
        {"C:/TEMP/", "QOR", 0x20, 0x20, "C:/TEMP/QOR20.TMP"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        char buf[MAX_PATH];
        EXPECT_EQ(GetTempFileNameA(r.path, r.prefix, r.unique, buf), r.result);
        EXPECT_STREQ(buf, r.name);
        EXPECT_FALSE(HostExists(Host(buf)));
    }
}

TEST_F(Folders, NumberWithZeroLowBitsCreatesANewName)
{
    char buf[MAX_PATH];
    UINT n = GetTempFileNameA("C:\\TEMP", "QOR", 0x10000, buf);
    ASSERT_NE(n, 0u);
    EXPECT_TRUE(HostExists(Host(buf)));
}

TEST_F(Folders, FailuresLeaveTheBufferUntouched)
{
    WriteHostFile(root + "/TEMP/plain.txt", "x");
    std::string longPath = "C:\\" + std::string(MAX_PATH - 14 - 2, 'a'); /* 247 characters */
    struct Row {
        const char *path;
        UINT unique;
        DWORD error;
    } rows[] = {
        {"C:\\no\\such\\folder", 0, ERROR_DIRECTORY},
        {"C:\\no\\such\\folder", 5, ERROR_DIRECTORY},
        {"C:\\TEMP\\plain.txt", 0, ERROR_DIRECTORY},
        {"D:\\TEMP", 0, ERROR_DIRECTORY},
        {longPath.c_str(), 0, ERROR_BUFFER_OVERFLOW},
        {longPath.c_str(), 5, ERROR_BUFFER_OVERFLOW},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        char buf[MAX_PATH] = "untouched";
        SetLastError(0);
        EXPECT_EQ(GetTempFileNameA(r.path, "EMF", r.unique, buf), 0u);
        EXPECT_EQ(GetLastError(), r.error);
        EXPECT_STREQ(buf, "untouched");
    }
}

TEST_F(Folders, LongestFolderStillFitsMaxPath)
{
    /* C:\TEMP\ then components up to 246 characters in all */
    std::string dos = "C:\\TEMP";
    while (dos.size() < MAX_PATH - 14) {
        size_t n = std::min<size_t>(40, MAX_PATH - 14 - dos.size() - 1);
        dos += "\\" + std::string(n, 'b');
        ASSERT_EQ(mkdir(Host(dos.c_str()).c_str(), 0777), 0) << dos;
    }
    ASSERT_EQ(dos.size(), (size_t)(MAX_PATH - 14));
    char buf[MAX_PATH];
    UINT n = GetTempFileNameA(dos.c_str(), "EMF", 0, buf);
    ASSERT_NE(n, 0u);
    EXPECT_LT(strlen(buf), (size_t)MAX_PATH);
    EXPECT_EQ(std::string(buf).substr(0, dos.size() + 4), dos + "\\EMF");
}

/* Several processes take names in one folder at once: every name is handed out once. */
TEST_F(Folders, RacingProcessesNeverShareAName)
{
    const int kProcesses = 4, kNames = 150;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t children[kProcesses];
    for (int c = 0; c < kProcesses; c++) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            close(fds[0]);
            for (int i = 0; i < kNames; i++) {
                char buf[MAX_PATH] = {0};
                if (GetTempFileNameA("C:\\WINDOWS\\temp", "EMF", 0, buf) == 0)
                    strcpy(buf, "failed");
                if (write(fds[1], buf, sizeof buf) != (ssize_t)sizeof buf)
                    _exit(2);
            }
            _exit(0);
        }
    }
    close(fds[1]);
    std::multiset<std::string> names;
    char buf[MAX_PATH];
    while (read(fds[0], buf, sizeof buf) == (ssize_t)sizeof buf)
        names.insert(buf);
    close(fds[0]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(names.size(), (size_t)(kProcesses * kNames));
    EXPECT_EQ(names.count("failed"), 0u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "a name was shared";
    size_t files = 0;
    DIR *dir = opendir((root + "/WINDOWS/temp").c_str());
    ASSERT_NE(dir, nullptr);
    while (struct dirent *d = readdir(dir))
        files += d->d_name[0] != '.';
    closedir(dir);
    EXPECT_EQ(files, names.size());
}
