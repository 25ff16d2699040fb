/* The spool metafile: reserved names, the metafile device context on a printer, and closing. */
#include <string.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include <gmock/gmock.h>

#include "job_fixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

off_t FileSize(const std::string &posix)
{
    struct stat st;
    return stat(posix.c_str(), &st) == 0 ? st.st_size : -1;
}

std::vector<uint8_t> ReadAll(const std::string &posix)
{
    std::ifstream file(posix, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

template <typename T> T At(const std::vector<uint8_t> &bytes, size_t offset)
{
    T value;
    memcpy(&value, &bytes[offset], sizeof value);
    return value;
}

class SpoolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StandinClearFaults();
        dcsBefore_ = StandinLiveDCs();
    }
    void TearDown() override
    {
        StandinClearFaults();
        StandinTraceStop();
        EXPECT_EQ(StandinLiveDCs(), dcsBefore_) << "device contexts leaked";
    }
    long dcsBefore_ = 0;
};

TEST_F(SpoolTest, PathsAreUniqueReservedEmptyFilesInTheWindowsTempFolder)
{
    char first[MAX_PATH], second[MAX_PATH];
    memset(first, 'x', sizeof first);
    memset(second, 'x', sizeof second);
    ASSERT_EQ(GetEmfFilePath32(first), 0);
    ASSERT_EQ(GetEmfFilePath32(second), 0);
    EXPECT_STRNE(first, second);
    for (const char *path : {first, second}) {
        EXPECT_THAT(path, StartsWith("C:\\WINDOWS\\temp\\EMF"));
        EXPECT_EQ(FileSize(PosixPath(path)), 0) << path;
        remove(PosixPath(path).c_str());
    }
}

TEST_F(SpoolTest, FailuresToNameStillReturn0WithATerminatedBuffer)
{
    char path[MAX_PATH];
    for (const char *failing : {"GetTempFileNameA", "GetWindowsDirectoryA"}) {
        SCOPED_TRACE(failing);
        memset(path, 'x', sizeof path);
        StandinFailCall(failing, 1);
        EXPECT_EQ(GetEmfFilePath32(path), 0);
        EXPECT_NE(memchr(path, '\0', sizeof path), nullptr);
        if (strcmp(failing, "GetWindowsDirectoryA") == 0) {
            /* An empty Windows directory leaves "\temp" at the root of the drive. */
            EXPECT_THAT(path, StartsWith("\\temp\\EMF"));
            remove(PosixPath(path).c_str());
        } else {
            EXPECT_STREQ(path, "");
        }
    }
}

/* A Windows directory the spool folder name no longer fits behind, and one whose temp folder is
 * too deep for a temporary name: the caller's buffer ends up empty, never overrun. */
TEST_F(SpoolTest, OverlongWindowsDirectoriesLeaveAnEmptyPath)
{
    struct Row {
        const char *name;
        size_t length; /* of the Windows directory */
    } rows[] = {
        {"255 characters: no room for \\temp", 255},
        {"254 characters: \\temp fits, no room for a name", 254},
        {"247 characters: folder past what GetTempFileNameA takes", 247},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::string windows = "C:\\";
        while (windows.size() < row.length)
            windows += windows.size() % 9 == 0 ? '\\' : 'w';
        windows.resize(row.length);
        setenv(STANDIN_WINDIR_ENV, windows.c_str(), 1);
        char path[MAX_PATH + 16];
        memset(path, 'x', sizeof path);
        EXPECT_EQ(GetEmfFilePath32(path), 0);
        unsetenv(STANDIN_WINDIR_ENV);
        EXPECT_STREQ(path, "");
        EXPECT_EQ(path[MAX_PATH], 'x') << "nothing written past the buffer";
    }
}

