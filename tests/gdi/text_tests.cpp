/* Fonts and text output: the font creation record, EMR_EXTTEXTOUTW for ExtTextOutA and ExtTextOutW
 * against the records GDI wrote under Wine (samples t01-t21, fonts realised as Liberation), the
 * conversion by the font's character set, and the advances measured from the installed fonts. */
#include "gdi_test.h"

#include <stdlib.h>
#include <string.h>

namespace {

/* Arial at 20 pixels, the font of the t* samples. */
LOGFONTA Font(const char *face, LONG height = -20, BYTE charset = ANSI_CHARSET)
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    lf.lfHeight = height;
    lf.lfWeight = 400;
    lf.lfCharSet = charset;
    strncpy(lf.lfFaceName, face, LF_FACESIZE);
    return lf;
}

/* The fields of one EMR_EXTTEXTOUTW a test looks at. */
struct TextRecord {
    int32_t bounds[4];
    int32_t x, y;
    uint32_t options;
    int32_t rcl[4];
    std::vector<uint16_t> text;
    std::vector<int32_t> dx;
};

TextRecord ReadText(const EmfRecord &r)
{
    TextRecord t;
    EXPECT_EQ(r.type, 84u);
    for (int i = 0; i < 4; i++) {
        t.bounds[i] = I32(r.bytes, 8 + 4 * i);
        t.rcl[i] = I32(r.bytes, 56 + 4 * i);
    }
    t.x = I32(r.bytes, 36);
    t.y = I32(r.bytes, 40);
    uint32_t n = U32(r.bytes, 44);
    t.options = U32(r.bytes, 52);
    EXPECT_EQ(U32(r.bytes, 48), 76u);
    EXPECT_EQ(U32(r.bytes, 72), 76 + 2 * ((n + 1) & ~1u));
    uint32_t perChar = (t.options & ETO_PDY) ? 2 : 1;
    EXPECT_EQ(r.bytes.size(), 76 + 2 * ((n + 1) & ~1u) + 4 * perChar * n);
    for (uint32_t i = 0; i < n; i++)
        t.text.push_back((uint16_t)(r.bytes[76 + 2 * i] | r.bytes[77 + 2 * i] << 8));
    for (uint32_t i = 0; i < perChar * n; i++)
        t.dx.push_back(I32(r.bytes, U32(r.bytes, 72) + 4 * i));
    return t;
}

class TextTest : public GdiTest {
protected:
    /* Draws with font selected into a fresh metafile through draw(dc); returns the text records. */
    template <typename Draw> std::vector<TextRecord> DrawWith(const LOGFONTA &lf, Draw draw)
    {
        HDC dc = NewMetafile("text.emf");
        HFONT font = CreateFontIndirectA(&lf);
        EXPECT_NE(font, nullptr);
        SelectObject(dc, font);
        draw(dc);
        std::vector<EmfRecord> body = CloseAndBody(dc, "text.emf");
        DeleteObject(font);
        std::vector<TextRecord> texts;
        for (const EmfRecord &r : body)
            if (r.type == 84)
                texts.push_back(ReadText(r));
        return texts;
    }
};

/* The LogFontExDv form: LOGFONTW as passed, empty names and script, design vector of no axes. */
TEST_F(TextTest, FontRecordIsTheZeroFilledLogFontExDvForm)
{
    HDC dc = NewMetafile("font.emf");
    LOGFONTA lf = Font("Arial");
    lf.lfEscapement = 900;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfWeight = 700;
    lf.lfItalic = 1;
    lf.lfPitchAndFamily = 0x31;
    HFONT font = CreateFontIndirectA(&lf);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    EXPECT_TRUE(DeleteObject(font));
    std::vector<EmfRecord> body = CloseAndBody(dc, "font.emf");
    ASSERT_EQ(body.size(), 4u);
    std::vector<uint8_t> expected = Words({82, 368, 1, (uint32_t)-20, 0, 900, 0, 700, 0x80000001, 0x31000000,
                                           'A' | 'r' << 16, 'i' | 'a' << 16, 'l'});
    expected.resize(360);
    std::vector<uint8_t> vector = Words({0x08007664, 0});
    expected.insert(expected.end(), vector.begin(), vector.end());
    EXPECT_TRUE(SameBytes(body[0].bytes, expected));
    EXPECT_TRUE(SameBytes(body[1].bytes, Words({37, 12, 1})));
    EXPECT_TRUE(SameBytes(body[2].bytes, Words({37, 12, 0x8000000D})));
    EXPECT_TRUE(SameBytes(body[3].bytes, Words({40, 12, 1})));
}

