/* The records and header bounds of the drawing calls, against metafiles GDI wrote under Wine (the
 * d* samples of the platform probes; each row names its sample and copies its record bytes). */
#include "draw_test.h"

#include <string.h>

#include <algorithm>

namespace {

const POINT p3[3] = {{10, 20}, {110, 30}, {60, 120}};
const POINT line3[3] = {{5, 5}, {50, 5}, {50, 60}};
const POINT pp[7] = {{0, 0}, {10, 0}, {10, 10}, {20, 20}, {30, 20}, {30, 30}, {20, 30}};
const POINT ppBig[7] = {{0, 0}, {10, 0}, {10, 10}, {20, 20}, {30, 20}, {30, 30}, {40000, 30}};
const POINT bez[4] = {{0, 0}, {30, 100}, {70, -50}, {100, 0}};
const INT counts34[2] = {3, 4};
const INT counts31[2] = {3, 1};
const emf::RECTL nothing = {0, 0, -1, -1};

struct Golden {
    const char *sample;
    BOOL (*draw)(HDC);
    BOOL result;
    const char *records; /* what the call wrote, "" for nothing */
    emf::RECTL header;
};

const Golden goldens[] = {
    {"d01 Polygon 3", [](HDC dc) { return Polygon(dc, p3, 3); }, TRUE,
     "56000000 28000000 0a000000 14000000 6e000000 78000000 03000000 0a001400 6e001e00 3c007800", {10, 20, 110, 120}},
    {"d02 Polygon 0", [](HDC dc) { return Polygon(dc, p3, 0); }, FALSE, "", nothing},
    {"d03 Polygon 1", [](HDC dc) { return Polygon(dc, p3, 1); }, FALSE, "", nothing},
    {"d04 Polygon 2", [](HDC dc) { return Polygon(dc, p3, 2); }, TRUE,
     "56000000 24000000 0a000000 14000000 6e000000 1e000000 02000000 0a001400 6e001e00", {10, 20, 110, 30}},
    {"d06 Polygon with x -32769",
     [](HDC dc) {
         const POINT over[3] = {{-32769, 0}, {10, 10}, {0, 20}};
         return Polygon(dc, over, 3);
     },
     TRUE,
     "03000000 34000000 ff7fffff 00000000 0a000000 14000000 03000000 ff7fffff 00000000 0a000000 0a000000 "
     "00000000 14000000",
     {-32769, 0, 10, 20}},
    {"d08 PolyPolygon 3+4", [](HDC dc) { return PolyPolygon(dc, pp, counts34, 2); }, TRUE,
     "5b000000 44000000 00000000 00000000 1e000000 1e000000 02000000 07000000 03000000 04000000 00000000 "
     "0a000000 0a000a00 14001400 1e001400 1e001e00 14001e00",
     {0, 0, 30, 30}},
    {"d09 PolyPolygon 3+1", [](HDC dc) { return PolyPolygon(dc, pp, counts31, 2); }, FALSE,
     "5b000000 38000000 00000000 00000000 ffffffff ffffffff 02000000 04000000 03000000 01000000 00000000 "
     "0a000000 0a000a00 14001400",
     nothing},
    {"d10 PolyPolygon of none", [](HDC dc) { return PolyPolygon(dc, pp, counts34, 0); }, FALSE,
     "5b000000 20000000 00000000 00000000 ffffffff ffffffff 00000000 00000000", nothing},
    {"d11 PolyPolygon with x 40000", [](HDC dc) { return PolyPolygon(dc, ppBig, counts34, 2); }, TRUE,
     "08000000 60000000 00000000 00000000 409c0000 1e000000 02000000 07000000 03000000 04000000 00000000 "
     "00000000 0a000000 00000000 0a000000 0a000000 14000000 14000000 1e000000 14000000 1e000000 1e000000 "
     "409c0000 1e000000",
     {0, 0, 40000, 30}},
    {"d12 PolyPolygon of one", [](HDC dc) { return PolyPolygon(dc, pp, counts34, 1); }, TRUE,
     "5b000000 30000000 00000000 00000000 0a000000 0a000000 01000000 03000000 03000000 00000000 0a000000 "
     "0a000a00",
     {0, 0, 10, 10}},
    {"d13 Polyline 3", [](HDC dc) { return Polyline(dc, line3, 3); }, TRUE,
     "57000000 28000000 05000000 05000000 32000000 3c000000 03000000 05000500 32000500 32003c00", {5, 5, 50, 60}},
    {"d14 Polyline 1", [](HDC dc) { return Polyline(dc, line3, 1); }, TRUE,
     "57000000 20000000 05000000 05000000 05000000 05000000 01000000 05000500", {5, 5, 5, 5}},
    /* Wine merges the empty bounds into the header as (-1,-1,0,0); an empty box adds nothing here. */
    {"d15 Polyline 0", [](HDC dc) { return Polyline(dc, line3, 0); }, TRUE,
     "57000000 1c000000 00000000 00000000 ffffffff ffffffff 00000000", nothing},
    {"d17 PolyBezier 4", [](HDC dc) { return PolyBezier(dc, bez, 4); }, TRUE,
     "55000000 2c000000 00000000 ceffffff 64000000 64000000 04000000 00000000 1e006400 4600ceff 64000000",
     {0, -50, 100, 100}},
    /* Wine writes a record for a count that is not 3n+1 and still fails; a failing call writes none. */
    {"d18 PolyBezier 3", [](HDC dc) { return PolyBezier(dc, bez, 3); }, FALSE, "", nothing},
    {"d21 MoveToEx, LineTo",
     [](HDC dc) -> BOOL { return MoveToEx(dc, 10, 20, NULL) && LineTo(dc, 100, 200); }, TRUE,
     "1b000000 10000000 0a000000 14000000 36000000 10000000 64000000 c8000000", {10, 20, 100, 200}},
    {"d22 LineTo from the start", [](HDC dc) { return LineTo(dc, 70000, -70000); }, TRUE,
     "36000000 10000000 70110100 90eefeff", {0, -70000, 70000, 0}},
    {"d24 Rectangle", [](HDC dc) { return Rectangle(dc, 10, 20, 110, 220); }, TRUE,
     "2b000000 18000000 0a000000 14000000 6d000000 db000000", {10, 20, 109, 219}},
    {"d25 Rectangle reversed", [](HDC dc) { return Rectangle(dc, 110, 220, 10, 20); }, TRUE,
     "2b000000 18000000 0a000000 14000000 6d000000 db000000", {10, 20, 109, 219}},
    {"d26 Rectangle of no width", [](HDC dc) { return Rectangle(dc, 10, 20, 10, 220); }, FALSE, "", nothing},
    {"d28 Rectangle past 16 bits", [](HDC dc) { return Rectangle(dc, -40000, -5, 40000, 5); }, TRUE,
     "2b000000 18000000 c063ffff fbffffff 3f9c0000 04000000", {-40000, -5, 39999, 4}},
    {"d29 RoundRect", [](HDC dc) { return RoundRect(dc, 10, 20, 110, 220, 15, 25); }, TRUE,
     "2c000000 20000000 0a000000 14000000 6d000000 db000000 0f000000 19000000", {10, 20, 109, 219}},
    {"d30 Ellipse", [](HDC dc) { return Ellipse(dc, 10, 20, 110, 220); }, TRUE,
     "2a000000 18000000 0a000000 14000000 6d000000 db000000", {10, 20, 109, 219}},
    {"d31 Arc", [](HDC dc) { return Arc(dc, 10, 20, 110, 220, 110, 120, 60, 20); }, TRUE,
     "2d000000 28000000 0a000000 14000000 6d000000 db000000 6e000000 78000000 3c000000 14000000",
     {60, 20, 109, 120}},
    {"d32 Pie", [](HDC dc) { return Pie(dc, 10, 20, 110, 220, 110, 120, 60, 20); }, TRUE,
     "2f000000 28000000 0a000000 14000000 6d000000 db000000 6e000000 78000000 3c000000 14000000",
     {60, 20, 109, 120}},
    {"d33 Chord", [](HDC dc) { return Chord(dc, 10, 20, 110, 220, 110, 120, 60, 20); }, TRUE,
     "2e000000 28000000 0a000000 14000000 6d000000 db000000 6e000000 78000000 3c000000 14000000",
     {60, 20, 109, 120}},
    {"d34 Arc in a reversed box", [](HDC dc) { return Arc(dc, 110, 220, 10, 20, 110, 120, 60, 20); }, TRUE,
     "2d000000 28000000 0a000000 14000000 6d000000 db000000 6e000000 78000000 3c000000 14000000",
     {60, 20, 109, 120}},
};

} /* namespace */

