/* CreateProcessA: command lines split by the Windows rules, programs found on drive C: or by host
 * path, failures known before the call returns, and children reaped once their handles close. */
#include "kernel_test.h"
#include "kernel_private.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <vector>

using Processes = KernelTest;

TEST(CommandLine, SplitsByTheWindowsRules)
{
    struct Row {
        const char *line;
        std::vector<std::string> argv;
    } rows[] = {
        {"\"C:\\Program Files\\p.exe\" 42", {"C:\\Program Files\\p.exe", "42"}},
        {"p.exe \"a b c\" d e", {"p.exe", "a b c", "d", "e"}},
        {"p \"ab\\\"c\" \"\\\\\" d", {"p", "ab\"c", "\\", "d"}},
        {"p a\\\\\\b d\"e f\"g h", {"p", "a\\\\\\b", "de fg", "h"}},
        {"p a\\\\\\\"b c d", {"p", "a\\\"b", "c", "d"}},
        {"p a\\\\\\\\\"b c\" d e", {"p", "a\\\\b c", "d", "e"}},
        {"p a\"b\"\" c d", {"p", "ab\" c d"}},
        /* the program name: quotes only group, a backslash escapes nothing */
        {"\"C:\\a\\\"b c", {"C:\\a\\b", "c"}},
        {"C:\\x\\\"y z\" w", {"C:\\x\\y z", "w"}},
        {"  p \t x  ", {"p", "x"}},
        {"p \"\" \"\"", {"p", "", ""}},
        {"p\ta", {"p", "a"}},
        {"", {""}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.line);
        int argc = -1;
        char **argv = kernel_split_command_line(r.line, &argc);
        ASSERT_NE(argv, nullptr);
        ASSERT_EQ(argc, (int)r.argv.size());
        for (int i = 0; i < argc; i++)
            EXPECT_EQ(argv[i], r.argv[i]) << "argument " << i;
        EXPECT_EQ(argv[argc], nullptr);
        free(argv);
    }
}

/* A host program on drive C: that records its folder, its argv[0] and its arguments, one a line,
 * in out.txt beside itself once it is done. */
static void WriteRecorder(const std::string &path)
{
    WriteHostFile(path,
                  "#!/bin/sh\n"
                  "d=$(dirname \"$0\")\n"
                  "{ pwd -P; printf '%s\\n' \"$0\" \"$@\"; } > \"$d/out.tmp\" && mv \"$d/out.tmp\" \"$d/out.txt\"\n",
                  0755);
}

static std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(Processes, StartsTheProgramWithItsArguments)
{
    ASSERT_EQ(mkdir((root + "/APP").c_str(), 0777), 0);
    WriteRecorder(root + "/APP/record");
    char cmd[] = "\"c:\\app\\RECORD\" 42 \"two words\" a\\\"b";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    ASSERT_TRUE(CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, "C:\\TEMP", &si, &pi));
    EXPECT_NE(pi.hProcess, nullptr);
    EXPECT_NE(pi.hThread, nullptr);
    EXPECT_NE(pi.hProcess, pi.hThread);
    EXPECT_GT(pi.dwProcessId, 0u);
    EXPECT_TRUE(CloseHandle(pi.hProcess)) << "closing at once is allowed";
    EXPECT_TRUE(CloseHandle(pi.hThread));
    EXPECT_FALSE(CloseHandle(pi.hProcess));

    ASSERT_TRUE(WaitForHostFile(root + "/APP/out.txt"));
    std::vector<std::string> expected = {root + "/TEMP", root + "/APP/record", "42", "two words", "a\"b"};
    EXPECT_EQ(ReadLines(root + "/APP/out.txt"), expected);
}

TEST_F(Processes, StartsAProgramByHostPath)
{
    std::string program = tempDir + "/record";
    WriteRecorder(program);
    std::string line = "\"" + program + "\" x";
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back(0);
    STARTUPINFOA si = {};
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    ASSERT_TRUE(WaitForHostFile(tempDir + "/out.txt"));
    std::vector<std::string> lines = ReadLines(tempDir + "/out.txt");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], program);
    EXPECT_EQ(lines[2], "x");
}

TEST_F(Processes, ProgramsThatCannotStartFailAtOnce)
{
    ASSERT_EQ(mkdir((root + "/APP").c_str(), 0777), 0);
    WriteHostFile(root + "/APP/notexec", "#!/bin/sh\nexit 0\n", 0644);
    WriteHostFile(root + "/APP/garbage", "this is no program\n", 0755);
    struct Row {
        const char *application, *line, *folder;
        DWORD error;
    } rows[] = {
        {nullptr, "\"C:\\no\\such\\dir\\prog.exe\" arg1 arg2", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "\"C:\\APP\\missing\" 1", nullptr, ERROR_FILE_NOT_FOUND},
        {"C:\\no\\such\\dir\\prog.exe", "prog 1", nullptr, ERROR_PATH_NOT_FOUND},
        {"C:\\APP\\missing", "prog 1", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "\"C:\\APP\\notexec\" 1", nullptr, ERROR_ACCESS_DENIED},
        {nullptr, "\"C:\\APP\"", nullptr, ERROR_ACCESS_DENIED},
        {nullptr, "\"C:\\APP\\garbage\"", nullptr, ERROR_BAD_EXE_FORMAT},
        {nullptr, "\"Q:\\x.exe\" x", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "", nullptr, ERROR_FILE_NOT_FOUND},
        {nullptr, "\"/bin/true\"", "C:\\no\\such\\folder", ERROR_DIRECTORY},
        {nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.line ? r.line : "(null)");
        std::vector<char> cmd;
        if (r.line)
            cmd.assign(r.line, r.line + strlen(r.line) + 1);
        STARTUPINFOA si = {};
        PROCESS_INFORMATION pi;
        memset(&pi, 0x5A, sizeof pi);
        SetLastError(0);
        EXPECT_FALSE(CreateProcessA(r.application, r.line ? cmd.data() : nullptr, NULL, NULL, FALSE, 0, NULL,
                                    r.folder, &si, &pi));
        EXPECT_EQ(GetLastError(), r.error);
        /* Nothing was left running or unreaped, not even a child whose exec failed. */
        errno = 0;
        EXPECT_EQ(waitpid(-1, NULL, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }
}

static bool IsOurZombie(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat))
        return false; /* reaped */
    size_t close = stat.rfind(')');
    char state = 0;
    int ppid = 0;
    sscanf(stat.c_str() + close + 2, "%c %d", &state, &ppid);
    return state == 'Z' && ppid == getpid();
}

TEST_F(Processes, ClosedChildrenAreReaped)
{
    std::vector<pid_t> pids;
    for (int i = 0; i < 10; i++) {
        char cmd[] = "\"/bin/true\"";
        STARTUPINFOA si = {};
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
        pids.push_back((pid_t)pi.dwProcessId);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    /* Later calls reap what has exited by then; even a call that fails does. */
    bool zombies = true;
    for (int attempt = 0; attempt < 200 && zombies; attempt++) {
        usleep(10000);
        char probe[] = "\"C:\\no\\such\\program\"";
        STARTUPINFOA si = {};
        PROCESS_INFORMATION pi;
        CreateProcessA(NULL, probe, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
        zombies = false;
        for (pid_t pid : pids)
            zombies = zombies || IsOurZombie(pid);
    }
    EXPECT_FALSE(zombies);
}
