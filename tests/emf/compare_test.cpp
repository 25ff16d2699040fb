/* The comparator: where it finds the first difference, which field it names, what each
 * exclusion hides and what it must not hide, its dumps and the emfcompare program. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "emf_keep.h"
#include "emftools.h"
#include "test_util.h"

using namespace emf;

namespace {

uint32_t FloatBits(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

/* t02's font record in the zero-filled 368-byte form: the same LOGFONTW up to the face name's
 * terminator ("Arial" ends at 40 + 12), then zeros, the design-vector signature at 360 and no
 * axes. */
Bytes FontRecord368()
{
    Bytes r(368, 0);
    memcpy(r.data(), kFontRecordT02, 52);
    Put32(r, 4, 368);
    Put32(r, 360, 0x08007664);
    return r;
}

struct DiffRow {
    const char *what;
    Bytes a, b;
    const char *ignore[2]; /* exclusion names, NULL-padded */
    int differ;
    uint32_t index, at;
    const char *field;
};

Bytes With32(Bytes b, size_t off, uint32_t v)
{
    Put32(b, off, v);
    return b;
}

Bytes With8(Bytes b, size_t off, uint8_t v)
{
    b.at(off) = v;
    return b;
}

/* The pen of ExtCreatePen(PS_SOLID, 1, {BS_SOLID, 0x896745, HS_CROSS}, 0, NULL) as Windows
 * records it: slot 1, no bitmap (offBmi = offBits = nSize 56), style 0, width 1, BS_SOLID, the
 * colour, lbHatch 4 kept, no style entries, and the 4 zero bytes Windows adds. */
Bytes ExtPen(uint32_t brushStyle = 0, uint32_t hatch = 4)
{
    return Record({EMR_EXTCREATEPEN, 56, 1, 56, 0, 56, 0, 0, 1, brushStyle, 0x00896745, hatch, 0, 0});
}

/* The same pen as Wine 8 records it: EMR_CREATEPEN, slot 1, style 0, width (1, 0), the colour. */
Bytes WinePen(uint32_t slot = 1, uint32_t style = 0, uint32_t width = 1, uint32_t widthY = 0,
              uint32_t color = 0x00896745)
{
    return Record({EMR_CREATEPEN, 28, slot, style, width, widthY, color});
}

/* A Polyline of n points in its 16-bit form: bounds (0,0,-1,-1) when n is 0, as both GDIs write
 * it, then cpts and the points. */
Bytes Polyline16(uint32_t n)
{
    Bytes r = Record({EMR_POLYLINE16, 28 + 4 * n, 0, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, n});
    r.resize(28 + 4 * n, 7);
    return r;
}

Bytes WithBounds(Bytes file, int32_t l, int32_t t, int32_t r, int32_t b)
{
    Put32(file, 8, (uint32_t)l);
    Put32(file, 12, (uint32_t)t);
    Put32(file, 16, (uint32_t)r);
    Put32(file, 20, (uint32_t)b);
    return file;
}

/* StretchDIBits of an 8 x 2 1-bit DIB with biClrUsed clrUsed: as Windows records it, with the
 * black-and-white table (table true), or as Wine 8 does, the header alone. */
Bytes MonoDibits(bool table, uint32_t clrUsed = 0, int32_t xDest = 10, uint32_t row0 = 0xF0)
{
    uint32_t cbBmi = table ? 48 : 40;
    Bytes r = Record({EMR_STRETCHDIBITS, 88 + cbBmi, 10, 20, 89, 59, (uint32_t)xDest, 20, 0, 0, 8, 2, 80,
                      cbBmi, 80 + cbBmi, 8, 0, 0x00CC0020, 80, 40, 40, 8, 2, 0x00010001, 0, 0, 0, 0,
                      clrUsed, 0});
    if (table) {
        Bytes colours = Record({0x00000000, 0x00FFFFFF});
        r.insert(r.end(), colours.begin(), colours.end());
    }
    Bytes bits = Record({row0, 0x0F});
    r.insert(r.end(), bits.begin(), bits.end());
    return r;
}

/* The Wine rules: a CREATEPEN paired with an EXTCREATEPEN, header bounds differing by Wine's merge
 * of an empty Polyline's bounds, and a small DIB's colour table left out. */