TEST_F(DrawTest, EachCallWritesWhatGdiWrote)
{
    for (const Golden &g : goldens) {
        SCOPED_TRACE(g.sample);
        EXPECT_EQ(g.draw(dc_), g.result);
        Close(true);
        EXPECT_TRUE(SameBytes(Joined(drawn_), Hex(g.records)));
        EXPECT_EQ(Rect(header_.rclBounds), Rect(g.header));
    }
}

/* Calls GDI refuses without touching the device context or the file. */
TEST_F(DrawTest, RefusedCallsWriteNothing)
{
    const POINT pts[4] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    const INT negative[2] = {3, -1};
    struct Row {
        const char *what;
        BOOL result;
    } rows[] = {
        {"Polygon of -1 points", Polygon(dc_, pts, -1)},
        {"Polygon without points", Polygon(dc_, NULL, 3)},
        {"Polyline of -1 points", Polyline(dc_, pts, -1)},
        {"PolyBezier of 1 point", PolyBezier(dc_, pts, 1)},
        {"PolyPolygon with a negative count", PolyPolygon(dc_, pts, negative, 2)},
        {"PolyPolygon without counts", PolyPolygon(dc_, pts, NULL, 2)},
        {"Ellipse of no height", Ellipse(dc_, 5, 5, 20, 5)},
        {"RoundRect of no width", RoundRect(dc_, 5, 5, 5, 20, 3, 3)},
        {"Pie of no width", Pie(dc_, 5, 5, 5, 20, 0, 0, 1, 1)},
        {"EndPath without a path", EndPath(dc_)},
        {"WidenPath without a path", WidenPath(dc_)},
        {"FillPath without a path", FillPath(dc_)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.result, FALSE);
    }
    SetLastError(0);
    EXPECT_FALSE(EndPath(dc_));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CAN_NOT_COMPLETE);
    SetLastError(0);
    EXPECT_FALSE(PolyPolygon(dc_, pts, negative + 1, 1));
    EXPECT_EQ(GetLastError(), 0u) << "a count GDI cannot store is refused before any record";
    Close();
    EXPECT_TRUE(drawn_.empty());
    EXPECT_EQ(Rect(header_.rclBounds), Rect(nothing));
}

