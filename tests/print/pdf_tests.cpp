/* The vector PDF on metafiles built by hand: which records it draws as vectors, which it hands
 * to the raster page's patches, and that poppler's rendering of the page (pdftoppm without
 * antialiasing, at the page's 96 dpi) is the raster page's, pixel for pixel, for shapes whose
 * every edge lies on whole pixels. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "print_test.h"

namespace {

const uint32_t SRCAND = 0x008800C6, PATINVERT = 0x005A0049, DSTINVERT = 0x00550009,
               NOTSRCCOPY = 0x00330008;
const uint32_t R2_XORPEN = 7, R2_NOP = 11, R2_NOTCOPYPEN = 4;

struct VectorPage {
    EmfPdfPage report = {};
    int differing = -1; /* pixels where poppler's page is not the raster page's */
    std::string pdf;    /* the file, for pdftotext */
};

/* Reads pdftoppm's P6 picture into 0x00RRGGBB pixels. */
std::vector<uint32_t> ReadPpm(const std::string &path, int *width, int *height)
{
    std::vector<uint32_t> pixels;
    FILE *f = fopen(path.c_str(), "rb");
    int maxval = 0;
    if (f == NULL || fscanf(f, "P6 %d %d %d", width, height, &maxval) != 3 || fgetc(f) == EOF) {
        if (f)
            fclose(f);
        return pixels;
    }
    std::vector<uint8_t> rgb((size_t)*width * *height * 3);
    if (fread(rgb.data(), 1, rgb.size(), f) == rgb.size())
        for (size_t i = 0; i < rgb.size(); i += 3)
            pixels.push_back((uint32_t)rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
    fclose(f);
    return pixels;
}

/* The records' page as a vector PDF, rendered back and set beside the raster page. */
VectorPage Vector(const std::vector<Bytes> &records, uint16_t nHandles, int width, int height)
{
    VectorPage out;
    static int serial;
    out.pdf = WriteTemp(Bytes(), "vector" + std::to_string(serial++)) + ".pdf";
    Bytes emf = PageEmf(records, nHandles, width, height);
    EmfFile file;
    char error[256] = "";
    if (EmfLoadMemory(emf.data(), emf.size(), &file, error, sizeof error) < 0) {
        ADD_FAILURE() << "the reader rejects the test's metafile: " << error;
        return out;
    }
    EmfPdf *pdf = EmfPdfOpen(out.pdf.c_str());
    EmfWarnings warnings;
    EXPECT_EQ(EmfPdfAddPage(pdf, &file, NULL, &warnings, &out.report), 0);
    EmfFree(&file);
    EXPECT_EQ(EmfPdfClose(pdf, error, sizeof error), 0) << error;
    for (uint32_t i = 0; i < warnings.count; i++)
        ADD_FAILURE() << "warning: " << warnings.text[i];
    RunResult r = RunTool("pdftoppm -r 96 -aa no -aaVector no -singlefile " + out.pdf + " " + out.pdf);
    EXPECT_EQ(r.status, 0) << r.output;
    int w = 0, h = 0;
    std::vector<uint32_t> pdfPixels = ReadPpm(out.pdf + ".ppm", &w, &h);
    remove((out.pdf + ".ppm").c_str());
    Page raster = Draw(records, nHandles, width, height);
    if (w != width || h != height || raster.surface == nullptr) {
        ADD_FAILURE() << "poppler's page is " << w << " x " << h;
        return out;
    }
    out.differing = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            out.differing += pdfPixels[(size_t)y * width + x] != raster.At(x, y);
    return out;
}

/* A 4 x 4 24-bit DIB of four colours. */
Dib Quarters()
{
    std::vector<uint32_t> px(16);
    for (int i = 0; i < 16; i++)
        px[i] = (i % 4 < 2) == (i / 4 < 2) ? 0x3060C0 : 0xF0A000;
    return Dib24(4, 4, px);
}

/* Each row a page and where its records go: drawn as vectors or by a patch of the raster page
 * (patches: how many; box: the first, or empty). Every page renders back as the raster page. */
TEST(VectorPdf, RecordsGoToVectorsOrPatchesByWhatTheirOperationsRead)
{
    Bytes fill = SolidBrush(1, Colorref(0x20A040)), hatch = Brush(2, 2 /* BS_HATCHED */, Colorref(0xC00000), 5);
    const struct {
        const char *name;
        std::vector<Bytes> records;
        uint32_t patches;
        EmfPatch box;
    } rows[] = {
        {"copies, hatches and lines are vectors",
         {fill, Select(1), Select(kNullPen), Rect(4, 4, 30, 20), hatch, Select(2),
          Record({EMR_SETBKMODE, 12, 1}), Rect(20, 10, 50, 40), Select(0x80000007 /* BLACK_PEN */),
          MoveTo(2, 45), LineTo(60, 38), LineTo(30, 2)},
         0, {}},
        {"XOR on blank paper is drawn against white",
         {SetValue(EMR_SETROP2, R2_XORPEN), fill, Select(1), Select(kNullPen), Rect(4, 4, 30, 20)},
         0, {}},
        {"XOR over what was drawn goes to a patch of its bounds",
         {fill, Select(1), Select(kNullPen), Rect(4, 4, 30, 20), SetValue(EMR_SETROP2, R2_XORPEN),
          Rect(20, 10, 50, 40)},
         1, {19, 9, 51, 41}},
        {"R2_NOP draws nothing, R2_NOTCOPYPEN an inverted brush",
         {fill, Select(1), Select(kNullPen), SetValue(EMR_SETROP2, R2_NOP), Rect(4, 4, 30, 20),
          SetValue(EMR_SETROP2, R2_NOTCOPYPEN), Rect(20, 10, 50, 40)},
         0, {}},
        {"SRCAND on blank paper is the source",
         {StretchDib(8, 8, 16, 16, Quarters(), SRCAND)}, 0, {}},
        {"PATINVERT on blank paper is the inverted pattern",
         {hatch, Select(2), BitBltNoSource(8, 8, 40, 24, PATINVERT)}, 0, {}},
        {"patterns of odd sizes repeat from the page's origin, a 1-bit picture is recoloured",
         {DibBrush(1, Dib1(3, 5, {0x20, 0xC0, 0x60, 0x00, 0xA0}, {0x0000FF, 0xFFC000})), Select(1),
          Select(kNullPen), Rect(3, 5, 41, 30),
          MonoBrush(2, 5, 3, {0x50, 0xA8, 0x20}), Select(2), Rect(30, 20, 63, 47),
          StretchDib(44, 2, 14, 12, Dib1(7, 6, {0x7C, 0x82, 0xAA, 0x82, 0x7C, 0x10}, {0x000000, 0x40C040}),
                     NOTSRCCOPY)},
         0, {}},
        {"DSTINVERT over a drawn page goes to a patch",
         {fill, Select(1), Select(kNullPen), Rect(4, 4, 30, 20), BitBltNoSource(8, 8, 40, 24, DSTINVERT)},
         1, {8, 8, 48, 32}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        VectorPage v = Vector(row.records, 3, 64, 48);
        EXPECT_EQ(v.differing, 0);
        EXPECT_EQ(v.report.patchCount, row.patches);
        if (row.patches > 0) {
            const EmfPatch &b = v.report.patches[0];
            EXPECT_EQ(b.x0, row.box.x0);
            EXPECT_EQ(b.y0, row.box.y0);
            EXPECT_EQ(b.x1, row.box.x1);
            EXPECT_EQ(b.y1, row.box.y1);
            EXPECT_NEAR(v.report.patchShare, (double)(b.x1 - b.x0) * (b.y1 - b.y0) / (64 * 48), 1e-9);
        }
    }
}

/* Patches far apart stay apart, overlapping ones merge; text under a patch stays in the PDF,
 * where pdftotext finds it. */
TEST(VectorPdf, PatchesMergeWhereTheyOverlapAndTextUnderThemStays)
{
    std::vector<Bytes> records = {
        SolidBrush(1, Colorref(0x20A040)), Select(1), Select(kNullPen), Rect(0, 0, 120, 60),
        Font(2, -16, 0, "Liberation Sans"), Select(2), Record({EMR_SETBKMODE, 12, 1}),
        TextW(10, 30, u"findable", {8, 8, 8, 8, 8, 8, 8, 8}),
        SetValue(EMR_SETROP2, R2_XORPEN), Rect(5, 5, 40, 50), Rect(30, 20, 80, 55),
        Rect(90, 5, 110, 15),
    };
    VectorPage v = Vector(records, 3, 120, 60);
    EXPECT_EQ(v.differing, 0);
    ASSERT_EQ(v.report.patchCount, 2u);
    EmfPatch merged = v.report.patches[0], apart = v.report.patches[1];
    if (merged.x0 > apart.x0)
        std::swap(merged, apart);
    EXPECT_EQ(merged.x0, 4);
    EXPECT_EQ(merged.x1, 81);
    EXPECT_EQ(apart.x0, 89);
    RunResult text = RunTool("pdftotext " + v.pdf + " -");
    std::string letters;
    for (char c : text.output)
        if (c != ' ')
            letters += c;
    EXPECT_NE(letters.find("findable"), std::string::npos) << text.output;
}

/* A smooth picture goes into the file with its rows predicted, as PNG predicts them: a fraction
 * of its samples, and the same pixels back. */
TEST(VectorPdf, SmoothImagesAreWrittenPredicted)
{
    const int size = 96;
    std::vector<uint32_t> wheel(size * size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++)
            wheel[y * size + x] = (uint32_t)(x * 2) << 16 | (uint32_t)(y * 2) << 8 | (uint32_t)(255 - x - y);
    VectorPage v = Vector({StretchDib(0, 0, size, size, Dib24(size, size, wheel), 0x00CC0020)}, 1, size, size);
    EXPECT_EQ(v.differing, 0);
    Bytes pdf = ReadAll(v.pdf);
    std::string text(pdf.begin(), pdf.end());
    EXPECT_NE(text.find("/Predictor 15"), std::string::npos);
    EXPECT_LT(pdf.size(), (size_t)size * size * 3 / 4) << "the samples take " << size * size * 3;
    EXPECT_EQ(RunTool("qpdf --check " + v.pdf).status, 0);
}

/* A region of many rows (a clip of a staircase, two rectangles meeting at a corner, a ring of
 * scanlines) fills as one shape: rendered four times finer and smoothed, every pixel well inside
 * it is the brush's colour, with no seam between its rows; at the page's resolution it is the
 * raster page's. */
TEST(VectorPdf, RegionsShowNoSeamsAtOtherResolutions)
{
    const int width = 48, height = 40;
    std::vector<std::vector<int32_t>> rects;
    for (int32_t y = 2; y < 20; y++)
        rects.push_back({2 + (y * 7) % 5, y, 30 - (y * 3) % 4, y + 1});
    rects.push_back({34, 2, 40, 8});
    rects.push_back({40, 8, 46, 14});
    std::vector<Bytes> records = {ClipRegion(5 /* RGN_COPY */, rects), SolidBrush(1, Colorref(0x1040C0)),
                                  Select(1), Select(kNullPen), Rect(0, 0, width + 1, height + 1),
                                  ClipNone(), ExtPen(2, 0x10000 | 0x200, 1, Colorref(0x1040C0), {}),
                                  Select(2), Record({EMR_BEGINPATH, 8})};
    std::vector<bool> inside(width * height, false);
    for (const auto &r : rects)
        for (int y = r[1]; y < r[3]; y++)
            for (int x = r[0]; x < r[2]; x++)
                inside[y * width + x] = true;
    for (int y = 22; y < 38; y++) { /* a ring's scanlines, as the driver draws a filled shape */
        int half = 8 - abs(y - 30) / 2, hole = y > 27 && y < 33 ? 3 : 0;
        for (int32_t x0 : {24 - half, 24 + hole}) {
            int32_t x1 = x0 == 24 - half ? 24 - hole : 24 + half;
            if (x1 <= x0)
                continue;
            records.insert(records.end(), {MoveTo(x0, y), LineTo(x1, y)});
            for (int x = x0; x < x1; x++)
                inside[y * width + x] = true;
        }
    }
    records.insert(records.end(), {Record({EMR_ENDPATH, 8}), Record({EMR_STROKEPATH, 24, 0, 0, 0, 0})});
    VectorPage v = Vector(records, 3, width, height);
    EXPECT_EQ(v.differing, 0);
    RunResult r = RunTool("pdftoppm -r 384 -singlefile " + v.pdf + " " + v.pdf);
    ASSERT_EQ(r.status, 0) << r.output;
    int w = 0, h = 0;
    std::vector<uint32_t> fine = ReadPpm(v.pdf + ".ppm", &w, &h);
    remove((v.pdf + ".ppm").c_str());
    ASSERT_EQ(w, width * 4);
    ASSERT_EQ(h, height * 4);
    int seams = 0, checked = 0;
    for (int y = 1; y + 1 < height; y++)
        for (int x = 1; x + 1 < width; x++) {
            bool deep = true;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++)
                    deep = deep && inside[(y + dy) * width + x + dx];
            if (!deep)
                continue;
            checked++;
            for (int k = 0; k < 16; k++)
                if (fine[(size_t)(4 * y + k / 4) * w + 4 * x + k % 4] != 0x1040C0) {
                    seams++;
                    break;
                }
        }
    EXPECT_GT(checked, 100);
    EXPECT_EQ(seams, 0) << "of " << checked << " pixels inside the regions";
}

/* Clips of random regions (rectangles joined, taken away and crossed, leaving holes and corners
 * where two meet) clip the PDF's fills to the raster page's pixels. */
TEST(VectorPdf, RandomRegionClipsAreTheRasterPagesPixels)
{
    uint32_t seed = 777;
    auto next = [&](int n) { return (int)((seed = seed * 1103515245 + 12345) >> 16) % n; };
    for (int run = 0; run < 12; run++) {
        std::vector<Bytes> records;
        for (int step = 0; step < 4; step++) {
            std::vector<std::vector<int32_t>> rects;
            for (int n = 1 + next(5); n > 0; n--) {
                int32_t l = next(28) - 2, t = next(28) - 2;
                rects.push_back({l, t, l + 1 + next(12), t + 1 + next(12)});
            }
            const uint32_t modes[] = {5 /* RGN_COPY */, 2 /* RGN_OR */, 3 /* RGN_XOR */, 4 /* RGN_DIFF */};
            records.push_back(ClipRegion(step == 0 ? 5 : modes[next(4)], rects));
        }
        records.insert(records.end(), {SolidBrush(1, Colorref(0x336699)), Select(1), Select(kNullPen),
                                       Rect(0, 0, 25, 25)});
        EXPECT_EQ(Vector(records, 2, 24, 24).differing, 0) << "run " << run;
    }
}

/* A write that fails is reported at close, and later pages are not drawn. */
/* On a device of 2.54 dpi a pixel is 28.3 points, and text of 16000 pixels is taller than FreeType
 * sizes a face in points: it is left out of the PDF with a warning (cairo would lose the scaled
 * font it fails to make), and the page is written. (The text lies left of the page, so that the
 * first pass leaves it to the PDF, not to a patch of the raster page.) */
TEST(VectorPdf, TextTallerThanAFaceCanBeSizedIsLeftOut)
{
    Bytes emf = PageEmf({Font(1, -16000, 0, "Liberation Sans"), Select(1), TextW(-200000, 0, u"A", {10})}, 2,
                        100, 100);
    Put32(emf, 80, 1000); /* szlMillimeters and szlMicrometers: 100 pixels on a metre */
    Put32(emf, 84, 1000);
    Put32(emf, 100, 1000000);
    Put32(emf, 104, 1000000);
    EmfFile file;
    ASSERT_EQ(EmfLoadMemory(emf.data(), emf.size(), &file, NULL, 0), 0);
    std::string path = WriteTemp(Bytes(), "tall") + ".pdf";
    EmfPdf *pdf = EmfPdfOpen(path.c_str());
    EmfWarnings warnings;
    EXPECT_EQ(EmfPdfAddPage(pdf, &file, NULL, &warnings, NULL), 0);
    char error[256] = "";
    EXPECT_EQ(EmfPdfClose(pdf, error, sizeof error), 0) << error;
    EmfFree(&file);
    bool warned = false;
    for (uint32_t i = 0; i < warnings.count; i++)
        warned = warned || strstr(warnings.text[i], "text 16000 pixels tall left out of the PDF") != NULL;
    EXPECT_TRUE(warned);
}

/* A run advanced two billion pixels by one of its advances leaves the current position there, and
 * the next run starts past 32 bits: the first pass still plans it within the page (the sanitizer
 * build checks that no coordinate overflows), and the page is written. */
TEST(VectorPdf, TextReachingPast32BitsIsPlannedWithinThePage)
{
    Bytes emf = PageEmf({Font(1, -20, 0, "Liberation Sans"), Select(1), SetValue(EMR_SETTEXTALIGN, 1 /* TA_UPDATECP */),
                         TextW(50, 60, u"run", {9, 2147483647, 10}, 4 /* ETO_CLIPPED */, {40, 40, 90, 90}),
                         TextW(50, 60, u"run", {9, 10, 10}, 4, {40, 40, 90, 90})},
                        2, 100, 100);
    ExpectVectorPdfWritten(emf);
}

/* Writes the metafile as a one-page vector PDF to path: the page and the close must fail, the
 * close's message naming reason. */
void ExpectVectorPdfRefused(const Bytes &emf, const char *path, const char *reason)
{
    EmfFile file;
    char error[256] = "";
    ASSERT_EQ(EmfLoadMemory(emf.data(), emf.size(), &file, error, sizeof error), 0);
    EmfPdf *pdf = EmfPdfOpen(path);
    EXPECT_EQ(EmfPdfAddPage(pdf, &file, NULL, NULL, NULL), -1);
    EXPECT_EQ(EmfPdfClose(pdf, error, sizeof error), -1);
    EXPECT_NE(strstr(error, reason), nullptr) << error;
    EmfFree(&file);
}

TEST(VectorPdf, AFileThatCannotBeWrittenIsReportedAtClose)
{
    ExpectVectorPdfRefused(PageEmf({}, 1, 8, 8), "/nonexistent-folder/pages.pdf", "cannot be written");
}

/* A header whose device is 8 pixels across a kilometre or more: its page in points is beyond
 * what cairo's coordinates hold (it aborted inside cairo at 14 million points, found fuzzing the
 * player). Up to 2^22 points a side the page is drawn; past it the PDF is refused with the reason. */
TEST(VectorPdf, APageLongerThanPdfCoordinatesHoldIsRefused)
{
    auto tall = [](uint32_t micrometres) {
        Bytes emf = PageEmf({Rect(0, 0, 8, 8)}, 1, 8, 8);
        Put32(emf, 84, micrometres / 1000);
        Put32(emf, 104, micrometres);
        return emf;
    };
    ExpectVectorPdfWritten(tall(1000000000u)); /* 2.8 million points */

    ExpectVectorPdfRefused(tall(2000000000u), "/dev/null", "larger than a PDF page can be"); /* 5.7 million */
}

} // namespace
