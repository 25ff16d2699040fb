/* The EMF player on metafiles built by hand, record by record: every pixel that matters is
 * checked against what GDI draws, with the raster operations written out in the test as the
 * Win32 documentation lists them. Pages are drawn at one page pixel per device pixel. */
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "emf_player.h"
#include "print_test.h"

namespace {

/* R2_ codes as the Win32 documentation defines them, one per line. */
uint32_t DocumentedRop2(uint32_t rop2, uint32_t pen, uint32_t dest)
{
    switch (rop2) {
    case 1: return 0;               /* R2_BLACK */
    case 2: return ~(pen | dest);   /* R2_NOTMERGEPEN */
    case 3: return ~pen & dest;     /* R2_MASKNOTPEN */
    case 4: return ~pen;            /* R2_NOTCOPYPEN */
    case 5: return pen & ~dest;     /* R2_MASKPENNOT */
    case 6: return ~dest;           /* R2_NOT */
    case 7: return pen ^ dest;      /* R2_XORPEN */
    case 8: return ~(pen & dest);   /* R2_NOTMASKPEN */
    case 9: return pen & dest;      /* R2_MASKPEN */
    case 10: return ~(pen ^ dest);  /* R2_NOTXORPEN */
    case 11: return dest;           /* R2_NOP */
    case 12: return ~pen | dest;    /* R2_MERGENOTPEN */
    case 13: return pen;            /* R2_COPYPEN */
    case 14: return pen | ~dest;    /* R2_MERGEPENNOT */
    case 15: return pen | dest;     /* R2_MERGEPEN */
    default: return 0xFFFFFF;       /* R2_WHITE */
    }
}

TEST(PlayerRop2, EverySixteenOperationOnBrushAndPen)
{
    /* Two colours with every bit combination across their channels. */
    const uint32_t dest = 0x0F33A5, pen = 0x5533F0; /* 0x00RRGGBB */
    for (uint32_t rop2 = 1; rop2 <= 16; rop2++) {
        SCOPED_TRACE("R2 code " + std::to_string(rop2));
        std::vector<Bytes> recs = {
            SolidBrush(1, Colorref(dest)), Select(1), Select(kNullPen), Rect(0, 0, 20, 20),
            SolidBrush(2, Colorref(pen)), Select(2), SetValue(EMR_SETROP2, rop2),
            Rect(2, 2, 8, 8),                               /* the brush over dest */
            Pen(3, 0, 1, Colorref(pen)), Select(3), MoveTo(2, 12), LineTo(12, 12), /* the pen */
        };
        Page page = Draw(recs, 4, 20, 20);
        uint32_t want = DocumentedRop2(rop2, pen, dest) & 0xFFFFFF;
        EXPECT_EQ(page.At(4, 4), want);
        EXPECT_EQ(page.At(6, 12), want);
        EXPECT_EQ(page.At(15, 15), dest); /* untouched */
    }
}

/* Ternary raster operations on a 1x1 24-bit source stretched over 4x4 pixels, with a solid
 * brush as the pattern; the named operations' formulas from the Win32 documentation. */
TEST(PlayerRop3, NamedOperationsOfStretchDIBits)
{
    const uint32_t D = 0x0F33A5, S = 0x3C5AF0, P = 0x66CC18;
    const struct { uint32_t rop; uint32_t want; const char *name; } rows[] = {
        {0x00CC0020, S, "SRCCOPY"},         {0x00EE0086, S | D, "SRCPAINT"},
        {0x008800C6, S & D, "SRCAND"},      {0x00660046, S ^ D, "SRCINVERT"},
        {0x00440328, S & ~D, "SRCERASE"},   {0x00330008, ~S, "NOTSRCCOPY"},
        {0x001100A6, ~(S | D), "NOTSRCERASE"}, {0x00C000CA, P & S, "MERGECOPY"},
        {0x00BB0226, ~S | D, "MERGEPAINT"}, {0x00F00021, P, "PATCOPY"},
        {0x00FB0A09, P | ~S | D, "PATPAINT"}, {0x005A0049, P ^ D, "PATINVERT"},
        {0x00550009, ~D, "DSTINVERT"},      {0x00000042, 0, "BLACKNESS"},
        {0x00FF0062, 0xFFFFFF, "WHITENESS"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Bytes> recs = {
            SolidBrush(1, Colorref(D)), Select(1), Select(kNullPen), Rect(0, 0, 10, 10),
            SolidBrush(2, Colorref(P)), Select(2),
            StretchDib(2, 2, 4, 4, Dib24(1, 1, {S}), row.rop),
        };
        Page page = Draw(recs, 3, 10, 10);
        EXPECT_EQ(page.At(3, 3), row.want & 0xFFFFFF);
        EXPECT_EQ(page.At(7, 7), D); /* outside the destination */
    }
}

/* Each hatch's 8x8 cell as GDI draws it (PatBlt of each hatch under Wine), '#' for the hatch
 * colour. */
TEST(PlayerBrushes, HatchesInBothBackgroundModes)
{
    const char *cells[6] = {
        "........" "........" "........" "########" "........" "........" "........" "........",
        "....#..." "....#..." "....#..." "....#..." "....#..." "....#..." "....#..." "....#...",
        "#......." ".#......" "..#....." "...#...." "....#..." ".....#.." "......#." ".......#",
        ".......#" "......#." ".....#.." "....#..." "...#...." "..#....." ".#......" "#.......",
        "....#..." "....#..." "....#..." "########" "....#..." "....#..." "....#..." "....#...",
        "#......#" ".#....#." "..#..#.." "...##..." "...##..." "..#..#.." ".#....#." "#......#",
    };
    const uint32_t hatchColor = 0x0000C0, bk = 0xFFFF00, under = 0x808080;
    for (uint32_t hatch = 0; hatch < 6; hatch++) {
        for (uint32_t mode : {1u, 2u}) { /* TRANSPARENT, OPAQUE */
            SCOPED_TRACE("hatch " + std::to_string(hatch) + " mode " + std::to_string(mode));
            std::vector<Bytes> recs = {
                SolidBrush(1, Colorref(under)), Select(1), Select(kNullPen), Rect(0, 0, 24, 24),
                SetValue(EMR_SETBKMODE, mode), SetValue(EMR_SETBKCOLOR, Colorref(bk)),
                Brush(2, 2, Colorref(hatchColor), hatch), Select(2), Rect(0, 0, 17, 17),
            };
            Page page = Draw(recs, 3, 24, 24);
            for (int y = 0; y < 16; y++)
                for (int x = 0; x < 16; x++) {
                    bool line = cells[hatch][(y % 8) * 8 + x % 8] == '#';
                    uint32_t want = line ? hatchColor : mode == 2 ? bk : under;
                    ASSERT_EQ(page.At(x, y), want) << "at " << x << "," << y;
                }
        }
    }
}

TEST(PlayerBrushes, MonochromePatternTakesTextAndBackgroundColours)
{
    /* Rows top to bottom: 0x80, 0x40, ... a diagonal of 1 bits in an 8x8 cell; the DIB stores
     * them bottom-up. */
    std::vector<uint8_t> rows;
    for (int y = 7; y >= 0; y--)
        rows.push_back((uint8_t)(0x80 >> y));
    const uint32_t text = 0x102030, bk = 0xF0E0D0;
    std::vector<Bytes> recs = {
        SetValue(EMR_SETTEXTCOLOR, Colorref(text)), SetValue(EMR_SETBKCOLOR, Colorref(bk)),
        SetValue(EMR_SETBKMODE, 1), /* TRANSPARENT changes nothing for a pattern */
        MonoBrush(1, 8, 8, rows), Select(1), Select(kNullPen), Rect(0, 0, 17, 17),
    };
    Page page = Draw(recs, 2, 20, 20);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            ASSERT_EQ(page.At(x, y), x % 8 == y % 8 ? bk : text) << x << "," << y;
}

TEST(PlayerBrushes, DibPatternRepeatsFromTheDeviceOrigin)
{
    /* 2x2 top row red, green; bottom row blue, white (given bottom-up). */
    std::vector<Bytes> recs = {
        DibBrush(1, Dib24(2, 2, {0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00})), Select(1),
        Select(kNullPen), Rect(1, 1, 7, 7),
    };
    Page page = Draw(recs, 2, 8, 8);
    EXPECT_EQ(page.At(2, 2), 0xFF0000u);
    EXPECT_EQ(page.At(3, 2), 0x00FF00u);
    EXPECT_EQ(page.At(2, 3), 0x0000FFu);
    EXPECT_EQ(page.At(5, 5), 0xFFFFFFu);
    EXPECT_EQ(page.At(1, 1), 0xFFFFFFu) << "pattern (1,1) is white";
    EXPECT_EQ(page.At(1, 2), 0x00FF00u);
}

TEST(PlayerShapes, RectangleBoxIsInclusiveAndTheNullPenShrinksIt)
{
    std::vector<Bytes> recs = {
        SolidBrush(1, Colorref(0xFF0000)), Select(1), Rect(10, 20, 19, 29), /* black 1-px pen */
        Select(kNullPen), Rect(30, 20, 39, 29),
    };
    Page page = Draw(recs, 2, 50, 40);
    EXPECT_EQ(page.At(10, 20), 0u);
    EXPECT_EQ(page.At(19, 29), 0u);
    EXPECT_EQ(page.At(19, 25), 0u);
    EXPECT_EQ(page.At(11, 21), 0xFF0000u);
    EXPECT_EQ(page.At(18, 28), 0xFF0000u);
    EXPECT_EQ(page.At(20, 30), 0xFFFFFFu);
    EXPECT_EQ(page.At(30, 20), 0xFF0000u);
    EXPECT_EQ(page.At(38, 28), 0xFF0000u);
    EXPECT_EQ(page.At(39, 29), 0xFFFFFFu);
}

TEST(PlayerShapes, PolygonFillModes)
{
    /* A pentagram: its centre is inside once for WINDING, twice (so out) for ALTERNATE. */
    std::vector<int16_t> star = {50, 5, 76, 85, 8, 35, 92, 35, 24, 85};
    for (uint32_t mode : {1u, 2u}) {
        std::vector<Bytes> recs = {
            SolidBrush(1, Colorref(0x0000FF)), Select(1), Select(kNullPen),
            SetValue(EMR_SETPOLYFILLMODE, mode), Poly16(EMR_POLYGON16, star),
        };
        Page page = Draw(recs, 2, 100, 100);
        EXPECT_EQ(page.At(50, 50), mode == 1 ? 0xFFFFFFu : 0x0000FFu) << "mode " << mode;
        EXPECT_EQ(page.At(50, 20), 0x0000FFu) << "a point of the star, mode " << mode;
    }
}

TEST(PlayerPens, CosmeticLinesLeaveTheirLastPixelAndStyledGapsFollowTheBackground)
{
    std::vector<Bytes> recs = {
        MoveTo(2, 2), LineTo(10, 2),                           /* BLACK_PEN */
        Pen(1, 2 /* PS_DOT */, 1, Colorref(0x00FF00)), Select(1),
        SetValue(EMR_SETBKCOLOR, Colorref(0xFF00FF)), SetValue(EMR_SETBKMODE, 2),
        MoveTo(0, 6), LineTo(20, 6),
        SetValue(EMR_SETBKMODE, 1), MoveTo(0, 8), LineTo(20, 8),
    };
    Page page = Draw(recs, 2, 24, 12);
    for (int x = 2; x < 10; x++)
        EXPECT_EQ(page.At(x, 2), 0u) << x;
    EXPECT_EQ(page.At(10, 2), 0xFFFFFFu);
    for (int x = 0; x < 18; x++) { /* dots: three on, three off */
        bool on = (x / 3) % 2 == 0;
        EXPECT_EQ(page.At(x, 6), on ? 0x00FF00u : 0xFF00FFu) << "opaque " << x;
        EXPECT_EQ(page.At(x, 8), on ? 0x00FF00u : 0xFFFFFFu) << "transparent " << x;
    }
}

TEST(PlayerPens, GeometricEndCapsAndWidth)
{
    const struct { uint32_t cap; bool past; } rows[] = {
        {0x200 /* FLAT */, false}, {0x100 /* SQUARE */, true}, {0x000 /* ROUND */, true}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.cap);
        std::vector<Bytes> recs = {
            ExtPen(1, 0x10000 | row.cap, 6, Colorref(0x0000FF), {}), Select(1),
            MoveTo(10, 10), LineTo(30, 10),
        };
        Page page = Draw(recs, 2, 40, 20);
        EXPECT_EQ(page.At(20, 8), 0x0000FFu);
        EXPECT_EQ(page.At(20, 12), 0x0000FFu);
        EXPECT_EQ(page.At(20, 14), 0xFFFFFFu);
        EXPECT_EQ(page.At(8, 10), row.past ? 0x0000FFu : 0xFFFFFFu);
    }
}

TEST(PlayerPens, RoundDotsAsGdiDrawsThem)
{
    /* A line of no length with a round pen: the dot's rows as GDI draws them (measured under
     * Wine), centred in the width x width box that starts width / 2 pixels above and left of the
     * point. */
    const struct { uint32_t width; std::vector<int> rows; } table[] = {
        {2, {2, 2}},
        {3, {1, 3, 1}},
        {4, {2, 4, 4, 2}},
        {6, {2, 4, 6, 6, 4, 2}},
        {9, {3, 7, 7, 9, 9, 9, 7, 7, 3}},
        {12, {4, 8, 10, 10, 12, 12, 12, 12, 10, 10, 8, 4}},
        {24, {6, 12, 14, 16, 18, 20, 22, 22, 22, 24, 24, 24, 24, 24, 24, 22, 22, 22, 20, 18, 16,
              14, 12, 6}},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.width);
        std::vector<Bytes> recs = {ExtPen(1, 0x10000, row.width, Colorref(0x0000FF), {}), Select(1),
                                   MoveTo(20, 20), LineTo(20, 20)};
        Page page = Draw(recs, 2, 40, 40);
        int top = 20 - (int)row.width / 2;
        for (int y = 0; y < 40; y++) {
            int inked = 0, first = -1;
            for (int x = 0; x < 40; x++)
                if (page.At(x, y) != 0xFFFFFFu) {
                    inked++;
                    first = first < 0 ? x : first;
                }
            int i = y - top;
            int expected = i >= 0 && i < (int)row.rows.size() ? row.rows[i] : 0;
            EXPECT_EQ(inked, expected) << "row " << y;
            if (expected) {
                EXPECT_EQ(first, top + ((int)row.width - expected) / 2) << "row " << y;
            }
        }
    }
}

