/* The path bracket: its records, the state it keeps, and the FillPath bounds of widened and plain
 * paths, against GDI's output under Wine (s03 of the platform probes, and a scanline probe whose
 * FillPath bounds are quoted per row). */
#include "draw_test.h"

#include <math.h>

namespace {

struct Segment {
    int y, x1, x2;
};

/* A path of horizontal segments as the scanline drawer makes it, widened with a round geometric pen
 * of the given width under the winding rule, and filled. */
BOOL FillScanlines(HDC dc, const std::vector<Segment> &segments, int width)
{
    LOGBRUSH brush = {BS_SOLID, 0, 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, width, &brush, 0, NULL);
    HGDIOBJ old = SelectObject(dc, pen);
    BeginPath(dc);
    for (const Segment &s : segments) {
        MoveToEx(dc, s.x1, s.y, NULL);
        LineTo(dc, s.x2, s.y);
    }
    EndPath(dc);
    SetPolyFillMode(dc, WINDING);
    BOOL ok = WidenPath(dc) && FillPath(dc);
    SelectObject(dc, old);
    DeleteObject(pen);
    return ok;
}

} /* namespace */

/* s03: drawing calls inside the bracket keep their records with empty bounds and add nothing to the
 * header; the widened square with a 6-unit pen fills (7,7,103,103). */
TEST_F(DrawTest, PathBracketRecordsMatchGdi)
{
    const LOGPEN sixUnits = {PS_SOLID, {6, 0}, 0};
    HPEN wide = CreatePenIndirect(&sixUnits);
    const POINT pts[3] = {{100, 10}, {100, 100}, {10, 100}};
    EXPECT_TRUE(BeginPath(dc_));
    EXPECT_TRUE(MoveToEx(dc_, 10, 10, NULL));
    EXPECT_TRUE(LineTo(dc_, 100, 10));
    EXPECT_TRUE(Polyline(dc_, pts, 3));
    EXPECT_TRUE(Rectangle(dc_, 20, 20, 40, 40));
    EXPECT_TRUE(EndPath(dc_));
    HGDIOBJ old = SelectObject(dc_, wide);
    EXPECT_TRUE(WidenPath(dc_));
    EXPECT_TRUE(FillPath(dc_));
    SelectObject(dc_, old);
    DeleteObject(wide);
    Close();
    EXPECT_TRUE(SameBytes(Joined(drawn_), Hex("3b000000 08000000 "                            /* BEGINPATH */
                                              "1b000000 10000000 0a000000 0a000000 "          /* MOVETOEX */
                                              "36000000 10000000 64000000 0a000000 "          /* LINETO */
                                              "57000000 28000000 00000000 00000000 ffffffff " /* POLYLINE16 */
                                              "ffffffff 03000000 64000a00 64006400 0a006400 "
                                              "2b000000 18000000 14000000 14000000 27000000 27000000 " /* RECTANGLE */
                                              "3c000000 08000000 "                                     /* ENDPATH */
                                              "42000000 08000000 "                                     /* WIDENPATH */
                                              "3e000000 18000000 07000000 07000000 67000000 67000000"))); /* FILLPATH */
    EXPECT_EQ(Rect(header_.rclBounds), "(7,7,103,103)");
}

/* The records of a bracket of scanlines, as GDI under Wine wrote them for the same calls (pen
 * records left out: Wine writes an ExtCreatePen as EMR_CREATEPEN). */
