/* The print job hand-off: the checks, the length limits, the job file's bytes and name, the
 * command line the print program receives, and the removal of the job file on every failure.
 *
 * The print program here is a shell script in C:\APP that records its arguments and copies the job
 * file it finds, as a print program would read it. */
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "job.h"
#include "standin.h"
#include "frame/win32.h"

namespace {

const char kRecorder[] = "#!/bin/sh\n"
                         "job=$(printf 'QOR%05d.JBX' \"$1\")\n"
                         "out=\"$TAVLINQX_ROOT/APP/seen\"\n"
                         "{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } > \"$out.tmp\"\n"
                         "cp \"$TAVLINQX_ROOT/TEMP/$job\" \"$out.jbx\" 2>/dev/null\n"
                         "mv \"$out.tmp\" \"$out.args\"\n";

std::string ReadHost(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class HandOff : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = StandinRootFolder();
        app_ = root_ + "/APP";
        temp_ = root_ + "/TEMP";
        ASSERT_EQ(system(("rm -rf '" + app_ + "' '" + temp_ + "'/*").c_str()), 0);
        ASSERT_EQ(mkdir(app_.c_str(), 0777), 0);
        std::ofstream(app_ + "/rec.sh") << kRecorder;
        ASSERT_EQ(chmod((app_ + "/rec.sh").c_str(), 0755), 0);

        memset(&job_, 0, sizeof job_);
        job_.JobNumber = 42;
        job_.Flags = 0x80000001u;
        strcpy(job_.MetafilePath, "C:\\WINDOWS\\temp\\EMF1A.TMP");
        memset(&program_, 0, sizeof program_);
        program_.Size = sizeof program_;
        strcpy(program_.RequiredName1, "NAME1");
        strcpy(program_.AuxFile, "AUX.INI");
        strcpy(program_.RequiredName2, "NAME2");
        strcpy(program_.ProgramFile, "rec.sh");
        strcpy(program_.ProgramDir, "C:\\APP\\");
    }
    void TearDown() override
    {
        std::string ignored;
        if (started_)
            WaitForRecorder(&ignored); /* so it cannot write into the next test's folder */
        StandinClearFaults();
        StandinTraceStop();
        unsetenv(STANDIN_TEMP_ENV);
    }

