/* Full disks: the spool folder, the temporary folder and the print program's output folder on a
 * small filesystem (small_disk.h), left with every room from none to enough at each step of a
 * job. Whatever the room, the exports return what they return on an empty disk and leave nothing
 * alive; a spool metafile is whole or refused by the reader, never left looking complete; a hand-
 * off that cannot write its job file removes it; and the print program says why it failed, exits
 * with status 1, leaves no picture under its final name and keeps the job's files. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "emf_reader.h"
#include "every_family.h"
#include "fresh_drive_environment.h"
#include "print_program.h"
#include "small_disk.h"
#include "standin.h"
#include "tavlinqx.h"

namespace {

::testing::Environment *const kFreshDrive =
    ::testing::AddGlobalTestEnvironment(new FreshDrive("/tmp/tavlinqx-disk-XXXXXX"));

std::string Root() { return StandinRootFolder(); }

struct RunResult {
    int status; /* the exit status, -1 when the program did not exit */
    std::string output;
};

/* Runs the print program with args; what it said on either stream, and how it ended. */
RunResult Print(const std::string &args)
{
    RunResult r = {-1, ""};
    FILE *p = popen((std::string(TAVLINQX_PRINT_PATH) + args + " 2>&1").c_str(), "r");
    if (p == NULL)
        return r;
    char chunk[512];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, p)) > 0;)
        r.output.append(chunk, n);
    int status = pclose(p);
    if (status != -1 && WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    return r;
}

bool Exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

off_t SizeOf(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

/* Rooms below what a job needs: none, at the recorder's 64 KiB buffer and beside it, and a page
 * short of the whole metafile. */
const size_t kRooms[] = {0, 1, 4096, 60 << 10, 64 << 10, 68 << 10};
const size_t kEnough = 3 << 20;

/* One job on drive C: spool path, metafile DC, the page, close. What the exports returned. */
std::vector<INT> RunJob(std::string *spool)
{
    char path[MAX_PATH] = "";
    std::vector<INT> results;
    results.push_back(GetEmfFilePath32(path));
    HDC dc = NULL;
    INT opened = path[0] ? GetEmfFileDC32(NULL, "DISPLAY", path, NULL, NULL, NULL, &dc) : -1;
    results.push_back(opened);
    if (opened == 0) {
        std::vector<INT> drawn = DrawEveryFamily(&dc);
        results.insert(results.end(), drawn.begin(), drawn.end());
        results.push_back(CloseEmfFile32(&dc));
    }
    char host[4096] = "";
    if (path[0])
        StandinMapPath(path, host, sizeof host);
    *spool = host;
    return results;
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        objects_ = StandinLiveGdiObjects();
        blocks_ = StandinLiveGlobalBlocks();
        dcs_ = StandinLiveDCs();
    }
    void TearDown() override
    {
        EXPECT_EQ(StandinLiveGdiObjects(), objects_);
        EXPECT_EQ(StandinLiveGlobalBlocks(), blocks_);
        EXPECT_EQ(StandinLiveDCs(), dcs_);
        printf("%d full-disk cases tried on %s, %d files left looking complete\n", cases_,
               mounted_ ? "a tmpfs" : "a file-size limit", complete_);
    }
    long objects_ = 0, blocks_ = 0, dcs_ = 0;
    int cases_ = 0, complete_ = 0;
    bool mounted_ = false;
};

/* The spool folder full at every room: the exports return what they return with room enough, and
 * the metafile is refused by the reader unless it was written whole. */
TEST_F(FullDisk, SpoolMetafileIsWholeOrRefused)
{
    std::string reference;
    std::vector<INT> expected = RunJob(&reference);
    off_t whole = SizeOf(reference);
    ASSERT_GT(whole, (off_t)(72 << 10)) << "the page needs more than every room";
    std::vector<size_t> rooms(kRooms, kRooms + sizeof kRooms / sizeof kRooms[0]);
    rooms.push_back((size_t)whole - 4096);
    SmallDisk disk;
    ASSERT_TRUE(disk.Make(Root() + "/WINDOWS/temp"));
    mounted_ = disk.mounted();
    for (size_t room : rooms) {
        SCOPED_TRACE(room);
        ASSERT_TRUE(disk.Leave(room));
        std::string spool;
        std::vector<INT> results = RunJob(&spool);
        disk.Release();
        cases_++;
        EXPECT_EQ(results, expected);
        EmfFile file;
        char error[256] = "";
        bool loads = EmfLoadFile(spool.c_str(), &file, error, sizeof error) == 0;
        EmfFree(&file);
        EXPECT_FALSE(loads) << SizeOf(spool) << " of " << whole << " bytes load";
        complete_ += loads;
        unlink(spool.c_str());
    }
    ASSERT_TRUE(disk.Leave(kEnough));
    std::string spool;
    EXPECT_EQ(RunJob(&spool), expected);
    EXPECT_EQ(SizeOf(spool), whole) << "with room enough, the same whole metafile";
}