TEST_F(DrawTest, AScanlineBracketWritesWhatGdiWrote)
{
    EXPECT_TRUE(FillScanlines(dc_, {{100, 10, 90}, {101, 12, 88}, {102, 14, 40}, {102, 60, 86}}, 1));
    Close();
    EXPECT_TRUE(SameBytes(Joined(drawn_), Hex("3b000000 08000000 "                                 /* BEGINPATH */
                                              "1b000000 10000000 0a000000 64000000 "               /* MOVETOEX */
                                              "36000000 10000000 5a000000 64000000 "               /* LINETO */
                                              "1b000000 10000000 0c000000 65000000 "
                                              "36000000 10000000 58000000 65000000 "
                                              "1b000000 10000000 0e000000 66000000 "
                                              "36000000 10000000 28000000 66000000 "
                                              "1b000000 10000000 3c000000 66000000 "
                                              "36000000 10000000 56000000 66000000 "
                                              "3c000000 08000000 "                                 /* ENDPATH */
                                              "13000000 0c000000 02000000 "                        /* SETPOLYFILLMODE */
                                              "42000000 08000000 "                                 /* WIDENPATH */
                                              "3e000000 18000000 0a000000 64000000 5b000000 67000000"))); /* FILLPATH */
    EXPECT_EQ(Rect(header_.rclBounds), "(10,100,91,103)");
}

/* A 1-unit pen turns each segment (x1,y)-(x2,y) into the pixels x1..x2 of row y. The bounds of every
 * row were captured from GDI under Wine with ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_ROUND |
 * PS_JOIN_ROUND) and the same calls. */
