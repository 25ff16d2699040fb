/* Shared pieces of the EMF tool suites: the inlined reference files, byte patching, temporary
 * files and running the tools as a user would. */
#ifndef TAVLINQX_EMF_TEST_UTIL_H
#define TAVLINQX_EMF_TEST_UTIL_H

#include <stddef.h>
#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

extern const uint8_t kSampleD01[168];
extern const uint8_t kSampleT00[236];
extern const uint8_t kSampleB05[264];
extern const uint8_t kSampleB10[228];
extern const uint8_t kSampleO08[248];
extern const uint8_t kFontRecordT02[332];

template <size_t N> Bytes ToBytes(const uint8_t (&a)[N]) { return Bytes(a, a + N); }

void Put32(Bytes &b, size_t off, uint32_t v);

/* A record written as little-endian DWORDs: iType, nSize, then the fields. */
Bytes Record(std::initializer_list<uint32_t> dwords);

/* A metafile of d01's header (nBytes, nRecords and nHandles set to fit), the given records and
 * d01's EOF. */
Bytes BuildEmf(const std::vector<Bytes> &records, uint16_t nHandles);

/* Writes b as name in a folder private to this test process; returns the path. */
std::string WriteTemp(const Bytes &b, const std::string &name);

struct RunResult {
    int status; /* exit status, or -1 when the program did not exit normally */
    std::string output; /* stdout and stderr together */
};
RunResult RunTool(const std::string &command);

/* The folder of the Wine sample files, or "" when it is not there. */
std::string SampleDir();
std::vector<std::string> SampleFiles();

#endif
