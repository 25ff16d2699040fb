/* The printers through a real CUPS server (cups_server.h): its queues as the stand-in's printers,
 * the page a job records for a queue, and tavlinqx-print sending jobs to them.
 *
 * Each test has a server of its own with two raw queues: "letter" (na_letter_8.5x11in at 300 dpi,
 * CUPS's default destination) and "a4" (iso_a4_210x297mm, no resolution named). The print
 * program is installed in C:\TAVLINQX\ of the test program's drive C:, beside its aux file
 * TAVLINQX.INI, as a host installs it. */
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cups_server.h"
#include "devmode.h"
#include "fresh_drive_environment.h"
#include "print_program.h"
#include "standin.h"
#include "tavlinqx.h"
#include "test_util.h"
#include "winapi.h"

namespace {

::testing::Environment *const g_drive =
    ::testing::AddGlobalTestEnvironment(new FreshDrive("/tmp/tavlinqx-cups-XXXXXX"));

const char kLetter[] = "letter", kA4[] = "a4";

struct Caps {
    int horzRes, vertRes, horzSizeMm, vertSizeMm, dpi;
};

void ExpectCaps(HDC dc, const Caps &expected)
{
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), expected.horzRes);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), expected.vertRes);
    EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), expected.horzSizeMm);
    EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), expected.vertSizeMm);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), expected.dpi);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), expected.dpi);
    EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
}

std::string PrinterList()
{
    char names[256];
    memset(names, 'x', sizeof names);
    int count = StandinPrinterList(names, sizeof names);
    std::string list;
    for (const char *name = names; count > 0 && *name; name += strlen(name) + 1)
        list += std::string(name) + ";";
    return list;
}

std::string HostPath(const std::string &dosPath)
{
    char posix[4096];
    return StandinMapPath(dosPath.c_str(), posix, sizeof posix) == 0 ? std::string(posix) : std::string();
}

bool Exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

int32_t I32(const std::string &bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--)
        v = v << 8 | (uint8_t)bytes[at + i];
    return (int32_t)v;
}

/* The file once it exists whole (the capture backend renames it into place), or "" after a minute. */
std::string WaitForFile(const std::string &path)
{
    for (int i = 0; i < 600 && !Exists(path); i++)
        usleep(100000);
    return ReadText(path);
}

/* The lines of output the print program wrote as messages ("tavlinqx-print: ..."). */
std::vector<std::string> Messages(const std::string &output)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while ((at = output.find("tavlinqx-print:", at)) != std::string::npos) {
        size_t end = output.find('\n', at);
        lines.push_back(output.substr(at, end - at));
        at = end;
    }
    return lines;
}

/* A job's attribute as the server keeps it, or "" when it has no such job or attribute. */
std::string JobAttribute(int jobId, const char *name)
{
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", NULL, "localhost", ippPort(), "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", NULL, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", NULL, cupsUser());
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    const char *value = ippGetString(ippFindAttribute(response, name, IPP_TAG_ZERO), 0, NULL);
    std::string text = value ? value : "";
    ippDelete(response);
    return text;
}

class CupsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv(STANDIN_CUPS_ENV);
        unsetenv("LPDEST"); /* they would name the default destination */
        unsetenv("PRINTER");
        std::string error;
        ASSERT_TRUE(server_.Start(TAVLINQX_CUPS_SERVERS, &error)) << error;
        UseServer(server_.Address());
        ASSERT_TRUE(server_.AddQueue(kLetter, {"-E", "-o", "media-default=na_letter_8.5x11in", "-o",
                                               "printer-resolution-default=300dpi"}, &error)) << error;
        ASSERT_TRUE(server_.AddQueue(kA4, {"-E", "-o", "media-default=iso_a4_210x297mm"}, &error)) << error;
        ASSERT_TRUE(server_.Lpadmin({"-d", kLetter}, &error)) << error;
        InstallPrintProgram();
    }

    /* For this process (libcups keeps the server a thread first used) and the programs it starts. */
    static void UseServer(const std::string &address)
    {
        setenv("CUPS_SERVER", address.c_str(), 1);
        cupsSetServer(address.c_str());
    }

    /* C:\TAVLINQX\ holds this build's print program, a program that leaves the job file alone
     * (for tests that run the print program themselves), and the aux file. */
    void InstallPrintProgram()
    {
        folder_ = std::string(StandinRootFolder()) + "/TAVLINQX";
        mkdir(folder_.c_str(), 0755);
        unlink((folder_ + "/tavlinqx-print").c_str());
        unlink((folder_ + "/hold").c_str());
        ASSERT_EQ(symlink(TAVLINQX_PRINT_PATH, (folder_ + "/tavlinqx-print").c_str()), 0);
        ASSERT_EQ(symlink("/bin/true", (folder_ + "/hold").c_str()), 0);
    }

    void WriteAux(const std::string &text) { std::ofstream(folder_ + "/TAVLINQX.INI") << text; }

    /* Records a one-rectangle job for the printer into a new spool metafile; its DOS path. */
    static std::string RecordJob(const char *printer, const DEVMODEA *devmode = NULL)
    {
        CHAR path[MAX_PATH] = "";
        EXPECT_EQ(GetEmfFilePath32(path), 0);
        HDC dc = NULL;
        EXPECT_EQ(GetEmfFileDC32(devmode, printer, path, NULL, NULL, NULL, &dc), 0) << printer;
        static const POINTS box[] = {{100, 100}, {1200, 800}};
        WORD style = OS_RECTANGLE, second = 0, count = 2;
        LOGPEN pen = {PS_SOLID, {10, 0}, RGB(0, 0, 200)};
        LOGBRUSH brush = {BS_SOLID, RGB(250, 200, 0), 0};
        DWORD penBits = 0;
        const DrawMode32 mode = {R2_COPYPEN, OPAQUE, RGB(255, 255, 255), RGB(0, 0, 0), 1};
        Output32(&dc, &style, &second, &count, box, &pen, &penBits, &brush, &mode, NULL, NULL, NULL, NULL,
                 NULL, NULL);
        EXPECT_EQ(CloseEmfFile32(&dc), 0);
        return path;
    }

    /* Hands the job over to program (in C:\TAVLINQX\) as job number. */
    static void HandOff(int number, const std::string &spool, const char *program)
    {
        PrintJob32 job;
        memset(&job, 0, sizeof job);
        job.JobNumber = number;
        strcpy(job.MetafilePath, spool.c_str());
        PrintProgram32 p = TestPrintProgram("C:\\TAVLINQX\\", program);
        strcpy(p.AuxFile, "TAVLINQX.INI");
        ASSERT_EQ(ZVLPrintEMF32(&job, &p), 0);
    }

    /* The PDF the print program writes beside the spool metafile for job number. */
    static std::string PdfBeside(const std::string &spool, int number)
    {
        std::string host = HostPath(spool);
        char name[32];
        snprintf(name, sizeof name, "/job%05d.pdf", number);
        return host.substr(0, host.rfind('/')) + name;
    }

    static std::string JobFile(int number)
    {
        char name[32];
        snprintf(name, sizeof name, "C:\\TEMP\\QOR%05d.JBX", number);
        return HostPath(name);
    }

    CupsServer server_;
    std::string folder_;
};

