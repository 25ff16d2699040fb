/* Handles the stand-in never trusts: null, junk, stale and wrong-typed handles on every entry point,
 * fault injection, the call trace, and calls from several threads at once. */
#include "gdi_test.h"

#include <algorithm>
#include <functional>
#include <string.h>
#include <thread>
#include <vector>

namespace {

class HandleTest : public GdiTest {
protected:
    void SetUp() override
    {
        GdiTest::SetUp();
        LOGPEN lp = {PS_SOLID, {2, 0}, RGB(1, 2, 3)};
        HPEN pen = CreatePenIndirect(&lp);
        DeleteObject(pen);
        stalePen_ = pen;
        HDC dc = CreateCompatibleDC(NULL);
        DeleteDC(dc);
        staleDc_ = dc;
        closedEmf_ = NewMetafile("closed.emf");
        hmf_ = CloseEnhMetaFile(closedEmf_);
        global_ = GlobalAlloc(GMEM_MOVEABLE, 16);
        bitmap_ = CreateBitmapIndirect(&kBitmap);
    }
    void TearDown() override
    {
        DeleteEnhMetaFile(hmf_);
        GlobalFree(global_);
        DeleteObject(bitmap_);
        GdiTest::TearDown();
    }
    static const BITMAP kBitmap;
    HGDIOBJ stalePen_ = NULL;
    HDC staleDc_ = NULL, closedEmf_ = NULL;
    HENHMETAFILE hmf_ = NULL;
    HGLOBAL global_ = NULL;
    HBITMAP bitmap_ = NULL;
};

const BITMAP HandleTest::kBitmap = {0, 4, 4, 2, 1, 1, NULL};

TEST_F(HandleTest, EveryCallOnABadDcFailsAsGdiFails)
{
    HBITMAP bm = bitmap_;
    struct Call {
        const char *name;
        std::function<bool(HDC)> fails;
    } calls[] = {
        {"DeleteDC", [](HDC dc) { return !DeleteDC(dc); }},
        {"GetDeviceCaps", [](HDC dc) { return GetDeviceCaps(dc, HORZRES) == 0; }},
        {"CloseEnhMetaFile", [](HDC dc) { return CloseEnhMetaFile(dc) == NULL; }},
        {"SelectObject", [](HDC dc) { return SelectObject(dc, GetStockObject(BLACK_PEN)) == NULL; }},
        {"GetCurrentObject", [](HDC dc) { return GetCurrentObject(dc, OBJ_PEN) == NULL; }},
        {"GetDIBits", [bm](HDC dc) {
             BITMAPINFOHEADER hdr = {sizeof hdr, 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
             uint8_t bits[64];
             return GetDIBits(dc, bm, 0, 4, bits, (BITMAPINFO *)&hdr, DIB_RGB_COLORS) == 0;
         }},
        {"SetROP2", [](HDC dc) { return SetROP2(dc, R2_XORPEN) == 0; }},
        {"SetBkMode", [](HDC dc) { return SetBkMode(dc, TRANSPARENT) == 0; }},
        {"SetBkColor", [](HDC dc) { return SetBkColor(dc, 0) == CLR_INVALID; }},
        {"SetTextColor", [](HDC dc) { return SetTextColor(dc, 0) == CLR_INVALID; }},
        {"SetTextAlign", [](HDC dc) { return SetTextAlign(dc, TA_BASELINE) == GDI_ERROR; }},
        {"SetPolyFillMode", [](HDC dc) { return SetPolyFillMode(dc, WINDING) == 0; }},
        {"GetROP2", [](HDC dc) { return GetROP2(dc) == 0; }},
        {"GetBkMode", [](HDC dc) { return GetBkMode(dc) == 0; }},
        {"GetBkColor", [](HDC dc) { return GetBkColor(dc) == CLR_INVALID; }},
        {"GetTextColor", [](HDC dc) { return GetTextColor(dc) == 0; }},
        {"GetTextAlign", [](HDC dc) { return GetTextAlign(dc) == 0; }},
        {"GetPolyFillMode", [](HDC dc) { return GetPolyFillMode(dc) == 0; }},
        {"SelectClipRgn", [](HDC dc) { return SelectClipRgn(dc, NULL) == ERROR; }},
        {"IntersectClipRect", [](HDC dc) { return IntersectClipRect(dc, 1, 2, 3, 4) == ERROR; }},
        {"CreateCompatibleDC", [](HDC dc) { return dc == NULL || CreateCompatibleDC(dc) == NULL; }},
    };
    LOGPEN lp = {PS_SOLID, {1, 0}, 0};
    HPEN livePen = CreatePenIndirect(&lp);
    struct Bad {
        const char *name;
        HDC dc;
    } bads[] = {
        {"null", NULL},
        {"junk", (HDC)(uintptr_t)0xdeadbeef},
        {"junk with the GDI tag", (HDC)(uintptr_t)0x3fffffff},
        {"a pointer", (HDC)&lp},
        {"a stale DC", staleDc_},
        {"a closed metafile DC", closedEmf_},
        {"a pen", (HDC)livePen},
        {"a metafile handle", (HDC)hmf_},
        {"a kernel handle", (HDC)global_},
    };
    for (const Bad &bad : bads) {
        for (const Call &call : calls) {
            SCOPED_TRACE(::testing::Message() << call.name << " on " << bad.name);
            SetLastError(0);
            EXPECT_TRUE(call.fails(bad.dc));
            if (bad.dc && strcmp(call.name, "CreateCompatibleDC") != 0 && strcmp(call.name, "GetDIBits") != 0) {
                EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
            }
        }
    }
    EXPECT_EQ(GetObjectType(livePen), (DWORD)OBJ_PEN) << "no call took the pen for a DC";
    DeleteObject(livePen);
}

TEST_F(HandleTest, EveryCallOnABadObjectFailsAndChangesNothing)
{
    HDC dc = NewMetafile("bad-objects.emf");
    HDC live = CreateCompatibleDC(NULL);
    struct Call {
        const char *name;
        std::function<bool(HGDIOBJ)> fails;
    } calls[] = {
        {"SelectObject", [dc](HGDIOBJ h) { return SelectObject(dc, h) == NULL; }},
        {"DeleteObject", [](HGDIOBJ h) { return !DeleteObject(h); }},
        {"GetObjectA", [](HGDIOBJ h) { uint8_t buf[64]; return GetObjectA(h, sizeof buf, buf) == 0; }},
        {"DeleteEnhMetaFile", [](HGDIOBJ h) { return !DeleteEnhMetaFile((HENHMETAFILE)h); }},
        {"GetDIBits", [dc](HGDIOBJ h) {
             BITMAPINFOHEADER hdr = {sizeof hdr, 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
             uint8_t bits[64];
             return GetDIBits(dc, (HBITMAP)h, 0, 4, bits, (BITMAPINFO *)&hdr, DIB_RGB_COLORS) == 0;
         }},
        {"CreateBrushIndirect BS_PATTERN", [](HGDIOBJ h) {
             LOGBRUSH lb = {BS_PATTERN, 0, (ULONG_PTR)h};
             return CreateBrushIndirect(&lb) == NULL;
         }},
    };
    struct Bad {
        const char *name;
        HGDIOBJ h;
        bool isType; /* GetObjectType still names it */
    } bads[] = {
        {"null", NULL, false},
        {"junk", (HGDIOBJ)(uintptr_t)0x12345678, false},
        {"junk with the GDI tag", (HGDIOBJ)(uintptr_t)0x3fffffff, false},
        {"a stale pen", stalePen_, false},
        {"a stale DC", staleDc_, false},
        {"a live DC", live, true},
        {"a kernel handle", global_, false},
    };
    for (const Bad &bad : bads) {
        for (const Call &call : calls) {
            SCOPED_TRACE(::testing::Message() << call.name << " of " << bad.name);
            EXPECT_TRUE(call.fails(bad.h));
        }
        SetLastError(0);
        EXPECT_EQ(GetObjectType(bad.h) != 0, bad.isType) << bad.name;
        if (!bad.isType) {
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE) << bad.name;
        }
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(CloseAndBody(dc, "bad-objects.emf").empty()) << "nothing was recorded";
    EXPECT_EQ(GetObjectType(live), (DWORD)OBJ_MEMDC) << "DeleteObject does not delete DCs";
    DeleteDC(live);
}

TEST_F(HandleTest, InjectedFaultsFailTheCallAndRecordNothing)
{
    HDC dc = NewMetafile("faults.emf");
    LOGPEN lp = {PS_SOLID, {2, 0}, 0};
    LOGBRUSH lb = {BS_SOLID, 0, 0};
    HPEN pen = CreatePenIndirect(&lp);
    BITMAPINFOHEADER dib[2] = {{sizeof dib[0], 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0}};
    HBITMAP bm = bitmap_;
    std::vector<HGDIOBJ> made;
    /* Keeps what a creation made, for deleting at the end; true when it failed. */
    auto Made = [&made](HGDIOBJ h) {
        made.push_back(h);
        return h == NULL;
    };
    struct Row {
        const char *name;
        std::function<bool()> fails; /* true when the call returned its failure value */
    } rows[] = {
        {"CreatePenIndirect", [&] { return Made(CreatePenIndirect(&lp)); }},
        {"ExtCreatePen", [&] { return Made(ExtCreatePen(PS_GEOMETRIC, 3, &lb, 0, NULL)); }},
        {"CreateBrushIndirect", [&] { return Made(CreateBrushIndirect(&lb)); }},
        {"CreateDIBPatternBrushPt", [&] { return Made(CreateDIBPatternBrushPt(dib, DIB_RGB_COLORS)); }},
        {"CreateBitmapIndirect", [&] { return Made(CreateBitmapIndirect(&kBitmap)); }},
        {"GetDIBits", [&] {
             BITMAPINFOHEADER hdr = {sizeof hdr, 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
             uint8_t bits[64];
             return GetDIBits(dc, bm, 0, 4, bits, (BITMAPINFO *)&hdr, DIB_RGB_COLORS) == 0;
         }},
        {"SelectObject", [&] { return SelectObject(dc, pen) == NULL; }},
        {"CreateDCA", [&] {
             HDC h = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
             return !h || !DeleteDC(h);
         }},
        {"CreateEnhMetaFileA", [&] {
             HDC h = CreateEnhMetaFileA(NULL, FilePath("faulted.emf").c_str(), NULL, NULL);
             return !h || !DeleteDC(h);
         }},
        {"SetROP2", [&] { return SetROP2(dc, R2_XORPEN) == 0; }},
        {"IntersectClipRect", [&] { return IntersectClipRect(dc, 1, 2, 3, 4) == ERROR; }},
        {"DeleteObject", [&] { return !DeleteObject(pen); }},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.name);
        StandinFailCall(row.name, 2);
        EXPECT_FALSE(row.fails()) << "the first call passes";
        SetLastError(0);
        EXPECT_TRUE(row.fails()) << "the second fails";
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_FALSE(row.fails()) << "and the fault is spent";
    }
    for (HGDIOBJ h : made)
        DeleteObject(h);
    /* The records of the calls that passed: SELECTOBJECT (pen, created), SETROP2 and
     * INTERSECTCLIPRECT twice each, and DELETEOBJECT when the pen went. */
    std::vector<uint32_t> types;
    for (const EmfRecord &r : CloseAndBody(dc, "faults.emf"))
        types.push_back(r.type);
    EXPECT_EQ(types, (std::vector<uint32_t>{38, 37, 37, 20, 20, 30, 30, 40}));
}

/* Numbers in trace names follow the table's lowest free slots, so they hold for a test that starts
 * with no object alive, as every test here does. */
class TraceTest : public GdiTest {};

TEST_F(TraceTest, TheTraceNamesEachCallWithItsHandles)
{
    LOGPEN lp = {PS_DASH, {3, 0}, RGB(0x11, 0x22, 0x33)};
    StandinTraceStart();
    HDC dc = CreateCompatibleDC(NULL);
    HPEN pen = CreatePenIndirect(&lp);
    SelectObject(dc, pen);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
    SetROP2(dc, R2_XORPEN);
    DeleteDC(dc);
    DeleteDC(dc);
    StandinTraceStop();
    std::vector<std::string> entries;
    for (size_t i = 0; i < StandinTraceCount(); i++)
        entries.push_back(StandinTraceEntry(i));
    EXPECT_EQ(entries, (std::vector<std::string>{"CreateCompatibleDC(null)", "CreatePenIndirect(1, 3, 0x332211)",
                                                 "SelectObject(dc#1, pen#2)", "GetStockObject(7)",
                                                 "SelectObject(dc#1, BLACK_PEN)", "DeleteObject(pen#2)",
                                                 "SetROP2(dc#1, 7)", "DeleteDC(dc#1)", "DeleteDC(dc#1)"}));
}

TEST_F(HandleTest, StaleHandlesStayStaleWhenTheirSlotIsReused)
{
    LOGPEN lp = {PS_SOLID, {1, 0}, 0};
    HPEN first = CreatePenIndirect(&lp);
    DeleteObject(first);
    LOGBRUSH lb = {BS_SOLID, 0, 0};
    HBRUSH brush = CreateBrushIndirect(&lb); /* takes the freed slot */
    HPEN second = CreatePenIndirect(&lp);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_NE((HGDIOBJ)first, (HGDIOBJ)second);
    EXPECT_FALSE(DeleteObject(first));
    EXPECT_EQ(GetObjectType(brush), (DWORD)OBJ_BRUSH) << "the stale pen did not reach the brush";
    EXPECT_EQ(GetObjectType(second), (DWORD)OBJ_PEN);
    DeleteObject(brush);
    DeleteObject(second);
}

/* A slot reused again and again gives a new value each time, for over a thousand reuses, and the
 * first value stays dead all along (the generation steps through its whole range and wraps). */
TEST_F(HandleTest, ASlotGivesAThousandDistinctHandlesBeforeOneRepeats)
{
    LOGPEN lp = {PS_SOLID, {1, 0}, 0};
    std::vector<HGDIOBJ> seen;
    for (int i = 0; i < 1022; i++) {
        HPEN pen = CreatePenIndirect(&lp);
        ASSERT_NE(pen, (HPEN)NULL);
        ASSERT_EQ(std::find(seen.begin(), seen.end(), (HGDIOBJ)pen), seen.end()) << "reuse " << i;
        if (!seen.empty()) {
            ASSERT_EQ(GetObjectType(seen.front()), 0u) << "reuse " << i;
        }
        EXPECT_TRUE(DeleteObject(pen));
        seen.push_back(pen);
    }
    EXPECT_EQ(GetObjectType(seen.back()), 0u);
}

TEST_F(HandleTest, ThreadsRecordIntoTheirOwnMetafilesSafely)
{
    enum { THREADS = 4, ROUNDS = 300 };
    LOGBRUSH shared = {BS_SOLID, RGB(5, 5, 5), 0};
    HBRUSH brush = CreateBrushIndirect(&shared);
    std::vector<std::thread> threads;
    std::vector<HDC> dcs;
    for (int t = 0; t < THREADS; t++)
        dcs.push_back(NewMetafile(("thread" + std::to_string(t) + ".emf").c_str()));
    for (int t = 0; t < THREADS; t++) {
        threads.emplace_back([&dcs, brush, t] {
            for (int i = 0; i < ROUNDS; i++) {
                LOGPEN lp = {PS_SOLID, {t + 1, 0}, RGB(i, t, 0)};
                HPEN pen = CreatePenIndirect(&lp);
                SelectObject(dcs[t], pen);
                SelectObject(dcs[t], brush);
                SelectObject(dcs[t], GetStockObject(BLACK_PEN));
                DeleteObject(pen);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    DeleteObject(brush);
    for (int t = 0; t < THREADS; t++) {
        SCOPED_TRACE(t);
        std::string name = "thread" + std::to_string(t) + ".emf";
        std::vector<uint8_t> bytes = CloseAndRead(dcs[t], name.c_str());
        std::vector<EmfRecord> records = SplitRecords(bytes);
        /* each round: CREATEPEN, SELECTOBJECT, (brush: CREATEBRUSHINDIRECT once) SELECTOBJECT,
         * SELECTOBJECT stock, DELETEOBJECT; then the brush's DELETEOBJECT */
        EXPECT_EQ(records.size(), 2u + 5 * ROUNDS + 1 + 1);
        EXPECT_EQ(U32(bytes, 56) & 0xFFFF, 3u) << "the brush and one pen at a time";
    }
}

/* The hooks stay per thread, and what a thread leaves armed when it ends, or a stop too many, never
 * switches off another thread's faults and trace. */
TEST_F(HandleTest, HooksOfAnEndedThreadLeaveOtherThreadsHooksWorking)
{
    HDC dc = NewMetafile("hooks.emf");
    std::thread([dc] {
        StandinTraceStart();
        StandinFailCall("SetROP2", 1);
        StandinFailCall("SetBkMode", 5);
        EXPECT_EQ(SetROP2(dc, R2_COPYPEN), 0) << "this thread's fault";
    }).join();
    EXPECT_NE(SetBkMode(dc, OPAQUE), 0) << "the ended thread's fault stayed with it";

    StandinFailCall("SetROP2", 1);
    EXPECT_EQ(SetROP2(dc, R2_COPYPEN), 0);
    EXPECT_NE(SetROP2(dc, R2_COPYPEN), 0) << "the fault is used up";

    StandinTraceStart();
    SetBkMode(dc, TRANSPARENT);
    StandinTraceStop();
    StandinTraceStop();
    EXPECT_EQ(StandinTraceCount(), 1u);
    StandinFailCall("SetBkMode", 1);
    StandinFailCall("SetROP2", 2);
    StandinClearFaults();
    StandinClearFaults();
    EXPECT_NE(SetROP2(dc, R2_COPYPEN), 0);
    StandinFailCall("SetBkMode", 1);
    EXPECT_EQ(SetBkMode(dc, OPAQUE), 0) << "armed after two stops and two clears";
    CloseAndRead(dc, "hooks.emf");
}

} /* namespace */
