/* Output32: the dispatch by style code, the raster-operation rule, the drawers' point handling and
 * scratch memory, and the path bracket, judged by the records in the metafile and the trace. */
#include <string.h>

#include <algorithm>

#include "job_fixture.h"
#include "render/render.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

/* What realization records, by road, for the test's pen (solid, 2 units, red) and brush (solid
 * green), with or without the drawing mode; and what the release records after it. */
enum Road { POINT_LIST, PEN_AND_BRUSH, BRUSH_COLOURED_PEN, NO_REALIZATION };
const char *const kDrawModeRecords[] = {"SETBKMODE 1", "SETBKCOLOR 0x123456", "SETTEXTCOLOR 0x654321"};

std::vector<std::string> Realization(Road road, bool withMode)
{
    std::vector<std::string> mode;
    if (withMode)
        mode.assign(std::begin(kDrawModeRecords), std::end(kDrawModeRecords));
    const std::string brush1 = "CREATEBRUSHINDIRECT 1 style=0 color=0xff00 hatch=0";
    const std::string brush2 = "CREATEBRUSHINDIRECT 2 style=0 color=0xff00 hatch=0";
    std::vector<std::string> records;
    switch (road) {
    case POINT_LIST:
        records = {"EXTCREATEPEN 1 style=0x10000 width=2 color=0xff", "SELECTOBJECT 1"};
        records.insert(records.end(), mode.begin(), mode.end());
        records.insert(records.end(), {brush2, "SELECTOBJECT 2"});
        break;
    case PEN_AND_BRUSH:
        records = {"CREATEPEN 1 style=0 width=2 color=0xff", "SELECTOBJECT 1"};
        records.insert(records.end(), mode.begin(), mode.end());
        records.insert(records.end(), {brush2, "SELECTOBJECT 2"});
        break;
    case BRUSH_COLOURED_PEN:
        records = mode;
        records.insert(records.end(), {brush1, "SELECTOBJECT 1",
                                       "EXTCREATEPEN 2 style=0x10000 width=1 color=0xff00",
                                       "SELECTOBJECT 2"});
        break;
    case NO_REALIZATION:
        break;
    }
    return records;
}

std::vector<std::string> Release(Road road)
{
    switch (road) {
    case POINT_LIST:
    case PEN_AND_BRUSH:
        return {"SELECTOBJECT stock 7", "DELETEOBJECT 1", "SELECTOBJECT stock 0", "DELETEOBJECT 2"};
    case BRUSH_COLOURED_PEN:
        return {"SELECTOBJECT stock 7", "DELETEOBJECT 2", "SELECTOBJECT stock 0", "DELETEOBJECT 1"};
    default:
        return {};
    }
}

const char *const kClip[] = {"EXTSELECTCLIPRGN 0 mode=5", "INTERSECTCLIPRECT (1,2,300,400)"};

class OutputTest : public JobTest {
protected:
    /* Output32 with this test's pen, brush and drawing mode; the slots are the call's own. */
    INT Output(WORD style, WORD second, WORD count, const void *points, const RECT *clip,
               const DrawMode32 *mode)
    {
        return Output32(&dc_, &style, &second, &count, points, &pen_, &bits_, &brush_, mode,
                        &slots_[0], &slots_[1], &slots_[2], &slots_[3], &slots_[4], clip);
    }
    LOGPEN pen_ = {PS_SOLID, {2, 0}, 0x0000ff};
    LOGBRUSH brush_ = {BS_SOLID, 0x00ff00, 0};
    DWORD bits_ = 0;
    DrawMode32 mode_ = SampleDrawMode();
    HGDIOBJ slots_[5] = {};
};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const std::vector<std::string> &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

template <size_t N> std::vector<std::string> V(const char *const (&items)[N])
{
    return std::vector<std::string>(items, items + N);
}

const POINTS kShape[] = {{10, 20}, {110, 220}, {30, 40}, {60, 20}, {5, 5}, {7, 7}, {9, 1}};
const POINTS kScan[] = {{-1, 100}, {10, 20}, {30, 40}};
const INT kCounts[] = {3, 4};
const PolyPolygonPoints kPolys = {kCounts, kShape};