TEST_F(CupsTest, QueuesAreTheInstalledPrintersWithTheirPaperAndResolution)
{
    EXPECT_EQ(PrinterList(), "letter;a4;") << "CUPS's default destination first";
    struct Row {
        const char *device;
        Caps caps;
    } rows[] = {
        {"letter", {2550, 3300, 216, 279, 300}},
        {"LETTER", {2550, 3300, 216, 279, 300}},
        {"a4", {4961, 7016, 210, 297, 600}}, /* a queue that names no resolution: 600 dpi */
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.device);
        HDC dc = CreateDCA("WINSPL16", row.device, NULL, NULL);
        ExpectCaps(dc, row.caps);
        DeleteDC(dc);
    }
    SetLastError(0);
    EXPECT_EQ(CreateDCA("WINSPL16", "TAVLINQX Laser", NULL, NULL), nullptr)
        << "the built-in printers are not installed beside the queues";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST_F(CupsTest, DevmodeChoosesOrientationAndAnyPaperTheQueueSupports)
{
    /* A queue with a driver lists the media it supports, and gives its default as media-col-default. */
    std::string error;
    ASSERT_TRUE(server_.AddQueue("postscript", {"-m", "drv:///sample.drv/generic.ppd"}, &error)) << error;
    struct Row {
        const char *name, *device;
        DEVMODEA dm;
        Caps caps;
    } rows[] = {
        {"landscape", "a4", TestDevmode(DM_ORIENTATION, DMORIENT_LANDSCAPE, 0), {7016, 4961, 297, 210, 600}},
        {"a raw queue takes any paper", "a4", TestDevmode(DM_PAPERSIZE, 0, DMPAPER_LEGAL), {5100, 8400, 216, 356, 600}},
        {"JIS B5 landscape at 300 dpi", "letter", TestDevmode(DM_PAPERSIZE | DM_ORIENTATION, DMORIENT_LANDSCAPE, DMPAPER_B5),
         {3035, 2150, 257, 182, 300}},
        {"a paper code not known keeps the default", "a4", TestDevmode(DM_PAPERSIZE, 0, 999), {4961, 7016, 210, 297, 600}},
        {"fields not set are ignored", "a4", TestDevmode(0, DMORIENT_LANDSCAPE, DMPAPER_A5), {4961, 7016, 210, 297, 600}},
        {"the driver's default", "postscript", TestDevmode(0, 0, 0), {2550, 3300, 216, 279, 300}},
        {"a paper the driver supports", "postscript", TestDevmode(DM_PAPERSIZE, 0, DMPAPER_A4), {2480, 3508, 210, 297, 300}},
        {"a paper it does not: its default", "postscript", TestDevmode(DM_PAPERSIZE, 0, DMPAPER_A6),
         {2550, 3300, 216, 279, 300}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        HDC dc = CreateDCA("WINSPL16", row.device, NULL, &row.dm);
        ExpectCaps(dc, row.caps);
        DeleteDC(dc);
    }
}

TEST_F(CupsTest, WithoutCupsTheBuiltInPrintersRemain)
{
    const Caps builtInLetter = {5100, 6600, 216, 279, 600};
    auto expectBuiltIns = [&](const char *why) {
        SCOPED_TRACE(why);
        EXPECT_EQ(PrinterList(), "TAVLINQX Laser;TAVLINQX Letter;");
        HDC dc = CreateDCA("WINSPL16", "TAVLINQX Letter", NULL, NULL);
        ExpectCaps(dc, builtInLetter);
        DeleteDC(dc);
    };
    setenv(STANDIN_CUPS_ENV, "off", 1);
    expectBuiltIns("TAVLINQX_CUPS=off");
    EXPECT_EQ(CreateDCA("WINSPL16", kLetter, NULL, NULL), nullptr);
    unsetenv(STANDIN_CUPS_ENV);

    /* A server that takes the connection and never answers costs each lookup its timeout. */
    int silent = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ASSERT_EQ(bind(silent, (struct sockaddr *)&at, sizeof at), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    ASSERT_EQ(getsockname(silent, (struct sockaddr *)&at, &size), 0);
    UseServer("127.0.0.1:" + std::to_string(ntohs(at.sin_port)));
    expectBuiltIns("a server that does not answer");
    close(silent);

    UseServer(server_.Address());
    server_.Stop();
    expectBuiltIns("cupsd stopped");
    EXPECT_EQ(CreateDCA("WINSPL16", kLetter, NULL, NULL), nullptr);
}

TEST_F(CupsTest, AJobRecordsItsQueuesPageInTheMetafileHeader)
{
    struct Row {
        const char *queue;
        int widthPx, heightPx, widthMm, heightMm;
    } rows[] = {{kLetter, 2550, 3300, 216, 279}, {kA4, 4961, 7016, 210, 297}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.queue);
        std::string spool = HostPath(RecordJob(row.queue));
        std::string header = ReadText(spool);
        ASSERT_GE(header.size(), 108u);
        EXPECT_EQ(I32(header, 72), row.widthPx) << "szlDevice";
        EXPECT_EQ(I32(header, 76), row.heightPx);
        EXPECT_EQ(I32(header, 80), row.widthMm) << "szlMillimeters";
        EXPECT_EQ(I32(header, 84), row.heightMm);
        EXPECT_EQ(I32(header, 100), row.widthMm * 1000) << "szlMicrometers";
        EXPECT_EQ(I32(header, 104), row.heightMm * 1000);
        remove(spool.c_str());
    }
}

TEST_F(CupsTest, TheHandOffPrintsOnTheQueueTheAuxFileNames)
{
    WriteAux("# the print program's settings\nprinter = letter\noutputs=pdf\n");
    std::string spool = RecordJob(kLetter);
    HandOff(7, spool, "tavlinqx-print");
    std::string captured = WaitForFile(server_.Capture(kLetter));
    ASSERT_FALSE(captured.empty()) << "nothing reached the queue";
    EXPECT_EQ(captured.compare(0, 5, "%PDF-"), 0);
    EXPECT_EQ(captured, ReadText(PdfBeside(spool, 7))) << "the queue received the PDF beside the spool file";
    std::string png = PdfBeside(spool, 7);
    png.replace(png.size() - 3, 3, "png");
    EXPECT_FALSE(Exists(png)) << "outputs=pdf writes no PNG";
    EXPECT_FALSE(Exists(server_.Capture(kA4)));
}

TEST_F(CupsTest, ThePrintProgramSendsOneNamedPdfJobAndReportsItsId)
{
    WriteAux("printer=letter\n");
    std::string spool = RecordJob(kA4);
    HandOff(8, spool, "hold");
    /* --printer wins over the aux file; --server over $CUPS_SERVER. */
    RunResult r = RunTool("env CUPS_SERVER=127.0.0.1:" + std::to_string(CupsFreePort()) + " " +
                          TAVLINQX_PRINT_PATH + " 8 --printer a4 --server " + server_.Address());
    ASSERT_EQ(r.status, 0) << r.output;
    size_t at = r.output.find("sent: a4, CUPS job ");
    ASSERT_NE(at, std::string::npos) << r.output;
    int jobId = atoi(r.output.c_str() + at + strlen("sent: a4, CUPS job "));
    EXPECT_GT(jobId, 0);
    EXPECT_EQ(WaitForFile(server_.Capture(kA4)), ReadText(PdfBeside(spool, 8)));
    EXPECT_FALSE(Exists(server_.Capture(kLetter)));
    EXPECT_EQ(JobAttribute(jobId, "job-name"), "TAVLINQX job 8");
    EXPECT_EQ(JobAttribute(jobId, "document-format-supplied"), "application/pdf");
    EXPECT_TRUE(Exists(JobFile(8))) << "without --remove the job file stays";
}

TEST_F(CupsTest, AJobThatIsNotSentIsReportedInOneLineAndKept)
{
    std::string error;
    ASSERT_TRUE(server_.AddQueue("closed", {}, &error)) << error; /* without -E it refuses jobs */
    struct Row {
        const char *name, *queue, *reason;
        bool stopServer;
    } rows[] = {
        {"unknown queue", "nosuch", "has no queue nosuch", false},
        {"a queue that refuses jobs", "closed", "the queue closed on " /* ... */, false},
        {"no server", kLetter, "no CUPS server answers at 127.0.0.1:", true},
    };
    int number = 20;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        WriteAux(std::string("printer=") + row.queue + "\nremove=yes\n");
        std::string spool = RecordJob(kLetter);
        HandOff(++number, spool, "hold");
        if (row.stopServer)
            server_.Stop();
        RunResult r = RunTool(std::string(TAVLINQX_PRINT_PATH) + " " + std::to_string(number));
        EXPECT_EQ(r.status, 1) << r.output;
        std::vector<std::string> messages = Messages(r.output);
        ASSERT_EQ(messages.size(), 1u) << r.output;
        EXPECT_NE(messages[0].find(row.reason), std::string::npos) << messages[0];
        EXPECT_TRUE(Exists(JobFile(number))) << "the job file is kept";
        EXPECT_TRUE(Exists(HostPath(spool))) << "the spool metafile is kept";
        EXPECT_TRUE(Exists(PdfBeside(spool, number)));
    }
}

