/* The record lister's lines, checked against values decoded by hand from the Wine samples' bytes,
 * and the emfrecords program's exit statuses. */
#include <gtest/gtest.h>

#include <string.h>

#include "emftools.h"
#include "test_util.h"

using namespace emf;

namespace {

std::string LineOf(const Bytes &b, uint32_t index)
{
    EmfFile f;
    char error[256] = "";
    if (EmfLoadMemory(b.data(), b.size(), &f, error, sizeof error) < 0)
        return std::string("load failed: ") + error;
    char line[1024];
    EmfFormatRecord(&f, index, line, sizeof line);
    EmfFree(&f);
    return line;
}

struct LineRow {
    const char *what;
    Bytes bytes;
    uint32_t index;
    const char *expect;
};

TEST(EmfRecordLines, DecodesTheRecordsOfWineSamples)
{
    const LineRow rows[] = {
        {"d01 header", ToBytes(kSampleD01), 0,
         "#0 @0 HEADER size=108 bounds=(10,20,110,120) frame=(264,528,2911,3171) nBytes=168 "
         "nRecords=3 nHandles=1 device=1024x768 mm=271x203 um=271000x203000"},
        {"d01 polygon", ToBytes(kSampleD01), 1,
         "#1 @108 POLYGON16 size=40 bounds=(10,20,110,120) cpts=3 pts=(10,20) (110,30) (60,120)"},
        {"d01 eof", ToBytes(kSampleD01), 2,
         "#2 @148 EOF size=20 nPalEntries=0 offPalEntries=16 nSizeLast=20"},
        {"t00 text", ToBytes(kSampleT00), 1,
         "#1 @108 EXTTEXTOUTW size=108 bounds=(10,20,11,21) mode=1 scale=26.4648,26.4323 "
         "ref=(10,20) nChars=5 text=\"Hello\" options=0x0 rcl=(0,0,-1,-1) dx=0,0,0,0,0"},
        {"b05 stretchdibits", ToBytes(kSampleB05), 1,
         "#1 @108 STRETCHDIBITS size=136 bounds=(10,20,13,23) dest=(10,20,4,4) src=(0,0,2,2) "
         "rop=0x00cc0020 usage=0 bmi=@80+40 bits=@120+16 dib=2x2x24"},
        {"b10 patcopy bitblt", ToBytes(kSampleB10), 1,
         "#1 @108 BITBLT size=100 bounds=(10,20,109,69) dest=(10,20,100,50) src=(0,0) "
         "rop=0x00f00021 bkSrc=0x00000000 usage=0 bmi=@0+0 bits=@0+0"},
        {"o08 pen", ToBytes(kSampleO08), 1,
         "#1 @108 CREATEPEN size=28 ihPen=1 style=0x0 width=2 color=0x00070707"},
        {"o08 select", ToBytes(kSampleO08), 2, "#2 @136 SELECTOBJECT size=12 ihObject=1"},
        {"o08 marker", ToBytes(kSampleO08), 3,
         "#3 @148 GDICOMMENT size=56 cbData=42 data=\"MK:stock pen into d1, then DeleteObject(p)\""},
        {"o08 stock select", ToBytes(kSampleO08), 4,
         "#4 @204 SELECTOBJECT size=12 ihObject=0x80000007 stock=7"},
        {"o08 delete", ToBytes(kSampleO08), 5, "#5 @216 DELETEOBJECT size=12 ihObject=1"},
    };
    for (const LineRow &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.expect, LineOf(row.bytes, row.index));
    }
}

