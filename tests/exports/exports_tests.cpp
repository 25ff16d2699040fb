/* Symbol checks of both artefacts against the export table: the native library's dynamic symbols,
 * the module-definition file, and (when the Windows build is known) the DLL's export directory
 * and import table as objdump reads them. */
#include "tavlinqx.h"
#include "export_list.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

/* Every argument is a 32-bit pointer, so the callee removes four bytes per parameter: the
 * header's prototypes must agree with the table the DLL is checked against. */
template <typename F> struct ExportsArgCount;
template <typename R, typename... A> struct ExportsArgCount<R(A...)> {
    static constexpr int value = (int)sizeof...(A);
};
#define EXPORTS_CHECK_PROTOTYPE(name, ordinal, bytes, zero)        \
    static_assert(ExportsArgCount<decltype(::name)>::value * 4 == bytes, \
                  #name ": the header's prototype disagrees with the export table");
TAVLINQX_EXPORT_LIST(EXPORTS_CHECK_PROTOTYPE)
#undef EXPORTS_CHECK_PROTOTYPE

namespace {

/* Runs command and returns what it printed on stdout; fails the test if it did not exit 0. */
std::string exports_run(const std::string &command)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == NULL) {
        ADD_FAILURE() << "cannot run " << command;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command;
    return out;
}

std::vector<std::string> exports_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::set<std::string> exports_table_names()
{
    std::set<std::string> names;
    for (const ExportRow &row : kExportRows)
        names.insert(row.name);
    return names;
}

TEST(NativeLibrary, ExportsExactlyTheTenFunctions)
{
    std::string listing = exports_run(std::string(TAVLINQX_NM) + " -D --defined-only " +
                                      TAVLINQX_NATIVE_LIBRARY);
    std::set<std::string> names;
    for (const std::string &line : exports_lines(listing)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (!(fields >> address >> type >> name))
            continue;
        SCOPED_TRACE(line);
        EXPECT_EQ(type, "T") << "every export is a function in the text section";
        names.insert(name);
    }
    EXPECT_EQ(names, exports_table_names());
}

TEST(ModuleDefinition, ListsTheTableWithDecorationsAndOrdinals)
{
    std::ifstream def(TAVLINQX_DEF_FILE);
    ASSERT_TRUE(def.good()) << TAVLINQX_DEF_FILE;
    std::string library;
    std::map<std::string, std::string> entries; /* name -> "@bytes @ordinal" as written */
    for (std::string line; std::getline(def, line);) {
        std::istringstream fields(line);
        std::string first, second;
        fields >> first >> second;
        size_t at = first.find('@');
        if (first == "LIBRARY")
            library = second;
        else if (at != std::string::npos)
            entries[first.substr(0, at)] = first.substr(at) + " " + second;
    }
    EXPECT_EQ(library, "\"TAVLINQX.DLL\"");
    ASSERT_EQ(entries.size(), (size_t)TAVLINQX_EXPORT_COUNT);
    for (const ExportRow &row : kExportRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(entries[row.name], "@" + std::to_string(row.argBytes) + " @" +
                                         std::to_string(row.ordinal));
    }
}

/* The text the Windows package hands a driver's author: its table of ordinals, arguments, bytes
 * removed and results, one export a line ("  5  Output32  15  60  0; -1 only for ..."). */
TEST(WindowsPackageText, TablesTheExportsAsTheDriverIsBuiltAgainstThem)
{
    std::ifstream text(TAVLINQX_EXPORTS_TEXT);
    ASSERT_TRUE(text.good()) << TAVLINQX_EXPORTS_TEXT;
    std::map<std::string, std::string> rows; /* name -> "ordinal arguments bytes zero" */
    for (std::string line; std::getline(text, line);) {
        int ordinal, arguments, bytes, used = 0;
        char name[64];
        if (sscanf(line.c_str(), " %d %63s %d %d %n", &ordinal, name, &arguments, &bytes, &used) == 4 && used > 0)
            rows[name] = std::to_string(ordinal) + " " + std::to_string(arguments) + " " +
                         std::to_string(bytes) + " " + (line.compare(used, 8, "always 0") == 0 ? "zero" : "-1");
    }
    ASSERT_EQ(rows.size(), (size_t)TAVLINQX_EXPORT_COUNT);
    for (const ExportRow &row : kExportRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rows[row.name], std::to_string(row.ordinal) + " " + std::to_string(row.argBytes / 4) +
                                      " " + std::to_string(row.argBytes) + " " +
                                      (row.alwaysZero ? "zero" : "-1"));
    }
}