/* The inked pixels of row y from x0 to x1 as a string, '#' for ink. */
std::string InkRow(const Page &page, int y, int x0, int x1)
{
    std::string row;
    for (int x = x0; x < x1; x++)
        row += page.At(x, y) != 0xFFFFFFu ? '#' : '.';
    return row;
}

TEST(PlayerPens, MiterJoinsReachTheirPointWithinTheLimit)
{
    /* A 5-pixel pen over a corner of 32 degrees: a miter 3.6 widths long, so its point lies
     * about 9 pixels above the corner, where a bevel ends within a pixel. A corner of 7.6
     * degrees would need 15 widths, past GDI's limit of 10: it is bevelled. */
    const uint32_t geometric = 0x10000, flat = 0x200, bevel = 0x1000, miter = 0x2000;
    const struct {
        uint32_t style;
        std::vector<int16_t> corner;
        bool point;
    } rows[] = {
        {geometric | flat | miter, {10, 45, 20, 10, 30, 45}, true},
        {geometric | miter, {10, 45, 20, 10, 30, 45}, true}, /* round ends: the same point */
        {geometric | flat | bevel, {10, 45, 20, 10, 30, 45}, false},
        {geometric | flat | miter, {16, 70, 20, 10, 24, 70}, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.style);
        SCOPED_TRACE(row.corner[0]);
        std::vector<Bytes> recs = {ExtPen(1, row.style, 5, Colorref(0x0000FF), {}), Select(1),
                                   Poly16(EMR_POLYLINE16, row.corner)};
        Page page = Draw(recs, 2, 40, 80);
        EXPECT_EQ(page.At(20, 12), 0x0000FFu);
        EXPECT_EQ(page.At(20, 3), row.point ? 0x0000FFu : 0xFFFFFFu);
        EXPECT_EQ(page.At(20, 7), row.point ? 0x0000FFu : 0xFFFFFFu);
        EXPECT_EQ(page.At(20, 0), 0xFFFFFFu);
    }
}

