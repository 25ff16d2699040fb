/* Device contexts: the installed devices and their caps, DEVMODEA paper and orientation, memory DCs
 * and what each kind of DC reports. */
#include "gdi_test.h"

#include "devmode.h"

#include <string.h>
#include <string>

namespace {

struct Caps {
    int horzRes, vertRes, horzSize, vertSize, bitsPixel, technology, logPixels;
};

class DcTest : public GdiTest {
protected:
    static Caps Read(HDC dc)
    {
        return Caps{GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, HORZSIZE),
                    GetDeviceCaps(dc, VERTSIZE), GetDeviceCaps(dc, BITSPIXEL), GetDeviceCaps(dc, TECHNOLOGY),
                    GetDeviceCaps(dc, LOGPIXELSX)};
    }
    static void ExpectCaps(HDC dc, const Caps &expected)
    {
        Caps got = Read(dc);
        EXPECT_EQ(got.horzRes, expected.horzRes);
        EXPECT_EQ(got.vertRes, expected.vertRes);
        EXPECT_EQ(got.horzSize, expected.horzSize);
        EXPECT_EQ(got.vertSize, expected.vertSize);
        EXPECT_EQ(got.bitsPixel, expected.bitsPixel);
        EXPECT_EQ(got.technology, expected.technology);
        EXPECT_EQ(got.logPixels, expected.logPixels);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), expected.logPixels);
    }
    static std::string Name(const char *driver, const char *device)
    {
        return std::string(driver ? driver : "NULL") + " / " + (device ? device : "NULL");
    }
};

/* The display mirrors the one GDI under Wine reports headless: 1024x768, 271x203 mm, 32 bpp, 96 dpi. */
const Caps kDisplay = {1024, 768, 271, 203, 32, DT_RASDISPLAY, 96};

TEST_F(DcTest, InstalledDevicesOpenByNameInAnyCase)
{
    const Caps laser = {4960, 7016, 210, 297, 24, DT_RASPRINTER, 600};
    const Caps letter = {5100, 6600, 216, 279, 24, DT_RASPRINTER, 600};
    struct Row {
        const char *driver, *device;
        const Caps *caps;
    } rows[] = {
        {"WINSPL16", "TAVLINQX Laser", &laser}, {"winspl16", "tavlinqx laser", &laser},
        {"WINSPL16", "TAVLINQX Letter", &letter}, {"WINSPL16", "DISPLAY", &kDisplay},
        {"DISPLAY", NULL, &kDisplay}, {"display", "Display", &kDisplay}, {NULL, "DISPLAY", &kDisplay},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(Name(row.driver, row.device));
        HDC dc = CreateDCA(row.driver, row.device, NULL, NULL);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(GetObjectType(dc), (DWORD)OBJ_DC);
        ExpectCaps(dc, *row.caps);
        EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
        EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), row.caps->technology == DT_RASPRINTER ? row.caps->horzRes : 0);
        EXPECT_TRUE(DeleteDC(dc));
    }
}

TEST_F(DcTest, BuiltInPrintersAreListedDefaultFirst)
{
    const std::string both("TAVLINQX Laser\0TAVLINQX Letter\0", 32);
    char names[40];
    memset(names, 'x', sizeof names);
    ASSERT_EQ(StandinPrinterList(names, both.size()), 2);
    EXPECT_EQ(std::string(names, both.size()), both) << "the default printer comes first";
    memset(names, 'x', sizeof names);
    EXPECT_EQ(StandinPrinterList(names, both.size() - 1), -1);
    EXPECT_EQ(std::string(names, 16), std::string("TAVLINQX Laser\0", 16)) << "what fits, ended";
    EXPECT_EQ(StandinPrinterList(names, 0), -1);
}

TEST_F(DcTest, UnknownDevicesAndDriversFailAsGdiFails)
{
    struct Row {
        const char *driver, *device;
        DWORD error;
    } rows[] = {
        {"WINSPL16", "NOSUCHDEVICE", ERROR_MOD_NOT_FOUND},
        {"NOSUCHDRIVER", "NOSUCHDEVICE", ERROR_MOD_NOT_FOUND},
        {"NOSUCHDRIVER", "DISPLAY", ERROR_MOD_NOT_FOUND}, /* GDI under Wine ignores the driver; we do not */
        {"WINSPL16", NULL, ERROR_MOD_NOT_FOUND},
        {"WINSPL16", "TAVLINQX", ERROR_MOD_NOT_FOUND},
        {NULL, NULL, 0xdeadbeef}, /* GDI sets no error for this one */
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(Name(row.driver, row.device));
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CreateDCA(row.driver, row.device, NULL, NULL), nullptr);
        EXPECT_EQ(GetLastError(), row.error);
    }
}