/* The 16-bit form holds -32768..32767; one coordinate outside makes the whole record 32-bit. */
TEST_F(DrawTest, PointRecordsUse16BitsExactlyWhileEveryCoordinateFits)
{
    struct Row {
        LONG value;
        bool onY;
        bool fits;
    } rows[] = {
        {32767, false, true}, {32768, false, false}, {-32768, false, true}, {-32769, false, false},
        {32767, true, true},  {32768, true, false},  {-32768, true, true},  {-32769, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.value) + (row.onY ? " on y" : " on x"));
        POINT pts[4] = {{0, 0}, {5, 6}, {7, 8}, {9, 10}};
        (row.onY ? pts[2].y : pts[2].x) = row.value;
        const INT counts[2] = {2, 2};
        ASSERT_TRUE(Polygon(dc_, pts, 3));
        ASSERT_TRUE(Polyline(dc_, pts, 3));
        ASSERT_TRUE(PolyBezier(dc_, pts, 4));
        ASSERT_TRUE(PolyPolygon(dc_, pts, counts, 2));
        Close(true);
        ASSERT_EQ(drawn_.size(), 4u);
        const uint32_t types16[4] = {emf::EMR_POLYGON16, emf::EMR_POLYLINE16, emf::EMR_POLYBEZIER16,
                                     emf::EMR_POLYPOLYGON16};
        const uint32_t types32[4] = {emf::EMR_POLYGON, emf::EMR_POLYLINE, emf::EMR_POLYBEZIER, emf::EMR_POLYPOLYGON};
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(drawn_[i].type, row.fits ? types16[i] : types32[i]) << "record " << i;
        /* The third point of the Polygon record, read back in its own width. */
        const uint8_t *third = drawn_[0].bytes.data() + 28 + 2 * (row.fits ? 4 : 8);
        int32_t stored;
        if (row.fits) {
            int16_t s[2];
            memcpy(s, third, sizeof s);
            stored = s[row.onY ? 1 : 0];
        } else {
            int32_t l[2];
            memcpy(l, third, sizeof l);
            stored = l[row.onY ? 1 : 0];
        }
        EXPECT_EQ(stored, row.value);
    }
}