TEST(EmfRecordLines, DecodesHandMadeRecords)
{
    const LineRow rows[] = {
        {"32-bit points, more than shown",
         BuildEmf({Record({EMR_POLYLINE, 68, (uint32_t)-70000, 0, 70000, 5, 5,
                           (uint32_t)-70000, 0, 1, 1, 2, 2, 3, 3, 70000, 5})}, 1), 1,
         "#1 @108 POLYLINE size=68 bounds=(-70000,0,70000,5) cpts=5 "
         "pts=(-70000,0) (1,1) (2,2) (3,3) ..."},
        {"poly-polygon, 16-bit points",
         BuildEmf({Record({EMR_POLYPOLYGON16, 60, 0, 0, 9, 9, 2, 5, 3, 2,
                           0x00010000, 0x00020003, 0x00040005, 0x00060007, 0x00090008})}, 1), 1,
         "#1 @108 POLYPOLYGON16 size=60 bounds=(0,0,9,9) nPolys=2 cpts=5 counts=3,2 "
         "pts=(0,1) (3,2) (5,4) (7,6) ..."},
        {"no parameters", BuildEmf({Record({EMR_SAVEDC, 8})}, 1), 1, "#1 @108 SAVEDC size=8"},
        {"a type we never write", BuildEmf({Record({98, 12, 2})}, 1), 1,
         "#1 @108 SETICMMODE size=12"},
        {"restore, negative", BuildEmf({Record({EMR_RESTOREDC, 12, (uint32_t)-2})}, 1), 1,
         "#1 @108 RESTOREDC size=12 iRelative=-2"},
        {"arc", BuildEmf({Record({EMR_ARC, 40, 10, 20, 109, 219, 110, 120, 60, 20})}, 1), 1,
         "#1 @108 ARC size=40 box=(10,20,109,219) start=(110,120) end=(60,20)"},
        {"brush", BuildEmf({Record({EMR_CREATEBRUSHINDIRECT, 24, 1, 2, 0x00214365, 5})}, 2), 1,
         "#1 @108 CREATEBRUSHINDIRECT size=24 ihBrush=1 style=2 color=0x00214365 hatch=5"},
        /* The ExtCreatePen record Windows writes for PS_USERSTYLE with three entries. */
        {"extended pen",
         BuildEmf({Record({EMR_EXTCREATEPEN, 68, 1, 68, 0, 68, 0, 0x00010007, 1, 0,
                           0x00896745, 4, 3, 0xabc, 0xdef, 0x888, 0})}, 2), 1,
         "#1 @108 EXTCREATEPEN size=68 ihPen=1 style=0x10007 width=1 brushStyle=0 "
         "color=0x00896745 hatch=4 entries=2748,3567,2184 bmi=@68+0 bits=@68+0"},
        {"clip to a one-rectangle region",
         BuildEmf({Record({EMR_EXTSELECTCLIPRGN, 64, 48, 5, 32, 1, 1, 16, 5, 6, 50, 60,
                           5, 6, 50, 60})}, 1), 1,
         "#1 @108 EXTSELECTCLIPRGN size=64 iMode=5 cbRgnData=48 rects=1 bound=(5,6,50,60) "
         "first=(5,6,50,60)"},
    };
    for (const LineRow &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.expect, LineOf(row.bytes, row.index));
    }
}

TEST(EmfRecordLines, ShowsUtf16AsUtf8WithEscapes)
{
    /* t00's five UTF-16 units (at 184) replaced: U+3042, a surrogate pair for U+1F600, a lone
     * low surrogate, and a quote. */
    Bytes b = ToBytes(kSampleT00);
    const uint16_t units[] = {0x3042, 0xd83d, 0xde00, 0xdc00, 0x0022};
    for (int i = 0; i < 5; i++) {
        b[184 + 2 * i] = (uint8_t)units[i];
        b[185 + 2 * i] = (uint8_t)(units[i] >> 8);
    }
    std::string line = LineOf(b, 1);
    EXPECT_NE(std::string::npos,
              line.find(" text=\"\xe3\x81\x82\xf0\x9f\x98\x80\xef\xbf\xbd\\\"\" "))
        << line;

    /* A header description keeps its separating NULs visible. */
    Bytes h = ToBytes(kSampleD01);
    const char desc[] = "App\0Title1\0\0"; /* 12 units, 24 bytes */
    Bytes d(24);
    for (int i = 0; i < 12; i++)
        d[2 * i] = (uint8_t)desc[i];
    h.insert(h.begin() + 108, d.begin(), d.end());
    Put32(h, 4, 132);
    Put32(h, 48, 192);
    Put32(h, 60, 12);
    Put32(h, 64, 108);
    line = LineOf(h, 0);
    EXPECT_NE(std::string::npos, line.find(" desc=\"App\\0Title1\\0\\0\"")) << line;
}

TEST(EmfRecordLines, CutLinesReportTheirFullLength)
{
    EmfFile f;
    ASSERT_EQ(0, EmfLoadMemory(kSampleD01, sizeof kSampleD01, &f, NULL, 0));
    char full[256], cut[10];
    size_t len = EmfFormatRecord(&f, 1, full, sizeof full);
    memset(cut, 'x', sizeof cut);
    EXPECT_EQ(len, EmfFormatRecord(&f, 1, cut, sizeof cut));
    EXPECT_EQ(strlen(full), len);
    EXPECT_STREQ("#1 @108 P", cut);
    EmfFree(&f);
}

TEST(EmfRecordLines, ProgramPrintsOneLinePerRecordAndRejectsBadFiles)
{
    std::string good = WriteTemp(ToBytes(kSampleD01), "records_good.emf");
    RunResult r = RunTool(std::string(EMFRECORDS_PATH) + " " + good);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(LineOf(ToBytes(kSampleD01), 0) + "\n" + LineOf(ToBytes(kSampleD01), 1) + "\n" +
                  LineOf(ToBytes(kSampleD01), 2) + "\n",
              r.output);

    Bytes bad = ToBytes(kSampleD01);
    Put32(bad, 112, 0);
    std::string badPath = WriteTemp(bad, "records_bad.emf");
    r = RunTool(std::string(EMFRECORDS_PATH) + " " + badPath);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("emfrecords: " + badPath + ": record 1 at offset 108: nSize is 0\n", r.output);

    r = RunTool(std::string(EMFRECORDS_PATH) + " --help");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.output.find("usage: emfrecords [--summary] FILE.emf"));
    EXPECT_EQ(2, RunTool(EMFRECORDS_PATH).status);
    EXPECT_EQ(2, RunTool(std::string(EMFRECORDS_PATH) + " a.emf b.emf").status);
}

} // namespace