struct DispatchRow {
    WORD style;
    const void *points;
    WORD count;
    std::vector<std::string> drawing; /* with the clip rectangle given */
    Road road;                        /* with second code 0 */
};

/* Every style code, with and without a clip rectangle and a drawing mode, with second code 0 and 1:
 * realization, raster operation, the drawer's fill mode, clip and drawing, release, in order. */
TEST_F(OutputTest, EveryStyleCodeRealizesSetsTheRasterOperationDrawsAndReleases)
{
    const RECT clip = {1, 2, 300, 400};
    const DispatchRow rows[] = {
        {OS_POLYBEZIER, kShape, 4, Join({V(kClip), {"POLYBEZIER16 4"}}), POINT_LIST},
        {OS_ARC, kShape, 4, {"ARC (10,20,109,219)"}, PEN_AND_BRUSH},
        {OS_SCANLINES, kScan, 3, {"MOVETOEX 10,100", "LINETO 20,100", "MOVETOEX 30,100", "LINETO 40,100"}, NO_REALIZATION},
        {OS_RECTANGLE, kShape, 2, Join({V(kClip), {"RECTANGLE (10,20,109,219)"}}), PEN_AND_BRUSH},
        {OS_ELLIPSE, kShape, 2, Join({V(kClip), {"ELLIPSE (10,20,109,219)"}}), PEN_AND_BRUSH},
        {OS_POLYLINE, kShape, 4, Join({V(kClip), {"POLYLINE16 4"}}), POINT_LIST},
        {OS_WINDPOLYGON, kShape, 4, Join({{"SETPOLYFILLMODE 2"}, V(kClip), {"POLYGON16 4"}}), POINT_LIST},
        {OS_ALTPOLYGON, kShape, 4, Join({{"SETPOLYFILLMODE 1"}, V(kClip), {"POLYGON16 4"}}), POINT_LIST},
        {OS_PIE, kShape, 4, {"PIE (10,20,109,219)"}, PEN_AND_BRUSH},
        {OS_CHORD, kShape, 4, {"CHORD (10,20,109,219)"}, PEN_AND_BRUSH},
        {OS_CIRCLE, kShape, 2, Join({V(kClip), {"ELLIPSE (10,20,109,219)"}}), PEN_AND_BRUSH},
        {OS_ROUNDRECT, kShape, 3, {"ROUNDRECT (10,20,109,219) 30,40"}, PEN_AND_BRUSH},
        {OS_WINDPOLYPOLYGON, &kPolys, 2, Join({{"SETPOLYFILLMODE 2"}, V(kClip), {"POLYPOLYGON16 2/7"}}), POINT_LIST},
        {OS_ALTPOLYPOLYGON, &kPolys, 2, Join({{"SETPOLYFILLMODE 1"}, V(kClip), {"POLYPOLYGON16 2/7"}}), POINT_LIST},
        /* Unlisted codes realize and release but draw nothing. */
        {0, NULL, 0, {}, PEN_AND_BRUSH},
        {2, NULL, 0, {}, PEN_AND_BRUSH},
        {5, NULL, 0, {}, PEN_AND_BRUSH},
        {8, NULL, 0, {}, PEN_AND_BRUSH},
        {24, NULL, 0, {}, PEN_AND_BRUSH},
        {0x4000, NULL, 0, {}, PEN_AND_BRUSH},
        {0x4015, NULL, 0, {}, PEN_AND_BRUSH},
    };
    for (const DispatchRow &row : rows)
        for (WORD second : {0, 1})
            for (bool withClip : {true, false})
                for (bool withMode : {true, false}) {
                    SCOPED_TRACE(testing::Message() << "style code " << row.style << ", second code " << second
                                                    << (withClip ? ", clip" : ", no clip")
                                                    << (withMode ? ", drawing mode" : ", no drawing mode"));
                    EXPECT_EQ(Output(row.style, second, row.count, row.points, withClip ? &clip : NULL,
                                     withMode ? &mode_ : NULL),
                              0);
                    Road road = second == 1 ? BRUSH_COLOURED_PEN : row.road;
                    std::vector<std::string> expected = Realization(road, withMode);
                    if (withMode && road != NO_REALIZATION)
                        expected.push_back("SETROP2 7");
                    for (const std::string &record : row.drawing)
                        if (withClip || (record != kClip[0] && record != kClip[1]))
                            expected.push_back(record);
                    for (const std::string &record : Release(road))
                        expected.push_back(record);
                    EXPECT_THAT(Reopen(), ElementsAreArray(expected));
                }
}