TEST_F(DrawTest, WidenedScanlinesFillWhatGdiFills)
{
    struct Row {
        const char *what;
        std::vector<Segment> segments;
        int width;
        emf::RECTL bounds;
    } rows[] = {
        {"one segment", {{50, 10, 20}}, 1, {10, 50, 21, 51}},
        {"drawn right to left", {{50, 20, 10}}, 1, {10, 50, 21, 51}},
        {"a single pixel", {{50, 10, 10}}, 1, {10, 50, 11, 51}},
        {"two pixels", {{50, 10, 11}}, 1, {10, 50, 12, 51}},
        {"negative", {{-7, -30, -3}}, 1, {-30, -7, -2, -6}},
        {"three on a line", {{5, 0, 4}, {5, 10, 30}, {5, 40, 41}}, 1, {0, 5, 42, 6}},
        {"16-bit extremes", {{30000, -32768, 32767}}, 1, {-32768, 30000, 32768, 30001}},
        {"pen of 2", {{50, 10, 20}}, 2, {9, 49, 21, 51}},
        {"pen of 3", {{50, 10, 20}}, 3, {9, 49, 22, 52}},
        {"pen of 6", {{50, 10, 20}}, 6, {7, 47, 23, 53}},
        /* Segments that change direction and pen widths within one path, or arrive bottom up. */
        {"mixed directions", {{50, 20, 10}, {51, 10, 20}, {49, 15, 15}, {52, 30, 25}}, 1, {10, 49, 31, 53}},
        {"bottom up", {{52, 10, 20}, {50, 0, 5}, {51, 3, 3}}, 1, {0, 50, 21, 53}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_TRUE(FillScanlines(dc_, row.segments, row.width));
        Close(true);
        ASSERT_FALSE(drawn_.empty());
        ASSERT_EQ(drawn_.back().type, emf::EMR_FILLPATH);
        emf::EMRFILLPATH fill;
        memcpy(&fill, drawn_.back().bytes.data(), sizeof fill);
        EXPECT_EQ(Rect(fill.rclBounds), Rect(row.bounds));
        EXPECT_EQ(Rect(header_.rclBounds), Rect(row.bounds)) << "the region box reaches the header as it is";
    }
}

/* A band covers the same pixels whichever way it is drawn: left to right the capsule's vertices are
 * written out, right to left they come from the pen's outline, so this holds the two together,
 * at coordinates where the cap's rounding sits on an edge (powers of two, up to 2^26). */
TEST_F(DrawTest, BandsFillTheSameDrawnEitherWay)
{
    const int xs[] = {-(1 << 26), -65537, -1024, -1, 0, 1, 255, 1 << 20, (1 << 26) + 3};
    const int ys[] = {-(1 << 25), 0, 7, (1 << 26) - 1};
    for (int y : ys)
        for (int x1 : xs)
            for (int x2 : xs) {
                if (x2 < x1)
                    continue;
                SCOPED_TRACE(testing::Message() << "row " << y << ", " << x1 << ".." << x2);
                const emf::RECTL pixels = {x1, y, x2 + 1, y + 1};
                for (const Segment &band : {Segment{y, x1, x2}, Segment{y, x2, x1}}) {
                    EXPECT_TRUE(FillScanlines(dc_, {band}, 1));
                    Close(true);
                    ASSERT_EQ(drawn_.back().type, emf::EMR_FILLPATH);
                    emf::EMRFILLPATH fill;
                    memcpy(&fill, drawn_.back().bytes.data(), sizeof fill);
                    EXPECT_EQ(Rect(fill.rclBounds), Rect(pixels))
                        << (band.x1 == x1 ? "left to right" : "right to left");
                }
            }
}

/* Without widening FillPath fills the figures themselves, each closed; a pixel is in when its
 * top-left corner is, so edges on the far side stay out. Bounds captured from GDI under Wine. */
TEST_F(DrawTest, PlainPathsFillTheirRegionUnderTheFillMode)
{
    static const POINT diamond[4] = {{50, 0}, {100, 50}, {50, 100}, {0, 50}};
    static const POINT triangle[3] = {{0, 0}, {10, 3}, {3, 10}};
    static const POINT sliver[3] = {{0, 0}, {100, 1}, {0, 1}};
    static const POINT twice[8] = {{0, 0}, {40, 0}, {40, 30}, {0, 30}, {0, 0}, {40, 0}, {40, 30}, {0, 30}};
    static const POINT framed[8] = {{0, 0}, {50, 0}, {50, 50}, {0, 50}, {10, 10}, {10, 40}, {40, 40}, {40, 10}};
    static const INT fours[2] = {4, 4};
    struct Row {
        const char *what;
        int fillMode;
        BOOL (*draw)(HDC);
        emf::RECTL bounds;
    } rows[] = {
        {"diamond", ALTERNATE, [](HDC h) { return Polygon(h, diamond, 4); }, {0, 1, 100, 100}},
        {"triangle", ALTERNATE, [](HDC h) { return Polygon(h, triangle, 3); }, {1, 1, 10, 10}},
        {"open polyline", ALTERNATE, [](HDC h) { return Polyline(h, triangle, 3); }, {1, 1, 10, 10}},
        {"sliver without a pixel", ALTERNATE, [](HDC h) { return Polygon(h, sliver, 3); }, {0, 0, 0, 0}},
        {"rectangle", ALTERNATE, [](HDC h) { return Rectangle(h, 30, 40, 10, 20); }, {10, 20, 29, 39}},
        {"lines", ALTERNATE,
         [](HDC h) -> BOOL { return MoveToEx(h, 5, 5, NULL) && LineTo(h, 40, 5) && LineTo(h, 40, 30); }, {5, 5, 40, 30}},
        {"square twice, alternate", ALTERNATE, [](HDC h) { return Polygon(h, twice, 8); }, {0, 0, 0, 0}},
        {"square twice, winding", WINDING, [](HDC h) { return Polygon(h, twice, 8); }, {0, 0, 40, 30}},
        {"framed hole", WINDING, [](HDC h) { return PolyPolygon(h, framed, fours, 2); }, {0, 0, 50, 50}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        SetPolyFillMode(dc_, row.fillMode);
        EXPECT_TRUE(BeginPath(dc_));
        EXPECT_TRUE(row.draw(dc_));
        EXPECT_TRUE(EndPath(dc_));
        EXPECT_TRUE(FillPath(dc_));
        Close(true);
        emf::EMRFILLPATH fill;
        ASSERT_EQ(drawn_.back().type, emf::EMR_FILLPATH);
        memcpy(&fill, drawn_.back().bytes.data(), sizeof fill);
        EXPECT_EQ(Rect(fill.rclBounds), Rect(row.bounds));
        /* An empty region paints nothing, so it leaves the header empty (Wine merges its (0,0,0,0)). */
        bool empty = row.bounds.right == row.bounds.left;
        EXPECT_EQ(Rect(header_.rclBounds), empty ? "(0,0,-1,-1)" : Rect(row.bounds));
    }
}

/* What each path call needs and leaves: a failing one writes no record and changes nothing. */
TEST_F(DrawTest, PathCallsKeepTheBracketInOrder)
{
    const LOGBRUSH solid = {BS_SOLID, 0, 0};
    HPEN geometric = ExtCreatePen(PS_GEOMETRIC | PS_SOLID, 1, &solid, 0, NULL);
    HGDIOBJ previous = SelectObject(dc_, geometric);
    EXPECT_TRUE(BeginPath(dc_));
    EXPECT_TRUE(MoveToEx(dc_, 0, 0, NULL));
    EXPECT_TRUE(LineTo(dc_, 500, 0));
    SetLastError(0);
    EXPECT_FALSE(WidenPath(dc_)) << "the path is still open";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CAN_NOT_COMPLETE);
    EXPECT_FALSE(FillPath(dc_));
    EXPECT_TRUE(BeginPath(dc_)) << "discards the open path";
    EXPECT_TRUE(EndPath(dc_));
    EXPECT_FALSE(EndPath(dc_)) << "already closed";
    EXPECT_FALSE(FillPath(dc_)) << "a path without a figure fills nothing";
    EXPECT_TRUE(BeginPath(dc_));
    EXPECT_TRUE(MoveToEx(dc_, 10, 50, NULL));
    EXPECT_TRUE(LineTo(dc_, 20, 50));
    EXPECT_TRUE(EndPath(dc_));
    StandinFailCall("FillPath", 1);
    EXPECT_FALSE(FillPath(dc_));
    EXPECT_TRUE(WidenPath(dc_));
    EXPECT_TRUE(FillPath(dc_)) << "the armed fault left the path in place";
    EXPECT_FALSE(FillPath(dc_)) << "FillPath discards the path";
    SelectObject(dc_, previous);
    DeleteObject(geometric);
    Close();
    std::vector<uint32_t> types;
    for (const Drawn &d : drawn_)
        types.push_back(d.type);
    const std::vector<uint32_t> expected = {
        emf::EMR_BEGINPATH, emf::EMR_MOVETOEX, emf::EMR_LINETO,  emf::EMR_BEGINPATH, emf::EMR_ENDPATH,
        emf::EMR_BEGINPATH, emf::EMR_MOVETOEX, emf::EMR_LINETO,  emf::EMR_ENDPATH,   emf::EMR_WIDENPATH,
        emf::EMR_FILLPATH,
    };
    EXPECT_EQ(types, expected);
    emf::EMRFILLPATH fill;
    memcpy(&fill, drawn_.back().bytes.data(), sizeof fill);
    EXPECT_EQ(Rect(fill.rclBounds), "(10,50,21,51)") << "nothing of the discarded segment to x 500";
    EXPECT_EQ(Rect(header_.rclBounds), "(10,50,21,51)");
}

/* Windows widens a path only with a geometric pen or one wider than a unit (Wine widens with any
 * pen): with cosmetic, stock or null pens WidenPath fails and records nothing, and the fill that
 * follows fills the bare lines, an empty region. */
TEST_F(DrawTest, WidenPathNeedsAGeometricOrWidePen)
{
    const LOGPEN thin = {PS_SOLID, {1, 0}, 0}, wide = {PS_SOLID, {2, 0}, 0};
    const LOGBRUSH solid = {BS_SOLID, 0, 0};
    struct Row {
        const char *name;
        HGDIOBJ pen;
        bool widens;
    } rows[] = {
        {"stock black pen", GetStockObject(BLACK_PEN), false},
        {"null pen", GetStockObject(NULL_PEN), false},
        {"one-unit CreatePenIndirect pen", CreatePenIndirect(&thin), false},
        {"cosmetic ExtCreatePen pen", ExtCreatePen(PS_COSMETIC | PS_SOLID, 1, &solid, 0, NULL), false},
        {"two-unit CreatePenIndirect pen", CreatePenIndirect(&wide), true},
        {"one-unit geometric pen", ExtCreatePen(PS_GEOMETRIC | PS_SOLID, 1, &solid, 0, NULL), true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        HGDIOBJ previous = SelectObject(dc_, row.pen);
        EXPECT_TRUE(BeginPath(dc_));
        EXPECT_TRUE(MoveToEx(dc_, 10, 50, NULL));
        EXPECT_TRUE(LineTo(dc_, 20, 50));
        EXPECT_TRUE(EndPath(dc_));
        EXPECT_EQ(WidenPath(dc_) != FALSE, row.widens);
        EXPECT_TRUE(FillPath(dc_));
        SelectObject(dc_, previous);
        DeleteObject(row.pen);
    }
    Close();
    size_t widened = 0;
    for (const Drawn &d : drawn_)
        widened += d.type == emf::EMR_WIDENPATH;
    EXPECT_EQ(widened, 2u);
}

/* Curves in a path are flattened into it. GDI's own flattening differs by a pixel here and there
 * (Wine fills the ellipse below as (0,1,29,19)), so each side is held to a unit of the curve's extreme,
 * worked out here from the geometry. */
TEST_F(DrawTest, CurvesAddTheirOutlineToThePath)
{
    static const POINT bezier[4] = {{0, 0}, {30, 100}, {70, -50}, {100, 0}};
    double low = 0, high = 0; /* the curve's y extremes, sampled finely */
    for (int i = 0; i <= 10000; i++) {
        double t = i / 10000.0, y = 3 * (1 - t) * (1 - t) * t * 100 + 3 * (1 - t) * t * t * -50;
        low = y < low ? y : low;
        high = y > high ? y : high;
    }
    struct Row {
        const char *what;
        BOOL (*draw)(HDC);
        double box[4]; /* exclusive, as a region box */
    } rows[] = {
        {"ellipse", [](HDC h) { return Ellipse(h, 0, 0, 30, 20); }, {0, 0, 29, 19}},
        {"quarter pie", [](HDC h) { return Pie(h, 0, 0, 101, 101, 100, 50, 50, 0); }, {50, 0, 100, 50}},
        {"quarter chord", [](HDC h) { return Chord(h, 0, 0, 101, 101, 100, 50, 50, 0); }, {50, 0, 100, 50}},
        {"half arc", [](HDC h) { return Arc(h, 0, 0, 101, 101, 0, 50, 100, 50); }, {0, 50, 100, 100}},
        {"round rectangle", [](HDC h) { return RoundRect(h, 10, 10, 50, 40, 10, 10); }, {10, 10, 49, 39}},
        {"bezier", [](HDC h) { return PolyBezier(h, bezier, 4); }, {0, floor(low), 100, ceil(high)}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_TRUE(BeginPath(dc_));
        EXPECT_TRUE(row.draw(dc_));
        EXPECT_TRUE(EndPath(dc_));
        EXPECT_TRUE(FillPath(dc_));
        Close(true);
        emf::EMRFILLPATH fill;
        ASSERT_EQ(drawn_.back().type, emf::EMR_FILLPATH);
        memcpy(&fill, drawn_.back().bytes.data(), sizeof fill);
        const int32_t got[4] = {fill.rclBounds.left, fill.rclBounds.top, fill.rclBounds.right, fill.rclBounds.bottom};
        for (int side = 0; side < 4; side++)
            EXPECT_NEAR(got[side], row.box[side], 1.0) << "side " << side << " of " << Rect(fill.rclBounds);
    }
}
