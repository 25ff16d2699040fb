/* Strings, MulDiv, code pages and wsprintfA against results observed from Windows' behaviour
 * under Wine (probes run with mingw; values copied from their output). */
#include "kernel_test.h"

#include <stdlib.h>
#include <string.h>

using Strings = KernelTest;

TEST_F(Strings, CopyAndConcatenateAnswerNullWithNull)
{
    char buf[16] = "abc";
    EXPECT_EQ(lstrlenA(NULL), 0);
    EXPECT_EQ(lstrlenA(buf), 3);
    EXPECT_EQ(lstrcpyA(NULL, "x"), nullptr);
    EXPECT_EQ(lstrcpyA(buf, NULL), nullptr);
    EXPECT_EQ(lstrcatA(buf, NULL), nullptr);
    EXPECT_STREQ(buf, "abc") << "failed calls leave the buffer alone";
    EXPECT_EQ(lstrcatA(buf, "def"), buf);
    EXPECT_STREQ(buf, "abcdef");
    EXPECT_EQ(lstrcpyA(buf, "xy"), buf);
    EXPECT_STREQ(buf, "xy");
    EXPECT_EQ(lstrcatA(buf, ""), buf);
    EXPECT_STREQ(buf, "xy");
}

TEST_F(Strings, MulDivRoundsHalfAwayFromZeroAndReportsOverflow)
{
    struct Row {
        int a, b, c, result;
    } rows[] = {
        {5, 1, 2, 3},          {-5, 1, 2, -3},       {5, -1, 2, -3},       {-5, -1, -2, -3},
        {7, 1, 3, 2},          {8, 1, 3, 3},         {-8, 1, 3, -3},       {3, 1, -2, -2},
        {-3, 1, 2, -2},        {-1, 1, 2, -1},       {1, 1, -2, -1},       {1, 1, 0, -1},
        {0x7fffffff, 2, 1, -1}, {0x7fffffff, 2, 2, 0x7fffffff}, {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff},
        {-0x7fffffff - 1, 1, 1, -1}, {-0x7fffffff - 1, -1, 1, -1}, {0x40000000, 4, 2, -1},
        {-0x40000000, 4, 2, -1}, {46341, 46341, 1, -1}, {-0x7fffffff, 1, 1, -0x7fffffff},
        {2540, 96, 2540, 96},  {1000, 2540, 96, 26458},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << " * " << r.b << " / " << r.c);
        EXPECT_EQ(MulDiv(r.a, r.b, r.c), r.result);
    }
}

TEST_F(Strings, AnsiCodePageComesFromTheEnvironment)
{
    struct Row {
        const char *env; /* nullptr: unset */
        UINT acp;
    } rows[] = {{nullptr, 1252}, {"932", 932}, {"1361", 1361}, {"abc", 1252}, {"", 1252}, {"70000", 1252}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.env ? r.env : "(unset)");
        if (r.env)
            setenv("TAVLINQX_ACP", r.env, 1);
        else
            unsetenv("TAVLINQX_ACP");
        EXPECT_EQ(GetACP(), r.acp);
    }
    unsetenv("TAVLINQX_ACP");
}

/* Every byte of every code page against the lead-byte ranges, written out independently here. */
TEST_F(Strings, LeadBytesOfEveryCodePage)
{
    struct Row {
        UINT cp;
        bool (*lead)(int b);
    } rows[] = {
        {932, [](int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }},
        {936, [](int b) { return b >= 0x81 && b <= 0xFE; }},
        {949, [](int b) { return b >= 0x81 && b <= 0xFE; }},
        {950, [](int b) { return b >= 0x81 && b <= 0xFE; }},
        {1361, [](int b) { return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) || (b >= 0xE0 && b <= 0xF9); }},
        {1252, [](int) { return false; }},
        {437, [](int) { return false; }},
        {12345, [](int) { return false; }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.cp);
        for (int b = 0; b < 256; b++)
            ASSERT_EQ(IsDBCSLeadByteEx(r.cp, (BYTE)b) != FALSE, r.lead(b)) << "byte " << b;
    }
}

TEST_F(Strings, CodePageZeroMeansTheAnsiCodePage)
{
    unsetenv("TAVLINQX_ACP");
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_ACP, 0x82));
    setenv("TAVLINQX_ACP", "932", 1);
    EXPECT_TRUE(IsDBCSLeadByteEx(CP_ACP, 0x82));
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_ACP, 0xA0));
    unsetenv("TAVLINQX_ACP");
}