TEST(PlayerPens, GeometricDashesInPenWidths)
{
    /* PS_DASHDOT 5 pixels wide with flat ends along x: dash 15, gap 5, dot 5, gap 5, the last
     * dash cut at the line's end, every row of the pen's width alike. */
    std::vector<Bytes> recs = {ExtPen(1, 0x10000 | 0x200 | 3 /* PS_DASHDOT */, 5, Colorref(0x0000FF), {}),
                               Select(1), MoveTo(10, 20), LineTo(110, 20)};
    Page page = Draw(recs, 2, 120, 30);
    std::string period = std::string(15, '#') + "....." + "#####" + ".....";
    std::string expected = "....." + period + period + period + std::string(10, '#') + ".....";
    for (int y = 18; y <= 22; y++)
        EXPECT_EQ(InkRow(page, y, 5, 115), expected) << "row " << y;
    EXPECT_EQ(InkRow(page, 17, 5, 115), std::string(110, '.'));
    EXPECT_EQ(InkRow(page, 23, 5, 115), std::string(110, '.'));

    /* With round ends each dash is a width shorter and each gap a width longer, the ends' dots
     * reaching into the gaps: dash 10, gap 10, a dot of no length, gap 10. */
    recs[0] = ExtPen(1, 0x10000 | 3, 5, Colorref(0x0000FF), {});
    Page round = Draw(recs, 2, 120, 30);
    std::string dash(15, '#'), dot(5, '#'), gap(5, '.');
    EXPECT_EQ(InkRow(round, 20, 5, 115), "..." + dash + gap + dot + gap + dash + gap + dot + gap + dash +
                                             gap + dot + gap + dash + "..");
}

TEST(PlayerPens, RoundDotsOfPsDotFollowEachOther)
{
    /* PS_DOT with round ends: dashes of no length, each the pen's dot, two widths apart. (Wine
     * draws only the first; Windows draws them all.) */
    std::vector<Bytes> recs = {ExtPen(1, 0x10000 | 2 /* PS_DOT */, 6, Colorref(0x0000FF), {}),
                               Select(1), MoveTo(10, 20), LineTo(70, 20)};
    Page page = Draw(recs, 2, 80, 40);
    for (int x = 10; x <= 70; x += 12) {
        EXPECT_EQ(page.At(x, 20), 0x0000FFu) << x;
        EXPECT_EQ(page.At(x + 6, 20), 0xFFFFFFu) << x + 6;
    }
}

