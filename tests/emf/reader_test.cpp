/* The EMF reader: what it rejects and where it says the fault is, what it accepts, its accessors
 * and the record-name table. */
#include <gtest/gtest.h>

#include <string.h>

#include "emf_reader.h"
#include "test_util.h"

using namespace emf;

namespace {

struct Rejection {
    const char *name;
    Bytes (*sample)();
    void (*mutate)(Bytes &b);
    const char *expect; /* fragment of the reader's message */
};

Bytes D01() { return ToBytes(kSampleD01); }
Bytes T00() { return ToBytes(kSampleT00); }
Bytes B05() { return ToBytes(kSampleB05); }
Bytes O08() { return ToBytes(kSampleO08); }

/* SelectClipRgn(NULL): cbRgnData 0 at 116, iMode RGN_COPY at 120. */
Bytes ClipNull() { return BuildEmf({Record({EMR_EXTSELECTCLIPRGN, 16, 0, 5})}, 1); }

/* Two polygons of 3 and 2 16-bit points: nPolys at 132, cpts at 136, counts at 140 and 144. */
Bytes PolyPoly16()
{
    return BuildEmf({Record({EMR_POLYPOLYGON16, 60, 0, 0, 9, 9, 2, 5, 3, 2, 0x00010000,
                             0x00020003, 0x00040005, 0x00060007, 0x00090008})}, 1);
}

/* d01: header @0 (108), POLYGON16 @108 (40, cpts at 132), EOF @148 (20). */
const Rejection kRejections[] = {
    {"shorter than a header", D01, [](Bytes &b) { b.resize(80); },
     "record 0 at offset 0: file has 80 bytes, shorter than an 88-byte header"},
    {"first record not a header", D01, [](Bytes &b) { Put32(b, 0, EMR_EOF); },
     "record 0 at offset 0: first record has type 14, not EMR_HEADER"},
    {"bad signature", D01, [](Bytes &b) { Put32(b, 40, 0x464D4521); }, "bad signature 0x464d4521"},
    {"header nSize below 88", D01, [](Bytes &b) { Put32(b, 4, 84); }, "header nSize 84 is below 88"},
    {"header nSize unaligned", D01, [](Bytes &b) { Put32(b, 4, 110); }, "header nSize 110 is below 88 or not a multiple of 4"},
    {"header nSize past the end", D01, [](Bytes &b) { Put32(b, 4, 172); }, "header nSize 172 runs past the end of the 168-byte file"},
    {"nBytes above the size", D01, [](Bytes &b) { Put32(b, 48, 172); }, "nBytes 172 but the file has 168 bytes"},
    {"nBytes below the size", D01, [](Bytes &b) { Put32(b, 48, 148); }, "nBytes 148 but the file has 168 bytes"},
    {"nRecords too high", D01, [](Bytes &b) { Put32(b, 52, 4); }, "record 0 at offset 0: nRecords 4 but the file holds 3 records"},
    {"nRecords too low", D01, [](Bytes &b) { Put32(b, 52, 2); }, "nRecords 2 but the file holds 3 records"},
    {"record size 0", D01, [](Bytes &b) { Put32(b, 112, 0); }, "record 1 at offset 108: nSize is 0"},
    {"record size unaligned", D01, [](Bytes &b) { Put32(b, 112, 38); }, "record 1 at offset 108: nSize 38 is not a multiple of 4"},
    {"record size below 8", D01, [](Bytes &b) { Put32(b, 112, 4); }, "record 1 at offset 108: nSize 4 is not a multiple of 4 of at least 8"},
    {"record past the end", D01, [](Bytes &b) { Put32(b, 112, 64); }, "record 1 at offset 108: nSize 64 runs past the end of the file (60 bytes left)"},
    {"EOF record past the end", D01, [](Bytes &b) { Put32(b, 152, 24); }, "record 2 at offset 148: nSize 24 runs past the end"},
    {"no final EOF", D01, [](Bytes &b) { Put32(b, 148, EMR_GDICOMMENT); }, "record 2 at offset 148: the last record is GDICOMMENT, not EMR_EOF"},
    {"record after EOF", D01, [](Bytes &b) {
         b.insert(b.end(), kSampleD01 + 148, kSampleD01 + 168);
         Put32(b, 48, 188);
         Put32(b, 52, 4);
     }, "record 3 at offset 168: record of type 14 after EMR_EOF"},
    {"bytes after EOF", D01, [](Bytes &b) { b.resize(172); Put32(b, 48, 172); }, "record 3 at offset 168: only 4 bytes left"},
    {"type 0", D01, [](Bytes &b) { Put32(b, 108, 0); }, "record 1 at offset 108: record type 0 is not an EMF record type"},
    {"an unassigned type", D01, [](Bytes &b) { Put32(b, 108, 69); }, "record type 69 is not"},
    {"a type past the last", D01, [](Bytes &b) { Put32(b, 108, EMR_MAX + 1); }, "record type 123 is not"},
    {"a second header", D01, [](Bytes &b) { Put32(b, 108, EMR_HEADER); }, "record 1 at offset 108: a second EMR_HEADER"},
    {"EOF nSizeLast", D01, [](Bytes &b) { Put32(b, 164, 16); }, "record 2 at offset 148: EOF: nSizeLast 16 differs from nSize 20"},
    {"EOF palette outside", D01, [](Bytes &b) { Put32(b, 156, 1); Put32(b, 160, 8); }, "EOF: 1 palette entries at 8 outside the record"},
    {"points beyond nSize", D01, [](Bytes &b) { Put32(b, 132, 4); }, "record 1 at offset 108: POLYGON16: 4 points need 44 bytes, nSize is 40"},
    {"points count overflowing", D01, [](Bytes &b) { Put32(b, 132, 0x40000001); }, "POLYGON16: 1073741825 points need 4294967328 bytes"},
    {"fixed part missing", D01, [](Bytes &b) {
         Put32(b, 108, EMR_RECTANGLE);
         Put32(b, 112, 20);
         b.erase(b.begin() + 128, b.begin() + 148);
         Put32(b, 48, 148);
     }, "RECTANGLE: nSize 20 below the 24 bytes of its fixed part"},
    {"polygon counts against cpts", PolyPoly16, [](Bytes &b) { Put32(b, 144, 3); }, "record 1 at offset 108: POLYPOLYGON16: polygon counts add up to 6, cpts is 5"},
    {"polygon counts beyond nSize", PolyPoly16, [](Bytes &b) { Put32(b, 132, 3); }, "POLYPOLYGON16: 3 polygons of 5 points need 64 bytes, nSize is 60"},
    /* t00: EXTTEXTOUTW @108 (108): nChars at 152, offString 156, offDx 180. */
    {"text string outside", T00, [](Bytes &b) { Put32(b, 152, 20); }, "record 1 at offset 108: EXTTEXTOUTW: string at 76, 40 bytes, outside 76..108"},
    {"text string in the fixed part", T00, [](Bytes &b) { Put32(b, 156, 72); }, "EXTTEXTOUTW: string at 72, 10 bytes, outside 76..108"},
    {"text dx outside", T00, [](Bytes &b) { Put32(b, 180, 92); }, "EXTTEXTOUTW: dx array at 92, 20 bytes, outside 76..108"},
    {"text dx pairs outside", T00, [](Bytes &b) { Put32(b, 160, 0x2000); }, "EXTTEXTOUTW: dx array at 88, 40 bytes"},
    /* b05: STRETCHDIBITS @108 (136): offBmi 156, cbBmi 160, offBits 164, cbBits 168, BMI at 188. */
    {"bitmap bits outside", B05, [](Bytes &b) { Put32(b, 168, 20); }, "STRETCHDIBITS: bitmap bits at 120, 20 bytes, outside 80..136"},
    {"bitmap info in the fixed part", B05, [](Bytes &b) { Put32(b, 156, 76); }, "STRETCHDIBITS: bitmap info at 76, 40 bytes, outside 80..136"},
    {"bitmap depth", B05, [](Bytes &b) { Put32(b, 200, 0x00030001); }, "STRETCHDIBITS: biBitCount 3 is no DIB depth"},
    {"bitmap colours beyond cbBmi", B05, [](Bytes &b) { Put32(b, 220, 1); }, "STRETCHDIBITS: 1 colours do not fit cbBmi 40"},
    {"bitmap colours past 256 count as 256", B05, [](Bytes &b) { Put32(b, 220, 1000); }, "STRETCHDIBITS: 256 colours do not fit cbBmi 40"},
    {"empty bitmap offset past the record", B05, [](Bytes &b) { Put32(b, 168, 0); Put32(b, 164, 140); }, "STRETCHDIBITS: bitmap bits offset 140 past the record's 136 bytes"},
    {"bitmap wider than its bits", B05, [](Bytes &b) { Put32(b, 192, 3); }, "STRETCHDIBITS: a 3x2 DIB of 24 bpp needs 24 bytes of bits, cbBits is 16"},
    {"bitmap taller than its bits", B05, [](Bytes &b) { Put32(b, 196, (uint32_t)-3); }, "STRETCHDIBITS: a 2x-3 DIB of 24 bpp needs 24 bytes"},
    {"bitmap depth 0 uncompressed", B05, [](Bytes &b) { Put32(b, 200, 1); }, "STRETCHDIBITS: biBitCount 0 is no DIB depth"},
    {"run-length bitmap of 24 bpp", B05, [](Bytes &b) { Put32(b, 204, 1); }, "STRETCHDIBITS: run-length compression 1 with 24 bpp"},
    {"bitmap of negative width", B05, [](Bytes &b) { Put32(b, 192, (uint32_t)-2); }, "STRETCHDIBITS: negative biWidth -2"},
    {"bitmap info header too big", B05, [](Bytes &b) { Put32(b, 188, 44); }, "STRETCHDIBITS: biSize 44 larger than cbBmi 40"},
    {"clip mode", ClipNull, [](Bytes &b) { Put32(b, 120, 6); }, "record 1 at offset 108: EXTSELECTCLIPRGN: iMode 6 is no region mode"},
    {"no region to AND", ClipNull, [](Bytes &b) { Put32(b, 120, 1); }, "EXTSELECTCLIPRGN: no region with iMode 1; only RGN_COPY takes none"},
    {"region data beyond the record", ClipNull, [](Bytes &b) { Put32(b, 116, 32); }, "EXTSELECTCLIPRGN: region data at 16, 32 bytes, outside 16..16"},
    /* o08 (nHandles 2): CREATEPEN @108, SELECTOBJECT @136, SELECTOBJECT stock @204, DELETEOBJECT @216. */
    {"pen slot at nHandles", O08, [](Bytes &b) { Put32(b, 116, 2); }, "record 1 at offset 108: CREATEPEN: object slot 2 outside 1..1 (nHandles 2)"},
    {"pen slot 0", O08, [](Bytes &b) { Put32(b, 116, 0); }, "CREATEPEN: object slot 0 outside"},
    {"stock bit on a creation", O08, [](Bytes &b) { Put32(b, 116, 0x80000001); }, "CREATEPEN: object slot 2147483649 outside"},
    {"deleted slot out of range", O08, [](Bytes &b) { Put32(b, 224, 5); }, "record 5 at offset 216: DELETEOBJECT: object slot 5 outside"},
};

TEST(EmfReader, RejectsMalformedFilesSayingWhere)
{
    for (const Rejection &row : kRejections) {
        SCOPED_TRACE(row.name);
        Bytes b = row.sample();
        row.mutate(b);
        EmfFile f;
        memset(&f, 0xab, sizeof f);
        char error[256];
        memset(error, 'x', sizeof error);
        ASSERT_EQ(-1, EmfLoadMemory(b.data(), b.size(), &f, error, sizeof error));
        EXPECT_NE(nullptr, strstr(error, row.expect)) << "message: " << error;
        EXPECT_EQ(nullptr, f.bytes);
        EXPECT_EQ(nullptr, f.records);
        EXPECT_EQ(0u, f.count);
    }
}

TEST(EmfReader, CutsLongMessagesToTheBuffer)
{
    Bytes b = D01();
    Put32(b, 52, 4);
    EmfFile f;
    char error[12];
    memset(error, 'x', sizeof error);
    ASSERT_EQ(-1, EmfLoadMemory(b.data(), b.size(), &f, error, sizeof error));
    EXPECT_STREQ("record 0 at", error);
    EXPECT_EQ(-1, EmfLoadMemory(b.data(), b.size(), &f, NULL, 0));
}

TEST(EmfReader, IndexesRecordsOfACopy)
{
    Bytes b = D01();
    EmfFile f;
    char error[256];
    ASSERT_EQ(0, EmfLoadMemory(b.data(), b.size(), &f, error, sizeof error)) << error;
    b.assign(b.size(), 0); /* the reader keeps its own copy */
    ASSERT_EQ(3u, f.count);
    EXPECT_EQ(168u, f.size);
    const uint32_t types[] = {EMR_HEADER, EMR_POLYGON16, EMR_EOF};
    const uint32_t sizes[] = {108, 40, 20};
    const uint32_t offsets[] = {0, 108, 148};
    for (uint32_t i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(types[i], f.records[i].iType);
        EXPECT_EQ(sizes[i], f.records[i].nSize);
        EXPECT_EQ(offsets[i], f.records[i].offset);
        EXPECT_EQ(f.bytes + offsets[i], f.records[i].data);
    }
    /* POLYGON16's third point is (60,120); its bounds' right edge is 110. */
    EXPECT_EQ(60, EmfI16(&f.records[1], 36));
    EXPECT_EQ(120, EmfI16(&f.records[1], 38));
    EXPECT_EQ(110u, EmfU32(&f.records[1], 16));
    EmfFree(&f);
    EXPECT_EQ(nullptr, f.bytes);
    EmfFree(&f); /* a zeroed file is accepted */
}

/* GDI copies at most 256 colours whatever biClrUsed says: a 32-bit 1x1 DIB counting 300 is
 * recorded with a 1024-byte table, and such a record loads. */
TEST(EmfReader, AcceptsTheColoursGdiCopiesOfALargerCount)
{
    Bytes stretch = Record({EMR_STRETCHDIBITS, 80 + 1064 + 4, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 80, 1064, 1144, 4, 0,
                            0x00CC0020, 1, 1, 40, 1, 1, 0x00200001, 0, 0, 0, 0, 300, 0});
    stretch.resize(80 + 1064 + 4, 0);
    Bytes b = BuildEmf({stretch}, 1);
    EmfFile f;
    char error[256] = "";
    ASSERT_EQ(0, EmfLoadMemory(b.data(), b.size(), &f, error, sizeof error)) << error;
    EXPECT_EQ(1148u, f.records[1].nSize);
    EmfFree(&f);
}

TEST(EmfReader, AccessorsStayInsideTheRecord)
{
    EmfFile f;
    ASSERT_EQ(0, EmfLoadMemory(kSampleD01, sizeof kSampleD01, &f, NULL, 0));
    const EmfRecord *eof = &f.records[2];
    EXPECT_EQ(20u, EmfU32(eof, 16));
    EXPECT_EQ(0u, EmfU32(eof, 17)); /* would read the next file byte */
    EXPECT_EQ(0u, EmfU32(eof, 0xfffffffe));
    EXPECT_EQ(0u, EmfU16(eof, 19));
    EXPECT_EQ(20, EmfI16(eof, 16));

    EMRPOLYLINE16 poly;
    memset(&poly, 0xab, sizeof poly);
    ASSERT_EQ(0, EmfRecordFixed(&f.records[1], &poly, sizeof poly));
    EXPECT_EQ(3u, poly.cpts);
    EXPECT_EQ(20, poly.rclBounds.top);
    ENHMETAHEADER big;
    memset(&big, 0xab, sizeof big);
    EXPECT_EQ(-1, EmfRecordFixed(eof, &big, sizeof big));
    EXPECT_EQ(0xabababab, big.nBytes); /* left unchanged */
    EmfFree(&f);
}

TEST(EmfReader, AcceptsAnEightyEightByteHeader)
{
    /* d01 with the header cut after szlMillimeters, as the oldest writers made it. */
    Bytes b = D01();
    b.erase(b.begin() + 88, b.begin() + 108);
    Put32(b, 4, 88);
    Put32(b, 48, 148);
    EmfFile f;
    char error[256];
    ASSERT_EQ(0, EmfLoadMemory(b.data(), b.size(), &f, error, sizeof error)) << error;
    ENHMETAHEADER h;
    memset(&h, 0xab, sizeof h);
    EmfGetHeader(&f, &h);
    EXPECT_EQ(1024, h.szlDevice.cx);
    EXPECT_EQ(203, h.szlMillimeters.cy);
    EXPECT_EQ(0, h.szlMicrometers.cx);
    EXPECT_EQ(0u, h.bOpenGL);
    EmfFree(&f);
}

TEST(EmfReader, LoadsFilesAndReportsSystemErrors)
{
    std::string good = WriteTemp(D01(), "reader_good.emf");
    EmfFile f;
    char error[256];
    ASSERT_EQ(0, EmfLoadFile(good.c_str(), &f, error, sizeof error)) << error;
    EXPECT_EQ(3u, f.count);
    EmfFree(&f);

    EXPECT_EQ(-1, EmfLoadFile("/nonexistent/x.emf", &f, error, sizeof error));
    EXPECT_STREQ("No such file or directory", error);
    EXPECT_EQ(-1, EmfLoadFile("/tmp", &f, error, sizeof error));
    EXPECT_STREQ("not a regular file", error);
    std::string empty = WriteTemp(Bytes(), "reader_empty.emf");
    EXPECT_EQ(-1, EmfLoadFile(empty.c_str(), &f, error, sizeof error));
    EXPECT_NE(nullptr, strstr(error, "file has 0 bytes"));
    EXPECT_EQ(nullptr, f.bytes);
}

/* Every metafile GDI wrote under Wine loads, and its records tile the file as the header says. */
TEST(EmfReader, AcceptsEveryWineSample)
{
    std::vector<std::string> files = SampleFiles();
    if (files.empty())
        GTEST_SKIP() << "no sample folder at " << EMF_SAMPLE_DIR;
    for (const std::string &path : files) {
        SCOPED_TRACE(path);
        EmfFile f;
        char error[256];
        ASSERT_EQ(0, EmfLoadFile(path.c_str(), &f, error, sizeof error)) << error;
        ENHMETAHEADER h;
        EmfGetHeader(&f, &h);
        uint64_t sum = 0;
        for (uint32_t i = 0; i < f.count; i++)
            sum += f.records[i].nSize;
        EXPECT_EQ(f.size, sum);
        EXPECT_EQ(h.nRecords, f.count);
        EXPECT_EQ(EMR_EOF, f.records[f.count - 1].iType);
        EmfFree(&f);
    }
}

#define NAME_ROW(type) {type, #type + 4}

TEST(EmfReader, NamesEveryRecordTypeOfTheFormatHeader)
{
    const struct { uint32_t type; const char *name; } rows[] = {
        NAME_ROW(EMR_HEADER), NAME_ROW(EMR_POLYBEZIER), NAME_ROW(EMR_POLYGON),
        NAME_ROW(EMR_POLYLINE), NAME_ROW(EMR_POLYBEZIERTO), NAME_ROW(EMR_POLYLINETO),
        NAME_ROW(EMR_POLYPOLYLINE), NAME_ROW(EMR_POLYPOLYGON), NAME_ROW(EMR_SETWINDOWEXTEX),
        NAME_ROW(EMR_SETWINDOWORGEX), NAME_ROW(EMR_SETVIEWPORTEXTEX),
        NAME_ROW(EMR_SETVIEWPORTORGEX), NAME_ROW(EMR_EOF), NAME_ROW(EMR_SETMAPMODE),
        NAME_ROW(EMR_SETBKMODE), NAME_ROW(EMR_SETPOLYFILLMODE), NAME_ROW(EMR_SETROP2),
        NAME_ROW(EMR_SETSTRETCHBLTMODE), NAME_ROW(EMR_SETTEXTALIGN), NAME_ROW(EMR_SETTEXTCOLOR),
        NAME_ROW(EMR_SETBKCOLOR), NAME_ROW(EMR_MOVETOEX), NAME_ROW(EMR_EXCLUDECLIPRECT),
        NAME_ROW(EMR_INTERSECTCLIPRECT), NAME_ROW(EMR_SAVEDC), NAME_ROW(EMR_RESTOREDC),
        NAME_ROW(EMR_SELECTOBJECT), NAME_ROW(EMR_CREATEPEN), NAME_ROW(EMR_CREATEBRUSHINDIRECT),
        NAME_ROW(EMR_DELETEOBJECT), NAME_ROW(EMR_ELLIPSE), NAME_ROW(EMR_RECTANGLE),
        NAME_ROW(EMR_ROUNDRECT), NAME_ROW(EMR_ARC), NAME_ROW(EMR_CHORD), NAME_ROW(EMR_PIE),
        NAME_ROW(EMR_SELECTPALETTE), NAME_ROW(EMR_LINETO), NAME_ROW(EMR_BEGINPATH),
        NAME_ROW(EMR_ENDPATH), NAME_ROW(EMR_CLOSEFIGURE), NAME_ROW(EMR_FILLPATH),
        NAME_ROW(EMR_STROKEANDFILLPATH), NAME_ROW(EMR_STROKEPATH), NAME_ROW(EMR_WIDENPATH),
        NAME_ROW(EMR_ABORTPATH), NAME_ROW(EMR_GDICOMMENT), NAME_ROW(EMR_EXTSELECTCLIPRGN),
        NAME_ROW(EMR_BITBLT), NAME_ROW(EMR_STRETCHBLT), NAME_ROW(EMR_SETDIBITSTODEVICE),
        NAME_ROW(EMR_STRETCHDIBITS), NAME_ROW(EMR_EXTCREATEFONTINDIRECTW),
        NAME_ROW(EMR_EXTTEXTOUTA), NAME_ROW(EMR_EXTTEXTOUTW), NAME_ROW(EMR_POLYBEZIER16),
        NAME_ROW(EMR_POLYGON16), NAME_ROW(EMR_POLYLINE16), NAME_ROW(EMR_POLYBEZIERTO16),
        NAME_ROW(EMR_POLYLINETO16), NAME_ROW(EMR_POLYPOLYLINE16), NAME_ROW(EMR_POLYPOLYGON16),
        NAME_ROW(EMR_CREATEMONOBRUSH), NAME_ROW(EMR_CREATEDIBPATTERNBRUSHPT),
        NAME_ROW(EMR_EXTCREATEPEN),
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(nullptr, EmfRecordName(row.type));
        EXPECT_STREQ(row.name, EmfRecordName(row.type));
    }
    EXPECT_STREQ("SETICMMODE", EmfRecordName(98));
    EXPECT_STREQ("CREATECOLORSPACEW", EmfRecordName(EMR_MAX));
    for (uint32_t unassigned : {0u, 69u, 107u, 117u, EMR_MAX + 1, 0xffffffffu})
        EXPECT_EQ(nullptr, EmfRecordName(unassigned)) << unassigned;
}

} // namespace