TEST_F(CupsTest, TheDemoDrawsForTheQueueAndSendsThePageOnlyWhenAsked)
{
    RunResult drawn = RunTool(std::string(TAVLINQX_DEMO_PATH) + " letter");
    ASSERT_EQ(drawn.status, 0) << drawn.output;
    size_t at = drawn.output.find("  on disk:");
    ASSERT_NE(at, std::string::npos) << drawn.output;
    std::string spool = drawn.output.substr(at + 10, drawn.output.find('\n', at) - at - 10);
    spool.erase(0, spool.find_first_not_of(' '));
    std::string header = ReadText(spool);
    ASSERT_GE(header.size(), 88u);
    EXPECT_EQ(I32(header, 72), 2550) << "the page of the Letter queue at 300 dpi";
    EXPECT_EQ(I32(header, 76), 3300);
    EXPECT_EQ(drawn.output.find("sent:"), std::string::npos) << drawn.output;
    EXPECT_FALSE(Exists(server_.Capture(kLetter))) << "nothing goes to paper unasked";

    RunResult sent = RunTool(std::string(TAVLINQX_DEMO_PATH) + " --print letter");
    ASSERT_EQ(sent.status, 0) << sent.output;
    EXPECT_NE(sent.output.find("sent: letter, CUPS job "), std::string::npos) << sent.output;
    at = sent.output.find("  pdf:");
    ASSERT_NE(at, std::string::npos) << sent.output;
    std::string pdf = sent.output.substr(at + 6, sent.output.find('\n', at) - at - 6);
    pdf.erase(0, pdf.find_first_not_of(' '));
    EXPECT_EQ(WaitForFile(server_.Capture(kLetter)), ReadText(pdf));
    EXPECT_FALSE(Exists(server_.Capture(kA4)));
}

} /* namespace */