TEST(PlayerPens, LogicalPensWiderThanAPixelDrawSolid)
{
    /* CreatePen's dash styles hold only one pixel wide: at 5 units PS_DASHDOT is a solid line
     * with round ends, as GDI draws it; at 1 unit it takes the display's dash-dot, 9 on, 6 off,
     * 3 on, 6 off. */
    std::vector<Bytes> recs = {Pen(1, 3 /* PS_DASHDOT */, 5, Colorref(0x0000FF)), Select(1),
                               MoveTo(10, 20), LineTo(110, 20), Pen(2, 3, 1, Colorref(0x0000FF)),
                               Select(2), MoveTo(10, 30), LineTo(58, 30)};
    Page page = Draw(recs, 3, 120, 40);
    EXPECT_EQ(InkRow(page, 20, 8, 113), std::string(105, '#'));
    std::string period = std::string(9, '#') + "......" + "###" + "......";
    EXPECT_EQ(InkRow(page, 30, 10, 60), period + period + "..");
}

TEST(PlayerPens, OnePixelStylesAndTheirGaps)
{
    /* One pixel wide, a geometric pen takes its stock dashes in units of its width (PS_DASH: 3
     * on, 1 off) and its user style as given; a cosmetic pen's user style counts in units of
     * three pixels. An odd count of entries swaps dashes and gaps on the second round. Pens of
     * ExtCreatePen leave their gaps clear in OPAQUE mode. */
    const struct {
        uint32_t style;
        std::vector<uint32_t> entries;
        std::string row;
    } rows[] = {
        {0x10000 | 1 /* PS_DASH */, {}, "###.###.###.###."},
        {0x10000 | 7 /* PS_USERSTYLE */, {2, 1}, "##.##.##.##.##.#"},
        {0x10000 | 7, {2, 1, 1}, "##.#..#.##.#..#."},
        {7, {2, 1}, "######...######."},
        {8 /* PS_ALTERNATE */, {}, "#.#.#.#.#.#.#.#."},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.style);
        std::vector<Bytes> recs = {SetValue(EMR_SETBKMODE, 2), SetValue(EMR_SETBKCOLOR, Colorref(0x00FF00)),
                                   ExtPen(1, row.style, 1, Colorref(0x0000FF), row.entries), Select(1),
                                   MoveTo(10, 5), LineTo(40, 5)};
        Page page = Draw(recs, 2, 50, 10);
        EXPECT_EQ(InkRow(page, 5, 10, 26), row.row);
    }
}

TEST(PlayerShapes, RectangleFilledOnlyWhereItsPenLeavesTheBox)
{
    /* R2_MASKPEN shows any pixel drawn by both: blue pen over green fill would turn black. A pen
     * of w pixels on the left edge at x 10 covers 10 - w/2 .. 10 - w/2 + w - 1; the right and
     * bottom edges lie on the box's last column and row. */
    for (int32_t w : {1, 2, 3, 5}) {
        SCOPED_TRACE(w);
        std::vector<Bytes> recs = {
            SetValue(EMR_SETROP2, 9), ExtPen(1, 0x10000 | 0x200, (uint32_t)w, Colorref(0x0000FF), {}),
            Select(1), SolidBrush(2, Colorref(0x00FF00)), Select(2), Rect(10, 10, 29, 29),
        };
        Page page = Draw(recs, 3, 40, 40);
        int penLeft = 10 - w / 2, fillLeft = penLeft + w, fillRight = 29 - w / 2 - 1;
        EXPECT_EQ(page.At(penLeft, 20), 0x0000FFu);
        EXPECT_EQ(page.At(fillLeft - 1, 20), 0x0000FFu);
        EXPECT_EQ(page.At(fillLeft, 20), 0x00FF00u);
        EXPECT_EQ(page.At(fillRight, 20), 0x00FF00u);
        EXPECT_EQ(page.At(fillRight + 1, 20), 0x0000FFu);
        EXPECT_EQ(page.At(20, fillRight + 1), 0x0000FFu);
        EXPECT_EQ(page.At(penLeft - 1, 20), 0xFFFFFFu);
        for (int x = 0; x < 40; x++)
            EXPECT_NE(page.At(x, 20), 0u) << "pen and brush overlap at " << x;
    }
}

TEST(PlayerShapes, EllipseFillIsGdisEllipticRegion)
{
    /* An ellipse's box is recorded inclusive; GDI fills its elliptic region, whose rows for a
     * 12 x 12 box are those of its 12-pixel round pen's dot (measured under Wine), centred. */
    const std::vector<int> rows = {4, 8, 10, 10, 12, 12, 12, 12, 10, 10, 8, 4};
    std::vector<Bytes> recs = {SolidBrush(1, Colorref(0x0000FF)), Select(1), Select(kNullPen),
                               Record({EMR_ELLIPSE, 24, 10, 20, 21, 31})};
    Page page = Draw(recs, 2, 40, 40);
    for (int y = 18; y < 34; y++) {
        std::string row = InkRow(page, y, 8, 24);
        int i = y - 20, width = i >= 0 && i < 12 ? rows[(size_t)i] : 0;
        EXPECT_EQ(row, std::string((size_t)(2 + (12 - width) / 2), '.') + std::string((size_t)width, '#') +
                           std::string((size_t)(2 + (12 - width) / 2), '.'))
            << "row " << y;
    }
}

/* An ellipse's box out to the 32-bit limits, whose inclusive corner one on lies past them, and a
 * rounded rectangle whose corner is 2^31 wide: neither overflows a coordinate on the way (the
 * sanitizer build checks). The page's top-left corner lies outside the ellipse, whose edge passes
 * far away; the rounded rectangle's corners are cut to its box, and 1 high they are too small to
 * round: it is filled as a rectangle. */
TEST(PlayerShapes, RoundShapesOutToThe32BitLimits)
{
    std::vector<Bytes> recs = {SolidBrush(1, Colorref(0x0000FF)), Select(1), Select(kNullPen),
                               Record({EMR_ELLIPSE, 24, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF})};
    Page ellipse = Draw(recs, 2, 40, 40);
    EXPECT_EQ(ellipse.At(20, 20), 0xFFFFFFu);
    recs.back() = Record({EMR_ROUNDRECT, 32, 12, 2, (uint32_t)-256, 12, (uint32_t)INT32_MIN, 1});
    Page rounded = Draw(recs, 2, 40, 40);
    EXPECT_EQ(rounded.At(5, 7), 0x0000FFu);
    EXPECT_EQ(rounded.At(5, 20), 0xFFFFFFu);
}

