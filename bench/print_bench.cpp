/* The print program's work on a job of many pages: 200 one-page spool metafiles, each a share of
 * the benchmark page's rows (shapes, clip changes, a path bracket) with a run of text and a
 * monochrome band, about 650 records a page,
 * read with the project's reader only, drawn to one vector PDF and to one PDF of pictures, and
 * drawn to 96-dpi PNGs; and the demo's A4 page at 600 dpi, twenty times, to a vector PDF beside a
 * PDF of its pictures. Pages are read and drawn one at a time, so memory holds one page whatever
 * the job's length. */
#include <benchmark/benchmark.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "emf_player.h"
#include "page.h"
#include "standin.h"

namespace {

const int kPages = 200;

/* Units of the benchmark page's rows on one page of the job; with the ring below, the text and
 * the band, a page holds about 650 records, the job about 130,000. */
const struct {
    const char *family;
    int units;
} kJobPage[] = {
    {"polygon", 8}, {"polyline", 2}, {"rectangle", 4}, {"ellipse", 2}, {"clip", 1},
};

enum { RING_LINES = 100 };

/* A path bracket of a filled ring, as the driver sends one: start, 100 scanlines of two
 * segments each, end, and the releases of what the start handed out (half the rows of the
 * benchmark page's bracket, so that a page has the size of the target's). */
void play_ring(HDC dc)
{
    LOGPEN pen = {PS_SOLID, {3, 0}, RGB(0, 0, 160)};
    DWORD penStyle = PS_ENDCAP_FLAT | PS_JOIN_MITER;
    LOGBRUSH brush = {BS_SOLID, RGB(0, 200, 0), 0};
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), RGB(0, 0, 0), 1};
    HGDIOBJ bracket[5], unused[5];
    WORD second = 0, none = 0, three = 3;
    WORD begin = OS_BEGINNSCAN, scan = OS_SCANLINES, end = OS_ENDNSCAN;
    Output32(&dc, &begin, &second, &none, NULL, &pen, &penStyle, &brush, &mode, &bracket[0],
             &bracket[1], &bracket[2], &bracket[3], &bracket[4], NULL);
    for (int row = 0; row < RING_LINES; row++) {
        double dy = row - RING_LINES / 2 + 0.5, outer = sqrt(50.0 * 50 - dy * dy);
        double inner = fabs(dy) < 25 ? sqrt(25.0 * 25 - dy * dy) : 0;
        POINTS line[3] = {{0, (SHORT)(470 + row)},
                          {(SHORT)(640 - outer), (SHORT)(640 - inner)},
                          {(SHORT)(640 + inner), (SHORT)(640 + outer)}};
        Output32(&dc, &scan, &second, &three, line, &pen, &penStyle, &brush, &mode, &unused[0],
                 &unused[1], &unused[2], &unused[3], &unused[4], NULL);
    }
    Output32(&dc, &end, &second, &none, NULL, &pen, &penStyle, &brush, &mode, &unused[0],
             &unused[1], &unused[2], &unused[3], &unused[4], NULL);
    DeleteObject32(&dc, &bracket[0], &bracket[1]);
    DeleteObject32(&dc, &bracket[2], &bracket[3]);
    DeleteObject32(&dc, &bracket[4], &unused[0]);
}

void play_job_page(HDC dc)
{
    for (const auto &row : kJobPage)
        for (int n = 0; n < row.units; n++)
            PageFindRow(row.family)->play(dc);
    play_ring(dc);
}

/* A run of text and a band of 1-bpp rows, as the driver sends them. */
void play_text_and_band(HDC dc, int page)
{
    LOGFONTA font = {};
    font.lfHeight = -16;
    strcpy(font.lfFaceName, "Arial");
    char text[64];
    DWORD length = (DWORD)snprintf(text, sizeof text, "Page %d of the print benchmark", page + 1);
    INT x = 60, y = 720;
    DWORD options = 0;
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), RGB(0, 0, 0), 1};
    TextOut32(&dc, &font, &x, &y, &options, NULL, text, &length, NULL, &mode);
    static BYTE rows[64 * 64]; /* 64 rows of 64 bytes: 512 pixels */
    for (size_t i = 0; i < sizeof rows; i++)
        rows[i] = (BYTE)(i * 37);
    BITMAP band = {0, 512, 64, 64, 1, 1, rows};
    INT dx = 100, dy = 600, w = 512, h = 64, sx = 0, first = 0, lines = 64;
    DWORD rop = SRCCOPY;
    Raster32(&dc, &dx, &dy, &w, &h, &band, &sx, &first, &w, &lines, &rop, NULL, &mode);
}

