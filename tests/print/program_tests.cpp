/* The job file checks, the player on bad input, and tavlinqx-print as the hand-off and a user
 * run it, on a drive C: of this test program's own. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "fresh_drive_environment.h"
#include "job.h"
#include "print_test.h"

namespace {

std::string Root() { return StandinRootFolder(); }

bool Exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void WriteFile(const std::string &path, const Bytes &b)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!b.empty()) { /* an empty vector's data() may be null, which fwrite must not get */
        ASSERT_EQ(fwrite(b.data(), 1, b.size(), f), b.size());
    }
    fclose(f);
}

/* A job file as the hand-off writes it. */
Bytes JobBytes(const char *metafile, uint32_t flags = 0, const char *aux = "PRINT.AUX")
{
    Bytes b(JOB_FILE_SIZE, 0);
    Put32(b, 0, 1);
    Put32(b, 4, flags);
    memcpy(&b[JOB_METAFILE_AT], metafile, strlen(metafile));
    memcpy(&b[JOB_AUX_AT], aux, strlen(aux));
    return b;
}

RunResult Print(const std::string &args)
{
    return RunTool(std::string(TAVLINQX_PRINT_PATH) + " " + args);
}

/* A small page: a red rectangle on white. */
Bytes RedPage()
{
    return PageEmf({SolidBrush(1, Colorref(0xFF0000)), Select(1), Rect(10, 10, 49, 29)}, 2, 64, 40);
}

TEST(JobFile, ChecksEveryField)
{
    Bytes good = JobBytes("C:\\WINDOWS\\temp\\EMF1.TMP", 0x12345678);
    Bytes unterminated = good;
    memset(&unterminated[JOB_AUX_AT], 'A', JOB_PATH_SIZE);
    Bytes wrongFirst = good;
    Put32(wrongFirst, 0, 2);
    const struct { Bytes bytes; const char *error; } rows[] = {
        {Bytes(good.begin(), good.end() - 1), "has 527 bytes, not 528"},
        {[&] { Bytes b = good; b.push_back(0); return b; }(), "has more than 528 bytes"},
        {Bytes(), "has 0 bytes"},
        {wrongFirst, "starts with 2, not 1"},
        {unterminated, "without its terminating NUL"},
        {JobBytes(""), "names no spool metafile"},
    };
    for (const auto &row : rows) {
        JobFile job;
        char error[128] = "";
        EXPECT_EQ(JobParse(row.bytes.data(), row.bytes.size(), &job, error, sizeof error), -1);
        EXPECT_NE(strstr(error, row.error), nullptr) << error;
    }
    JobFile job;
    char error[128] = "";
    ASSERT_EQ(JobParse(good.data(), good.size(), &job, error, sizeof error), 0) << error;
    EXPECT_EQ(job.flags, 0x12345678u);
    EXPECT_STREQ(job.metafilePath, "C:\\WINDOWS\\temp\\EMF1.TMP");
    EXPECT_STREQ(job.auxPath, "PRINT.AUX");
}

TEST(JobFile, AuxFileSettingsAndTheirDefaults)
{
    const std::string longName(JOB_QUEUE_SIZE, 'q');
    struct Row {
        const char *name;
        std::string text; /* "-": no file */
        const char *printer;
        bool png, pdf, remove;
        int ignored;
        const char *warning;
    } rows[] = {
        {"no aux file", "-", "", true, true, false, 0, ""},
        {"an empty one", "", "", true, true, false, 0, ""},
        {"every key, with blanks, comments and CRLF",
         "# the print program's settings\r\n; also a comment\n\n  Printer =  office-2 \r\nOUTPUTS=pdf\nremove=yes",
         "office-2", false, true, true, 0, ""},
        {"both outputs, spaced", "outputs = png , pdf\nremove=off\n", "", true, true, false, 0, ""},
        {"an empty printer is none", "printer=\n", "", true, true, false, 0, ""},
        {"lines not understood are ignored, the first named",
         "colour=red\noutputs=gif\noutputs=\nremove=maybe\nprinter\nprinter=q\n", "q", true, true, false, 5, "line 1 is not"},
        {"a queue name too long", "printer=" + longName + "\nremove=1\n", "", true, true, true, 1, "line 1 is not"},
        {"a line too long", "outputs=png\nprinter=" + std::string(1200, 'a') + "\nremove=true\n", "", true, false, true, 1,
         "line 2 is too long"},
    };
    std::string path = Root() + "/settings.ini";
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        remove(path.c_str());
        if (row.text != "-")
            std::ofstream(path, std::ios::binary) << row.text;
        JobSettings settings;
        memset(&settings, 0x55, sizeof settings);
        char warning[160];
        EXPECT_EQ(JobReadSettings(path.c_str(), &settings, warning, sizeof warning), row.ignored);
        EXPECT_STREQ(settings.printer, row.printer);
        EXPECT_EQ(settings.png, row.png);
        EXPECT_EQ(settings.pdf, row.pdf);
        EXPECT_EQ(settings.remove, row.remove);
        EXPECT_EQ(std::string(warning).rfind(row.warning, 0), 0u) << warning;
    }
}

