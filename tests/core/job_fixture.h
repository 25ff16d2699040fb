/* A metafile job for the core's tests: a fresh drive C:, a spool metafile on DISPLAY, its records
 * after closing, the platform trace, and the leak checks every test ends with. */
#ifndef TAVLINQX_TESTS_JOB_FIXTURE_H
#define TAVLINQX_TESTS_JOB_FIXTURE_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emf_format.h"
#include "standin.h"
#include "frame/win32.h"

/* One record of the closed metafile, with a short description of the fields the tests care for:
 * "SELECTOBJECT 1", "SELECTOBJECT stock 7", "EXTCREATEPEN 1 style=0x10200 width=5 color=0xff"... */
struct JobRecord {
    uint32_t type;
    std::vector<uint8_t> bytes;
    std::string text;
};

class JobTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /* Closes the metafile with CloseEmfFile32 and reads it back. Records between the header and
     * EOF, described. */
    std::vector<std::string> CloseAndDescribe();
    /* Records as read by CloseAndDescribe, header and EOF included. */
    const std::vector<JobRecord> &records() const { return records_; }

    /* Names of the platform calls traced since the last StartTrace, "Polygon", "SelectObject"... */
    void StartTrace() { StandinTraceStart(); }
    std::vector<std::string> TracedCalls() const;
    std::vector<std::string> TracedEntries() const;

    /* Closes the current metafile and opens a fresh one on the same path, so each case of a
     * table starts at object index 1. Returns the closed file's records, described. */
    std::vector<std::string> Reopen();

    HDC dc_ = NULL;
    bool open_ = false;
    char path_[MAX_PATH] = {};
    std::vector<JobRecord> records_;
    long gdiObjectsBefore_ = 0;
    long globalBlocksBefore_ = 0;
    long dcsBefore_ = 0;
    int closedFiles_ = 0;
};

/* A DrawMode32 with distinct values in every field. */
DrawMode32 SampleDrawMode();

/* The POSIX path a DOS path maps to (empty when it cannot be mapped). */
std::string PosixPath(const char *dosPath);

#endif