TEST_F(DcTest, DevmodeChoosesPaperAndOrientationOfPrintersOnly)
{
    struct Row {
        const char *name, *device;
        DEVMODEA dm;
        int horzRes, vertRes, horzSize, vertSize;
    } rows[] = {
        {"A3", "TAVLINQX Laser", TestDevmode(DM_PAPERSIZE, 0, DMPAPER_A3), 7016, 9920, 297, 420},
        {"A5 landscape", "TAVLINQX Laser", TestDevmode(DM_PAPERSIZE | DM_ORIENTATION, DMORIENT_LANDSCAPE, DMPAPER_A5),
         4960, 3496, 210, 148},
        {"Legal", "TAVLINQX Letter", TestDevmode(DM_PAPERSIZE, 0, DMPAPER_LEGAL), 5100, 8400, 216, 356},
        {"Letter on the A4 printer", "TAVLINQX Laser", TestDevmode(DM_PAPERSIZE, 0, DMPAPER_LETTER), 5100, 6600, 216, 279},
        {"landscape of the default paper", "TAVLINQX Laser", TestDevmode(DM_ORIENTATION, DMORIENT_LANDSCAPE, 0),
         7016, 4960, 297, 210},
        {"fields not set are ignored", "TAVLINQX Laser", TestDevmode(0, DMORIENT_LANDSCAPE, DMPAPER_A3),
         4960, 7016, 210, 297},
        {"an unknown paper keeps the default", "TAVLINQX Letter", TestDevmode(DM_PAPERSIZE, 0, 70), 5100, 6600, 216, 279},
        {"the display ignores a DEVMODE", "DISPLAY",
         TestDevmode(DM_PAPERSIZE | DM_ORIENTATION, DMORIENT_LANDSCAPE, DMPAPER_A3),
         1024, 768, 271, 203},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        HDC dc = CreateDCA("WINSPL16", row.device, NULL, &row.dm);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, HORZRES), row.horzRes);
        EXPECT_EQ(GetDeviceCaps(dc, VERTRES), row.vertRes);
        EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), row.horzSize);
        EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), row.vertSize);
        DeleteDC(dc);
    }
}

TEST_F(DcTest, MetafileAndMemoryDcsTakeTheirCapsFromTheirReference)
{
    DEVMODEA a3 = TestDevmode(DM_PAPERSIZE, 0, DMPAPER_A3);
    HDC printer = CreateDCA("WINSPL16", "TAVLINQX Laser", NULL, &a3);
    HDC emf = CreateEnhMetaFileA(printer, FilePath("printer.emf").c_str(), NULL, NULL);
    HDC onPrinter = CreateCompatibleDC(printer);
    HDC onDisplay = CreateCompatibleDC(NULL);
    const Caps a3Caps = {7016, 9920, 297, 420, 24, DT_RASPRINTER, 600};
    ExpectCaps(emf, a3Caps);
    ExpectCaps(onPrinter, a3Caps);
    ExpectCaps(onDisplay, kDisplay);
    EXPECT_EQ(GetObjectType(onPrinter), (DWORD)OBJ_MEMDC);
    DeleteDC(printer);
    /* The header carries the reference device's size: 7016 x 9920 px, 297 x 420 mm. */
    std::vector<uint8_t> bytes = CloseAndRead(emf, "printer.emf");
    ASSERT_EQ(bytes.size(), 128u);
    EXPECT_EQ(I32(bytes, 72), 7016);
    EXPECT_EQ(I32(bytes, 76), 9920);
    EXPECT_EQ(I32(bytes, 80), 297);
    EXPECT_EQ(I32(bytes, 84), 420);
    EXPECT_EQ(I32(bytes, 100), 297000);
    EXPECT_EQ(I32(bytes, 104), 420000);
    EXPECT_EQ(I32(bytes, 32), -4) << "empty bounds (0,0,-1,-1): -1 * 29700 / 7016 = -4.23";
    EXPECT_EQ(I32(bytes, 36), -4) << "-1 * 42000 / 9920 = -4.23";
    DeleteDC(onPrinter);
    DeleteDC(onDisplay);
}

TEST_F(DcTest, FreshDcsHoldGdisDefaults)
{
    HDC mem = CreateCompatibleDC(NULL);
    HDC emf = NewMetafile("defaults.emf");
    HDC printer = CreateDCA("WINSPL16", "TAVLINQX Laser", NULL, NULL);
    for (HDC dc : {mem, emf, printer}) {
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
        EXPECT_EQ(GetCurrentObject(dc, OBJ_EXTPEN), GetStockObject(BLACK_PEN));
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), GetStockObject(DEFAULT_PALETTE));
        EXPECT_EQ(GetCurrentObject(dc, 99), nullptr);
        EXPECT_EQ(GetROP2(dc), R2_COPYPEN);
        EXPECT_EQ(GetBkMode(dc), OPAQUE);
        EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
        EXPECT_EQ(GetTextColor(dc), 0u);
        EXPECT_EQ(GetPolyFillMode(dc), ALTERNATE);
    }
    HGDIOBJ stockBitmap = GetCurrentObject(mem, OBJ_BITMAP);
    BITMAP bm;
    ASSERT_EQ(GetObjectA(stockBitmap, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(GetCurrentObject(emf, OBJ_BITMAP), nullptr);
    EXPECT_TRUE(CloseAndBody(emf, "defaults.emf").empty());
    DeleteDC(mem);
    DeleteDC(printer);
}

TEST_F(DcTest, CountersFollowEveryDcAndObject)
{
    long dcs = StandinLiveDCs(), objects = StandinLiveGdiObjects();
    HDC mem = CreateCompatibleDC(NULL);
    HDC emf = NewMetafile("counters.emf");
    LOGPEN lp = {PS_SOLID, {2, 0}, 0};
    HPEN pen = CreatePenIndirect(&lp);
    EXPECT_EQ(StandinLiveDCs(), dcs + 2);
    EXPECT_EQ(StandinLiveGdiObjects(), objects + 1);
    GetStockObject(BLACK_BRUSH);
    EXPECT_EQ(StandinLiveGdiObjects(), objects + 1) << "stock objects do not count";
    HENHMETAFILE hmf = CloseEnhMetaFile(emf);
    EXPECT_EQ(StandinLiveDCs(), dcs + 1);
    EXPECT_EQ(StandinLiveGdiObjects(), objects + 2) << "the metafile handle until DeleteEnhMetaFile";
    DeleteEnhMetaFile(hmf);
    DeleteObject(pen);
    DeleteDC(mem);
    EXPECT_EQ(StandinLiveDCs(), dcs);
    EXPECT_EQ(StandinLiveGdiObjects(), objects);
}

} /* namespace */
