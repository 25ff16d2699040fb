/* The EMF recorder: header and EOF bytes against metafiles GDI wrote under Wine, the derived frame,
 * bounds, the object table's index rules, and failures of the file. */
#include "gdi_test.h"

#include "gdi/gdi_private.h"

#include <string.h>

namespace {

/* h01_empty_noframe.emf: CreateEnhMetaFileA(DISPLAY reference, file, NULL, NULL) then
 * CloseEnhMetaFile, written by GDI under Wine 8. Header (108 bytes) then EMR_EOF (20 bytes). */
const std::vector<uint8_t> kEmptyNoFrame = {
    0x01, 0x00, 0x00, 0x00, 0x6c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xe6, 0xff, 0xff, 0xff, 0xe6, 0xff, 0xff, 0xff, 0x20, 0x45, 0x4d, 0x46, 0x00, 0x00, 0x01, 0x00,
    0x80, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,
    0x0f, 0x01, 0x00, 0x00, 0xcb, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x98, 0x22, 0x04, 0x00, 0xf8, 0x18, 0x03, 0x00, 0x0e, 0x00, 0x00, 0x00,
    0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00,
};

/* h02_empty_frame.emf: the same with the frame (0,0,21000,29700), kept as passed. */
const std::vector<uint8_t> kEmptyA4Frame = {
    0x01, 0x00, 0x00, 0x00, 0x6c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x08, 0x52, 0x00, 0x00, 0x04, 0x74, 0x00, 0x00, 0x20, 0x45, 0x4d, 0x46, 0x00, 0x00, 0x01, 0x00,
    0x80, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,
    0x0f, 0x01, 0x00, 0x00, 0xcb, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x98, 0x22, 0x04, 0x00, 0xf8, 0x18, 0x03, 0x00, 0x0e, 0x00, 0x00, 0x00,
    0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00,
};

/* h04_desc.emf: frame (0,0,21000,29700) and description "App\0Title1\0": 12 UTF-16 units with the
 * final extra NUL, at offset 108, header size 132. */
const std::vector<uint8_t> kEmptyWithDescription = {
    0x01, 0x00, 0x00, 0x00, 0x84, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x08, 0x52, 0x00, 0x00, 0x04, 0x74, 0x00, 0x00, 0x20, 0x45, 0x4d, 0x46, 0x00, 0x00, 0x01, 0x00,
    0x98, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00,
    0x6c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,
    0x0f, 0x01, 0x00, 0x00, 0xcb, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x98, 0x22, 0x04, 0x00, 0xf8, 0x18, 0x03, 0x00, 0x41, 0x00, 0x70, 0x00,
    0x70, 0x00, 0x00, 0x00, 0x54, 0x00, 0x69, 0x00, 0x74, 0x00, 0x6c, 0x00, 0x65, 0x00, 0x31, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x10, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00,
};

/* o05_index_reuse.emf without its marker comments: pen a, brush b, pen c selected (indexes 1, 2, 3);
 * delete a; brush d takes 1; delete b; pen e takes 2; delete c; a never-selected pen deleted
 * (nothing); stock BLACK_PEN and WHITE_BRUSH selected; d and e deleted. Its header has nHandles 4. */
const std::vector<uint8_t> kIndexReuseBody = Words({
    38, 28, 1, PS_SOLID, 1, 0, 0x000001, /* CREATEPEN 1 */
    37, 12, 1,                           /* SELECTOBJECT 1 */
    39, 24, 2, BS_SOLID, 0x000002, 0,    /* CREATEBRUSHINDIRECT 2 */
    37, 12, 2,
    38, 28, 3, PS_SOLID, 1, 0, 0x000003,
    37, 12, 3,
    40, 12, 1,                           /* DELETEOBJECT 1 */
    39, 24, 1, BS_SOLID, 0x000004, 0,    /* brush d in the freed index 1 */
    37, 12, 1,
    40, 12, 2,
    38, 28, 2, PS_SOLID, 1, 0, 0x000005, /* pen e in the freed index 2 */
    37, 12, 2,
    40, 12, 3,
    37, 12, 0x80000007,                  /* stock BLACK_PEN */
    37, 12, 0x80000000,                  /* stock WHITE_BRUSH */
    40, 12, 1,
    40, 12, 2,
});

enum { HEADER_FRAME = 24, HEADER_BOUNDS = 8, HEADER_NBYTES = 48, HEADER_NRECORDS = 52, HEADER_NHANDLES = 56 };

class RecorderTest : public GdiTest {
protected:
    /* Unions a bounds rectangle as the drawing calls do. */
    void AddBounds(HDC dc, emf::RECTL r)
    {
        gdi_lock();
        emf_add_bounds(gdi_dc(dc), r);
        gdi_unlock();
    }
    HPEN Pen(COLORREF color)
    {
        LOGPEN lp = {PS_SOLID, {1, 0}, color};
        return CreatePenIndirect(&lp);
    }
    HBRUSH Brush(COLORREF color)
    {
        LOGBRUSH lb = {BS_SOLID, color, 0};
        return CreateBrushIndirect(&lb);
    }
    std::vector<uint8_t> Concat(const std::vector<EmfRecord> &records)
    {
        std::vector<uint8_t> all;
        for (const EmfRecord &r : records)
            all.insert(all.end(), r.bytes.begin(), r.bytes.end());
        return all;
    }
};

TEST_F(RecorderTest, EmptyMetafilesMatchGdiByteForByte)
{
    const RECT a4 = {0, 0, 21000, 29700};
    struct Row {
        const char *name;
        bool nullReference;
        const RECT *frame;
        const char *description;
        const std::vector<uint8_t> *expected;
    } rows[] = {
        {"h01", false, NULL, NULL, &kEmptyNoFrame},
        {"h03: a NULL reference is the display", true, NULL, NULL, &kEmptyNoFrame},
        {"h02", false, &a4, NULL, &kEmptyA4Frame},
        {"h04", false, &a4, "App\0Title1\0", &kEmptyWithDescription},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        HDC dc = row.nullReference
                     ? CreateEnhMetaFileA(NULL, FilePath("empty.emf").c_str(), row.frame, row.description)
                     : NewMetafile("empty.emf", row.frame, row.description);
        EXPECT_EQ(GetObjectType(dc), (DWORD)OBJ_ENHMETADC);
        EXPECT_TRUE(SameBytes(CloseAndRead(dc, "empty.emf"), *row.expected));
    }
}

TEST_F(RecorderTest, NullFrameIsTheBoundsInHundredthsOfAMillimetreRoundedToNearest)
{
    /* DISPLAY: 1024 x 768 px, 271 x 203 mm; frame = bounds * mm * 100 / px, rounded half away from
     * zero, as Windows writes it (Wine truncates and overflows past about 79000 px). */
    struct Row {
        emf::RECTL bounds;
        emf::RECTL frame;
    } rows[] = {
        /* 10*27100/1024 = 264.65, 20*20300/768 = 528.65, 109*27100/1024 = 2884.67, 219*20300/768 = 5788.67 */
        {{10, 20, 109, 219}, {265, 529, 2885, 5789}},
        /* 128*27100/1024 = 3387.5 exactly, 96*20300/768 = 2537.5 exactly: halves go away from zero */
        {{-128, -96, 128, 96}, {-3388, -2538, 3388, 2538}},
        /* 100000*27100/1024 = 2646484.375: no 32-bit overflow */
        {{0, 0, 100000, 1}, {0, 0, 2646484, 26}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.bounds.right);
        HDC dc = NewMetafile("frame.emf");
        AddBounds(dc, row.bounds);
        std::vector<uint8_t> bytes = CloseAndRead(dc, "frame.emf");
        ASSERT_EQ(bytes.size(), 128u);
        EXPECT_EQ(I32(bytes, HEADER_BOUNDS), row.bounds.left);
        EXPECT_EQ(I32(bytes, HEADER_BOUNDS + 12), row.bounds.bottom);
        EXPECT_EQ(I32(bytes, HEADER_FRAME), row.frame.left);
        EXPECT_EQ(I32(bytes, HEADER_FRAME + 4), row.frame.top);
        EXPECT_EQ(I32(bytes, HEADER_FRAME + 8), row.frame.right);
        EXPECT_EQ(I32(bytes, HEADER_FRAME + 12), row.frame.bottom);
    }
}

TEST_F(RecorderTest, BoundsAreTheUnionAndEmptyRectanglesAddNothing)
{
    RECT frame = {1, 2, 3, 4};
    HDC dc = NewMetafile("union.emf", &frame);
    AddBounds(dc, emf::RECTL{10, 20, 109, 219});
    AddBounds(dc, emf::RECTL{500, 500, 499, 600}); /* right < left */
    AddBounds(dc, emf::RECTL{-50, -60, 300, 40});
    AddBounds(dc, emf::RECTL{-900, 0, 900, -1});   /* bottom < top */
    std::vector<uint8_t> bytes = CloseAndRead(dc, "union.emf");
    ASSERT_EQ(bytes.size(), 128u);
    EXPECT_EQ(I32(bytes, HEADER_BOUNDS), -50);
    EXPECT_EQ(I32(bytes, HEADER_BOUNDS + 4), -60);
    EXPECT_EQ(I32(bytes, HEADER_BOUNDS + 8), 300);
    EXPECT_EQ(I32(bytes, HEADER_BOUNDS + 12), 219);
    EXPECT_EQ(I32(bytes, HEADER_FRAME + 8), 3) << "a frame passed in is kept even if it does not enclose";
}

TEST_F(RecorderTest, ObjectIndexesAreTheLowestFreeAndReusedAsGdiReusesThem)
{
    HDC dc = NewMetafile("reuse.emf");
    HPEN a = Pen(RGB(1, 0, 0));
    HBRUSH b = Brush(RGB(2, 0, 0));
    HPEN c = Pen(RGB(3, 0, 0));
    HBRUSH d = Brush(RGB(4, 0, 0));
    HPEN e = Pen(RGB(5, 0, 0));
    HPEN never = Pen(RGB(6, 0, 0));
    SelectObject(dc, a);
    SelectObject(dc, b);
    SelectObject(dc, c);
    EXPECT_TRUE(DeleteObject(a));
    SelectObject(dc, d);
    EXPECT_TRUE(DeleteObject(b));
    SelectObject(dc, e);
    EXPECT_TRUE(DeleteObject(c));
    EXPECT_TRUE(DeleteObject(never));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(d);
    DeleteObject(e);
    std::vector<uint8_t> bytes = CloseAndRead(dc, "reuse.emf");
    std::vector<EmfRecord> records = SplitRecords(bytes);
    ASSERT_GE(records.size(), 2u);
    EXPECT_TRUE(SameBytes(Concat(std::vector<EmfRecord>(records.begin() + 1, records.end() - 1)), kIndexReuseBody));
    EXPECT_EQ(U32(bytes, HEADER_NHANDLES) & 0xFFFF, 4u) << "three objects at most were in the table at once";
    EXPECT_EQ(U32(bytes, HEADER_NBYTES), (uint32_t)bytes.size());
    EXPECT_EQ(U32(bytes, HEADER_NRECORDS), (uint32_t)records.size());
}

TEST_F(RecorderTest, TablesArePerMetafileAndDeleteObjectReachesEveryOne)
{
    HDC d1 = NewMetafile("one.emf");
    HDC d2 = NewMetafile("two.emf");
    HPEN p = Pen(RGB(7, 7, 7));
    HBRUSH b = Brush(RGB(8, 8, 8));
    SelectObject(d1, b);
    SelectObject(d1, p);
    SelectObject(d2, p);
    SelectObject(d1, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(p)) << "still selected into d2";
    std::vector<EmfRecord> one = CloseAndBody(d1, "one.emf");
    std::vector<EmfRecord> two = CloseAndBody(d2, "two.emf");
    EXPECT_TRUE(DeleteObject(b));
    /* d1: brush 1, pen 2, stock pen, delete 2. d2: pen 1, delete 1. */
    ASSERT_EQ(one.size(), 6u);
    EXPECT_EQ(U32(one[2].bytes, 8), 2u) << "the pen's index in d1";
    EXPECT_EQ(one[5].type, (uint32_t)emf::EMR_DELETEOBJECT);
    EXPECT_EQ(U32(one[5].bytes, 8), 2u);
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(U32(two[0].bytes, 8), 1u) << "the same pen's index in d2";
    EXPECT_EQ(two[2].type, (uint32_t)emf::EMR_DELETEOBJECT);
    EXPECT_EQ(U32(two[2].bytes, 8), 1u);
}

TEST_F(RecorderTest, DeletingTheSelectedObjectRecordsAtOnceAndKillsItAtDeselection)
{
    HDC dc = NewMetafile("selected.emf");
    HPEN p = Pen(RGB(9, 9, 9));
    SelectObject(dc, p);
    SelectObject(dc, p);
    EXPECT_TRUE(DeleteObject(p));
    EXPECT_EQ(GetObjectType(p), (DWORD)OBJ_PEN) << "GDI keeps a selected object until it is deselected";
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), (HGDIOBJ)p);
    EXPECT_EQ(GetObjectType(p), 0u);
    EXPECT_FALSE(DeleteObject(p)) << "a second DeleteObject fails";
    std::vector<EmfRecord> body = CloseAndBody(dc, "selected.emf");
    std::vector<uint32_t> types;
    for (const EmfRecord &r : body)
        types.push_back(r.type);
    EXPECT_EQ(types, (std::vector<uint32_t>{emf::EMR_CREATEPEN, emf::EMR_SELECTOBJECT, emf::EMR_SELECTOBJECT,
                                            emf::EMR_DELETEOBJECT, emf::EMR_SELECTOBJECT}))
        << "re-selecting writes SELECTOBJECT again; the deleted pen gets no second DELETEOBJECT";
}