TEST(JobFile, NamedInTheTemporaryFolderOfDriveC)
{
    const struct { const char *arg; int32_t number; const char *name; } rows[] = {
        {"42", 42, "QOR00042.JBX"}, {"123456", 123456, "QOR123456.JBX"},
        {"0", 0, "QOR00000.JBX"},   {"-42", -42, "QOR-0042.JBX"},
    };
    for (const auto &row : rows) {
        int32_t number = 7;
        ASSERT_EQ(JobParseNumber(row.arg, &number), 0) << row.arg;
        EXPECT_EQ(number, row.number);
        char dos[JOB_PATH_SIZE], host[4096], error[128];
        ASSERT_EQ(JobFilePath(number, dos, sizeof dos, host, sizeof host, error, sizeof error), 0);
        EXPECT_EQ(std::string(dos), std::string("C:\\TEMP\\") + row.name);
        EXPECT_EQ(std::string(host), Root() + "/TEMP/" + row.name);
    }
    int32_t number;
    for (const char *bad : {"", "4x", "x4", "99999999999", "-", "+4", " 4"})
        EXPECT_EQ(JobParseNumber(bad, &number), -1) << bad;
}

TEST(PrintProgram, PrintsAJobAndRemovesItsFilesOnlyWhenTold)
{
    std::string spool = Root() + "/WINDOWS/temp/EMF42.TMP", job = Root() + "/TEMP/QOR00042.JBX";
    WriteFile(spool, RedPage());
    WriteFile(job, JobBytes("C:\\WINDOWS\\temp\\EMF42.TMP"));
    RunResult r = Print("42");
    ASSERT_EQ(r.status, 0) << r.output;
    std::string png = Root() + "/WINDOWS/temp/job00042.png";
    EXPECT_NE(r.output.find(png), std::string::npos) << r.output;
    EXPECT_TRUE(Exists(png));
    Bytes pdf = ReadAll(Root() + "/WINDOWS/temp/job00042.pdf");
    ASSERT_GT(pdf.size(), 4u);
    EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 4), "%PDF");
    /* The picture is the page: a red rectangle inside a black outline. */
    cairo_surface_t *s = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), 64);
    const uint32_t *px = (const uint32_t *)cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s) / 4;
    EXPECT_EQ(px[20 * stride + 20] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(px[10 * stride + 10] & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(px[35 * stride + 55] & 0xFFFFFF, 0xFFFFFFu);
    cairo_surface_destroy(s);
    EXPECT_TRUE(Exists(job) && Exists(spool)) << "kept without --remove";

    r = Print("42 --remove --out-dir " + Root());
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Exists(Root() + "/job00042.pdf"));
    EXPECT_FALSE(Exists(job));
    EXPECT_FALSE(Exists(spool));
}

/* --remove takes the job file and a spool metafile of the spool folder, however its path is spelt;
 * a job file naming any other file, or a link in the spool folder, has it printed and kept. */