TEST_F(SpoolTest, UnknownPrinterFailsBeforeAnythingIsCreated)
{
    char path[MAX_PATH];
    ASSERT_EQ(GetEmfFilePath32(path), 0);
    HDC slot = (HDC)(uintptr_t)0x1234;
    StandinTraceStart();
    EXPECT_EQ(GetEmfFileDC32(NULL, "NO SUCH PRINTER", path, NULL, NULL, NULL, &slot), -1);
    EXPECT_EQ(slot, (HDC)(uintptr_t)0x1234);
    ASSERT_EQ(StandinTraceCount(), 1u);
    EXPECT_THAT(StandinTraceEntry(0), StartsWith("CreateDCA("));
    EXPECT_EQ(FileSize(PosixPath(path)), 0) << "the reserved file stays empty";
    remove(PosixPath(path).c_str());
}

TEST_F(SpoolTest, MetafileThatCannotBeCreatedReleasesTheReferenceDevice)
{
    HDC slot = (HDC)(uintptr_t)0x1234;
    EXPECT_EQ(GetEmfFileDC32(NULL, "DISPLAY", "C:\\NO\\SUCH\\FOLDER\\x.emf", NULL, NULL, NULL, &slot), -1);
    EXPECT_EQ(slot, (HDC)(uintptr_t)0x1234);
    /* TearDown checks that the reference device context is gone. */
}

TEST_F(SpoolTest, ClosedMetafileIsCompleteAndOnlyItsDeviceContextWasLeftOpen)
{
    char path[MAX_PATH];
    ASSERT_EQ(GetEmfFilePath32(path), 0);
    int junk5 = 0x55, junk6 = 0x66;
    for (bool withFrame : {true, false}) {
        SCOPED_TRACE(withFrame ? "frame given" : "null frame");
        RECT frame = {0, 0, 21000, 29700};
        HDC dc = NULL;
        ASSERT_EQ(GetEmfFileDC32(NULL, "DISPLAY", path, withFrame ? &frame : NULL,
                                 withFrame ? &junk5 : NULL, withFrame ? &junk6 : NULL, &dc), 0);
        EXPECT_EQ(StandinLiveDCs(), dcsBefore_ + 1) << "the reference device is already gone";
        EXPECT_EQ(GetObjectType(dc), (DWORD)OBJ_ENHMETADC);
        HDC slot = dc;
        EXPECT_EQ(CloseEmfFile32(&slot), 0);
        EXPECT_EQ(slot, dc) << "the slot is not cleared";

        std::vector<uint8_t> bytes = ReadAll(PosixPath(path));
        ASSERT_EQ(bytes.size(), 128u) << "header and EOF of an empty job";
        EXPECT_EQ(At<uint32_t>(bytes, 0), (uint32_t)emf::EMR_HEADER);
        EXPECT_EQ(At<uint32_t>(bytes, 48), 128u) << "nBytes";
        EXPECT_EQ(At<uint32_t>(bytes, 108), (uint32_t)emf::EMR_EOF);
        /* Frame as given, or derived by the platform from the empty bounds on DISPLAY. */
        EXPECT_EQ(At<int32_t>(bytes, 32), withFrame ? 21000 : -26);
        EXPECT_EQ(At<int32_t>(bytes, 36), withFrame ? 29700 : -26);
    }
    remove(PosixPath(path).c_str());
}

TEST_F(SpoolTest, ClosingAJunkOrStaleSlotReturns0)
{
    HDC junk = (HDC)(uintptr_t)0xdeadbeef;
    EXPECT_EQ(CloseEmfFile32(&junk), 0);
    HDC null = NULL;
    EXPECT_EQ(CloseEmfFile32(&null), 0);

    char path[MAX_PATH];
    ASSERT_EQ(GetEmfFilePath32(path), 0);
    HDC dc = NULL;
    ASSERT_EQ(GetEmfFileDC32(NULL, "DISPLAY", path, NULL, NULL, NULL, &dc), 0);
    EXPECT_EQ(CloseEmfFile32(&dc), 0);
    std::vector<uint8_t> complete = ReadAll(PosixPath(path));
    EXPECT_EQ(CloseEmfFile32(&dc), 0) << "stale: already closed";
    EXPECT_EQ(ReadAll(PosixPath(path)), complete) << "a second close leaves the file alone";
    remove(PosixPath(path).c_str());
}

} /* namespace */