std::vector<DiffRow> WineRuleRows()
{
    const Bytes d01 = ToBytes(kSampleD01), polygon(kSampleD01 + 108, kSampleD01 + 148);
    const Bytes ext = BuildEmf({ExtPen(), polygon}, 3);
    const Bytes hatchedExt = BuildEmf({ExtPen(2 /* BS_HATCHED */), polygon}, 3);
    Bytes entries = ExtPen();
    Put32(entries, 4, 60);
    Put32(entries, 48, 1); /* one style entry, 0 */
    entries.resize(60, 0);
    const Bytes emptyLine = BuildEmf({polygon, Polyline16(0)}, 1);
    const Bytes emptyOnly = BuildEmf({Polyline16(0)}, 1);
    const Bytes oneLine = BuildEmf({polygon, Polyline16(1)}, 1);
    const char *const pens = "wine.extcreatepen", *const lines = "wine.empty-polyline";
    const char *const tables = "wine.dib-colour-table";
    const Bytes whole = BuildEmf({MonoDibits(true)}, 1), bare = BuildEmf({MonoDibits(false)}, 1);
    return {
        {"colour table forms", whole, bare, {}, 1, 1, 4, "nSize"},
        {"colour table forms paired", whole, bare, {tables}, 0, 0, 0, ""},
        {"paired either way round", bare, whole, {tables}, 0, 0, 0, ""},
        {"paired tables, a pixel", whole, BuildEmf({MonoDibits(false, 0, 10, 0xF1)}, 1), {tables}, 1, 1,
         128, "bits"},
        {"paired tables, destination", whole, BuildEmf({MonoDibits(false, 0, 11)}, 1), {tables}, 1, 1,
         24, "xDest"},
        {"a table the header counts has no bare form", BuildEmf({MonoDibits(true, 2)}, 1), bare,
         {tables}, 1, 1, 52, "cbBmiSrc"},
        {"pen forms", ext, BuildEmf({WinePen(), polygon}, 3), {}, 1, 1, 0, "iType"},
        {"pen forms paired", ext, BuildEmf({WinePen(), polygon}, 3), {pens}, 0, 0, 0, ""},
        {"paired pens, slot", ext, BuildEmf({WinePen(2), polygon}, 3), {pens}, 1, 1, 8, "ihPen"},
        {"paired pens, style", ext, BuildEmf({WinePen(1, 0x10000), polygon}, 3), {pens}, 1, 1, 12,
         "lopnStyle"},
        {"paired pens, width", ext, BuildEmf({WinePen(1, 0, 2), polygon}, 3), {pens}, 1, 1, 16,
         "lopnWidth"},
        {"paired pens, second width", ext, BuildEmf({WinePen(1, 0, 1, 1), polygon}, 3), {pens}, 1, 1,
         20, "lopnWidth"},
        {"paired pens, colour", ext, BuildEmf({WinePen(1, 0, 1, 0, 0x896746), polygon}, 3), {pens},
         1, 1, 24, "lopnColor"},
        {"a solid brush's hatch is not compared", BuildEmf({ExtPen(0, 0), polygon}, 3),
         BuildEmf({WinePen(), polygon}, 3), {pens}, 0, 0, 0, ""},
        {"a hatched pen has no CREATEPEN form", hatchedExt, BuildEmf({WinePen(), polygon}, 3), {pens},
         1, 1, 0, "iType"},
        {"style entries have no CREATEPEN form", BuildEmf({entries, polygon}, 3),
         BuildEmf({WinePen(), polygon}, 3), {pens}, 1, 1, 0, "iType"},
        {"records after a paired pen", ext, BuildEmf({WinePen(), With8(polygon, 36, 61)}, 3), {pens},
         1, 2, 36, "apts"},
        {"two EXTCREATEPENs still compared whole", ext, BuildEmf({ExtPen(0, 5), polygon}, 3),
         {pens}, 1, 1, 44, "elpHatch"},
        /* d01's header bounds are (10,20,110,120). */
        {"merged empty bounds", emptyLine, WithBounds(emptyLine, -1, -1, 110, 120), {}, 1, 0, 8,
         "rclBounds"},
        {"merged empty bounds accepted", emptyLine, WithBounds(emptyLine, -1, -1, 110, 120),
         {lines}, 0, 0, 0, ""},
        {"merged into nothing drawn", WithBounds(emptyOnly, 0, 0, -1, -1),
         WithBounds(emptyOnly, -1, -1, 0, 0), {lines}, 0, 0, 0, ""},
        {"bounds beyond the merge", WithBounds(emptyLine, -1, -1, 110, 120),
         WithBounds(emptyLine, -1, -1, 111, 120), {lines}, 1, 0, 16, "rclBounds"},
        {"left edge past the merge", WithBounds(emptyLine, -1, -1, 110, 120),
         WithBounds(emptyLine, -2, -1, 110, 120), {lines}, 1, 0, 8, "rclBounds"},
        {"no empty polyline, no merge", oneLine, WithBounds(oneLine, -1, -1, 110, 120), {lines}, 1,
         0, 8, "rclBounds"},
        {"the merge leaves the polyline itself compared", emptyLine,
         WithBounds(With8(emptyLine, 148 + 8, 1), -1, -1, 110, 120), {lines}, 1, 2, 8,
         "rclBounds"},
    };
}