TEST(PrintProgram, RemoveTakesOnlyAMetafileOfTheSpoolFolder)
{
    ASSERT_EQ(system(("mkdir -p '" + Root() + "/DATA' '" + Root() + "/OUT'").c_str()), 0);
    WriteFile(Root() + "/DATA/EMF55.TMP", RedPage());
    ASSERT_EQ(symlink((Root() + "/DATA/EMF55.TMP").c_str(), (Root() + "/WINDOWS/temp/LINK55.TMP").c_str()), 0);
    const struct {
        int number;
        std::string named, host; /* what the job file names, and where that lies */
        bool removed;
    } rows[] = {
        {50, "C:\\WINDOWS\\temp\\EMF50.TMP", Root() + "/WINDOWS/temp/EMF50.TMP", true},
        {51, "C:\\WINDOWS\\TEMP\\EMF51.TMP", Root() + "/WINDOWS/temp/EMF51.TMP", true},
        {52, "C:\\DATA\\EMF52.TMP", Root() + "/DATA/EMF52.TMP", false},
        {53, "C:\\WINDOWS\\temp\\..\\..\\DATA\\EMF53.TMP", Root() + "/DATA/EMF53.TMP", false},
        {54, Root() + "/DATA/EMF54.TMP", Root() + "/DATA/EMF54.TMP", false},
        {55, "C:\\WINDOWS\\temp\\LINK55.TMP", Root() + "/WINDOWS/temp/LINK55.TMP", false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.named);
        if (row.number != 55)
            WriteFile(row.host, RedPage());
        char name[32];
        snprintf(name, sizeof name, "/TEMP/QOR%05d.JBX", row.number);
        WriteFile(Root() + name, JobBytes(row.named.c_str()));
        RunResult r = Print(std::to_string(row.number) + " --remove --out-dir " + Root() + "/OUT");
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_TRUE(Exists(Root() + "/OUT/job000" + std::to_string(row.number) + ".pdf")) << "printed all the same";
        EXPECT_FALSE(Exists(Root() + name)) << "the job file goes";
        EXPECT_EQ(Exists(row.host), !row.removed) << r.output;
        EXPECT_NE(r.output.find(row.removed ? "removed" : "which is no file of the spool folder"), std::string::npos)
            << r.output;
    }
    EXPECT_TRUE(Exists(Root() + "/DATA/EMF55.TMP")) << "a link's target stays";
}

TEST(PrintProgram, RejectsBadJobsAndKeepsTheirFiles)
{
    std::string spool = Root() + "/WINDOWS/temp/EMF43.TMP";
    Bytes truncated = RedPage();
    truncated.resize(truncated.size() - 8);
    WriteFile(spool, truncated);
    const struct { int number; Bytes job; const char *message; } rows[] = {
        {43, JobBytes("C:\\WINDOWS\\temp\\EMF43.TMP"), "offset"},
        {44, Bytes(527, 1), "has 527 bytes, not 528"},
        {45, JobBytes("C:\\WINDOWS\\temp\\NOSUCH.TMP"), "No such file"},
    };
    for (const auto &row : rows) {
        char name[32];
        snprintf(name, sizeof name, "/TEMP/QOR%05d.JBX", row.number);
        WriteFile(Root() + name, row.job);
        RunResult r = Print(std::to_string(row.number) + " --remove");
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(row.message), std::string::npos) << r.output;
        EXPECT_TRUE(Exists(Root() + name));
    }
    EXPECT_TRUE(Exists(spool));
    RunResult r = Print("46");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("QOR00046.JBX"), std::string::npos) << r.output;
}