/* A face name that fills its 32 bytes is read no further and kept as 31 characters and a NUL. */
TEST_F(TextTest, FaceNameWithoutTerminatorIsReadOnlyWithinItsBytes)
{
    struct {
        LOGFONTA lf;
        char beyond[8];
    } padded;
    padded.lf = Font("");
    memset(padded.lf.lfFaceName, 'F', LF_FACESIZE);
    memset(padded.beyond, 'Z', sizeof padded.beyond);
    HDC dc = NewMetafile("face.emf");
    HFONT font = CreateFontIndirectA(&padded.lf);
    SelectObject(dc, font);
    std::vector<EmfRecord> body = CloseAndBody(dc, "face.emf");
    DeleteObject(font);
    ASSERT_FALSE(body.empty());
    for (int i = 0; i < LF_FACESIZE; i++)
        EXPECT_EQ(body[0].bytes[40 + 2 * i], i < 31 ? 'F' : 0) << "unit " << i;
}

/* The t-samples' records byte for byte (Wine realised Arial as Liberation Sans, as we do). */
TEST_F(TextTest, HelloInArialIsTheRecordGdiWrote)
{
    std::vector<EmfRecord> body;
    HDC dc = NewMetafile("hello.emf");
    LOGFONTA lf = Font("Arial");
    HFONT font = CreateFontIndirectA(&lf);
    SelectObject(dc, font);
    EXPECT_TRUE(ExtTextOutA(dc, 10, 20, 0, NULL, "Hello", 5, NULL));
    body = CloseAndBody(dc, "hello.emf");
    DeleteObject(font);
    ASSERT_EQ(body.size(), 3u);
    /* t01: 0x41d3b800 and 0x41d37555 are exScale 26.46484375 and eyScale 26.432291. */
    EXPECT_TRUE(SameBytes(body[2].bytes,
                          Words({84, 108, 10, 20, 55, 43, 1, 0x41d3b800, 0x41d37555, 10, 20, 5, 76, 0, 0, 0,
                                 0xffffffff, 0xffffffff, 88, 'H' | 'e' << 16, 'l' | 'l' << 16, 'o', 14, 11, 4,
                                 4, 11})));
}

