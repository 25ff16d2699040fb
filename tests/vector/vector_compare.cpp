/* vector_compare: the PDF page of a metafile against its raster page. The metafile's page is
 * written as a vector PDF, checked with qpdf, rendered back with poppler at the recording
 * device's resolution without antialiasing (pdftoppm -aa no -aaVector no), and set beside the
 * raster player's page of the same metafile.
 *
 * usage: vector_compare METAFILE.emf OUT.pdf MAX_PERCENT [DIFF.png] [--text]
 *
 * Inside the patches (where the raster player's pixels were painted over the page) every pixel
 * must be equal; elsewhere at most MAX_PERCENT of the pixels either page inks may differ. The PDF
 * must hold no image but those the page placed (cairo draws what its PDF cannot express as
 * images of its own). With --text, pdftotext must give back
 * every text record's string in order, and pdffonts must list every font embedded, as a subset,
 * with a map back to Unicode. DIFF.png shows the raster page faded with the differing pixels in
 * red and the patches' edges in blue. Exit status 0 when all holds, 1 when not, 2 when a file
 * is unusable. */
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "emf_player.h"

extern char **environ;

namespace {

enum { COMPARE_OK = 0, COMPARE_FAILED = 1, COMPARE_UNUSABLE = 2 };

const uint32_t kWhite = 0xFFFFFF;

struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; /* 0x00RRGGBB, rows from the top */
};