TEST_F(RecorderTest, LongMetafilesAddUpAcrossTheBufferAndARecordLargerThanIt)
{
    HDC dc = NewMetafile("long.emf");
    for (int i = 0; i < 7000; i++) /* 84000 bytes of 12-byte records */
        SetROP2(dc, R2_COPYPEN);
    std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + 8 + 1024 * 128, 0x5A); /* 1 bpp, 1024 x 1024 */
    BITMAPINFOHEADER hdr = {sizeof hdr, 1024, 1024, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
    memcpy(dib.data(), &hdr, sizeof hdr);
    HBRUSH big = CreateDIBPatternBrushPt(dib.data(), DIB_RGB_COLORS);
    SelectObject(dc, big);
    SetBkMode(dc, TRANSPARENT);
    std::vector<uint8_t> bytes = CloseAndRead(dc, "long.emf");
    DeleteObject(big);
    std::vector<EmfRecord> records = SplitRecords(bytes);
    ASSERT_EQ(records.size(), 7000u + 5);
    EXPECT_EQ(U32(bytes, HEADER_NBYTES), (uint32_t)bytes.size());
    EXPECT_EQ(U32(bytes, HEADER_NRECORDS), (uint32_t)records.size());
    EXPECT_EQ(records[7001].type, (uint32_t)emf::EMR_CREATEDIBPATTERNBRUSHPT);
    EXPECT_EQ(records[7001].bytes.size(), 36u + 48 + 1024 * 128);
    EXPECT_EQ(records[7001].bytes.back(), 0x5A);
    EXPECT_EQ(records[7003].type, (uint32_t)emf::EMR_SETBKMODE);
}