TEST_F(TextTest, RecordsFollowTheCallAsGdiRecordsIt)
{
    const INT dx5[] = {10, 11, 12, 13, 14};
    const RECT rect = {5, 6, 200, 50};
    const WORD glyphs[] = {36, 37, 38};
    const INT dx3[] = {21, 22, 23};
    struct Row {
        const char *name;
        UINT align;
        BOOL (*draw)(HDC dc, const INT *dx5, const RECT *rect, const WORD *glyphs, const INT *dx3);
        int32_t x, y;
        uint32_t options;
        std::vector<int32_t> bounds, rcl;
        std::vector<uint16_t> text;
        std::vector<int32_t> dx;
    } rows[] = {
        {"t02 caller's advances", 0,
         [](HDC dc, const INT *dx, const RECT *, const WORD *, const INT *) { return ExtTextOutA(dc, 10, 20, 0, NULL, "Hello", 5, dx); },
         10, 20, 0, {10, 20, 71, 43}, {0, 0, -1, -1}, {'H', 'e', 'l', 'l', 'o'}, {10, 11, 12, 13, 14}},
        {"t03 opaque rectangle", 0,
         [](HDC dc, const INT *, const RECT *r, const WORD *, const INT *) { return ExtTextOutA(dc, 10, 20, ETO_OPAQUE, r, "Hello", 5, NULL); },
         10, 20, 2, {10, 20, 55, 43}, {5, 6, 200, 50}, {'H', 'e', 'l', 'l', 'o'}, {14, 11, 4, 4, 11}},
        {"t05 count 0", 0,
         [](HDC dc, const INT *, const RECT *, const WORD *, const INT *) { return ExtTextOutA(dc, 10, 20, 0, NULL, "", 0, NULL); },
         10, 20, 0, {10, 20, 11, 21}, {0, 0, -1, -1}, {}, {}},
        {"t07 one character", 0,
         [](HDC dc, const INT *, const RECT *, const WORD *, const INT *) { return ExtTextOutA(dc, 10, 20, 0, NULL, "W", 1, NULL); },
         10, 20, 0, {10, 20, 30, 43}, {0, 0, -1, -1}, {'W'}, {19}},
        {"t11 glyph indices measured as glyphs", 0,
         [](HDC dc, const INT *, const RECT *, const WORD *g, const INT *) { return ExtTextOutW(dc, 10, 20, ETO_GLYPH_INDEX, NULL, (LPCWSTR)g, 3, NULL); },
         10, 20, 0x10, {10, 20, 51, 43}, {0, 0, -1, -1}, {36, 37, 38}, {13, 13, 14}},
        {"t12 glyph indices with advances", 0,
         [](HDC dc, const INT *, const RECT *, const WORD *g, const INT *dx) { return ExtTextOutW(dc, 10, 20, ETO_GLYPH_INDEX, NULL, (LPCWSTR)g, 3, dx); },
         10, 20, 0x10, {10, 20, 77, 43}, {0, 0, -1, -1}, {36, 37, 38}, {21, 22, 23}},
        {"t13 baseline", TA_BASELINE,
         [](HDC dc, const INT *, const RECT *, const WORD *, const INT *) { return ExtTextOutA(dc, 100, 200, 0, NULL, "Hello", 5, NULL); },
         100, 200, 0, {100, 177, 145, 205}, {0, 0, -1, -1}, {'H', 'e', 'l', 'l', 'o'}, {14, 11, 4, 4, 11}},
        {"t14 centre", TA_CENTER,
         [](HDC dc, const INT *, const RECT *, const WORD *, const INT *) { return ExtTextOutA(dc, 100, 200, 0, NULL, "Hello", 5, NULL); },
         100, 200, 0, {77, 200, 123, 223}, {0, 0, -1, -1}, {'H', 'e', 'l', 'l', 'o'}, {14, 11, 4, 4, 11}},
        {"t15 right and bottom", TA_RIGHT | TA_BOTTOM,
         [](HDC dc, const INT *, const RECT *, const WORD *, const INT *) { return ExtTextOutA(dc, 100, 200, 0, NULL, "Hello", 5, NULL); },
         100, 200, 0, {55, 177, 100, 200}, {0, 0, -1, -1}, {'H', 'e', 'l', 'l', 'o'}, {14, 11, 4, 4, 11}},
        {"t20 cp1252 high bytes", 0,
         [](HDC dc, const INT *, const RECT *, const WORD *, const INT *) { return ExtTextOutA(dc, 10, 20, 0, NULL, "\x80\xe9\xff", 3, NULL); },
         10, 20, 0, {}, {0, 0, -1, -1}, {0x20AC, 0xE9, 0xFF}, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<TextRecord> texts = DrawWith(Font("Arial"), [&](HDC dc) {
            SetTextAlign(dc, row.align);
            EXPECT_TRUE(row.draw(dc, dx5, &rect, glyphs, dx3));
        });
        ASSERT_EQ(texts.size(), 1u);
        const TextRecord &t = texts[0];
        EXPECT_EQ(t.x, row.x);
        EXPECT_EQ(t.y, row.y);
        EXPECT_EQ(t.options, row.options);
        if (!row.bounds.empty()) {
            EXPECT_EQ(std::vector<int32_t>(t.bounds, t.bounds + 4), row.bounds);
        }
        EXPECT_EQ(std::vector<int32_t>(t.rcl, t.rcl + 4), row.rcl);
        EXPECT_EQ(t.text, row.text);
        if (!row.dx.empty()) {
            EXPECT_EQ(t.dx, row.dx);
        }
    }
}

/* Each character set converts with its own code page, whatever the ANSI code page; given advances
 * are summed over the bytes of a double-byte character (t10). */
TEST_F(TextTest, AnsiTextConvertsByTheFontsCharacterSet)
{
    struct Row {
        BYTE charset;
        const char *bytes;
        std::vector<uint16_t> text;
    } rows[] = {
        {SHIFTJIS_CHARSET, "\x82\xa0", {0x3042}},
        {HANGUL_CHARSET, "\xb0\xa1", {0xAC00}},
        {130 /* JOHAB */, "\x88\x61", {0xAC00}},
        {GB2312_CHARSET, "\xb0\xa1", {0x554A}},
        {CHINESEBIG5_CHARSET, "\xa4\x40", {0x4E00}},
        {204 /* RUSSIAN */, "\xc0", {0x0410}},
        {161 /* GREEK */, "\xc1", {0x0391}},
        {238 /* EASTEUROPE */, "\x8a", {0x0160}},
        {ANSI_CHARSET, "\x81\x80", {0x0081, 0x20AC}}, /* 0x81 is a hole of 1252 */
        {DEFAULT_CHARSET, "\x80", {0x20AC}},          /* the ANSI code page, 1252 */
        {SYMBOL_CHARSET, "\x41\x1f", {0xF041, 0x1F}},
        {OEM_CHARSET, "\x82", {0x00E9}},              /* code page 437 */
        /* A lead byte without its trail byte, and undefined pairs: the code page's default. */
        {SHIFTJIS_CHARSET, "A\x82", {'A', 0x30FB}},
        {SHIFTJIS_CHARSET, "\x81\x7f", {0x30FB}},
        {GB2312_CHARSET, "A\x81", {'A', '?'}},
        {HANGUL_CHARSET, "\x81\x7f", {'?'}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "charset " << (int)row.charset << " " << row.bytes);
        std::vector<TextRecord> texts = DrawWith(Font("Arial", -20, row.charset), [&](HDC dc) {
            EXPECT_TRUE(ExtTextOutA(dc, 0, 0, 0, NULL, row.bytes, (UINT)strlen(row.bytes), NULL));
        });
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].text, row.text);
    }
    const INT dx4[] = {9, 17, 3, 8};
    std::vector<TextRecord> mixed = DrawWith(Font("MS Gothic", -20, SHIFTJIS_CHARSET), [&](HDC dc) {
        ExtTextOutA(dc, 10, 20, 0, NULL, "A\x82\xa0" "B", 4, dx4);
    });
    ASSERT_EQ(mixed.size(), 1u);
    EXPECT_EQ(mixed[0].text, (std::vector<uint16_t>{'A', 0x3042, 'B'}));
    EXPECT_EQ(mixed[0].dx, (std::vector<int32_t>{9, 20, 8}));
}