TEST_F(Strings, WsprintfMatchesObservedOutput)
{
    char buf[2048];
#define ROW(expected, ...)                                                                                             \
    do {                                                                                                               \
        SCOPED_TRACE(#__VA_ARGS__);                                                                                    \
        memset(buf, 'z', sizeof buf);                                                                                  \
        EXPECT_EQ(wsprintfA(buf, __VA_ARGS__), (int)strlen(expected));                                                 \
        EXPECT_STREQ(buf, expected);                                                                                   \
    } while (0)
    ROW("QOR00042.JBX", "QOR%05ld.JBX", 42);
    ROW("QOR00000.JBX", "QOR%05ld.JBX", 0);
    ROW("QOR123456.JBX", "QOR%05ld.JBX", 123456);
    ROW("QOR-0042.JBX", "QOR%05ld.JBX", -42);
    ROW("abc -7", "%s %d", "abc", -7);
    ROW(" 0", "%s %d", "", 0);
    ROW("(null) 5", "%s %d", (char *)NULL, 5);
    ROW("\"C:\\APP\\P.EXE\" 42", "%s %d", "\"C:\\APP\\P.EXE\"", 42);
    ROW("   ab|ff|FF|4000000000|Z|7   |", "%5.2s|%x|%X|%lu|%c|%-4d|", "abc", 255, 255, 4000000000u, 'Z', 7);
    ROW("f|3", "%f|%d", 3);
    ROW("007|  007|7    |7    |-0007", "%.3d|%5.3d|%-5d|%-05d|%05d", 7, 7, 7, 7, -7);
    ROW("70000|70000|11170", "%hd|%hu|%hx", 70000, 70000, 70000);
    ROW("0xff|0XFF|o", "%#x|%#X|%#o", 255, 255, 8);
    ROW("-3|4294967293|3000000000", "%i|%u|%u", -3, -3, 3000000000u);
    ROW("ABCDEF12|abcdef12|-5|-6", "%lX|%lx|%ld|%li", 0xabcdef12u, 0xabcdef12u, -5, -6);
    ROW("  abc|abc  |ab|    a|abc|", "%5s|%-5s|%.2s|%5.1s|%.0s|", "abc", "abc", "abc", "abc", "abc");
    ROW("A|  B|C  |", "%c|%3c|%-3c|", 'A', 'B', 'C');
    ROW("%|q|", "%%|%q|%", 1);
    ROW("   ab|    x|", "%05s|%05c|", "ab", 'x');
    ROW("0001f|0000001F|1f      |", "%.5x|%08X|%-8x|", 0x1f, 0x1f, 0x1f);
    ROW("-000012345|+d| d|", "%010d|%+d|% d|", -12345, 5, 5);
    ROW("0|0|", "%.0d|%.0u|", 0, 0);
    ROW("-2147483648|2147483647", "%d|%d", -2147483647 - 1, 2147483647);
    ROW("", "%s", "");
    ROW("(nu", "%.3s", (char *)NULL);
#undef ROW
}

/* 1023 characters and the NUL fit; past that the output is cut there and the result is 1024. */
TEST_F(Strings, WsprintfOutputLimit)
{
    std::string x1199(1199, 'x'), x1023(1023, 'x'), x1022(1022, 'x');
    std::vector<char> buf(2048, 'z');
    EXPECT_EQ(wsprintfA(buf.data(), "%s %d", x1199.c_str(), 1), 1024);
    EXPECT_EQ(strlen(buf.data()), 1023u);
    EXPECT_EQ(buf[1024], 'z') << "nothing past the limit is written";
    EXPECT_EQ(wsprintfA(buf.data(), "%s", x1023.c_str()), 1023);
    EXPECT_EQ(wsprintfA(buf.data(), "%s%c", x1022.c_str(), 'y'), 1023);
    EXPECT_EQ(buf[1022], 'y');
    EXPECT_EQ(wsprintfA(buf.data(), "%-1030d|", 1), 1024);
    EXPECT_EQ(std::string(buf.data()), "1" + std::string(1022, ' '));
}

/* Character sets to code pages, as observed; failures leave the record as it was. */
TEST_F(Strings, CharsetTranslation)
{
    struct Row {
        UINT charset;
        BOOL ok;
        UINT acp;
        DWORD fsCsb0;
    } rows[] = {
        {ANSI_CHARSET, TRUE, 1252, 0x00000001},  {DEFAULT_CHARSET, FALSE, 0, 0},
        {SYMBOL_CHARSET, TRUE, 42, 0x80000000},  {77, FALSE, 0, 0},
        {SHIFTJIS_CHARSET, TRUE, 932, 0x00020000}, {HANGUL_CHARSET, TRUE, 949, 0x00080000},
        {130, TRUE, 1361, 0x00200000},           {GB2312_CHARSET, TRUE, 936, 0x00040000},
        {CHINESEBIG5_CHARSET, TRUE, 950, 0x00100000}, {161, TRUE, 1253, 0x00000008},
        {204, TRUE, 1251, 0x00000004},           {222, TRUE, 874, 0x00010000},
        {238, TRUE, 1250, 0x00000002},           {OEM_CHARSET, FALSE, 0, 0},
        {0x100, FALSE, 0, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.charset);
        CHARSETINFO csi;
        memset(&csi, 0x5A, sizeof csi);
        SetLastError(0xDEAD);
        EXPECT_EQ(TranslateCharsetInfo((DWORD *)(uintptr_t)r.charset, &csi, TCI_SRCCHARSET), r.ok);
        if (!r.ok) {
            EXPECT_EQ(csi.ciACP, 0x5A5A5A5Au) << "untouched";
            EXPECT_EQ(GetLastError(), 0xDEADu);
            continue;
        }
        EXPECT_EQ(csi.ciCharset, r.charset);
        EXPECT_EQ(csi.ciACP, r.acp);
        EXPECT_EQ(csi.fs.fsCsb[0], r.fsCsb0);
        EXPECT_EQ(csi.fs.fsCsb[1], 0u);
        for (DWORD usb : csi.fs.fsUsb)
            EXPECT_EQ(usb, 0u);
    }
    CHARSETINFO csi;
    EXPECT_FALSE(TranslateCharsetInfo((DWORD *)(uintptr_t)1252, &csi, TCI_SRCCODEPAGE)) << "not supported";
}