/* Whatever a list's length and wherever its extremes lie, every point counts for the bounds and
 * reaches the record in its place, in either width (lists go through vectors of 2 and 4 points). */
TEST_F(DrawTest, EveryPointOfAListCountsWhereverItLies)
{
    for (LONG reach : {3000, 50000}) {
        for (int n = 1; n <= 11; n++) {
            for (int at = 0; at < n; at++) {
                SCOPED_TRACE(std::to_string(n) + " points, extremes from point " + std::to_string(at) +
                             ", reach " + std::to_string(reach));
                std::vector<POINT> pts;
                for (int i = 0; i < n; i++)
                    pts.push_back(POINT{100 + 7 * i, 200 - 5 * i});
                pts[at] = POINT{-reach, reach + 1};
                pts[(at + 1) % n].x += reach; /* the right side, wrapping to the first point */
                pts[(at + 2) % n].y -= reach; /* the top */
                emf::RECTL box = {pts[0].x, pts[0].y, pts[0].x, pts[0].y};
                for (const POINT &p : pts)
                    box = emf::RECTL{std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x),
                                     std::max(box.bottom, p.y)};
                ASSERT_TRUE(Polyline(dc_, pts.data(), n));
                Close(true);
                ASSERT_EQ(drawn_.size(), 1u);
                const std::vector<uint8_t> &rec = drawn_[0].bytes;
                bool narrow = box.left >= -32768 && box.top >= -32768 && box.right <= 32767 && box.bottom <= 32767;
                EXPECT_EQ(drawn_[0].type, narrow ? emf::EMR_POLYLINE16 : emf::EMR_POLYLINE);
                ASSERT_EQ(rec.size(), 28u + (narrow ? 4u : 8u) * (size_t)n);
                emf::RECTL stored;
                memcpy(&stored, rec.data() + 8, sizeof stored);
                EXPECT_EQ(Rect(stored), Rect(box));
                EXPECT_EQ(Rect(header_.rclBounds), Rect(box));
                for (int i = 0; i < n; i++) {
                    int32_t x, y;
                    if (narrow) {
                        int16_t s[2];
                        memcpy(s, rec.data() + 28 + 4 * i, sizeof s);
                        x = s[0], y = s[1];
                    } else {
                        memcpy(&x, rec.data() + 28 + 8 * i, 4);
                        memcpy(&y, rec.data() + 32 + 8 * i, 4);
                    }
                    EXPECT_EQ(x, pts[i].x) << "point " << i;
                    EXPECT_EQ(y, pts[i].y) << "point " << i;
                }
            }
        }
    }
}

/* d40: every kind of call in one file; the header is the union of their bounds. */
TEST_F(DrawTest, HeaderBoundsUniteASequence)
{
    EXPECT_TRUE(Polygon(dc_, p3, 3));
    EXPECT_TRUE(PolyPolygon(dc_, pp, counts34, 2));
    EXPECT_TRUE(Polyline(dc_, p3, 3));
    EXPECT_TRUE(PolyBezier(dc_, bez, 4));
    EXPECT_TRUE(MoveToEx(dc_, 1, 2, NULL));
    EXPECT_TRUE(LineTo(dc_, 3, 4));
    EXPECT_TRUE(Rectangle(dc_, 1, 2, 3, 4));
    EXPECT_TRUE(RoundRect(dc_, 1, 2, 30, 40, 5, 6));
    EXPECT_TRUE(Ellipse(dc_, 1, 2, 30, 40));
    EXPECT_TRUE(Arc(dc_, 1, 2, 30, 40, 30, 20, 15, 2));
    EXPECT_TRUE(Pie(dc_, 1, 2, 30, 40, 30, 20, 15, 2));
    EXPECT_TRUE(Chord(dc_, 1, 2, 30, 40, 30, 20, 15, 2));
    Close();
    EXPECT_EQ(Rect(header_.rclBounds), "(0,-50,110,120)");
    ASSERT_EQ(drawn_.size(), 12u);
    EXPECT_TRUE(SameBytes(drawn_[6].bytes, Hex("2b000000 18000000 01000000 02000000 02000000 03000000")));
    EXPECT_TRUE(SameBytes(drawn_[7].bytes, Hex("2c000000 20000000 01000000 02000000 1d000000 27000000 05000000 "
                                                "06000000")));
    EXPECT_TRUE(SameBytes(drawn_[10].bytes, Hex("2f000000 28000000 01000000 02000000 1d000000 27000000 1e000000 "
                                                 "14000000 0f000000 02000000")));
}