TEST(PlayerShapes, ARegionPensOutlineIsLeftOutOfTheInterior)
{
    /* With R2_XORPEN a pixel drawn twice shows both colours. GDI leaves the outline of a
     * geometric or wide pen out of the interior; a thin cosmetic pen draws over the interior's
     * top and left edges, which the fill takes in. A dashed region pen's gaps show the interior
     * up to the box's edge. */
    const uint32_t pen = 0x0000FF, brush = 0x00FF00;
    const uint32_t xorPen = pen ^ 0xFFFFFF, xorBrush = brush ^ 0xFFFFFF, xorBoth = pen ^ brush ^ 0xFFFFFF;
    std::vector<int16_t> square = {10, 10, 30, 10, 30, 30, 10, 30};
    const struct {
        Bytes pen;
        uint32_t edge; /* what the polygon's top-left corner pixel shows */
    } rows[] = {
        {ExtPen(1, 0x10000 | 0x200, 5, Colorref(pen), {}), xorPen},
        {ExtPen(1, 0x10000, 1, Colorref(pen), {}), xorPen},
        {Pen(1, 0, 1, Colorref(pen)), xorBoth},
    };
    for (const auto &row : rows) {
        std::vector<Bytes> recs = {SetValue(EMR_SETROP2, 7 /* R2_XORPEN */), row.pen, Select(1),
                                   SolidBrush(2, Colorref(brush)), Select(2), Poly16(EMR_POLYGON16, square)};
        Page page = Draw(recs, 3, 40, 40);
        EXPECT_EQ(page.At(10, 10), row.edge);
        EXPECT_EQ(page.At(20, 20), xorBrush);
    }
    std::vector<Bytes> dashed = {SetValue(EMR_SETROP2, 7), ExtPen(1, 0x10000 | 0x200 | 1 /* PS_DASH */, 4,
                                                                 Colorref(pen), {}),
                                 Select(1), SolidBrush(2, Colorref(brush)), Select(2), Rect(10, 10, 59, 59)};
    Page page = Draw(dashed, 3, 70, 70);
    /* Counter-clockwise from the top right: the left edge runs down from (10, 10), dash 12, gap 4. */
    EXPECT_EQ(page.At(10, 15), xorPen);
    EXPECT_EQ(page.At(9, 24), 0xFFFFFFu) << "the gap outside the box";
    EXPECT_EQ(page.At(10, 24), xorBrush) << "the gap inside the box";
    EXPECT_EQ(page.At(30, 30), xorBrush);
}

TEST(PlayerShapes, SlopedEdgesFollowTheCornerRule)
{
    /* A triangle with edges through pixel corners and between them: pixel (x, y) is filled
     * when the point (x, y) is inside, or on a left or top edge. */
    std::vector<int16_t> tri = {0, 0, 10, 0, 0, 20};
    std::vector<Bytes> recs = {SolidBrush(1, Colorref(0x0000FF)), Select(1), Select(kNullPen),
                               Poly16(EMR_POLYGON16, tri)};
    Page page = Draw(recs, 2, 20, 30);
    for (int y = 0; y < 22; y++) {
        /* The sloped edge x = 10 - y / 2 is a right edge: pixels left of it, not on it. */
        int right = (int)ceil(10 - y / 2.0);
        for (int x = 0; x < 12; x++)
            EXPECT_EQ(page.At(x, y), x < right && y < 20 ? 0x0000FFu : 0xFFFFFFu) << x << "," << y;
    }
}

TEST(PlayerClip, IntersectExcludeAndRegionRecords)
{
    std::vector<Bytes> recs = {
        IntersectClip(EMR_INTERSECTCLIPRECT, 10, 10, 30, 30),
        IntersectClip(EMR_EXCLUDECLIPRECT, 15, 15, 20, 20),
        SolidBrush(1, Colorref(0xFF0000)), Select(1), Select(kNullPen), Rect(0, 0, 39, 39),
        ClipNone(), SolidBrush(2, Colorref(0x00FF00)), Select(2), Rect(35, 0, 39, 4),
        ClipRegion(5 /* RGN_COPY */, {{0, 35, 2, 37}, {4, 35, 6, 37}}), Rect(0, 35, 39, 39),
    };
    Page page = Draw(recs, 3, 40, 40);
    EXPECT_EQ(page.At(5, 5), 0xFFFFFFu);
    EXPECT_EQ(page.At(10, 10), 0xFF0000u);
    EXPECT_EQ(page.At(29, 29), 0xFF0000u);
    EXPECT_EQ(page.At(30, 30), 0xFFFFFFu);
    EXPECT_EQ(page.At(17, 17), 0xFFFFFFu) << "excluded";
    EXPECT_EQ(page.At(36, 2), 0x00FF00u) << "after the clip was removed";
    EXPECT_EQ(page.At(1, 36), 0x00FF00u);
    EXPECT_EQ(page.At(3, 36), 0xFFFFFFu) << "between the region's rectangles";
    EXPECT_EQ(page.At(5, 36), 0x00FF00u);
}

/* A rectangle clip and a region of several rectangles combined by every mode: the rectangle
 * costs no mask, the rest goes pixel by pixel; both must agree. */
TEST(PlayerClip, RegionsCombineWithRectangleAndMaskClips)
{
    std::vector<Bytes> recs = {
        IntersectClip(EMR_INTERSECTCLIPRECT, 0, 0, 20, 40),
        /* AND with two rectangles: x in [0, 10) and [15, 20) */
        ClipRegion(1 /* RGN_AND */, {{0, 0, 10, 40}, {15, 0, 40, 40}}),
        SolidBrush(1, Colorref(0xFF0000)), Select(1), Select(kNullPen), Rect(0, 0, 40, 10),
        ClipRegion(2 /* RGN_OR */, {{30, 10, 35, 20}}),
        SolidBrush(2, Colorref(0x00FF00)), Select(2), Rect(0, 10, 40, 20),
        ClipRegion(3 /* RGN_XOR */, {{0, 20, 40, 30}}),
        SolidBrush(3, Colorref(0x0000FF)), Select(3), Rect(0, 20, 40, 30),
        /* An empty region copied: nothing is drawn. */
        ClipRegion(5 /* RGN_COPY */, {{5, 30, 5, 40}}), Select(1), Rect(0, 30, 40, 40),
    };
    Page page = Draw(recs, 4, 40, 40);
    const struct {
        int x, y;
        uint32_t color;
    } expected[] = {
        {5, 5, 0xFF0000}, {12, 5, 0xFFFFFF}, {17, 5, 0xFF0000}, {25, 5, 0xFFFFFF},
        {5, 15, 0x00FF00}, {12, 15, 0xFFFFFF}, {17, 15, 0x00FF00}, {25, 15, 0xFFFFFF},
        {32, 15, 0x00FF00},
        {5, 25, 0xFFFFFF}, {12, 25, 0x0000FF}, {17, 25, 0xFFFFFF}, {25, 25, 0x0000FF},
        {32, 25, 0x0000FF}, {5, 35, 0xFFFFFF},
    };
    for (const auto &e : expected)
        EXPECT_EQ(page.At(e.x, e.y), e.color) << e.x << "," << e.y;
}