/* A job file that cannot be written is removed and the hand-off fails; with room it is whole. */
TEST_F(FullDisk, HandOffRemovesAJobFileItCouldNotWrite)
{
    std::string app = Root() + "/APP";
    mkdir(app.c_str(), 0777);
    symlink("/bin/true", (app + "/P.EXE").c_str());
    PrintJob32 job = {42, 0, "C:\\WINDOWS\\temp\\EMF1.TMP"};
    PrintProgram32 program = TestPrintProgram("C:\\APP\\", "P.EXE");
    SmallDisk disk;
    ASSERT_TRUE(disk.Make(Root() + "/TEMP"));
    mounted_ = disk.mounted();
    std::string jobFile = Root() + "/TEMP/QOR00042.JBX";
    for (size_t room : {(size_t)0, (size_t)100, (size_t)527, kEnough}) {
        SCOPED_TRACE(room);
        ASSERT_TRUE(disk.Leave(room));
        INT result = ZVLPrintEMF32(&job, &program);
        disk.Release();
        cases_++;
        /* A tmpfs hands out whole pages: any room is room for 528 bytes. */
        bool fits = room >= 528 || (disk.mounted() && room > 0);
        EXPECT_EQ(result, fits ? 0 : -1);
        EXPECT_EQ(SizeOf(jobFile), fits ? 528 : -1);
        complete_ += !fits && SizeOf(jobFile) == 528;
        unlink(jobFile.c_str());
    }
}

/* The print program with its output folder full: status 1, a message naming the picture (and for
 * the PNG the system's reason), no picture under its final name, no partial file, and the job file and spool metafile kept for
 * another try. The rooms fail the PNG at its start, halfway, and, where the PNG fits, the PDF. */
TEST_F(FullDisk, PrintProgramKeepsTheJobAndLeavesNoPicture)
{
    std::string spool;
    RunJob(&spool);
    std::string dos = "C:\\WINDOWS\\temp\\" + spool.substr(spool.rfind('/') + 1);
    std::vector<char> record(528, 0);
    record[0] = 1;
    memcpy(&record[8], dos.c_str(), dos.size());
    memcpy(&record[268], "AUX.INI", 7);
    std::string jobFile = Root() + "/TEMP/QOR00007.JBX";
    FILE *f = fopen(jobFile.c_str(), "wb");
    ASSERT_TRUE(f != NULL && fwrite(record.data(), 1, record.size(), f) == record.size() && fclose(f) == 0);

    /* The pictures' sizes, printed where there is room. */
    std::string roomy = Root() + "/ROOMY", out = Root() + "/OUT";
    mkdir(roomy.c_str(), 0777);
    RunResult reference = Print(" 7 --out-dir " + roomy);
    ASSERT_EQ(reference.status, 0) << reference.output;
    size_t png = (size_t)SizeOf(roomy + "/job00007.png"), pdf = (size_t)SizeOf(roomy + "/job00007.pdf");

    SmallDisk disk;
    ASSERT_TRUE(disk.Make(out));
    mounted_ = disk.mounted();
    std::vector<size_t> rooms = {0, 1, png / 2};
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    if (disk.mounted() && (png + page) + pdf / 2 + page < png + pdf)
        rooms.push_back(png + pdf / 2); /* the PNG fits, the PDF does not */
    else if (!disk.mounted() && pdf > png + 1)
        rooms.push_back(png + 1);
    for (size_t room : rooms) {
        SCOPED_TRACE(room);
        ASSERT_TRUE(disk.Leave(room));
        RunResult r = Print(" 7 --remove --out-dir " + out);
        disk.Release();
        cases_++;
        bool printed = Exists(out + "/job00007.png") || Exists(out + "/job00007.pdf");
        complete_ += printed;
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(out + "/job00007.p"), std::string::npos) << r.output;
        if (r.output.find("job00007.png:") != std::string::npos) { /* the PNG says why */
            EXPECT_NE(r.output.find(disk.mounted() ? "No space left on device" : "File too large"), std::string::npos)
                << r.output;
        }
        EXPECT_FALSE(printed) << r.output;
        EXPECT_FALSE(Exists(out + "/job00007.png.part") || Exists(out + "/job00007.pdf.part"));
        EXPECT_TRUE(Exists(jobFile) && Exists(spool)) << "kept for another try";
    }
    ASSERT_TRUE(disk.Leave(kEnough));
    RunResult r = Print(" 7 --remove --out-dir " + out);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(SizeOf(out + "/job00007.png"), (off_t)png);
    EXPECT_FALSE(Exists(jobFile)) << "removed once printed";
}

} /* namespace */