/* Header bounds of Arc, Pie and Chord alone, captured from GDI under Wine over a sweep of boxes
 * and directions: the curve's end points, the box sides the sweep crosses, the centre of a pie. */
TEST_F(DrawTest, ArcPieAndChordBoundTheCurveTheyDraw)
{
    struct Row {
        uint32_t type;
        int box[4], start[2], end[2];
        emf::RECTL header;
    } rows[] = {
        {emf::EMR_ARC, {10, 20, 110, 220}, {360, 120}, {360, 120}, {109, 120, 110, 120}}, /* start on +x */
        {emf::EMR_ARC, {10, 20, 110, 220}, {360, 120}, {272, -92}, {95, 49, 109, 120}},
        {emf::EMR_ARC, {10, 20, 110, 220}, {210, -140}, {60, -180}, {60, 20, 84, 33}},
        {emf::EMR_ARC, {10, 20, 110, 220}, {-200, -30}, {-240, 120}, {10, 70, 16, 120}},
        {emf::EMR_ARC, {110, 220, 10, 20}, {60, 420}, {-152, 332}, {10, 20, 109, 219}}, /* nearly all round */
        {emf::EMR_ARC, {1, 2, 30, 40}, {316, 21}, {228, -191}, {24, 7, 29, 21}},
        {emf::EMR_ARC, {100, 100, 101, 101}, {251, -159}, {313, 313}, {100, 100, 100, 100}},
        {emf::EMR_PIE, {-50, -30, 51, 31}, {301, 1}, {213, -212}, {0, -21, 50, 0}},
        {emf::EMR_PIE, {-50, -30, 51, 31}, {260, -149}, {213, 213}, {-50, -30, 43, 30}},
        {emf::EMR_PIE, {0, 0, 1000, 3}, {240, 151}, {288, 214}, {66, 1, 500, 1}},
        {emf::EMR_PIE, {1, 2, 30, 40}, {166, -239}, {-197, -191}, {5, 2, 22, 21}},
        {emf::EMR_CHORD, {-50, -30, 51, 31}, {151, 260}, {301, 1}, {25, 0, 49, 25}},
        {emf::EMR_CHORD, {0, 0, 7, 5}, {-146, -257}, {216, 215}, {0, 0, 5, 4}},
        {emf::EMR_CHORD, {5, 5, 6, 40}, {-295, 22}, {-207, 235}, {5, 22, 5, 34}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::to_string(r.type) + " " + std::to_string(r.start[0]) + "," + std::to_string(r.start[1]) +
                     " to " + std::to_string(r.end[0]) + "," + std::to_string(r.end[1]));
        BOOL (*draw)(HDC, int, int, int, int, int, int, int, int) =
            r.type == emf::EMR_ARC ? Arc : r.type == emf::EMR_PIE ? Pie : Chord;
        EXPECT_TRUE(draw(dc_, r.box[0], r.box[1], r.box[2], r.box[3], r.start[0], r.start[1], r.end[0], r.end[1]));
        Close(true);
        EXPECT_EQ(Rect(header_.rclBounds), Rect(r.header));
    }
}

TEST_F(DrawTest, LinesFollowTheCurrentPosition)
{
    POINT old = {-1, -1};
    EXPECT_TRUE(MoveToEx(dc_, 3, 4, &old));
    EXPECT_EQ(old.x, 0);
    EXPECT_EQ(old.y, 0);
    EXPECT_TRUE(LineTo(dc_, 7, 8));
    EXPECT_TRUE(LineTo(dc_, -2, 5));
    EXPECT_TRUE(MoveToEx(dc_, 0, 0, &old));
    EXPECT_EQ(old.x, -2) << "LineTo moves the current position to its end";
    EXPECT_EQ(old.y, 5);
    const POINT far[2] = {{900, 900}, {901, 901}};
    EXPECT_TRUE(Polyline(dc_, far, 2));
    EXPECT_TRUE(MoveToEx(dc_, 1, 1, &old));
    EXPECT_EQ(old.x, 0) << "Polyline neither uses nor moves it";
    Close();
    EXPECT_EQ(Rect(header_.rclBounds), "(-2,4,901,901)") << "each line from where the one before ended";
}

