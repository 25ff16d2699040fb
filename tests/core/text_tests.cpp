/* TextOut32: the font and colours, the three roads, the escapement walk with its double-byte rule,
 * and the sine and cosine lookups, judged by the EMR_EXTTEXTOUTW records and the trace. */
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "guarded_memory.h"
#include "job_fixture.h"
#include "render/text.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

/* sin(a degrees) x 10000 rounded, for the angle's low 16 bits taken as signed. */
INT NaiveSin(INT angle) { return (INT)lround(sin((SHORT)(angle & 0xFFFF) * M_PI / 180) * 10000); }
INT NaiveCos(INT angle) { return (INT)lround(cos((SHORT)(angle & 0xFFFF) * M_PI / 180) * 10000); }

TEST(LookupTest, EveryAngleMatchesTheRoundedSineAndCosine)
{
    for (INT a = -720; a <= 720; a++) {
        ASSERT_EQ(LookupSin(a), NaiveSin(a)) << a;
        ASSERT_EQ(LookupCos(a), NaiveCos(a)) << a;
    }
    /* Only the low 16 bits count, as a signed value. */
    for (INT a : {65536 + 30, -65536 + 30, 0x12345678, 32767, -32768, 32768, 65535, (INT)0x8000FFFF}) {
        EXPECT_EQ(LookupSin(a), NaiveSin(a)) << a;
        EXPECT_EQ(LookupCos(a), NaiveCos(a)) << a;
    }
    EXPECT_EQ(LookupSin(65536 + 30), 5000);
    const INT known[][2] = {{0, 0}, {1, 175}, {30, 5000}, {45, 7071}, {89, 9998}, {90, 10000}};
    for (const auto &k : known) {
        EXPECT_EQ(LookupSin(k[0]), k[1]);
        EXPECT_EQ(LookupCos(90 - k[0]), k[1]);
    }
    EXPECT_EQ(LookupSin(-90), -10000);
    EXPECT_EQ(LookupSin(450), 10000);
    EXPECT_EQ(LookupSin(360), 0);
    EXPECT_EQ(LookupCos(-180), -10000);
    EXPECT_EQ(LookupCos(270), 0);
}

class TextOutTest : public JobTest {
protected:
    TextOutTest()
    {
        memset(&font_, 0, sizeof font_);
        font_.lfHeight = -20;
        font_.lfWeight = 400;
        strcpy(font_.lfFaceName, "Arial");
    }
    INT Text(INT x, INT y, DWORD options, const char *text, DWORD length, const INT *advances,
             const RECT *rect = NULL)
    {
        return TextOut32(&dc_, &font_, &x, &y, &options, rect, text, &length, advances, &mode_);
    }
    /* The text records of the closed metafile, described. */
    std::vector<std::string> TextRecords()
    {
        std::vector<std::string> texts;
        for (const std::string &r : CloseAndDescribe())
            if (r.compare(0, 11, "EXTTEXTOUTW") == 0)
                texts.push_back(r);
        return texts;
    }
    /* Trace entries of the calls whose names start with name, a device context argument left out
     * ("ExtTextOutA(100, 200, 0x0, 1, null)"). */
    std::vector<std::string> TracedNamed(const char *name)
    {
        std::vector<std::string> named;
        for (std::string e : TracedEntries()) {
            if (e.compare(0, strlen(name), name) != 0)
                continue;
            size_t dc = e.find("(dc#");
            if (dc != std::string::npos)
                e.erase(dc + 1, e.find(", ", dc) + 2 - (dc + 1));
            named.push_back(e);
        }
        return named;
    }
    LOGFONTA font_;
    DrawMode32 mode_ = SampleDrawMode();
};

/* The whole call: font created and selected, mode, alignment 0 and text colour set, the text, and
 * the font reselected and deleted; the background colour is left alone for a transparent one. */
TEST_F(TextOutTest, WholeStringRoadDrawsOnceBetweenFontAndRelease)
{
    EXPECT_EQ(Text(100, 200, 0, "abc", 3, NULL), 0);
    EXPECT_THAT(CloseAndDescribe(),
                ElementsAre("EXTCREATEFONTINDIRECTW 1 height=-20 esc=0 charset=0", "SELECTOBJECT 1",
                            "SETBKMODE 1", "SETTEXTALIGN 0", "SETTEXTCOLOR 0x654321",
                            "EXTTEXTOUTW (100,200) opts=0x0 \"abc\"", "SELECTOBJECT stock 13",
                            "DELETEOBJECT 1"));
}