TEST(PrintProgram, MetafilesByHand)
{
    std::string a = WriteTemp(RedPage(), "a.emf"), b = WriteTemp(RedPage(), "b.emf");
    std::string unknown = WriteTemp(PageEmf({Record({57 /* SETARCDIRECTION */, 12, 2})}, 1, 8, 8),
                                    "unknown.emf");
    std::string out = WriteTemp(Bytes(), "x");
    Bytes red = RedPage();
    std::string shortFile = WriteTemp(Bytes(red.begin(), red.begin() + 100), "short.emf");
    RunResult r = Print(a + " " + b + " -o " + out + ".pdf");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("2 pages written"), std::string::npos) << r.output;
    Bytes pdf = ReadAll(out + ".pdf");
    std::string text(pdf.begin(), pdf.end());
    EXPECT_NE(text.find("/Count 2"), std::string::npos);
    /* Vectors on the device's pixels: a 64 x 40 page at 96 dpi is 48 x 30 points. */
    EXPECT_NE(text.find("/MediaBox [ 0 0 48 30 ]"), std::string::npos);
    EXPECT_EQ(text.find("/Subtype /Image"), std::string::npos);
    r = Print(a + " --raster -o " + out + ".pdf");
    ASSERT_EQ(r.status, 0) << r.output;
    pdf = ReadAll(out + ".pdf");
    text.assign(pdf.begin(), pdf.end());
    EXPECT_NE(text.find("/Subtype /Image"), std::string::npos);
    EXPECT_NE(text.find("/MediaBox [0 0 48.0000 30.0000]"), std::string::npos);

    const struct { std::string args; int status; const char *message; } rows[] = {
        {a + " -o " + out + ".png", 0, "1 page written"},
        {a + " " + b + " -o " + out + ".png", 2, "a PNG holds one page"},
        {a, 2, "-o OUT.png"},
        {a + " -o " + out + ".bmp", 2, "-o OUT.png"},
        {unknown + " -o " + out + ".png", 0, "SETARCDIRECTION: not played"},
        {shortFile + " -o " + out + ".png", 1, "offset 0"},
        {"--help", 0, "usage: tavlinqx-print JOB"},
        {"--frobnicate", 2, "unknown option"},
        {a + " --dpi 0 -o " + out + ".png", 2, "--dpi 0"},
    };
    for (const auto &row : rows) {
        RunResult r = Print(row.args);
        EXPECT_EQ(r.status, row.status) << row.args << "\n" << r.output;
        EXPECT_NE(r.output.find(row.message), std::string::npos) << row.args << "\n" << r.output;
    }
    /* Without a CUPS server the PDF is written, and the program says it went nowhere and fails. */
    r = RunTool("env CUPS_SERVER=127.0.0.1:1 " + std::string(TAVLINQX_PRINT_PATH) + " " + a + " --lp -o " +
                out + ".pdf");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("was not sent: no CUPS server answers at 127.0.0.1:1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("1 page written to " + out + ".pdf"), std::string::npos) << r.output;
}

/* Draws bytes that the reader accepts, on the raster page and as a vector PDF page, which must
 * warn alike (the one walk plays both); returns the warnings, or the raster page's error as one,
 * and the PDF's in *pdfError. */
std::vector<std::string> PlayWarnings(const Bytes &emf, std::string *error = nullptr,
                                      std::string *pdfError = nullptr)
{
    EmfFile file;
    char message[256] = "";
    std::vector<std::string> out, vector;
    if (EmfLoadMemory(emf.data(), emf.size(), &file, message, sizeof message) < 0) {
        ADD_FAILURE() << "reader: " << message;
        return out;
    }
    EmfWarnings w;
    EmfPdf *pdf = EmfPdfOpen("/dev/null");
    bool added = EmfPdfAddPage(pdf, &file, NULL, &w, NULL) == 0;
    for (uint32_t i = 0; added && i < w.count; i++)
        vector.push_back(w.text[i]);
    if (EmfPdfClose(pdf, message, sizeof message) < 0 && pdfError)
        *pdfError = message;
    cairo_surface_t *s = EmfRenderPage(&file, nullptr, &w, message, sizeof message);
    EmfFree(&file);
    if (s == nullptr) {
        if (error)
            *error = message;
        return out;
    }
    cairo_surface_destroy(s);
    for (uint32_t i = 0; i < w.count; i++)
        out.push_back(w.text[i]);
    EXPECT_EQ(vector, out) << "the PDF page warns otherwise than the raster page";
    return out;
}

bool HasWarning(const std::vector<std::string> &w, const char *text)
{
    for (const auto &s : w)
        if (s.find(text) != std::string::npos)
            return true;
    return false;
}