TEST_F(OutputTest, ARefusedPenStillDrawsTheRectangle)
{
    StandinFailCall("CreatePenIndirect", 1);
    EXPECT_EQ(Output(OS_RECTANGLE, 0, 2, kShape, NULL, &mode_), 0);
    EXPECT_THAT(Reopen(), testing::Contains("RECTANGLE (10,20,109,219)"));
}

TEST_F(OutputTest, PathBracketFillsTheScanlinesWithTheBracketsObjects)
{
    for (HGDIOBJ &slot : slots_)
        slot = (HGDIOBJ)(uintptr_t)0x5a5a5a5a;
    EXPECT_EQ(Output(OS_BEGINNSCAN, 0, 0, NULL, NULL, &mode_), 0);
    HGDIOBJ bracket[5];
    memcpy(bracket, slots_, sizeof bracket);
    EXPECT_NE(bracket[0], nullptr);
    EXPECT_EQ(bracket[1], GetStockObject(BLACK_PEN));
    EXPECT_NE(bracket[2], nullptr);
    EXPECT_EQ(bracket[3], GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(bracket[4], nullptr) << "no pattern: written as null";
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), bracket[0]) << "the bracket's pen stays selected";

    const POINTS line2[] = {{-1, 101}, {12, 18}};
    EXPECT_EQ(Output(OS_SCANLINES, 0, 3, kScan, NULL, &mode_), 0);
    EXPECT_EQ(Output(OS_SCANLINES, 0, 2, line2, NULL, &mode_), 0);
    StartTrace();
    EXPECT_EQ(Output(OS_ENDNSCAN, 0, 0, NULL, NULL, &mode_), 0);
    EXPECT_THAT(TracedCalls(), ElementsAre("EndPath", "SetPolyFillMode", "WidenPath", "FillPath"));

    EXPECT_EQ(DeleteObject32(&dc_, &bracket[0], &bracket[1]), 0);
    EXPECT_EQ(DeleteObject32(&dc_, &bracket[2], &bracket[3]), 0);
    EXPECT_EQ(DeleteObject32(&dc_, &bracket[4], &slots_[4]), 0);
    EXPECT_THAT(Reopen(),
                ElementsAre("SETBKMODE 1", "SETBKCOLOR 0x123456", "SETTEXTCOLOR 0x654321",
                            "CREATEBRUSHINDIRECT 1 style=0 color=0xff00 hatch=0", "SELECTOBJECT 1",
                            "EXTCREATEPEN 2 style=0x10000 width=1 color=0xff00", "SELECTOBJECT 2",
                            "SETROP2 7", "BEGINPATH", "MOVETOEX 10,100", "LINETO 20,100",
                            "MOVETOEX 30,100", "LINETO 40,100", "MOVETOEX 12,101", "LINETO 18,101",
                            "ENDPATH", "SETPOLYFILLMODE 2", "WIDENPATH", "FILLPATH",
                            "SELECTOBJECT stock 7", "DELETEOBJECT 2", "SELECTOBJECT stock 0",
                            "DELETEOBJECT 1"));
}

TEST_F(OutputTest, BeginPathReportsAFailedBrushButStillHandsOutWhatWasMade)
{
    StandinFailCall("CreateBrushIndirect", 1);
    EXPECT_EQ(Output(OS_BEGINNSCAN, 0, 0, NULL, NULL, &mode_), -1);
    EXPECT_NE(slots_[0], nullptr);
    EXPECT_EQ(slots_[2], nullptr);
    EXPECT_EQ(DeleteObject32(&dc_, &slots_[0], &slots_[1]), 0);
}