TEST_F(TextOutTest, BackgroundColourIsSetForAnOpaqueModeOrEtoOpaque)
{
    struct Row {
        INT bkMode;
        DWORD options;
        bool setsColour;
    } rows[] = {
        {TRANSPARENT, ETO_OPAQUE, true},
        {OPAQUE, 0, true},
        {TRANSPARENT, 0, false},
        {TRANSPARENT, 0x0102, true}, /* the low byte holds ETO_OPAQUE */
        {TRANSPARENT, ETO_CLIPPED, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.bkMode << " options " << row.options);
        mode_.BkMode = row.bkMode;
        RECT rect = {1, 2, 300, 40};
        EXPECT_EQ(Text(100, 200, row.options, "a", 1, NULL, &rect), 0);
        std::vector<std::string> records = Reopen();
        bool sets = std::find(records.begin(), records.end(), "SETBKCOLOR 0x123456") != records.end();
        EXPECT_EQ(sets, row.setsColour);
    }
}

/* The escapement walk: each character by a call of its own, at the position the advances reach
 * along the angle, the quotient of each step truncated and applied at once. */
TEST_F(TextOutTest, PerCharacterRoadWalksTheAdvancesAlongTheEscapement)
{
    struct Row {
        LONG escapement;
        INT advances[3];
        std::vector<std::string> texts;
    } rows[] = {
        {0, {10, 12, 8}, {"(100,200)", "(110,200)", "(122,200)"}},
        {900, {10, 12, 8}, {"(100,200)", "(100,190)", "(100,178)"}},
        {1800, {10, 12, 8}, {"(100,200)", "(90,200)", "(78,200)"}},
        {2700, {10, 12, 8}, {"(100,200)", "(100,210)", "(100,222)"}},
        {-900, {10, 12, 8}, {"(100,200)", "(100,210)", "(100,222)"}},
        {3600, {10, 12, 8}, {"(100,200)", "(110,200)", "(122,200)"}},
        {450, {10, 12, 8}, {"(100,200)", "(107,193)", "(115,185)"}},
        {-450, {10, 12, 8}, {"(100,200)", "(107,207)", "(115,215)"}},
        {15, {10, 10, 8}, {"(100,200)", "(109,200)", "(118,200)"}}, /* 9.998 twice: 18, not 19 */
        {5, {10, 12, 8}, {"(100,200)", "(110,200)", "(122,200)"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.escapement);
        font_.lfEscapement = row.escapement;
        EXPECT_EQ(Text(100, 200, 0, "abc", 3, row.advances), 0);
        std::vector<std::string> records = Reopen();
        std::vector<std::string> texts;
        for (const std::string &r : records)
            if (r.compare(0, 11, "EXTTEXTOUTW") == 0)
                texts.push_back(r);
        ASSERT_EQ(texts.size(), 3u);
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(texts[i], "EXTTEXTOUTW " + row.texts[i] + " opts=0x0 \"" + "abc"[i] + "\"");
    }
}

/* Shift-JIS 82 A0 then 41: the pair in one call, the last byte 20 units on whichever of the three
 * ways the array describes the pair. */
TEST_F(TextOutTest, DoubleByteCharactersTakeOneOrTwoAdvances)
{
    font_.lfCharSet = SHIFTJIS_CHARSET;
    strcpy(font_.lfFaceName, "MS Gothic");
    const INT arrays[][3] = {{20, 0, 10}, {0, 20, 10}, {20, 20, 10}};
    for (const auto &advances : arrays) {
        SCOPED_TRACE(testing::Message() << advances[0] << "," << advances[1] << "," << advances[2]);
        StartTrace();
        EXPECT_EQ(Text(100, 200, 0, "\x82\xa0\x41", 3, advances), 0);
        EXPECT_THAT(TracedNamed("ExtTextOutA"),
                    ElementsAre("ExtTextOutA(100, 200, 0x0, 2, null)",
                                "ExtTextOutA(120, 200, 0x0, 1, null)"));
        EXPECT_THAT(TracedNamed("TranslateCharsetInfo"), ElementsAre("TranslateCharsetInfo(128, 1)"));
        EXPECT_THAT(TracedNamed("IsDBCSLeadByteEx"),
                    ElementsAre("IsDBCSLeadByteEx(932, 0x82)", "IsDBCSLeadByteEx(932, 0x41)"));
        std::vector<std::string> records = Reopen();
        EXPECT_EQ(std::count(records.begin(), records.end(), "EXTTEXTOUTW (100,200) opts=0x0 \"\\u3042\""), 1);
        EXPECT_EQ(std::count(records.begin(), records.end(), "EXTTEXTOUTW (120,200) opts=0x0 \"A\""), 1);
    }
}

/* Every character of the per-character road gets the caller's options and rectangle; an opaque
 * background sets its colour after the text colour, before the first character. */
TEST_F(TextOutTest, PerCharacterCallsCarryTheOptionsAndTheRectangle)
{
    const INT advances[] = {10, 12, 8};
    const RECT rect = {90, 190, 160, 230};
    mode_.BkMode = OPAQUE;
    StartTrace();
    EXPECT_EQ(Text(100, 200, ETO_OPAQUE | ETO_CLIPPED, "abc", 3, advances, &rect), 0);
    EXPECT_THAT(TracedNamed("ExtTextOutA"), ElementsAre("ExtTextOutA(100, 200, 0x6, 1, null)",
                                                        "ExtTextOutA(110, 200, 0x6, 1, null)",
                                                        "ExtTextOutA(122, 200, 0x6, 1, null)"));
    EXPECT_THAT(CloseAndDescribe(),
                ElementsAre("EXTCREATEFONTINDIRECTW 1 height=-20 esc=0 charset=0", "SELECTOBJECT 1",
                            "SETBKMODE 2", "SETTEXTALIGN 0", "SETTEXTCOLOR 0x654321",
                            "SETBKCOLOR 0x123456", "EXTTEXTOUTW (100,200) opts=0x6 \"a\"",
                            "EXTTEXTOUTW (110,200) opts=0x6 \"b\"", "EXTTEXTOUTW (122,200) opts=0x6 \"c\"",
                            "SELECTOBJECT stock 13", "DELETEOBJECT 1"));
    for (const JobRecord &r : records()) {
        if (r.type != emf::EMR_EXTTEXTOUTW)
            continue;
        RECT recorded;
        memcpy(&recorded, &r.bytes[56], sizeof recorded); /* emrtext.rcl */
        EXPECT_EQ(recorded.left, 90);
        EXPECT_EQ(recorded.top, 190);
        EXPECT_EQ(recorded.right, 160);
        EXPECT_EQ(recorded.bottom, 230);
    }
}

/* The double-byte walk in each Far East code page: "A", a pair whose trail byte is itself a lead
 * byte of the page where it can be, "B", the pair again and "C", one advance per byte. The first
 * pair is followed by a zero and takes both its entries; the second by a non-zero entry and takes
 * one, so "C" moves by the pair's own advance and takes the entry after. */
TEST_F(TextOutTest, DoubleByteWalkInEveryFarEastCodePage)
{
    struct Row {
        BYTE charset;
        UINT codePage;
        const char *pair;
        const char *unit; /* the pair in UTF-16, as the record holds it */
    } rows[] = {
        {SHIFTJIS_CHARSET, 932, "\x82\xa0", "\\u3042"},
        {GB2312_CHARSET, 936, "\xb0\xa1", "\\u554a"},
        {HANGUL_CHARSET, 949, "\xb0\xa1", "\\uac00"},
        {CHINESEBIG5_CHARSET, 950, "\xa4\x40", "\\u4e00"},
        {JOHAB_CHARSET, 1361, "\x88\x61", "\\uac00"},
    };
    const INT advances[] = {10, 20, 0, 30, 40, 50, 60};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.codePage);
        font_.lfCharSet = row.charset;
        std::string text = std::string("A") + row.pair + "B" + row.pair + "C";
        StartTrace();
        EXPECT_EQ(Text(100, 200, 0, text.data(), (DWORD)text.size(), advances), 0);
        EXPECT_THAT(TracedNamed("TranslateCharsetInfo"),
                    ElementsAre("TranslateCharsetInfo(" + std::to_string(row.charset) + ", 1)"));
        EXPECT_THAT(TracedNamed("ExtTextOutA"), ElementsAre("ExtTextOutA(100, 200, 0x0, 1, null)",
                                                            "ExtTextOutA(110, 200, 0x0, 2, null)",
                                                            "ExtTextOutA(130, 200, 0x0, 1, null)",
                                                            "ExtTextOutA(160, 200, 0x0, 2, null)",
                                                            "ExtTextOutA(200, 200, 0x0, 1, null)"));
        char lead[48];
        snprintf(lead, sizeof lead, "IsDBCSLeadByteEx(%u, 0x%02x)", row.codePage, (uint8_t)row.pair[0]);
        std::vector<std::string> leadQuestions = TracedNamed("IsDBCSLeadByteEx");
        ASSERT_EQ(leadQuestions.size(), 5u) << "trail bytes are never asked about";
        EXPECT_EQ(leadQuestions[1], lead);
        EXPECT_EQ(leadQuestions[3], lead);
        std::vector<std::string> texts;
        for (const std::string &r : Reopen())
            if (r.compare(0, 11, "EXTTEXTOUTW") == 0)
                texts.push_back(r.substr(r.find('"')));
        std::string pair = std::string("\"") + row.unit + "\"";
        EXPECT_THAT(texts, ElementsAre("\"A\"", pair, "\"B\"", pair, "\"C\""));
    }
}