#ifdef TAVLINQX_WINDOWS_DLL

/* What objdump -p says about the DLL's export directory and import table. */
struct DllTables {
    std::string moduleName;
    int ordinalBase = -1;
    int addressCount = -1;
    int codeAddresses = 0;                /* address-table entries that are code, not forwarders */
    std::map<std::string, int> ordinals; /* exported name -> ordinal */
    std::vector<std::string> importedDlls;
};

/* objdump lists the export names as "[index] Name", the index counting from the ordinal base. */
void exports_parse_name_line(const std::string &line, DllTables *tables)
{
    size_t open = line.find('['), close = line.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return;
    std::string name = line.substr(close + 1);
    name.erase(0, name.find_first_not_of(" \t"));
    tables->ordinals[name] = atoi(line.c_str() + open + 1) + tables->ordinalBase;
}

DllTables exports_read_dll(const char *path)
{
    DllTables tables;
    std::string listing = exports_run(std::string(TAVLINQX_MINGW_OBJDUMP) + " -p " + path);
    enum { OTHER, COUNTS, NAMES } section = OTHER;
    for (const std::string &line : exports_lines(listing)) {
        const char *text = line.c_str() + strspn(line.c_str(), " \t");
        unsigned rva;
        char name[256];
        if (strncmp(text, "DLL Name:", 9) == 0)
            tables.importedDlls.push_back(text + 10);
        else if (sscanf(text, "Name %x %255s", &rva, name) == 2) /* not "Name Pointer Table" */
            tables.moduleName = name;
        else if (strncmp(text, "Ordinal Base", 12) == 0)
            tables.ordinalBase = atoi(text + 12);
        else if (strncmp(text, "Number in:", 10) == 0)
            section = COUNTS;
        else if (section == COUNTS && strncmp(text, "Export Address Table", 20) == 0) {
            tables.addressCount = (int)strtol(text + 20, NULL, 16);
            section = OTHER;
        } else if (strstr(text, "Export RVA") != NULL)
            tables.codeAddresses++;
        else if (strncmp(text, "[Ordinal/Name Pointer] Table", 28) == 0)
            section = NAMES;
        else if (section == NAMES && *text == '\0')
            section = OTHER;
        else if (section == NAMES)
            exports_parse_name_line(line, &tables);
    }
    return tables;
}

TEST(WindowsDll, ExportsTheTenNamesAtOrdinalsTwoToEleven)
{
    DllTables tables = exports_read_dll(TAVLINQX_WINDOWS_DLL);
    EXPECT_EQ(tables.moduleName, "TAVLINQX.DLL");
    EXPECT_EQ(tables.ordinalBase, TAVLINQX_FIRST_ORDINAL) << "no ordinal 1";
    EXPECT_EQ(tables.addressCount, TAVLINQX_EXPORT_COUNT);
    EXPECT_EQ(tables.codeAddresses, TAVLINQX_EXPORT_COUNT) << "no forwarders, no gaps";
    ASSERT_EQ(tables.ordinals.size(), (size_t)TAVLINQX_EXPORT_COUNT);
    for (const ExportRow &row : kExportRows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(tables.ordinals.count(row.name), 1u) << "exported undecorated";
        EXPECT_EQ(tables.ordinals[row.name], row.ordinal);
    }
}

TEST(WindowsDll, ImportsFromSystemDllsOnly)
{
    static const char *const kSystemDlls[] = {"KERNEL32.dll", "GDI32.dll", "USER32.dll",
                                              "msvcrt.dll"};
    DllTables tables = exports_read_dll(TAVLINQX_WINDOWS_DLL);
    ASSERT_FALSE(tables.importedDlls.empty()) << "objdump listed no import table";
    for (const std::string &dll : tables.importedDlls) {
        bool system = false;
        for (const char *known : kSystemDlls)
            system = system || strcasecmp(dll.c_str(), known) == 0;
        EXPECT_TRUE(system) << dll << " is not a system DLL: is a compiler runtime linked in "
                               "dynamically?";
    }
}

#endif

} /* namespace */