/* Random runs of clip records, saves and restores against the clip kept as a plain set of
 * pixels in the test: after each run the page is filled, and exactly the clip's pixels change. */
TEST(PlayerClip, RandomRunsAgreeWithPixelSets)
{
    const int size = 24;
    uint32_t seed = 12345;
    auto next = [&](int n) { return (int)((seed = seed * 1103515245 + 12345) >> 16) % n; };
    for (int run = 0; run < 60; run++) {
        std::vector<Bytes> recs;
        std::vector<bool> clip(size * size, true), saved;
        for (int step = 0; step < 6; step++) {
            int kind = next(6);
            std::vector<bool> region(size * size, false);
            auto mark = [&](int l, int t, int r, int b) {
                for (int y = std::max(t, 0); y < std::min(b, size); y++)
                    for (int x = std::max(l, 0); x < std::min(r, size); x++)
                        region[y * size + x] = true;
            };
            int l = next(30) - 3, t = next(30) - 3, r = l + next(16), b = t + next(16);
            if (kind == 0 || kind == 1) {
                recs.push_back(IntersectClip(kind ? EMR_EXCLUDECLIPRECT : EMR_INTERSECTCLIPRECT,
                                             l, t, r, b));
                mark(l, t, r, b);
                for (int i = 0; i < size * size; i++)
                    clip[i] = kind ? clip[i] && !region[i] : clip[i] && region[i];
            } else if (kind == 2 || kind == 3) {
                uint32_t mode = 1 + next(5);
                std::vector<std::vector<int32_t>> rects;
                for (int n = 1 + next(4); n > 0; n--) {
                    rects.push_back({l, t, r, b});
                    mark(l, t, r, b);
                    l = next(30) - 3, t = next(30) - 3, r = l + next(16), b = t + next(16);
                }
                recs.push_back(ClipRegion(mode, rects));
                for (int i = 0; i < size * size; i++) {
                    bool c = clip[i], g = region[i];
                    clip[i] = mode == 1 ? c && g : mode == 2 ? c || g : mode == 3 ? c != g
                              : mode == 4 ? c && !g : g;
                }
            } else if (kind == 4) {
                recs.push_back(Record({EMR_SAVEDC, 8}));
                saved = clip;
            } else if (!saved.empty()) {
                recs.push_back(Record({EMR_RESTOREDC, 12, (uint32_t)-1}));
                clip = saved;
                saved.clear();
            }
        }
        recs.insert(recs.end(), {SolidBrush(1, Colorref(0x336699)), Select(1), Select(kNullPen),
                                 Rect(0, 0, size + 1, size + 1)});
        Page page = Draw(recs, 2, size, size);
        int wrong = 0;
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++)
                wrong += page.At(x, y) != (clip[y * size + x] ? 0x336699u : 0xFFFFFFu);
        EXPECT_EQ(wrong, 0) << "run " << run;
    }
}

TEST(PlayerPaths, ScanlinesWidenedThenFilled)
{
    /* The bracket the library builds: scanlines in a path, widened with a geometric pen one
     * unit wide, filled with the brush; and the same path filled unwidened, which has no area. */
    std::vector<Bytes> recs = {
        SolidBrush(1, Colorref(0x0078C8)), Select(1),
        ExtPen(2, 0x10000 | 0x200, 1, Colorref(0x0078C8), {}), Select(2),
        Bytes(Record({EMR_BEGINPATH, 8})),
    };
    for (int y = 10; y < 14; y++) {
        recs.push_back(MoveTo(10, y));
        recs.push_back(LineTo(30, y));
    }
    recs.push_back(Record({EMR_ENDPATH, 8}));
    recs.push_back(Record({EMR_WIDENPATH, 8}));
    recs.push_back(Record({EMR_FILLPATH, 24, 0, 0, 0, 0}));
    Page page = Draw(recs, 3, 40, 20);
    EXPECT_EQ(page.At(20, 10), 0x0078C8u);
    EXPECT_EQ(page.At(20, 13), 0x0078C8u);
    EXPECT_EQ(page.At(20, 16), 0xFFFFFFu);
    EXPECT_EQ(page.At(5, 12), 0xFFFFFFu);
    EXPECT_EQ(page.warnings.count, 0u);
}

TEST(PlayerText, AdvancesAlignmentAndEscapement)
{
    /* "II" at (40,40) with advances of 20: two separate strokes; right-aligned it lies left of
     * the reference point; turned 90 degrees it runs upwards. */
    const struct { uint32_t align; int32_t escapement; int x0, x1, y0, y1; } rows[] = {
        {0 /* TA_LEFT|TA_TOP */, 0, 40, 80, 40, 70},
        {2 | 24 /* TA_RIGHT|TA_BASELINE */, 0, 0, 40, 10, 40},
        {24 /* TA_BASELINE */, 900, 10, 41, 0, 41}, /* glyph tops face left */
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.align);
        std::vector<Bytes> recs = {
            Font(1, -24, row.escapement, "Liberation Sans"), Select(1),
            SetValue(EMR_SETTEXTALIGN, row.align), SetValue(EMR_SETBKMODE, 1),
            SetValue(EMR_SETTEXTCOLOR, Colorref(0x0000FF)), TextW(40, 40, u"II", {20, 20}),
        };
        Page page = Draw(recs, 2, 100, 100);
        int inside = 0, outside = 0;
        for (int y = 0; y < 100; y++)
            for (int x = 0; x < 100; x++) {
                bool in = x >= row.x0 && x < row.x1 && y >= row.y0 && y < row.y1;
                if (page.At(x, y) == 0x0000FF)
                    (in ? inside : outside)++;
            }
        EXPECT_GT(inside, 20);
        EXPECT_EQ(outside, 0);
        /* Two glyphs 20 apart: ink, then a gap, then ink again along the baseline. */
        if (row.escapement == 0) {
            int runs = 0;
            bool was = false;
            int y = row.align == 0 ? 55 : 30;
            for (int x = 0; x < 100; x++) {
                bool ink = page.At(x, y) == 0x0000FF;
                runs += ink && !was;
                was = ink;
            }
            EXPECT_EQ(runs, 2);
        }
    }
}