/* Runs argv, its standard output into *output; the exit status, or -1 when it cannot be run. */
int Run(const std::vector<std::string> &args, std::string *output)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back((char *)a.c_str());
    argv.push_back(NULL);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid;
    int err = posix_spawnp(&pid, argv[0], &actions, NULL, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    char chunk[4096];
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0)
            output->append(chunk, (size_t)n);
    close(pipeFds[0]);
    if (err != 0) {
        fprintf(stderr, "vector_compare: %s cannot be run: %s\n", argv[0], strerror(err));
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/* Reads a binary PPM (P6, 8 bits a sample). */
int ReadPpm(const std::string &path, Picture *out)
{
    FILE *in = fopen(path.c_str(), "rb");
    if (in == NULL) {
        fprintf(stderr, "vector_compare: %s: %s\n", path.c_str(), strerror(errno));
        return -1;
    }
    int width = 0, height = 0, maxval = 0;
    int fields = fscanf(in, "P6 %d %d %d", &width, &height, &maxval);
    if (fields != 3 || fgetc(in) == EOF || maxval != 255 || width <= 0 || height <= 0) {
        fprintf(stderr, "vector_compare: %s: not an 8-bit PPM\n", path.c_str());
        fclose(in);
        return -1;
    }
    std::vector<uint8_t> rgb((size_t)width * height * 3);
    size_t got = fread(rgb.data(), 1, rgb.size(), in);
    fclose(in);
    if (got != rgb.size()) {
        fprintf(stderr, "vector_compare: %s: the pixels are cut short\n", path.c_str());
        return -1;
    }
    out->width = width;
    out->height = height;
    out->pixels.resize((size_t)width * height);
    for (size_t i = 0; i < out->pixels.size(); i++)
        out->pixels[i] = (uint32_t)rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
    return 0;
}

Picture FromSurface(cairo_surface_t *page)
{
    Picture p;
    cairo_surface_flush(page);
    p.width = cairo_image_surface_get_width(page);
    p.height = cairo_image_surface_get_height(page);
    const uint8_t *data = cairo_image_surface_get_data(page);
    int stride = cairo_image_surface_get_stride(page);
    p.pixels.resize((size_t)p.width * p.height);
    for (int32_t y = 0; y < p.height; y++)
        for (int32_t x = 0; x < p.width; x++)
            p.pixels[(size_t)y * p.width + x] =
                ((const uint32_t *)(data + (size_t)y * stride))[x] & 0xFFFFFF;
    return p;
}

bool InPatch(const EmfPdfPage &report, int32_t x, int32_t y)
{
    for (uint32_t i = 0; i < report.patchCount; i++) {
        const EmfPatch &b = report.patches[i];
        if (x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1)
            return true;
    }
    return false;
}

int WriteDiff(const Picture &raster, const Picture &pdf, const EmfPdfPage &report, const char *path)
{
    cairo_surface_t *diff = cairo_image_surface_create(CAIRO_FORMAT_RGB24, raster.width, raster.height);
    cairo_surface_flush(diff);
    uint8_t *data = cairo_image_surface_get_data(diff);
    int stride = cairo_image_surface_get_stride(diff);
    for (int32_t y = 0; y < raster.height; y++) {
        uint32_t *row = (uint32_t *)(data + (size_t)y * stride);
        for (int32_t x = 0; x < raster.width; x++) {
            size_t i = (size_t)y * raster.width + x;
            uint32_t r = raster.pixels[i], faded = 0;
            for (int shift = 0; shift < 24; shift += 8)
                faded |= (((r >> shift & 0xFF) + 3 * 255) / 4) << shift;
            bool edge = InPatch(report, x, y) && !(InPatch(report, x - 1, y) && InPatch(report, x + 1, y) &&
                                                   InPatch(report, x, y - 1) && InPatch(report, x, y + 1));
            row[x] = r != pdf.pixels[i] ? 0xFF0000 : edge ? 0x0000FF : faded;
        }
    }
    cairo_surface_mark_dirty(diff);
    cairo_status_t status = cairo_surface_write_to_png(diff, path);
    cairo_surface_destroy(diff);
    if (status != CAIRO_STATUS_SUCCESS) {
        fprintf(stderr, "vector_compare: %s: %s\n", path, cairo_status_to_string(status));
        return -1;
    }
    return 0;
}

/* pdfimages lists exactly the images the page placed: none that cairo drew itself. */
bool OnlyPlacedImages(const std::string &pdf, uint32_t placed)
{
    std::string list;
    if (Run({"pdfimages", "-list", pdf}, &list) != 0) {
        fprintf(stderr, "vector_compare: pdfimages -list %s failed\n", pdf.c_str());
        return false;
    }
    uint32_t listed = 0;
    for (size_t at = list.find("\n---"); (at = list.find('\n', at + 1)) != std::string::npos &&
                                         at + 1 < list.size();)
        listed++;
    if (listed != placed)
        fprintf(stderr, "vector_compare: the PDF holds %u images, the page placed %u\n", listed, placed);
    return listed == placed;
}

std::string WithoutSpace(const std::string &s)
{
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\n' && c != '\t' && c != '\f' && c != '\r')
            out.push_back(c);
    return out;
}

/* The string of every EMR_EXTTEXTOUTW that carries text, as UTF-8. */
std::vector<std::string> TextRecords(const EmfFile &file)
{
    std::vector<std::string> strings;
    for (uint32_t i = 0; i < file.count; i++) {
        const EmfRecord &r = file.records[i];
        if (r.iType != emf::EMR_EXTTEXTOUTW)
            continue;
        uint32_t nChars = EmfU32(&r, offsetof(emf::EMREXTTEXTOUTW, emrtext.nChars));
        uint32_t offString = EmfU32(&r, offsetof(emf::EMREXTTEXTOUTW, emrtext.offString));
        uint32_t options = EmfU32(&r, offsetof(emf::EMREXTTEXTOUTW, emrtext.fOptions));
        if (options & 0x10) /* ETO_GLYPH_INDEX: glyphs, no text */
            continue;
        /* ETO_CLIPPED to a rectangle its text lies wholly outside of: nothing is shown. */
        int32_t b[4], c[4];
        for (int k = 0; k < 4; k++) {
            b[k] = EmfI32(&r, offsetof(emf::EMREXTTEXTOUTW, rclBounds) + 4 * k);
            c[k] = EmfI32(&r, offsetof(emf::EMREXTTEXTOUTW, emrtext.rcl) + 4 * k);
        }
        if ((options & 0x4) && (b[2] < c[0] || b[0] >= c[2] || b[3] < c[1] || b[1] >= c[3]))
            continue;
        std::string utf8;
        for (uint32_t k = 0; k < nChars; k++) {
            uint32_t c = EmfU16(&r, offString + 2 * k);
            if (c >= 0xD800 && c < 0xDC00 && k + 1 < nChars)
                c = 0x10000 + ((c - 0xD800) << 10) + (EmfU16(&r, offString + 2 * ++k) - 0xDC00);
            if (c < 0x80)
                utf8 += (char)c;
            else if (c < 0x800)
                utf8 += {(char)(0xC0 | c >> 6), (char)(0x80 | (c & 0x3F))};
            else if (c < 0x10000)
                utf8 += {(char)(0xE0 | c >> 12), (char)(0x80 | (c >> 6 & 0x3F)), (char)(0x80 | (c & 0x3F))};
            else
                utf8 += {(char)(0xF0 | c >> 18), (char)(0x80 | (c >> 12 & 0x3F)),
                         (char)(0x80 | (c >> 6 & 0x3F)), (char)(0x80 | (c & 0x3F))};
        }
        strings.push_back(utf8);
    }
    return strings;
}

/* pdftotext gives every text record's string, in the order of the records; pdffonts lists every
 * font embedded, subset and with a Unicode map. */
bool TextHolds(const EmfFile &file, const std::string &pdf)
{
    std::string text, fonts;
    if (Run({"pdftotext", "-raw", "-enc", "UTF-8", pdf, "-"}, &text) != 0 ||
        Run({"pdffonts", pdf}, &fonts) != 0) {
        fprintf(stderr, "vector_compare: pdftotext or pdffonts failed on %s\n", pdf.c_str());
        return false;
    }
    bool ok = true;
    std::string flat = WithoutSpace(text);
    size_t at = 0, records = 0;
    for (const std::string &s : TextRecords(file)) {
        std::string want = WithoutSpace(s);
        if (want.empty())
            continue;
        records++;
        size_t found = flat.find(want, at);
        if (found == std::string::npos) {
            fprintf(stderr, "vector_compare: pdftotext lacks \"%s\" after character %zu\n", s.c_str(), at);
            ok = false;
            continue;
        }
        at = found + want.size();
    }
    size_t lines = 0, line = fonts.find("\n---");
    for (line = fonts.find('\n', line + 1); line != std::string::npos && line + 1 < fonts.size();
         line = fonts.find('\n', line + 1)) {
        std::string row = fonts.substr(line + 1, fonts.find('\n', line + 1) - line - 1);
        lines++;
        /* emb, sub and uni are the three columns before the object's number and generation. */
        std::vector<std::string> words;
        for (size_t k = 0; k < row.size();) {
            size_t end = row.find(' ', k);
            if (end == std::string::npos)
                end = row.size();
            if (end > k)
                words.push_back(row.substr(k, end - k));
            k = end + 1;
        }
        if (words.size() < 6) {
            ok = false;
            continue;
        }
        size_t n = words.size();
        if (words[n - 5] != "yes" || words[n - 4] != "yes" || words[n - 3] != "yes") {
            fprintf(stderr, "vector_compare: a font not embedded as a subset with a map: %s\n", row.c_str());
            ok = false;
        }
    }
    printf("%zu text records found in order, %zu fonts embedded as subsets with a Unicode map\n",
           records, lines);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    bool text = false;
    std::vector<const char *> args;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--text") == 0)
            text = true;
        else
            args.push_back(argv[i]);
    }
    if (args.size() != 3 && args.size() != 4) {
        fprintf(stderr, "usage: vector_compare METAFILE.emf OUT.pdf MAX_PERCENT [DIFF.png] [--text]\n");
        return COMPARE_UNUSABLE;
    }
    char *end;
    double maxPercent = strtod(args[2], &end);
    if (*end != '\0' || !(maxPercent >= 0 && maxPercent <= 100)) {
        fprintf(stderr, "vector_compare: MAX_PERCENT must be a number from 0 to 100\n");
        return COMPARE_UNUSABLE;
    }
    std::string pdfPath = args[1];
    EmfFile file;
    char error[256];
    EmfPage page;
    if (EmfLoadFile(args[0], &file, error, sizeof error) < 0 ||
        EmfGetPage(&file, &page, error, sizeof error) < 0) {
        fprintf(stderr, "vector_compare: %s: %s\n", args[0], error);
        return COMPARE_UNUSABLE;
    }
    EmfPdfPage report;
    EmfPdf *pdf = EmfPdfOpen(pdfPath.c_str());
    EmfPdfAddPage(pdf, &file, NULL, NULL, &report);
    cairo_surface_t *surface = EmfRenderPage(&file, NULL, NULL, error, sizeof error);
    if (EmfPdfClose(pdf, error, sizeof error) < 0 || surface == NULL) {
        fprintf(stderr, "vector_compare: %s: %s\n", args[0], error);
        return COMPARE_UNUSABLE;
    }
    Picture raster = FromSurface(surface);
    cairo_surface_destroy(surface);
    std::string output;
    if (Run({"qpdf", "--check", pdfPath}, &output) != 0) {
        fprintf(stderr, "vector_compare: qpdf --check %s:\n%s", pdfPath.c_str(), output.c_str());
        return COMPARE_FAILED;
    }
    char dpiX[32], dpiY[32];
    snprintf(dpiX, sizeof dpiX, "%.6g", page.devicePerInchX);
    snprintf(dpiY, sizeof dpiY, "%.6g", page.devicePerInchY);
    std::string prefix = pdfPath + ".render";
    Picture rendered;
    if (Run({"pdftoppm", "-rx", dpiX, "-ry", dpiY, "-aa", "no", "-aaVector", "no", "-singlefile",
             pdfPath, prefix}, &output) != 0 ||
        ReadPpm(prefix + ".ppm", &rendered) < 0)
        return COMPARE_UNUSABLE;
    remove((prefix + ".ppm").c_str());
    if (rendered.width != raster.width || rendered.height != raster.height) {
        fprintf(stderr, "vector_compare: the PDF renders %d x %d pixels, the raster page is %d x %d\n",
                rendered.width, rendered.height, raster.width, raster.height);
        return COMPARE_FAILED;
    }
    size_t inked = 0, differing = 0, patchDiffering = 0;
    for (int32_t y = 0; y < raster.height; y++)
        for (int32_t x = 0; x < raster.width; x++) {
            size_t i = (size_t)y * raster.width + x;
            uint32_t a = raster.pixels[i], b = rendered.pixels[i];
            if (InPatch(report, x, y)) {
                patchDiffering += a != b;
                continue;
            }
            inked += a != kWhite || b != kWhite;
            differing += a != b;
        }
    double percent = inked ? 100.0 * (double)differing / (double)inked : 0.0;
    printf("%u patches, %.2f%% of the page; %zu pixels differ in them; outside them %zu of %zu inked "
           "pixels differ (%.2f%%; at most %.2f%% allowed)\n",
           report.patchCount, 100 * report.patchShare, patchDiffering, differing, inked, percent,
           maxPercent);
    bool ok = patchDiffering == 0 && percent <= maxPercent && OnlyPlacedImages(pdfPath, report.images);
    if (text && !TextHolds(file, pdfPath))
        ok = false;
    EmfFree(&file);
    if (args.size() == 4 && WriteDiff(raster, rendered, report, args[3]) < 0)
        return COMPARE_UNUSABLE;
    return ok ? COMPARE_OK : COMPARE_FAILED;
}