TEST_F(RecorderTest, AFileThatCannotBeWrittenFailsTheClose)
{
    HDC ref = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
    HDC dc = CreateEnhMetaFileA(ref, "/dev/full", NULL, NULL);
    ASSERT_NE(dc, nullptr);
    SetBkMode(dc, TRANSPARENT);
    SetLastError(0);
    EXPECT_EQ(CloseEnhMetaFile(dc), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_EQ(GetObjectType(dc), 0u) << "the DC is released all the same";
    DeleteDC(ref);
}

TEST_F(RecorderTest, ACreationThatFailsLeavesNothingOpen)
{
    HDC ref = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
    struct Row {
        const char *name;
        const char *file;
        DWORD error;
    } rows[] = {
        {"missing folder", "C:\\NO\\SUCH\\FOLDER\\x.emf", ERROR_PATH_NOT_FOUND},
        {"a folder as the file", "C:\\WINDOWS", ERROR_ACCESS_DENIED},
        {"no file name", NULL, ERROR_INVALID_PARAMETER},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        EXPECT_EQ(CreateEnhMetaFileA(ref, row.file, NULL, NULL), nullptr);
        EXPECT_EQ(GetLastError(), row.error);
    }
    DeleteDC(ref);
}

TEST_F(RecorderTest, AClosedOrDeletedMetafileDcIsDead)
{
    /* Both go with a path open: its figures go with the DC (the sanitizer build sees a leak). */
    HDC closed = NewMetafile("closed.emf");
    EXPECT_TRUE(BeginPath(closed));
    EXPECT_TRUE(LineTo(closed, 10, 20));
    std::vector<uint8_t> complete = CloseAndRead(closed, "closed.emf");
    HDC deleted = NewMetafile("deleted.emf");
    EXPECT_TRUE(BeginPath(deleted));
    EXPECT_TRUE(LineTo(deleted, 10, 20));
    EXPECT_TRUE(DeleteDC(deleted)) << "DeleteDC drops an open metafile";
    for (HDC dc : {closed, deleted}) {
        SetLastError(0);
        EXPECT_EQ(SetROP2(dc, R2_XORPEN), 0);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        EXPECT_EQ(CloseEnhMetaFile(dc), nullptr);
        EXPECT_FALSE(DeleteDC(dc));
    }
    EXPECT_EQ(ReadFile(FilePath("closed.emf")), complete) << "a second close leaves the file alone";
}

TEST_F(RecorderTest, MetafileHandlesAreReleasedOnce)
{
    HDC dc = NewMetafile("handle.emf");
    HENHMETAFILE hmf = CloseEnhMetaFile(dc);
    ASSERT_NE(hmf, nullptr);
    EXPECT_EQ(GetObjectType(hmf), (DWORD)OBJ_ENHMETAFILE);
    EXPECT_FALSE(DeleteObject(hmf)) << "a metafile is no GDI drawing object";
    EXPECT_TRUE(DeleteEnhMetaFile(hmf));
    SetLastError(0);
    EXPECT_FALSE(DeleteEnhMetaFile(hmf));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(DeleteEnhMetaFile((HENHMETAFILE)dc));
    EXPECT_EQ(ReadFile(FilePath("handle.emf")).size(), 128u) << "the file stays";
}

} /* namespace */