std::vector<DiffRow> DiffRows()
{
    const Bytes d01 = ToBytes(kSampleD01), t00 = ToBytes(kSampleT00), b05 = ToBytes(kSampleB05);
    const Bytes font332 = BuildEmf({ToBytes(kFontRecordT02)}, 2);
    const Bytes font368 = BuildEmf({FontRecord368()}, 2);
    const Bytes fill = BuildEmf({Record({EMR_FILLPATH, 24, 7, 7, 103, 103})}, 1);
    return {
        {"same bytes", d01, d01, {}, 0, 0, 0, ""},
        /* d01: the third point (60,120) is at 108 + 36. */
        {"a point moved", d01, With8(d01, 144, 61), {}, 1, 1, 36, "apts"},
        {"record bounds not covered by header.bounds", d01, With8(d01, 124, 111),
         {"header.bounds"}, 1, 1, 16, "rclBounds"},
        {"header bounds", d01, With8(d01, 20, 100), {}, 1, 0, 20, "rclBounds"},
        {"header bounds excluded", d01, With8(d01, 20, 100), {"header.bounds"}, 0, 0, 0, ""},
        /* 1024 -> 1280 changes only the second byte of szlDevice.cx. */
        {"device width", d01, With32(d01, 72, 1280), {}, 1, 0, 73, "szlDevice"},
        {"device width excluded", d01, With32(d01, 72, 1280), {"header.device"}, 0, 0, 0, ""},
        {"micrometres excluded with the device", d01, With32(d01, 100, 270933),
         {"header.device"}, 0, 0, 0, ""},
        {"micrometres not covered by header.frame", d01, With32(d01, 100, 270933),
         {"header.frame"}, 1, 0, 100, "szlMicrometers"},
        {"frame excluded", d01, With32(d01, 36, 3172), {"header.frame"}, 0, 0, 0, ""},
        {"one more record", d01, BuildEmf({Bytes(kSampleD01 + 108, kSampleD01 + 148),
                                          Record({EMR_SAVEDC, 8})}, 1),
         {}, 1, 2, 0, "iType"},
        /* t00: EXTTEXTOUTW at 108, exScale at +28, string at +76, dx at +88. */
        {"advance", t00, With8(t00, 196, 14), {}, 1, 1, 88, "dx"},
        {"advance excluded", t00, With8(t00, 196, 14), {"text.dx"}, 0, 0, 0, ""},
        {"string not covered by text.dx", t00, With8(t00, 186, 'E'), {"text.dx"}, 1, 1, 78,
         "string"},
        {"scale", t00, With32(t00, 136, FloatBits(25.0f)), {}, 1, 1, 29, "exScale"},
        {"scale excluded", t00, With32(t00, 136, FloatBits(25.0f)), {"text.scale"}, 0, 0, 0, ""},
        {"reference point right after the scale", t00, With8(t00, 144, 11), {"text.scale"},
         1, 1, 36, "ptlReference"},
        {"graphics mode right after the bounds", t00, With8(t00, 132, 2), {"text.bounds"},
         1, 1, 24, "iGraphicsMode"},
        {"string padding right before the advances", t00, With8(t00, 195, 1), {"text.dx"},
         1, 1, 87, "string"},
        {"text bounds excluded, header's too", With8(t00, 128, 60), With8(With8(t00, 128, 55), 16, 55),
         {"text.bounds", "header.bounds"}, 0, 0, 0, ""},
        {"text bounds not covered by header.bounds", t00, With8(t00, 124, 12), {"header.bounds"},
         1, 1, 16, "rclBounds"},
        /* b05: STRETCHDIBITS at 108, BITMAPINFOHEADER at +80, bits at +120. */
        {"pixel", b05, With8(b05, 230, 0xff), {}, 1, 1, 122, "bits"},
        {"bitmap resolution", b05, With32(b05, 212, 3780), {}, 1, 1, 104, "bmi"},
        {"path bounds", fill, With32(fill, 128, 102), {}, 1, 1, 20, "rclBounds"},
        {"path bounds excluded", fill, With32(fill, 128, 102), {"path.bounds"}, 0, 0, 0, ""},
        {"font forms", font332, font368, {}, 1, 1, 4, "nSize"},
        {"font forms, tail excluded", font332, font368, {"font.tail"}, 0, 0, 0, ""},
        {"font weight not covered by font.tail", font332, With32(font368, 136, 700),
         {"font.tail"}, 1, 1, 28, "lfWeight"},
        {"face name's terminator not covered by font.tail", font332, With8(font368, 158, 'X'),
         {"font.tail"}, 1, 1, 50, "lfFaceName"},
        {"face name not covered by font.tail", font332, With8(font368, 154, 'o'),
         {"font.tail"}, 1, 1, 46, "lfFaceName"},
    };
}