TEST_F(OutputTest, EndPathWithSecondCode1ReleasesWhatItRealized)
{
    StartTrace();
    EXPECT_EQ(Output(OS_ENDNSCAN, 1, 0, NULL, NULL, &mode_), 0);
    std::vector<std::string> calls = TracedCalls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetROP2"), calls.end());
    EXPECT_EQ(calls.back(), "DeleteObject") << "objects made for the fill are released after it";
    /* TearDown asserts that no GDI object is left alive. */
}

/* ---- The drawers' points and scratch memory ---- */

class DrawerTest : public OutputTest {
protected:
    std::vector<POINTS> Square(size_t n)
    {
        std::vector<POINTS> points(n);
        for (size_t i = 0; i < n; i++)
            points[i] = POINTS{(SHORT)(i % 100), (SHORT)(i / 100)};
        return points;
    }
    std::vector<std::string> MemoryCalls()
    {
        std::vector<std::string> memory;
        for (const std::string &entry : TracedEntries())
            if (entry.rfind("Global", 0) == 0)
                memory.push_back(entry.substr(0, entry.find('(')));
        return memory;
    }
    long AllocatedBytes()
    {
        for (const std::string &entry : TracedEntries())
            if (entry.rfind("GlobalAlloc(", 0) == 0)
                return strtol(entry.substr(entry.find(',') + 1).c_str(), NULL, 0);
        return -1;
    }
};

TEST_F(DrawerTest, ListsOfUpTo1024PointsNeedNoBlockAndLongerOnesExactlyOne)
{
    struct Row {
        WORD style;
        WORD count;
        long block;
        const char *record;
    } rows[] = {
        {OS_ALTPOLYGON, 1024, -1, "POLYGON16 1024"},
        {OS_ALTPOLYGON, 1025, 1025 * 8, "POLYGON16 1025"},
        {OS_POLYLINE, 1024, -1, "POLYLINE16 1024"},
        {OS_POLYLINE, 3000, 3000 * 8, "POLYLINE16 3000"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.record);
        std::vector<POINTS> points = Square(row.count);
        StartTrace();
        EXPECT_EQ(Output(row.style, 0, row.count, points.data(), NULL, NULL), 0);
        EXPECT_EQ(AllocatedBytes(), row.block);
        if (row.block > 0) {
            EXPECT_THAT(MemoryCalls(), ElementsAre("GlobalAlloc", "GlobalLock", "GlobalUnlock", "GlobalFree"));
        }
        EXPECT_EQ(StandinLiveGlobalBlocks(), globalBlocksBefore_);
        EXPECT_THAT(Reopen(), testing::Contains(row.record));
    }
}

TEST_F(DrawerTest, PolyPolygonIsJudgedByItsTotalAndPassesTheCountsUnchanged)
{
    std::vector<POINTS> points = Square(1200);
    const INT twice600[] = {600, 600}, twice512[] = {512, 512};
    const PolyPolygonPoints big = {twice600, points.data()}, exact = {twice512, points.data()};
    StartTrace();
    EXPECT_EQ(Output(OS_ALTPOLYPOLYGON, 0, 2, &big, NULL, NULL), 0);
    EXPECT_EQ(AllocatedBytes(), 1200 * 8);
    StartTrace();
    EXPECT_EQ(Output(OS_ALTPOLYPOLYGON, 0, 2, &exact, NULL, NULL), 0);
    EXPECT_EQ(AllocatedBytes(), -1);
    EXPECT_THAT(Reopen(), testing::IsSupersetOf({"POLYPOLYGON16 2/1200", "POLYPOLYGON16 2/1024"}));
}

TEST_F(DrawerTest, PolyPolygonOfNoPolygonsNeverReadsTheCounts)
{
    const PolyPolygonPoints none = {NULL, NULL};
    StartTrace();
    EXPECT_EQ(Output(OS_WINDPOLYPOLYGON, 0, 0, &none, NULL, NULL), 0);
    std::vector<std::string> calls = TracedCalls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "PolyPolygon"), calls.end());
}