    /* The hand-off with the trace on; the calls it made are in calls_. */
    int Run()
    {
        StandinTraceStart();
        int result = ZVLPrintEMF32(&job_, &program_);
        StandinTraceStop();
        started_ = started_ || (result == 0 && strcmp(program_.ProgramFile, "rec.sh") == 0);
        calls_.clear();
        for (size_t i = 0; i < StandinTraceCount(); i++)
            calls_.push_back(StandinTraceEntry(i));
        return result;
    }
    bool Called(const std::string &prefix) const
    {
        for (const std::string &call : calls_)
            if (call.compare(0, prefix.size(), prefix) == 0)
                return true;
        return false;
    }
    /* The command line CreateProcessA was given, from its trace entry. */
    std::string CommandLine() const
    {
        for (const std::string &call : calls_)
            if (call.compare(0, 22, "CreateProcessA(\"(null)") == 0)
                return call.substr(26, call.size() - 28);
        return "(not started)";
    }
    std::vector<std::string> TempFiles() const
    {
        std::string listing = Listing(temp_);
        std::vector<std::string> names;
        std::istringstream lines(listing);
        for (std::string name; std::getline(lines, name);)
            names.push_back(name);
        return names;
    }
    static std::string Listing(const std::string &folder)
    {
        std::string command = "ls -A '" + folder + "' 2>/dev/null";
        std::string out;
        FILE *pipe = popen(command.c_str(), "r");
        char line[512];
        while (pipe && fgets(line, sizeof line, pipe))
            out += line;
        if (pipe)
            pclose(pipe);
        return out;
    }
    /* What the recorder saw, once it has finished; empty if it never ran. */
    std::string WaitForRecorder(std::string *jobFile)
    {
        started_ = false;
        for (int i = 0; i < 1000; i++) {
            if (access((app_ + "/seen.args").c_str(), F_OK) == 0) {
                *jobFile = ReadHost(app_ + "/seen.jbx");
                return ReadHost(app_ + "/seen.args");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "";
    }

    std::string root_, app_, temp_;
    PrintJob32 job_;
    PrintProgram32 program_;
    std::vector<std::string> calls_;
    bool started_ = false;
};

/* The 528 bytes a job file must hold for job_ and program_. */
std::string ExpectedJobFile(const PrintJob32 &job, const PrintProgram32 &program)
{
    std::string bytes(528, '\0');
    uint32_t one = 1;
    memcpy(&bytes[0], &one, 4);
    memcpy(&bytes[4], &job.Flags, 4);
    memcpy(&bytes[8], job.MetafilePath, strlen(job.MetafilePath));
    std::string second = std::string(program.ProgramDir) + program.AuxFile;
    memcpy(&bytes[268], second.data(), second.size());
    return bytes;
}

TEST_F(HandOff, StartsTheProgramWithTheJobNumberAndLeavesTheJobFile)
{
    struct Row {
        INT number;
        DWORD flags;
        const char *file, *argument;
    } rows[] = {
        {42, 0x80000001u, "QOR00042.JBX", "42"},
        {0, 0x2, "QOR00000.JBX", "0"},
        {1234567, 0, "QOR1234567.JBX", "1234567"},
        {-42, 0xFFFFFFFFu, "QOR-0042.JBX", "-42"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.file);
        SetUp();
        job_.JobNumber = r.number;
        job_.Flags = r.flags;
        ASSERT_EQ(Run(), 0);
        EXPECT_EQ(CommandLine(), std::string("\"C:\\APP\\rec.sh\" ") + r.argument);
        std::string jobFile;
        EXPECT_EQ(WaitForRecorder(&jobFile), std::string("1\n") + r.argument + "\n")
            << "one argument, the job number without zeros";
        EXPECT_EQ(jobFile, ExpectedJobFile(job_, program_)) << "the program found the whole record";
        EXPECT_EQ(TempFiles(), std::vector<std::string>{r.file}) << "the job file stays for the program";
        EXPECT_EQ(ReadHost(temp_ + "/" + r.file), ExpectedJobFile(job_, program_));
    }
}

TEST_F(HandOff, JobFileFieldsByteByByte)
{
    strcpy(program_.ProgramDir, "");
    job_.MetafilePath[0] = '\0';
    memset(program_.RequiredName1, 'R', sizeof program_.RequiredName1); /* never read past byte 0 */
    EXPECT_EQ(Run(), -1) << "the program is not found without its folder";
    ASSERT_TRUE(Called("CreateFileA(\"C:\\TEMP\\QOR00042.JBX\", 0x40000000, 0x0, 2, 0x80)"));
    EXPECT_EQ(CommandLine(), "\"rec.sh\" 42") << "an empty folder quotes the file alone";
    EXPECT_TRUE(TempFiles().empty()) << "removed once the start failed";

    /* The record as written, read back through a program that keeps the file. */
    strcpy(program_.ProgramDir, "C:\\APP\\");
    ASSERT_EQ(Run(), 0);
    std::string bytes = ReadHost(temp_ + "/QOR00042.JBX");
    ASSERT_EQ(bytes.size(), 528u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x01\0\0\0\x01\0\0\x80", 8));
    EXPECT_EQ(bytes.substr(8, 260), std::string(260, '\0')) << "an empty metafile path is all zero";
    EXPECT_EQ(bytes.substr(268, 16), std::string("C:\\APP\\AUX.INI\0\0", 16));
    EXPECT_EQ(bytes.substr(268 + 14), std::string(528 - 268 - 14, '\0'));
    EXPECT_EQ(bytes.find("NAME2"), std::string::npos);
    EXPECT_EQ(bytes.find('R'), std::string::npos);
}

/* With an empty ProgramDir the program is found in the current folder, and the job file's second
 * path is the auxiliary file alone; the print program's parser reads the file back whole. */
TEST_F(HandOff, JobFileOfAnEmptyProgramDirReadsBack)
{
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(app_.c_str()), 0);
    strcpy(program_.ProgramDir, "");
    int result = Run();
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(CommandLine(), "\"rec.sh\" 42");
    std::string bytes = ReadHost(temp_ + "/QOR00042.JBX");
    JobFile read;
    char error[128] = "";
    ASSERT_EQ(JobParse((const uint8_t *)bytes.data(), bytes.size(), &read, error, sizeof error), 0) << error;
    EXPECT_EQ(read.flags, 0x80000001u);
    EXPECT_STREQ(read.metafilePath, "C:\\WINDOWS\\temp\\EMF1A.TMP");
    EXPECT_STREQ(read.auxPath, "AUX.INI");
}

TEST_F(HandOff, EachFailedCheckCreatesNothing)
{
    struct Row {
        const char *what;
        void (*spoil)(PrintJob32 *, PrintProgram32 *);
    } rows[] = {
        {"job number 0 without the flag", [](PrintJob32 *j, PrintProgram32 *) { j->JobNumber = 0, j->Flags = ~2u; }},
        {"size 395", [](PrintJob32 *, PrintProgram32 *p) { p->Size = 395; }},
        {"size 397", [](PrintJob32 *, PrintProgram32 *p) { p->Size = 397; }},
        {"no aux file", [](PrintJob32 *, PrintProgram32 *p) { p->AuxFile[0] = 0; }},
        {"no first name", [](PrintJob32 *, PrintProgram32 *p) { p->RequiredName1[0] = 0; }},
        {"no second name", [](PrintJob32 *, PrintProgram32 *p) { p->RequiredName2[0] = 0; }},
        {"no program file", [](PrintJob32 *, PrintProgram32 *p) { p->ProgramFile[0] = 0; }},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        SetUp();
        r.spoil(&job_, &program_);
        EXPECT_EQ(Run(), -1);
        EXPECT_TRUE(calls_.empty()) << calls_.front();
    }
    EXPECT_EQ(ZVLPrintEMF32(NULL, &program_), -1);
    EXPECT_EQ(ZVLPrintEMF32(&job_, NULL), -1);
    EXPECT_TRUE(TempFiles().empty());
}

/* Every string must fit its 260-byte buffer: at the limit the job goes ahead (and fails only at
 * the start, the long program not existing), one byte past it nothing is created. */
TEST_F(HandOff, LengthLimitsAtTheirEdges)
{
    struct Row {
        const char *what;
        void (*size)(PrintJob32 *, PrintProgram32 *, int extra);
        size_t commandLine; /* its length at the limit, when the row is about it */
    } rows[] = {
        {"metafile path of 259",
         [](PrintJob32 *j, PrintProgram32 *, int extra) { memset(j->MetafilePath, 'm', 259 + extra); }, 0},
        {"folder and aux file of 259",
         [](PrintJob32 *, PrintProgram32 *p, int extra) {
             strcpy(p->ProgramFile, "p"); /* keeps the command line within its limit */
             memset(p->ProgramDir, 'd', 252 + extra); /* and "AUX.INI" */
             p->ProgramDir[252 + extra - 1] = '\\';
         },
         0},
        {"command line of 259",
         [](PrintJob32 *, PrintProgram32 *p, int extra) {
             strcpy(p->ProgramFile, "p");
             strcpy(p->AuxFile, "A");
             memset(p->ProgramDir, 'd', 253 + extra); /* quotes, "p", " 42" */
         },
         259},
        {"aux file of 32 without terminator",
         [](PrintJob32 *, PrintProgram32 *p, int extra) { memset(p->AuxFile, 'a', 31 + extra); }, 0},
        {"program file of 32 without terminator",
         [](PrintJob32 *, PrintProgram32 *p, int extra) { memset(p->ProgramFile, 'p', 31 + extra); }, 0},
    };
    for (const auto &r : rows) {
        for (int extra = 0; extra <= 1; extra++) {
            SCOPED_TRACE(testing::Message() << r.what << (extra ? " plus one" : ""));
            SetUp();
            strcpy(program_.ProgramDir, "");
            r.size(&job_, &program_, extra);
            EXPECT_EQ(Run(), -1);
            EXPECT_EQ(Called("CreateFileA"), extra == 0);
            EXPECT_EQ(Called("CreateProcessA"), extra == 0);
            if (extra == 0 && r.commandLine != 0) {
                EXPECT_EQ(CommandLine().size(), r.commandLine);
            }
            EXPECT_TRUE(TempFiles().empty());
        }
    }
}

/* The temporary folder and the job file name together: 247 characters and "QOR00042.JBX" fit;
 * one more does not; a folder longer than the buffer is refused too. */
TEST_F(HandOff, TemporaryFolderLimit)
{
    for (int length : {247, 248, 300}) {
        SCOPED_TRACE(length);
        /* Two components: a host file name has at most 255 bytes. */
        std::string first(120, 't'), second(length - 125, 'u');
        std::string host = root_ + "/" + first + "/" + second;
        ASSERT_EQ(system(("mkdir -p '" + host + "'").c_str()), 0);
        setenv(STANDIN_TEMP_ENV, ("C:\\" + first + "\\" + second + "\\").c_str(), 1);
        EXPECT_EQ(Run(), length == 247 ? 0 : -1);
        EXPECT_EQ(Called("CreateFileA"), length == 247);
        EXPECT_EQ(access((host + "/QOR00042.JBX").c_str(), F_OK) == 0, length == 247);
    }
}

TEST_F(HandOff, FailuresAfterCreationRemoveTheJobFile)
{
    struct Row {
        const char *fails;
        bool created;
    } rows[] = {
        {"GetTempPathA", false},
        {"CreateFileA", false},
        {"WriteFile", true},
        {"CreateProcessA", true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.fails);
        SetUp();
        StandinFailCall(r.fails, 1);
        EXPECT_EQ(Run(), -1);
        EXPECT_EQ(Called("DeleteFileA(\"C:\\TEMP\\QOR00042.JBX\")"), r.created);
        EXPECT_FALSE(Called("CreateProcessA") && strcmp(r.fails, "CreateProcessA") != 0);
        EXPECT_TRUE(TempFiles().empty());
    }

    /* A missing program, and one that is no program at all. */
    for (const char *file : {"missing.sh", "AUX.INI"}) {
        SCOPED_TRACE(file);
        SetUp();
        std::ofstream(app_ + "/AUX.INI") << "[not a program]\n";
        strcpy(program_.ProgramFile, file);
        EXPECT_EQ(Run(), -1);
        EXPECT_TRUE(Called("CreateProcessA"));
        EXPECT_TRUE(TempFiles().empty());
    }
}

/* A job file that cannot be written whole (the file size limit standing in for a full disk) is
 * removed, and the program is not started. */
TEST_F(HandOff, ShortWriteRemovesTheJobFile)
{
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = Run();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(Called("WriteFile"));
    EXPECT_FALSE(Called("CreateProcessA"));
    EXPECT_TRUE(TempFiles().empty());
}

/* While one holder has the job file open, a second hand-off of the same number fails without
 * touching it; afterwards the number can be handed over again. */
TEST_F(HandOff, SecondHandOffWhileTheFileIsHeld)
{
    HANDLE held = CreateFileA("C:\\TEMP\\QOR00042.JBX", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD written;
    ASSERT_TRUE(WriteFile(held, "held", 4, &written, NULL));
    EXPECT_EQ(Run(), -1);
    EXPECT_FALSE(Called("CreateProcessA"));
    EXPECT_FALSE(Called("DeleteFileA"));
    CloseHandle(held);
    EXPECT_EQ(ReadHost(temp_ + "/QOR00042.JBX"), "held");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ReadHost(temp_ + "/QOR00042.JBX"), ExpectedJobFile(job_, program_));
}

} /* namespace */