/* Advances of two billion units carry the second and third glyphs billions of pixels off the
 * page: only the first is drawn, and no origin overflows on the way. */
TEST(PlayerText, GlyphsAdvancedFarBeyondThePageAreLeftOut)
{
    std::vector<Bytes> recs = {
        Font(1, -24, 0, "Liberation Sans"), Select(1), SetValue(EMR_SETBKMODE, 1),
        SetValue(EMR_SETTEXTCOLOR, Colorref(0x0000FF)), TextW(40, 40, u"III", {2000000000, 2000000000, 20}),
    };
    Page page = Draw(recs, 2, 100, 100);
    int inside = 0, outside = 0;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 100; x++)
            if (page.At(x, y) == 0x0000FF)
                (x >= 40 && x < 60 && y >= 40 && y < 70 ? inside : outside)++;
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
}

TEST(PlayerText, OpaqueRectangleAndBackground)
{
    std::vector<Bytes> recs = {
        Font(1, -20, 0, "Liberation Sans"), Select(1),
        SetValue(EMR_SETBKCOLOR, Colorref(0x00FF00)), SetValue(EMR_SETBKMODE, 2),
        TextW(10, 10, u"-", {12}, 2 /* ETO_OPAQUE */, {50, 50, 60, 60}),
        TextW(10, 40, u"-", {12}),
    };
    Page page = Draw(recs, 2, 80, 80);
    EXPECT_EQ(page.At(55, 55), 0x00FF00u) << "ETO_OPAQUE's rectangle";
    EXPECT_EQ(page.At(11, 41), 0x00FF00u) << "the cell behind text in OPAQUE mode";
}

TEST(PlayerBitmaps, StretchDIBitsOrientationAndBitBltPattern)
{
    /* 2x2 bottom-up: bottom row blue, white; top row red, green. */
    Dib bottomUp = Dib24(2, 2, {0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00});
    Dib topDown = Dib24(2, -2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    for (const Dib *dib : {&bottomUp, &topDown}) {
        std::vector<Bytes> recs = {
            StretchDib(10, 10, 4, 4, *dib, 0x00CC0020),
            SolidBrush(1, Colorref(0x123456)), Select(1),
            BitBltNoSource(20, 10, 3, 3, 0x00F00021 /* PATCOPY */),
        };
        Page page = Draw(recs, 2, 30, 20);
        EXPECT_EQ(page.At(10, 10), 0xFF0000u);
        EXPECT_EQ(page.At(13, 10), 0x00FF00u);
        EXPECT_EQ(page.At(11, 13), 0x0000FFu);
        EXPECT_EQ(page.At(12, 12), 0xFFFFFFu);
        EXPECT_EQ(page.At(14, 14), 0xFFFFFFu) << "past the destination";
        EXPECT_EQ(page.At(21, 11), 0x123456u);
        EXPECT_EQ(page.At(23, 11), 0xFFFFFFu);
    }
}

TEST(PlayerBitmaps, MonochromeSourceUsesItsColourTable)
{
    Dib dib = Dib1(8, 1, {0xF0}, {0x000000, 0xFF8000});
    Page page = Draw({StretchDib(0, 0, 8, 1, dib, 0x00CC0020)}, 1, 10, 4);
    EXPECT_EQ(page.At(0, 0), 0xFF8000u);
    EXPECT_EQ(page.At(3, 0), 0xFF8000u);
    EXPECT_EQ(page.At(4, 0), 0x000000u);
}


/* Which source column each destination pixel takes, as GDI under Wine drew these transfers of a
 * row whose pixel i has colour i: growing, the column whose centre holds the pixel's centre (a
 * tie to the lower); shrinking, the columns whose centres fall in the pixel, merged as the
 * stretch mode says (the last kept, ANDed or ORed). */
TEST(PlayerBitmaps, StretchingStepsAndStretchModes)
{
    const struct { int32_t src, dest; uint32_t mode; std::vector<uint32_t> want; } rows[] = {
        {3, 8, 3, {0, 0, 0, 1, 1, 2, 2, 2}},
        {13, 5, 3, {2, 4, 7, 9, 12}},
        {13, 5, 0, {0 & 1 & 2, 3 & 4, 5 & 6 & 7, 8 & 9, 10 & 11 & 12}}, /* the default mode */
        {13, 5, 2, {0 | 1 | 2, 3 | 4, 5 | 6 | 7, 8 | 9, 10 | 11 | 12}},
        {37, 20, 3, {1, 3, 5, 6, 8, 10, 12, 14, 16, 18, 19, 21, 23, 25, 27, 29, 30, 32, 34, 36}},
        {8, 3, 2, {0 | 1 | 2, 3 | 4, 5 | 6 | 7}},
        {10, 7, 3, {0, 2, 3, 5, 6, 8, 9}},
        {32, 80, 1, {0, 0, 0, 1, 1, 2, 2, 2, 3, 3, 4, 4, 4}}, /* growing: the mode plays no part */
    };
    std::vector<uint32_t> pixels(40);
    for (uint32_t i = 0; i < 40; i++)
        pixels[i] = i;
    Dib dib = Dib24(40, 1, pixels);
    for (const auto &row : rows) {
        SCOPED_TRACE(std::to_string(row.src) + " to " + std::to_string(row.dest) + " mode " +
                     std::to_string(row.mode));
        std::vector<Bytes> recs;
        if (row.mode != 0)
            recs.push_back(SetValue(EMR_SETSTRETCHBLTMODE, row.mode));
        recs.push_back(StretchDibPart(0, 0, row.dest, 1, {0, 0, row.src, 1}, dib, 0x00CC0020));
        Page page = Draw(recs, 1, 90, 2);
        for (size_t x = 0; x < row.want.size(); x++)
            EXPECT_EQ(page.At((int)x, 0), row.want[x]) << "at " << x;
        EXPECT_EQ(page.At(row.dest, 0), 0xFFFFFFu) << "past the destination";
    }
}

/* A source rectangle a billion pixels a side shrunk onto five: the first pixel merges the forty of
 * the DIB, the others hold none of them and are not drawn. And a billion columns one to one from
 * a DIB of forty. On the raster page and the PDF page alike, only the DIB's own pixels and the
 * page's are visited (each of the five covers some 2^58 source pixels otherwise, and a billion
 * columns would be looked through for the last that reads the DIB). */
TEST(PlayerBitmaps, TransfersFarLargerThanTheirDibOrThePageCostOnlyWhatTheyShow)
{
    std::vector<uint32_t> pixels(40);
    for (uint32_t i = 0; i < 40; i++)
        pixels[i] = i;
    Dib dib = Dib24(40, 1, pixels);
    std::vector<Bytes> records = {SetValue(EMR_SETSTRETCHBLTMODE, 2 /* WHITEONBLACK */),
                                  StretchDibPart(0, 0, 5, 1, {0, 0, 1 << 30, 1 << 30}, dib, 0x00CC0020),
                                  StretchDibPart(0, 1, 1 << 30, 1, {0, 0, 1 << 30, 1}, dib, 0x00CC0020)};
    Page page = Draw(records, 1, 8, 2);
    EXPECT_EQ(page.At(0, 0), 63u) << "0 | 1 | ... | 39";
    for (int x = 1; x < 5; x++)
        EXPECT_EQ(page.At(x, 0), 0xFFFFFFu) << "at " << x;
    EXPECT_EQ(page.At(7, 1), 7u) << "the DIB's own columns, one to one";

    Bytes emf = PageEmf(records, 1, 8, 2);
    ExpectVectorPdfWritten(emf);
}

/* A negative destination extent mirrors the picture into the pixels from origin + extent + 1 to
 * the origin itself; a negative source extent mirrors it back. */
TEST(PlayerBitmaps, MirroredTransfers)
{
    Dib dib = Dib24(4, 1, {0x10, 0x20, 0x30, 0x40});
    const struct { int32_t x, cx, xSrc, cxSrc; int first; std::vector<uint32_t> want; } rows[] = {
        {10, -4, 0, 4, 7, {0x40, 0x30, 0x20, 0x10}},
        {10, 4, 4, -4, 10, {0x40, 0x30, 0x20, 0x10}},
        {10, -4, 4, -4, 7, {0x10, 0x20, 0x30, 0x40}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.cx);
        Page page = Draw({StretchDibPart(row.x, 0, row.cx, 1, {row.xSrc, 0, row.cxSrc, 1}, dib,
                                         0x00CC0020)}, 1, 20, 2);
        EXPECT_EQ(page.At(row.first - 1, 0), 0xFFFFFFu);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(page.At(row.first + i, 0), row.want[i]) << "at " << row.first + i;
        EXPECT_EQ(page.At(row.first + 4, 0), 0xFFFFFFu);
    }
}

/* A hatch's gaps in TRANSPARENT mode leave the destination alone in every raster operation that
 * uses the pattern; in OPAQUE mode they are the background colour. */
TEST(PlayerBitmaps, HatchGapsInPatternOperations)
{
    const uint32_t under = 0x808080, hatch = 0x0000C0, bk = 0x00FF00, source = 0xF0F0F0;
    const struct { uint32_t rop, mode, line, gap; } rows[] = {
        {0x00F00021 /* PATCOPY */, 1, hatch, under},
        {0x00C000CA /* MERGECOPY */, 1, hatch & source, under},
        {0x005A0049 /* PATINVERT */, 1, hatch ^ under, under},
        {0x00C000CA, 2, hatch & source, bk & source},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::to_string(row.rop) + " mode " + std::to_string(row.mode));
        std::vector<Bytes> recs = {
            SolidBrush(1, Colorref(under)), Select(1), Select(kNullPen), Rect(0, 0, 17, 17),
            SetValue(EMR_SETBKMODE, row.mode), SetValue(EMR_SETBKCOLOR, Colorref(bk)),
            Brush(2, 2, Colorref(hatch), 5 /* HS_DIAGCROSS */), Select(2),
            StretchDib(0, 0, 16, 16, Dib24(1, 1, {source}), row.rop),
        };
        Page page = Draw(recs, 3, 16, 16);
        EXPECT_EQ(page.At(8, 8), row.line);
        EXPECT_EQ(page.At(9, 8), row.gap);
    }
}