/* The metric-compatible faces: Courier New measures every character at 1229/2048 em; a positive
 * height is the cell height (t01's 22-pixel cell is the 20-pixel em); advances are hinted; an
 * unknown face still measures with fontconfig's default face. */
TEST_F(TextTest, AdvancesComeFromTheMatchedFace)
{
    struct Row {
        LOGFONTA lf;
        const char *text;
        std::vector<int32_t> dx;
    } rows[] = {
        {Font("Courier New"), "iW", {12, 12}},
        {Font("courier new"), "iW", {12, 12}},
        {Font("Arial", 22), "Hello", {14, 11, 4, 4, 11}},
        {Font("Arial", 30), "bw", {15, 20}}, /* hinted at 27 pixels, as GDI under Wine measured */
        {Font("Times New Roman", -2048), "H", {1479}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.lf.lfFaceName);
        std::vector<TextRecord> texts = DrawWith(row.lf, [&](HDC dc) {
            ExtTextOutA(dc, 0, 0, 0, NULL, row.text, (UINT)strlen(row.text), NULL);
        });
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].dx, row.dx);
    }
    std::vector<TextRecord> unknown = DrawWith(Font("No Such Face Anywhere"), [](HDC dc) {
        ExtTextOutA(dc, 0, 0, 0, NULL, "MW", 2, NULL);
    });
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_GT(unknown[0].dx[0], 0);
    EXPECT_GT(unknown[0].dx[1], 0);
}

/* Metrics are kept for every font in use and for the 64 most recently used descriptions besides:
 * a host drawing at ever new sizes keeps a bounded cache, a held font keeps measuring, and a
 * description measured again after it was let go measures as before. */