TEST(PlayerBadInput, RecordsThatCannotBeDrawnAreSkippedWithAWarning)
{
    const uint32_t huge = 0x7FFFFFFF, hugeNeg = 0x80000000;
    const struct { std::vector<Bytes> records; const char *warning; } rows[] = {
        {{Select(1)}, "never created"},
        {{SolidBrush(1, 0), Record({EMR_DELETEOBJECT, 12, 1}), Select(1)}, "never created"},
        {{Record({EMR_RESTOREDC, 12, (uint32_t)-1})}, "no saved state -1"},
        {{Record({EMR_FILLPATH, 24, 0, 0, 0, 0})}, "no closed path"},
        {{Record({57, 12, 2})}, "SETARCDIRECTION: not played"},
        {{SetValue(EMR_SETROP2, 17)}, "no R2_ code"},
        {{BitBltNoSource(0, 0, 4, 4, 0x00CC0020)}, "needs a source bitmap"},
        {{Brush(1, 2, 0, 9), Select(1)}, "hatch 9 drawn solid"},
        {{Record({EMR_BEGINPATH, 8})}, "path bracket left open"},
        {{Record({EMR_SETWINDOWEXTEX, 16, 0, 5})}, "an extent of 0"},
        {{Font(1, -2000000000, 900, "Liberation Sans"), Select(1), TextW(0, 8, u"A", {8})},
         "text with an em over 16384"},
    };
    for (const auto &row : rows) {
        std::vector<Bytes> recs = row.records;
        auto w = PlayWarnings(PageEmf(recs, 2, 16, 16));
        EXPECT_TRUE(HasWarning(w, row.warning)) << row.warning << " among " << w.size();
    }
    /* Far-away and enormous geometry ends quickly and draws only what falls on the page. */
    std::vector<Bytes> far = {
        MoveTo((int32_t)hugeNeg, 5), LineTo((int32_t)huge, 5),
        Rect((int32_t)hugeNeg, (int32_t)hugeNeg, (int32_t)huge, (int32_t)huge),
        ExtPen(1, 0x10000, 0x7FFFFFF, 0, {}), Select(1), MoveTo(0, 0), LineTo(10, 10),
        Record({EMR_ELLIPSE, 24, hugeNeg, hugeNeg, huge, huge}),
        StretchDib(-1000000000, -1000000000, 2000000000, 2000000000, Dib24(1, 1, {0xFF}), 0x00CC0020),
        ExtPen(2, 0x10000 | 2 /* PS_DOT */, 2, 0, {}), Select(2), MoveTo((int32_t)hugeNeg, 5),
        LineTo((int32_t)huge, 7),
        Font(3, -16000, 900, "Liberation Sans"), Select(3), TextW(20, 20, u"W", {16000}),
        /* Mapped four times larger: an opaque box whose sides lie beyond 32 bits */
        SetValue(EMR_SETMAPMODE, 8 /* MM_ANISOTROPIC */), Record({EMR_SETWINDOWEXTEX, 16, 1, 1}),
        Record({EMR_SETVIEWPORTEXTEX, 16, 4, 4}),
        TextW(0, 0, u"", {}, 2 /* ETO_OPAQUE */, {-1000000000, 0, -900000000, 10}),
    };
    auto w = PlayWarnings(PageEmf(far, 4, 32, 32));
    for (const auto &s : w)
        ADD_FAILURE() << "unexpected: " << s;
}

/* A header's device: szlDevice pixels on szlMillimeters (and szlMicrometers, when not 0). */
Bytes DeviceEmf(const std::vector<Bytes> &records, int32_t cx, int32_t cy, int32_t mmX, int32_t mmY,
                int32_t umX = 0, int32_t umY = 0)
{
    Bytes emf = PageEmf(records, 2, 8, 8);
    const int32_t fields[][2] = {{72, cx}, {76, cy}, {80, mmX}, {84, mmY}, {100, umX}, {104, umY}};
    for (const auto &f : fields)
        Put32(emf, f[0], (uint32_t)f[1]);
    return emf;
}