/* A null, stale or non-DC handle fails with ERROR_INVALID_HANDLE and never reaches a file. */
TEST_F(DrawTest, BadHandlesFailAsGdiFails)
{
    HDC stale = CreateEnhMetaFileA(ref_, (dir_ + "/stale.emf").c_str(), NULL, NULL);
    DeleteEnhMetaFile(CloseEnhMetaFile(stale));
    const LOGPEN solid = {PS_SOLID, {1, 0}, 0};
    HPEN pen = CreatePenIndirect(&solid);
    static const POINT pts[4] = {{0, 0}, {1, 1}, {2, 0}, {3, 3}};
    static const INT counts[1] = {3};
    BOOL (*calls[])(HDC) = {
        [](HDC h) { return Polygon(h, pts, 3); },       [](HDC h) { return Polyline(h, pts, 3); },
        [](HDC h) { return PolyBezier(h, pts, 4); },    [](HDC h) { return PolyPolygon(h, pts, counts, 1); },
        [](HDC h) { return MoveToEx(h, 1, 1, NULL); }, [](HDC h) { return LineTo(h, 1, 1); },
        [](HDC h) { return Rectangle(h, 0, 0, 9, 9); }, [](HDC h) { return Ellipse(h, 0, 0, 9, 9); },
        [](HDC h) { return RoundRect(h, 0, 0, 9, 9, 2, 2); },
        [](HDC h) { return Arc(h, 0, 0, 9, 9, 9, 5, 5, 0); },
        [](HDC h) { return Pie(h, 0, 0, 9, 9, 9, 5, 5, 0); },
        [](HDC h) { return Chord(h, 0, 0, 9, 9, 9, 5, 5, 0); },
        [](HDC h) { return BeginPath(h); },             [](HDC h) { return EndPath(h); },
        [](HDC h) { return WidenPath(h); },             [](HDC h) { return FillPath(h); },
    };
    for (HDC bad : {(HDC)NULL, stale, (HDC)pen}) {
        for (size_t i = 0; i < sizeof calls / sizeof calls[0]; i++) {
            SCOPED_TRACE("call " + std::to_string(i));
            SetLastError(0);
            EXPECT_FALSE(calls[i](bad));
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        }
    }
    DeleteObject(pen);
    Close();
    EXPECT_TRUE(drawn_.empty());
}

TEST_F(DrawTest, CallsTraceThemselvesAndAnArmedFaultFailsOneCall)
{
    StandinTraceStart();
    EXPECT_TRUE(Polygon(dc_, p3, 3));
    EXPECT_TRUE(Arc(dc_, 1, 2, 30, 40, 30, 20, 15, 2));
    EXPECT_TRUE(BeginPath(dc_));
    StandinTraceStop();
    ASSERT_EQ(StandinTraceCount(), 3u);
    std::string first = StandinTraceEntry(0), dc = first.substr(8, first.find(',') - 8);
    EXPECT_EQ(first, "Polygon(" + dc + ", 3)");
    EXPECT_EQ(dc.rfind("dc#", 0), 0u) << dc;
    EXPECT_STREQ(StandinTraceEntry(1), ("Arc(" + dc + ", 1, 2, 30, 40, 30, 20, 15, 2)").c_str());
    EXPECT_STREQ(StandinTraceEntry(2), ("BeginPath(" + dc + ")").c_str());

    StandinFailCall("Rectangle", 2);
    EXPECT_TRUE(Rectangle(dc_, 0, 0, 5, 5));
    EXPECT_FALSE(Rectangle(dc_, 0, 0, 7, 7));
    EXPECT_TRUE(Rectangle(dc_, 0, 0, 9, 9));
    Close();
    std::vector<uint32_t> types;
    for (const Drawn &d : drawn_)
        types.push_back(d.type);
    EXPECT_EQ(types, (std::vector<uint32_t>{emf::EMR_POLYGON16, emf::EMR_ARC, emf::EMR_BEGINPATH, emf::EMR_RECTANGLE,
                                            emf::EMR_RECTANGLE}));
}