TEST_F(TextTest, FontMetricsCacheStaysBoundedAndMeasuresAlike)
{
    HDC dc = NewMetafile("cache.emf");
    LOGFONTA heldLf = Font("Arial", -31);
    HFONT held = CreateFontIndirectA(&heldLf);
    SelectObject(dc, held);
    ExtTextOutA(dc, 0, 0, 0, NULL, "W", 1, NULL);
    for (LONG height = 100; height < 300; height++) {
        LOGFONTA lf = Font("Arial", -height);
        HFONT font = CreateFontIndirectA(&lf);
        SelectObject(dc, font);
        ExtTextOutA(dc, 0, 0, 0, NULL, "W", 1, NULL);
        SelectObject(dc, held);
        DeleteObject(font);
        ASSERT_LE(StandinCachedFonts(), 64 + 1) << "at height " << height;
    }
    ExtTextOutA(dc, 0, 0, 0, NULL, "W", 1, NULL);
    std::vector<EmfRecord> body = CloseAndBody(dc, "cache.emf");
    DeleteObject(held);
    std::vector<TextRecord> texts;
    for (const EmfRecord &r : body)
        if (r.type == 84)
            texts.push_back(ReadText(r));
    ASSERT_EQ(texts.size(), 202u);
    EXPECT_EQ(texts.back().dx, texts.front().dx) << "the held font measures alike throughout";
    std::vector<TextRecord> again = DrawWith(Font("Arial", -100), [](HDC d) { ExtTextOutA(d, 0, 0, 0, NULL, "W", 1, NULL); });
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].dx, texts[1].dx) << "measured anew after it was let go, alike";
}

/* The stock font measures nothing (t00); inside a path nothing reaches the bounds (t21). */
TEST_F(TextTest, StockFontAndOpenPathBounds)
{
    HDC dc = NewMetafile("stock.emf");
    EXPECT_TRUE(ExtTextOutA(dc, 10, 20, 0, NULL, "Hello", 5, NULL));
    BeginPath(dc);
    EXPECT_TRUE(ExtTextOutW(dc, 300, 400, 0, NULL, (LPCWSTR)u"Hi", 2, NULL));
    EndPath(dc);
    std::vector<uint8_t> bytes = CloseAndRead(dc, "stock.emf");
    std::vector<EmfRecord> records = SplitRecords(bytes);
    ASSERT_EQ(records.size(), 6u);
    TextRecord stock = ReadText(records[1]);
    EXPECT_EQ(std::vector<int32_t>(stock.bounds, stock.bounds + 4), (std::vector<int32_t>{10, 20, 11, 21}));
    EXPECT_EQ(stock.dx, (std::vector<int32_t>{0, 0, 0, 0, 0}));
    TextRecord inPath = ReadText(records[3]);
    EXPECT_EQ(std::vector<int32_t>(inPath.bounds, inPath.bounds + 4), (std::vector<int32_t>{0, 0, -1, -1}));
    EXPECT_EQ(I32(bytes, 8), 10); /* header bounds: the first text alone */
    EXPECT_EQ(I32(bytes, 20), 21);
}

TEST_F(TextTest, BadArgumentsFailWithoutARecord)
{
    SetLastError(0);
    EXPECT_EQ(CreateFontIndirectA(NULL), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ExtTextOutA(NULL, 0, 0, 0, NULL, "a", 1, NULL));
    EXPECT_FALSE(ExtTextOutW((HDC)GetStockObject(BLACK_PEN), 0, 0, 0, NULL, (LPCWSTR)u"a", 1, NULL));
    HDC dc = NewMetafile("bad.emf");
    SetLastError(0);
    EXPECT_FALSE(ExtTextOutA(dc, 0, 0, 0, NULL, NULL, 3, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ExtTextOutW(dc, 0, 0, 0, NULL, NULL, 3, NULL));
    StandinFailCall("CreateFontIndirectA", 1);
    LOGFONTA lf = Font("Arial");
    EXPECT_EQ(CreateFontIndirectA(&lf), nullptr);
    EXPECT_TRUE(CloseAndBody(dc, "bad.emf").empty());
}

/* Runs longer than the stack scratch take the heap road with the same record. */
TEST_F(TextTest, LongRunsKeepEveryCharacterAndAdvance)
{
    std::string run(1000, 'l');
    std::vector<TextRecord> texts = DrawWith(Font("Arial"), [&](HDC dc) {
        EXPECT_TRUE(ExtTextOutA(dc, 0, 0, 0, NULL, run.c_str(), (UINT)run.size(), NULL));
    });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, std::vector<uint16_t>(1000, 'l'));
    EXPECT_EQ(texts[0].dx, std::vector<int32_t>(1000, 4));
    EXPECT_EQ(texts[0].bounds[2], 4001);
}

} /* namespace */