TEST(PlayerPage, TheDevicesSurfaceAtItsStandardResolution)
{
    const struct { Bytes emf; int width, height; double dpiX, dpiY; } rows[] = {
        {DeviceEmf({}, 4960, 7016, 210, 297), 4960, 7016, 600, 600},       /* A4: 599.92 dpi */
        {DeviceEmf({}, 5100, 6600, 216, 279), 5100, 6600, 600, 600},       /* Letter: 600.86 */
        {DeviceEmf({}, 1024, 768, 271, 203, 271000, 203000), 1024, 768, 96, 96},
        {DeviceEmf({}, 1000, 1000, 100, 50), 1000, 1000, 254, 508},        /* no standard near */
        {DeviceEmf({}, 4800, 9600, 203, 203), 4800, 9600, 600, 1200},
    };
    for (const auto &row : rows) {
        EmfFile file;
        char error[128];
        ASSERT_EQ(EmfLoadMemory(row.emf.data(), row.emf.size(), &file, error, sizeof error), 0);
        EmfPage page;
        ASSERT_EQ(EmfGetPage(&file, &page, error, sizeof error), 0) << error;
        EmfFree(&file);
        SCOPED_TRACE(row.width);
        EXPECT_EQ(page.width, row.width);
        EXPECT_EQ(page.height, row.height);
        EXPECT_NEAR(page.devicePerInchX, row.dpiX, 1e-9);
        EXPECT_NEAR(page.devicePerInchY, row.dpiY, 1e-9);
        EXPECT_NEAR(page.widthPt, row.width * 72 / row.dpiX, 1e-9);
        EXPECT_NEAR(page.heightPt, row.height * 72 / row.dpiY, 1e-9);
    }
}

TEST(PlayerPage, DrawingBeyondTheDeviceIsClippedAndOnlyNoPageIsRefused)
{
    /* Drawing out to the 16-bit limits makes a frame of 65535 x 301 device pixels: the page is
     * still the device's, with what lies beyond it cut off. */
    Bytes far = PageEmf({SolidBrush(1, Colorref(0x0000FF)), Select(1), Select(kNullPen),
                         Rect(-32768, 10, 32767, 310)}, 2, 40, 30);
    Put32(far, 24, (uint32_t)-867000), Put32(far, 32, 867000), Put32(far, 36, 8200);
    EmfFile file;
    char message[128];
    ASSERT_EQ(EmfLoadMemory(far.data(), far.size(), &file, message, sizeof message), 0);
    Page page;
    page.surface = EmfRenderPage(&file, nullptr, &page.warnings, message, sizeof message);
    EmfFree(&file);
    ASSERT_NE(page.surface, nullptr) << message;
    EXPECT_EQ(cairo_image_surface_get_width(page.surface), 40);
    EXPECT_EQ(cairo_image_surface_get_height(page.surface), 30);
    EXPECT_EQ(page.At(0, 9), 0xFFFFFFu);
    EXPECT_EQ(page.At(0, 10), 0x0000FFu);
    EXPECT_EQ(page.At(39, 29), 0x0000FFu);
    std::string path = WriteTemp(far, "far.emf"), out = WriteTemp(Bytes(), "far") + ".png";
    RunResult r = Print(path + " -o " + out);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_FALSE(ReadAll(out).empty());

    /* A device too large for a page picture still makes a PDF page: it needs no picture. */
    const struct { Bytes emf; const char *error, *pdfError; } rows[] = {
        {DeviceEmf({}, 0, 8, 2, 2), "no reference device", "no reference device"},
        {DeviceEmf({}, 8, 8, 0, 2), "no reference device", "no reference device"},
        {DeviceEmf({}, 40000, 40000, 1693, 1693), "more than the player draws", ""},
    };
    for (const auto &row : rows) {
        std::string error, pdfError;
        PlayWarnings(row.emf, &error, &pdfError);
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        if (row.pdfError[0])
            EXPECT_NE(pdfError.find(row.pdfError), std::string::npos) << pdfError;
        else
            EXPECT_EQ(pdfError, "");
    }
}

} /* namespace */

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new FreshDrive("/tmp/tavlinqx-print-XXXXXX"));
    return RUN_ALL_TESTS();
}