/* Text is unsmoothed, as a printer draws it: every pixel is the text colour, the background
 * cell's colour or untouched, upright or turned; in OPAQUE mode the cell turns with the text
 * (from the reference point upwards at 90 degrees, nothing to its right). */
TEST(PlayerText, UnsmoothedGlyphsAndTurnedCell)
{
    const uint32_t ink = 0x0000FF, bk = 0x00FF00;
    const struct { int32_t escapement; int cellX, cellY, outX, outY; } rows[] = {
        {0, 45, 45, 45, 35},  /* cell right of and below the point, nothing above */
        {900, 45, 35, 55, 45}, /* cell above and right of the point, nothing right of its end */
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.escapement);
        std::vector<Bytes> recs = {
            Font(1, -20, row.escapement, "Liberation Sans"), Select(1),
            SetValue(EMR_SETBKMODE, 2), SetValue(EMR_SETBKCOLOR, Colorref(bk)),
            SetValue(EMR_SETTEXTCOLOR, Colorref(ink)), TextW(40, 40, u"Wa", {18, 12}),
        };
        Page page = Draw(recs, 2, 100, 100);
        int inked = 0;
        for (int y = 0; y < 100; y++)
            for (int x = 0; x < 100; x++) {
                uint32_t c = page.At(x, y);
                ASSERT_TRUE(c == ink || c == bk || c == 0xFFFFFFu) << "at " << x << "," << y;
                inked += c == ink;
            }
        EXPECT_GT(inked, 30);
        EXPECT_NE(page.At(row.cellX, row.cellY), 0xFFFFFFu) << "inside the cell";
        EXPECT_EQ(page.At(row.outX, row.outY), 0xFFFFFFu) << "outside the cell";
    }
}

TEST(PlayerText, TurnedTextKeepsTheWholePixelsOfItsBaseline)
{
    /* From the top of the cell down to the baseline along a line turned 1.5 degrees: the ascent
     * of 18 pixels becomes 17.99, of which GDI keeps 17, so the baseline lies a row higher than
     * upright text's. */
    int lowest[2] = {-1, -1};
    const int32_t escapements[2] = {0, 15};
    for (int k = 0; k < 2; k++) {
        std::vector<Bytes> recs = {Font(1, -20, escapements[k], "Liberation Sans"), Select(1),
                                   TextW(20, 20, u"I", {10})};
        Page page = Draw(recs, 2, 60, 60);
        for (int y = 0; y < 60; y++)
            if (InkRow(page, y, 0, 60) != std::string(60, '.'))
                lowest[k] = y;
    }
    EXPECT_GT(lowest[0], 30);
    EXPECT_EQ(lowest[1], lowest[0] - 1);
}

} /* namespace */
