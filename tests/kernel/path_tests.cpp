/* Drive C: on the host: where the root lies, its layout, and how DOS paths map onto it. */
#include "kernel_test.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using DosPaths = KernelTest;

TEST_F(DosPaths, RootIsLaidOutOnFirstUse)
{
    char resolved[PATH_MAX];
    ASSERT_NE(realpath((tempDir + "/drive_c").c_str(), resolved), nullptr);
    EXPECT_EQ(root, resolved);
    EXPECT_TRUE(HostIsDir(root + "/WINDOWS"));
    EXPECT_TRUE(HostIsDir(root + "/WINDOWS/temp"));
    EXPECT_TRUE(HostIsDir(root + "/TEMP"));
}

TEST_F(DosPaths, LayoutReusesFoldersOfAnyCase)
{
    std::string other = tempDir + "/other";
    ASSERT_EQ(mkdir(other.c_str(), 0777), 0);
    ASSERT_EQ(mkdir((other + "/windows").c_str(), 0777), 0);
    ASSERT_EQ(mkdir((other + "/windows/TEMP").c_str(), 0777), 0);
    setenv(STANDIN_ROOT_ENV, other.c_str(), 1);
    ASSERT_NE(StandinRootFolder(), nullptr);
    EXPECT_FALSE(HostExists(other + "/WINDOWS"));
    EXPECT_FALSE(HostExists(other + "/windows/temp"));
    EXPECT_TRUE(HostIsDir(other + "/TEMP"));
    EXPECT_EQ(Host("C:\\WINDOWS\\temp\\x"), other + "/windows/TEMP/x");
}

TEST_F(DosPaths, RootIsLaidOutAgainAfterRemoval)
{
    ASSERT_EQ(system(("rm -rf '" + root + "'").c_str()), 0);
    const char *again = StandinRootFolder();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(HostIsDir(std::string(again) + "/WINDOWS/temp"));
}

TEST_F(DosPaths, DefaultRootsFollowXdgThenHome)
{
    const char *home = getenv("HOME");
    std::string savedHome = home ? home : "";
    unsetenv(STANDIN_ROOT_ENV);

    setenv("XDG_DATA_HOME", (tempDir + "/xdg").c_str(), 1);
    const char *r = StandinRootFolder();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r), tempDir + "/xdg/tavlinqx/drive_c");

    unsetenv("XDG_DATA_HOME");
    setenv("HOME", (tempDir + "/home").c_str(), 1);
    r = StandinRootFolder();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r), tempDir + "/home/.local/share/tavlinqx/drive_c");
    EXPECT_TRUE(HostIsDir(std::string(r) + "/TEMP"));

    unsetenv("HOME");
    EXPECT_EQ(StandinRootFolder(), nullptr);
    if (home)
        setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(DosPaths, MapsDrivePathsCaseInsensitively)
{
    WriteHostFile(root + "/TEMP/Report.Emf", "x");
    struct Row {
        const char *dos;
        const char *underRoot; /* expected host path below the root */
    } rows[] = {
        {"C:\\WINDOWS\\temp\\x.emf", "/WINDOWS/temp/x.emf"},
        {"c:\\windows\\TEMP\\New.Emf", "/WINDOWS/temp/New.Emf"}, /* a missing name keeps its case */
        {"C:\\temp\\REPORT.EMF", "/TEMP/Report.Emf"},
        {"\\TEMP\\a.b", "/TEMP/a.b"},
        {"C:/temp/sub/../a", "/TEMP/a"},
        {"C:\\..\\..\\windows", "/WINDOWS"},
        {"C:\\.\\TEMP\\.\\x", "/TEMP/x"},
        {"C:\\TEMP\\\\\\x\\", "/TEMP/x"},
        {"C:\\nodir\\File.TXT", "/nodir/File.TXT"},
        {"C:\\", ""},
        {"C:", ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.dos);
        EXPECT_EQ(Host(r.dos), root + r.underRoot);
    }
}

TEST_F(DosPaths, PosixAbsolutePathIsUsedAsItIs)
{
    EXPECT_EQ(Host("/tmp/Some/../Where"), "/tmp/Some/../Where");
}

TEST_F(DosPaths, RelativePathsStartInTheCurrentFolder)
{
    ASSERT_EQ(chdir((root + "/TEMP").c_str()), 0);
    EXPECT_EQ(Host("sub\\x"), root + "/TEMP/sub/x");
    EXPECT_EQ(Host("..\\windows\\Temp"), root + "/WINDOWS/temp");
    EXPECT_EQ(Host("C:name"), root + "/TEMP/name") << "the current folder is on drive C:";
    ASSERT_EQ(chdir(tempDir.c_str()), 0);
    EXPECT_EQ(Host("C:name"), root + "/name") << "the current folder is elsewhere";
}

TEST_F(DosPaths, UnmappablePathsFail)
{
    struct Row {
        const char *dos;
        size_t outSize;
        DWORD error;
    } rows[] = {
        {"D:\\x", PATH_MAX, ERROR_PATH_NOT_FOUND},
        {"z:", PATH_MAX, ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\x", PATH_MAX, ERROR_PATH_NOT_FOUND},
        {"", PATH_MAX, ERROR_PATH_NOT_FOUND},
        {nullptr, PATH_MAX, ERROR_PATH_NOT_FOUND},
        {"C:\\TEMP\\x", 4, ERROR_FILENAME_EXCED_RANGE},
        {"/tmp/x", 6, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.dos ? r.dos : "(null)");
        char out[PATH_MAX] = "untouched";
        SetLastError(0);
        EXPECT_EQ(StandinMapPath(r.dos, out, r.outSize), -1);
        EXPECT_EQ(GetLastError(), r.error);
        EXPECT_STREQ(out, "untouched");
    }
}