TEST_F(DrawerTest, NegativeOrWrappingCountsDrawNothingAndAllocateNothing)
{
    const INT negative[] = {3, -1, 4};
    const INT wrapping[] = {0x7fffffff, 0x7fffffff, 0x7fffffff};
    const INT tooManyForABlock[] = {0x20000000};
    const POINTS few[3] = {};
    for (const INT *counts : {negative, wrapping, tooManyForABlock}) {
        const PolyPolygonPoints polys = {counts, few};
        WORD polygons = counts == tooManyForABlock ? 1 : 3;
        StartTrace();
        EXPECT_EQ(Output(OS_ALTPOLYPOLYGON, 0, polygons, &polys, NULL, NULL), 0);
        std::vector<std::string> calls = TracedCalls();
        EXPECT_EQ(std::find(calls.begin(), calls.end(), "PolyPolygon"), calls.end());
        EXPECT_EQ(AllocatedBytes(), -1);
    }
    for (const std::string &record : Reopen())
        EXPECT_EQ(record.find("POLYPOLYGON"), std::string::npos) << record;
}

TEST_F(DrawerTest, AMissingBlockDrawsNothingAndLeavesNothingBehind)
{
    std::vector<POINTS> points = Square(2000);
    for (const char *failing : {"GlobalAlloc", "GlobalLock"}) {
        SCOPED_TRACE(failing);
        StandinFailCall(failing, 1);
        StartTrace();
        EXPECT_EQ(Output(OS_ALTPOLYGON, 0, 2000, points.data(), NULL, NULL), 0);
        std::vector<std::string> calls = TracedCalls();
        EXPECT_EQ(std::find(calls.begin(), calls.end(), "Polygon"), calls.end());
        EXPECT_EQ(StandinLiveGlobalBlocks(), globalBlocksBefore_);
    }
}

TEST_F(DrawerTest, CoordinatesAreSignExtended)
{
    const POINTS negative[] = {{(SHORT)0xFFFF, -32768}, {32767, 0}, {0, (SHORT)0xFFFF}};
    EXPECT_EQ(Output(OS_ALTPOLYGON, 0, 3, negative, NULL, NULL), 0);
    Reopen();
    /* In a 32-bit record 0xFFFF would have read as 65535. */
    auto polygon = std::find_if(records().begin(), records().end(),
                                [](const JobRecord &r) { return r.type == emf::EMR_POLYGON16; });
    ASSERT_NE(polygon, records().end());
    int16_t stored[6];
    memcpy(stored, &polygon->bytes[28], sizeof stored);
    EXPECT_THAT(stored, ElementsAre(-1, -32768, 32767, 0, 0, -1));
}

TEST_F(DrawerTest, ShortListsDrawOnlyWhatTheirDrawerReads)
{
    struct Row {
        WORD style, count;
        std::vector<std::string> drawing;
    } rows[] = {
        {OS_SCANLINES, 1, {}},
        {OS_ROUNDRECT, 2, {}},
        {OS_ARC, 3, {}},
        {OS_POLYBEZIER, 7, {"POLYBEZIER16 4"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "style " << row.style << " count " << row.count);
        EXPECT_EQ(Output(row.style, 0, row.count, kShape, NULL, NULL), 0);
        std::vector<std::string> drawing;
        for (const std::string &record : Reopen())
            if (record.find("SELECTOBJECT") == std::string::npos && record.find("CREATE") == std::string::npos &&
                record.find("DELETEOBJECT") == std::string::npos)
                drawing.push_back(record);
        EXPECT_THAT(drawing, ElementsAreArray(row.drawing));
    }
}

TEST_F(DrawerTest, ArcDrawerIgnoresCodesOtherThanArcPieAndChord)
{
    StartTrace();
    EXPECT_EQ(DrawArcPieChord(dc_, OS_RECTANGLE, 4, kShape), 0);
    EXPECT_THAT(TracedCalls(), IsEmpty());
}

} /* namespace */