std::vector<DiffRow> AllDiffRows()
{
    std::vector<DiffRow> rows = DiffRows(), wine = WineRuleRows();
    rows.insert(rows.end(), wine.begin(), wine.end());
    return rows;
}

TEST(EmfCompare, FindsTheFirstDifferenceOutsideTheExclusions)
{
    for (const DiffRow &row : AllDiffRows()) {
        SCOPED_TRACE(row.what);
        EmfFile a, b;
        char error[256];
        ASSERT_EQ(0, EmfLoadMemory(row.a.data(), row.a.size(), &a, error, sizeof error)) << error;
        ASSERT_EQ(0, EmfLoadMemory(row.b.data(), row.b.size(), &b, error, sizeof error)) << error;
        uint32_t mask = 0;
        for (const char *name : row.ignore) {
            if (name != NULL) {
                EXPECT_EQ(0, EmfCompareExclude(name, &mask)) << name;
            }
        }
        EmfDiff diff = {0xdead, 0xdead, "garbage"}, swapped = diff;
        EXPECT_EQ(row.differ, EmfCompareFiles(&a, &b, mask, &diff));
        EXPECT_EQ(row.differ, EmfCompareFiles(&b, &a, mask, &swapped));
        if (row.differ) {
            EXPECT_EQ(row.index, diff.index);
            EXPECT_EQ(row.at, diff.at);
            EXPECT_STREQ(row.field, diff.field);
            EXPECT_EQ(diff.at, swapped.at);
            EXPECT_STREQ(row.field, swapped.field);
        }
        EmfFree(&a);
        EmfFree(&b);
    }
}

TEST(EmfCompare, ExclusionNamesAreChecked)
{
    uint32_t mask = 0x80000000;
    EXPECT_EQ(-1, EmfCompareExclude("header.nope", &mask));
    EXPECT_EQ(-1, EmfCompareExclude("", &mask));
    EXPECT_EQ(0x80000000u, mask);
    mask = 0;
    ASSERT_EQ(0, EmfCompareExclude("header.device", &mask));
    EXPECT_EQ(2, __builtin_popcount(mask)); /* szlDevice/szlMillimeters and szlMicrometers */
    uint32_t before = mask;
    ASSERT_EQ(0, EmfCompareExclude("text.dx", &mask));
    EXPECT_EQ(before, mask & before);
    EXPECT_NE(before, mask);
}

std::string Dump(const EmfRecord *r, uint32_t at)
{
    char *text = NULL;
    size_t size = 0;
    FILE *f = open_memstream(&text, &size);
    if (f == NULL)
        return "";
    EmfDumpRecord(f, "a.emf", r, at);
    fclose(f);
    std::string s(text, size);
    free(text);
    return s;
}