/* The job's metafiles, made once: their POSIX paths. */
const std::vector<std::string> &job_files()
{
    static std::vector<std::string> files;
    if (!files.empty())
        return files;
    PageUseTemporaryRoot();
    for (int i = 0; i < kPages; i++) {
        PageJob job;
        if (!PageOpenJob(&job))
            break;
        play_job_page(job.dc);
        play_text_and_band(job.dc, i);
        CloseEmfFile32(&job.dc);
        char posix[4096];
        if (StandinMapPath(job.path, posix, sizeof posix) == 0)
            files.push_back(posix);
    }
    return files;
}

long peak_rss_kb()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

/* Reads every file with the reader and counts its records. */
void BM_ReadOnly(benchmark::State &state)
{
    const auto &files = job_files();
    uint64_t records = 0;
    for (auto _ : state) {
        records = 0;
        for (const std::string &path : files) {
            EmfFile file;
            char error[256];
            if (EmfLoadFile(path.c_str(), &file, error, sizeof error) < 0) {
                state.SkipWithError(error);
                return;
            }
            records += file.count;
            EmfFree(&file);
        }
    }
    state.counters["pages"] = (double)files.size();
    state.counters["records"] = (double)records;
}

/* Reads and draws one page: NULL on failure, reported to state. */
cairo_surface_t *draw_page(benchmark::State &state, const std::string &path, double dpi,
                           EmfPage *size)
{
    EmfFile file;
    char error[256];
    if (EmfLoadFile(path.c_str(), &file, error, sizeof error) < 0) {
        state.SkipWithError(error);
        return NULL;
    }
    EmfRenderOptions options = {};
    options.dpi = dpi;
    cairo_surface_t *page = NULL;
    if (EmfGetPage(&file, size, error, sizeof error) == 0)
        page = EmfRenderPage(&file, &options, NULL, error, sizeof error);
    EmfFree(&file);
    if (page == NULL)
        state.SkipWithError(error);
    return page;
}

/* A file of the given name in $TMPDIR, else /tmp. */
std::string temporary_file(const char *name)
{
    const char *folder = getenv("TMPDIR");
    return std::string(folder ? folder : "/tmp") + "/" + name;
}

/* The counters of a benchmark that wrote pages into one PDF of kb kilobytes. */
void report_pdf(benchmark::State &state, size_t pages, double kb)
{
    state.counters["pages"] = (double)pages;
    state.counters["KB_per_page"] = kb / pages;
    state.counters["peak_rss_MB"] = peak_rss_kb() / 1024.0;
}

/* The size of the file at path, in kilobytes. */
double file_kb(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size / 1024.0 : 0;
}

/* Every page into one PDF of pictures at the given resolution (the argument, dots per inch; 0:
 * the recording device's, as tavlinqx-print --raster writes it). */
void BM_RenderPdf(benchmark::State &state)
{
    const auto &files = job_files();
    std::string out = temporary_file("print_bench.pdf");
    double kb = 0;
    for (auto _ : state) {
        EmfPicturePdf *pdf = EmfPicturePdfOpen(out.c_str());
        for (const std::string &path : files) {
            EmfPage size;
            cairo_surface_t *page = draw_page(state, path, (double)state.range(0), &size);
            if (page == NULL) {
                char error[256];
                EmfPicturePdfClose(pdf, error, sizeof error);
                return;
            }
            EmfPicturePdfAddPage(pdf, page, &size);
            cairo_surface_destroy(page);
        }
        char error[256];
        if (EmfPicturePdfClose(pdf, error, sizeof error) < 0)
            state.SkipWithError(error);
        kb = file_kb(out);
    }
    remove(out.c_str());
    report_pdf(state, files.size(), kb);
}

/* Every page into one vector PDF. */
void BM_RenderVectorPdf(benchmark::State &state)
{
    const auto &files = job_files();
    std::string out = temporary_file("print_bench.pdf");
    double kb = 0;
    for (auto _ : state) {
        EmfPdf *pdf = EmfPdfOpen(out.c_str());
        for (const std::string &path : files) {
            EmfFile file;
            char error[256];
            if (EmfLoadFile(path.c_str(), &file, error, sizeof error) < 0) {
                state.SkipWithError(error);
                break;
            }
            EmfPdfAddPage(pdf, &file, NULL, NULL, NULL);
            EmfFree(&file);
        }
        char error[256];
        if (EmfPdfClose(pdf, error, sizeof error) < 0)
            state.SkipWithError(error);
        kb = file_kb(out);
    }
    remove(out.c_str());
    report_pdf(state, files.size(), kb);
}

