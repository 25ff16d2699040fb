/* The kernel tests' fixture and host-side helpers. */
#include "kernel_test.h"

#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

static int RemoveEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path);
}

void KernelTest::SetUp()
{
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    savedCwd = cwd;
    char dir[] = "/tmp/tavlinqx-kernel-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tempDir = dir;
    setenv(STANDIN_ROOT_ENV, (tempDir + "/drive_c").c_str(), 1);
    const char *r = StandinRootFolder();
    ASSERT_NE(r, nullptr);
    root = r;
    StandinClearFaults();
    StandinTraceStop();
    SetLastError(ERROR_SUCCESS);
}

void KernelTest::TearDown()
{
    StandinTraceStop();
    StandinClearFaults();
    if (!savedCwd.empty()) {
        EXPECT_EQ(chdir(savedCwd.c_str()), 0);
    }
    if (!tempDir.empty())
        nftw(tempDir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string KernelTest::Host(const char *dosPath)
{
    char path[PATH_MAX];
    EXPECT_EQ(StandinMapPath(dosPath, path, sizeof path), 0) << dosPath;
    return path;
}

bool HostExists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool HostIsDir(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadHostFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteHostFile(const std::string &path, const std::string &content, int mode)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(write(fd, content.data(), content.size()), (ssize_t)content.size());
    ASSERT_EQ(fchmod(fd, (mode_t)mode), 0);
    close(fd);
}

bool WaitForHostFile(const std::string &path)
{
    for (int i = 0; i < 500; i++) {
        if (HostExists(path))
            return true;
        usleep(10000);
    }
    return false;
}