TEST(EmfCompare, DumpsRecordsReadyToPaste)
{
    EmfFile f;
    ASSERT_EQ(0, EmfLoadMemory(kSampleD01, sizeof kSampleD01, &f, NULL, 0));
    EXPECT_EQ("a.emf: POLYGON16 at offset 108, 40 bytes\n"
              "    /* 0000 */ 0x56, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0x0a, 0x00, 0x00, "
              "0x00, 0x14, 0x00, 0x00, 0x00,\n"
              "    /* 0010 */ 0x6e, 0x00, 0x00, 0x00, 0x78, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, "
              "0x00, 0x0a, 0x00, 0x14, 0x00,\n"
              "    /* 0020 */ 0x6e, 0x00, 0x1e, 0x00, 0x3c, 0x00, 0x78, 0x00,\n",
              Dump(&f.records[1], 36));
    EmfFree(&f);

    /* A 1036-byte comment: its start, then the lines around byte 700. */
    Bytes comment = Record({EMR_GDICOMMENT, 1036, 1024});
    comment.resize(1036, 0x5a);
    Bytes file = BuildEmf({comment}, 1);
    ASSERT_EQ(0, EmfLoadMemory(file.data(), file.size(), &f, NULL, 0));
    std::string d = Dump(&f.records[1], 700);
    EXPECT_NE(std::string::npos, d.find("/* 0030 */"));
    EXPECT_EQ(std::string::npos, d.find("/* 0040 */"));
    EXPECT_NE(std::string::npos, d.find("    ...\n    /* 0270 */"));
    EXPECT_NE(std::string::npos, d.find("/* 02f0 */"));
    EXPECT_NE(std::string::npos, d.find("/* 02f0 */ 0x5a, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a, "
                                        "0x5a, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a,\n    ...\n"));
    EXPECT_EQ(std::string::npos, d.find("/* 0300 */"));
    EmfFree(&f);
}

TEST(EmfCompare, ProgramExitStatusesAndReport)
{
    Bytes a = ToBytes(kSampleD01), b = With8(a, 144, 61);
    ASSERT_EQ(0, EmfKeepBytesForCheck(a.data(), a.size(), "EmfCompare.Program-a"));
    ASSERT_EQ(0, EmfKeepBytesForCheck(b.data(), b.size(), "EmfCompare.Program-b"));
    std::string pa = WriteTemp(a, "compare_a.emf"), pb = WriteTemp(b, "compare_b.emf");
    std::string tool = EMFCOMPARE_PATH;

    RunResult r = RunTool(tool + " " + pa + " " + pa);
    EXPECT_EQ(0, r.status) << r.output;

    r = RunTool(tool + " " + pa + " " + pb);
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos,
              r.output.find("record 1 (POLYGON16) at offset 108 / 108: field apts (byte 36) differs"))
        << r.output;
    EXPECT_NE(std::string::npos, r.output.find(pb + ": POLYGON16 at offset 108, 40 bytes\n"
                                               "    /* 0000 */ 0x56,"));
    EXPECT_NE(std::string::npos, r.output.find("/* 0020 */ 0x6e, 0x00, 0x1e, 0x00, 0x3d,"));

    std::string pd = WriteTemp(With32(a, 72, 1280), "compare_device.emf");
    EXPECT_EQ(1, RunTool(tool + " " + pa + " " + pd).status);
    EXPECT_EQ(0, RunTool(tool + " --ignore header.device " + pa + " " + pd).status);
    EXPECT_EQ(1, RunTool(tool + " --ignore header.frame " + pa + " " + pd).status);

    r = RunTool(tool + " --ignore header.nope " + pa + " " + pd);
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.output.find("no field set called 'header.nope'"));
    std::string bad = WriteTemp(With32(a, 52, 4), "compare_bad.emf");
    r = RunTool(tool + " " + pa + " " + bad);
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.output.find(bad + ": record 0 at offset 0: nRecords 4"));
    EXPECT_EQ(2, RunTool(tool + " " + pa).status);
    r = RunTool(tool + " --list-ignores");
    EXPECT_EQ(0, r.status);
    EXPECT_NE(std::string::npos, r.output.find("font.tail            EXTCREATEFONTINDIRECTW   Wine"));
    EXPECT_NE(std::string::npos, r.output.find("wine.extcreatepen    EXTCREATEPEN             Wine"));
}

} // namespace