/* Where TranslateCharsetInfo fails: symbol and OEM sets draw every byte alone without asking about
 * lead bytes; any other set asks in the ANSI code page. */
TEST_F(TextOutTest, CharacterSetsWithoutACodePage)
{
    const INT advances[] = {10, 10, 10};
    struct Row {
        BYTE charset;
        bool failTranslation;
        const char *acp;
        size_t calls, leadQuestions;
    } rows[] = {
        {SYMBOL_CHARSET, true, "1252", 3, 0},
        {OEM_CHARSET, false, "1252", 3, 0},
        {DEFAULT_CHARSET, false, "932", 2, 2}, /* 82 A0 is a pair in the ANSI code page 932 */
        {77 /* MAC_CHARSET */, false, "1252", 3, 3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE((int)row.charset);
        setenv("TAVLINQX_ACP", row.acp, 1);
        font_.lfCharSet = row.charset;
        StartTrace();
        if (row.failTranslation)
            StandinFailCall("TranslateCharsetInfo", 1);
        EXPECT_EQ(Text(100, 200, 0, "\x82\xa0\x41", 3, advances), 0);
        unsetenv("TAVLINQX_ACP");
        EXPECT_EQ(TracedNamed("ExtTextOutA").size(), row.calls);
        EXPECT_EQ(TracedNamed("IsDBCSLeadByteEx").size(), row.leadQuestions);
        bool asksAcp = row.charset != SYMBOL_CHARSET && row.charset != OEM_CHARSET;
        EXPECT_EQ(TracedNamed("GetACP").size(), asksAcp ? 1u : 0u);
        if (row.leadQuestions) {
            EXPECT_EQ(TracedNamed("IsDBCSLeadByteEx")[0],
                      std::string("IsDBCSLeadByteEx(") + row.acp + ", 0x82)");
        }
        Reopen();
    }
}

/* Length 0: the glyph and whole-string roads still make their one call; the per-character road
 * none at all. */
TEST_F(TextOutTest, LengthZeroOnEachRoad)
{
    const INT advances[] = {10};
    EXPECT_EQ(Text(100, 200, ETO_GLYPH_INDEX, "", 0, advances), 0);
    EXPECT_EQ(Text(100, 200, 0, "", 0, NULL), 0);
    StartTrace();
    EXPECT_EQ(Text(100, 200, 0, "", 0, advances), 0);
    EXPECT_THAT(TracedNamed("ExtTextOut"), IsEmpty());
    EXPECT_THAT(TextRecords(), ElementsAre("EXTTEXTOUTW (100,200) opts=0x10 \"\"",
                                           "EXTTEXTOUTW (100,200) opts=0x0 \"\""));
}

/* With ETO_GLYPH_INDEX the array goes to GDI with the whole run and is not walked. */
TEST_F(TextOutTest, GlyphRoadPassesTheAdvancesThrough)
{
    const WORD glyphs[] = {36, 37, 38};
    const INT advances[] = {21, 22, 23};
    font_.lfEscapement = 900;
    StartTrace();
    EXPECT_EQ(Text(10, 20, ETO_GLYPH_INDEX, (const char *)glyphs, 3, advances), 0);
    EXPECT_THAT(TracedNamed("ExtText"), ElementsAre("ExtTextOutW(10, 20, 0x10, 3, dx)"));
    CloseAndDescribe();
    for (const JobRecord &r : records()) {
        if (r.type != emf::EMR_EXTTEXTOUTW)
            continue;
        const int32_t *dx = (const int32_t *)&r.bytes[r.bytes.size() - 12];
        EXPECT_THAT(std::vector<int32_t>(dx, dx + 3), ElementsAre(21, 22, 23));
        EXPECT_EQ(r.text, "EXTTEXTOUTW (10,20) opts=0x10 \"$%&\"");
    }
}

TEST_F(TextOutTest, FontThatCannotBeCreatedDrawsNothing)
{
    StandinFailCall("CreateFontIndirectA", 1);
    StartTrace();
    EXPECT_EQ(Text(100, 200, ETO_OPAQUE, "abc", 3, NULL), -1);
    EXPECT_THAT(TracedCalls(), ElementsAre("CreateFontIndirectA"));
    EXPECT_THAT(CloseAndDescribe(), IsEmpty());
}

/* A failing character is lost; the ones after it are still drawn and the font still released. */
TEST_F(TextOutTest, FailingCallDoesNotStopTheRun)
{
    const INT advances[] = {10, 10, 10};
    StandinFailCall("ExtTextOutA", 2);
    EXPECT_EQ(Text(100, 200, 0, "abc", 3, advances), 0);
    EXPECT_THAT(TextRecords(), ElementsAre("EXTTEXTOUTW (100,200) opts=0x0 \"a\"",
                                           "EXTTEXTOUTW (120,200) opts=0x0 \"c\""));
    EXPECT_EQ(records()[records().size() - 2].text, "DELETEOBJECT 1");
}

/* Text and advances at the very end of readable memory: a lead byte in the last position is drawn
 * alone, and a pair that comes last never reads the advance after its own. */
TEST_F(TextOutTest, WalkNeverReadsPastTheRunOrOneAdvancePerCharacter)
{
    font_.lfCharSet = SHIFTJIS_CHARSET;
    Guarded textMemory, advanceMemory;
    char *text = (char *)textMemory.End(2);
    memcpy(text, "A\x82", 2);
    INT *advances = (INT *)advanceMemory.End(2 * sizeof(INT));
    advances[0] = 10;
    advances[1] = 99;
    EXPECT_EQ(Text(100, 200, 0, text, 2, advances), 0);
    /* "A" then a pair: one advance per character, the pair's own never read. */
    Guarded pairMemory;
    char *pairText = (char *)pairMemory.End(3);
    memcpy(pairText, "A\x82\xa0", 3);
    EXPECT_EQ(Text(100, 300, 0, pairText, 3, advances), 0);
    EXPECT_THAT(TextRecords(), ElementsAre("EXTTEXTOUTW (100,200) opts=0x0 \"A\"",
                                           "EXTTEXTOUTW (110,200) opts=0x0 \"\\u30fb\"",
                                           "EXTTEXTOUTW (100,300) opts=0x0 \"A\"",
                                           "EXTTEXTOUTW (110,300) opts=0x0 \"\\u3042\""));
}

/* Every run of up to six bytes, each a lead byte or not, with one advance per byte, each zero or
 * not, and the run and its advances both ending where readable memory ends: every byte is drawn
 * once and no read goes past either. (An array of one entry per character instead of per byte
 * can be read past its end, when a double-byte character's entry is followed by a zero: the
 * caller owes one entry per byte.) */
TEST_F(TextOutTest, EveryShortRunStaysWithinItsBytesAndOneAdvancePerByte)
{
    font_.lfCharSet = SHIFTJIS_CHARSET;
    for (DWORD length = 1; length <= 6; length++) {
        Guarded textMemory, advanceMemory;
        char *text = (char *)textMemory.End(length);
        INT *advances = (INT *)advanceMemory.End(length * sizeof(INT));
        ASSERT_TRUE(text != NULL && advances != NULL);
        for (unsigned leads = 0; leads < 1u << length; leads++) {
            for (unsigned zeros = 0; zeros < 1u << length; zeros++) {
                for (DWORD i = 0; i < length; i++) {
                    text[i] = leads >> i & 1 ? '\x82' : 'A';
                    advances[i] = zeros >> i & 1 ? 0 : 7;
                }
                StartTrace();
                ASSERT_EQ(Text(0, 0, 0, text, length, advances), 0);
                DWORD drawn = 0;
                for (const std::string &call : TracedNamed("ExtTextOutA"))
                    drawn += call.find(", 2, null)") != std::string::npos ? 2 : 1;
                ASSERT_EQ(drawn, length) << "leads " << leads << ", zeros " << zeros;
            }
        }
    }
}

/* An advance near the 32-bit limit moves the position by its true share, with no overflow. */
TEST_F(TextOutTest, LargeAdvancesDoNotOverflowTheStep)
{
    const INT advances[] = {2000000000, 0};
    font_.lfEscapement = 450;
    EXPECT_EQ(Text(0, 0, 0, "ab", 2, advances), 0);
    EXPECT_THAT(TextRecords(), ElementsAre("EXTTEXTOUTW (0,0) opts=0x0 \"a\"",
                                           "EXTTEXTOUTW (1414200000,-1414200000) opts=0x0 \"b\""));
}

} /* namespace */