/* The demo's spool metafile, recorded once by the demo program on a drive of its own. */
const std::string &demo_file()
{
    static std::string path;
    if (!path.empty())
        return path;
    char root[] = "/tmp/print-bench-demo-XXXXXX";
    if (mkdtemp(root) == NULL)
        return path;
    std::string command = std::string("TAVLINQX_ROOT=") + root + " TAVLINQX_CUPS=off " +
                          TAVLINQX_DEMO_PATH + " --no-hand-off";
    FILE *report = popen(command.c_str(), "r");
    char line[4096];
    while (report && fgets(line, sizeof line, report)) {
        const char *at = strstr(line, "on disk:");
        if (at) {
            for (at += 8; *at == ' '; at++) {
            }
            path.assign(at, strcspn(at, "\n"));
        }
    }
    if (report)
        pclose(report);
    return path;
}

/* The demo's page twenty times: as a vector PDF (argument 0) or as a PDF of its pictures at the
 * recording resolution (1), as tavlinqx-print --raster writes it. */
void BM_DemoPages(benchmark::State &state)
{
    const int kCopies = 20;
    const std::string &path = demo_file();
    EmfFile file;
    char error[256];
    if (path.empty() || EmfLoadFile(path.c_str(), &file, error, sizeof error) < 0) {
        state.SkipWithError("the demo left no metafile");
        return;
    }
    bool pictures = state.range(0) == 1;
    std::string out = temporary_file("print_bench_demo.pdf");
    double kb = 0;
    for (auto _ : state) {
        EmfPdf *pdf = pictures ? NULL : EmfPdfOpen(out.c_str());
        EmfPicturePdf *picturePdf = pictures ? EmfPicturePdfOpen(out.c_str()) : NULL;
        for (int i = 0; i < kCopies; i++) {
            if (!pictures) {
                EmfPdfAddPage(pdf, &file, NULL, NULL, NULL);
                continue;
            }
            EmfPage size;
            EmfGetPage(&file, &size, error, sizeof error);
            cairo_surface_t *page = EmfRenderPage(&file, NULL, NULL, error, sizeof error);
            if (page == NULL) {
                state.SkipWithError(error);
                break;
            }
            EmfPicturePdfAddPage(picturePdf, page, &size);
            cairo_surface_destroy(page);
        }
        if ((pictures ? EmfPicturePdfClose(picturePdf, error, sizeof error)
                      : EmfPdfClose(pdf, error, sizeof error)) < 0)
            state.SkipWithError(error);
        kb = file_kb(out);
    }
    EmfFree(&file);
    remove(out.c_str());
    state.SetLabel(pictures ? "pictures (--raster)" : "vectors");
    state.counters["KB_per_page"] = kb / kCopies;
    state.counters["s_per_page"] = benchmark::Counter((double)kCopies,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    state.counters["peak_rss_MB"] = peak_rss_kb() / 1024.0;
}

/* Every page to a PNG of its own at 96 dpi. */
void BM_RenderPng(benchmark::State &state)
{
    const auto &files = job_files();
    std::string out = temporary_file("print_bench.png");
    for (auto _ : state) {
        for (const std::string &path : files) {
            EmfPage size;
            cairo_surface_t *page = draw_page(state, path, 96, &size);
            if (page == NULL)
                return;
            char error[256];
            if (EmfWritePng(page, out.c_str(), error, sizeof error) < 0)
                state.SkipWithError(error);
            cairo_surface_destroy(page);
        }
    }
    remove(out.c_str());
    state.counters["pages"] = (double)files.size();
    state.counters["peak_rss_MB"] = peak_rss_kb() / 1024.0;
}

/* Drawing alone at 96 dpi, without writing: what the output formats add is the rest. */
void BM_DrawOnly(benchmark::State &state)
{
    const auto &files = job_files();
    for (auto _ : state) {
        for (const std::string &path : files) {
            EmfPage size;
            cairo_surface_t *page = draw_page(state, path, 96, &size);
            if (page == NULL)
                return;
            cairo_surface_destroy(page);
        }
    }
}

} // namespace

BENCHMARK(BM_ReadOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderPdf)->Arg(96)->Arg(48)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderVectorPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemoPages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderPng)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
