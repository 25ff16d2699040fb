/* The fixture of the drawing-call tests: a metafile DC on the DISPLAY reference in a temporary root,
 * closed and read back record by record, and byte comparison against captured GDI output. */
#ifndef TAVLINQX_DRAW_TEST_H
#define TAVLINQX_DRAW_TEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emf_format.h"
#include "standin.h"
#include "winapi.h"

struct Drawn {
    uint32_t type;
    std::vector<uint8_t> bytes;
};

class DrawTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    /* Closes dc_ and reads it back: the header into header_, every record between it and EMR_EOF
     * into drawn_ (object records left out). Opens a fresh dc_ when reopen is set. */
    void Close(bool reopen = false);

    HDC ref_ = NULL;
    HDC dc_ = NULL;
    emf::ENHMETAHEADER header_ = {};
    std::vector<Drawn> drawn_;
    int closed_ = 0; /* files closed so far, to name the ones kept for the uemf check */
    static std::string dir_; /* the temporary root, which holds the metafiles */

private:
    long gdiObjects_ = 0;
};

/* Bytes from words as a dump prints them: "56000000 28000000" is 56 00 00 00 28 00 00 00. */
std::vector<uint8_t> Hex(const char *words);
/* All bytes of the records, back to back. */
std::vector<uint8_t> Joined(const std::vector<Drawn> &records);
/* Equal bytes, or a failure naming the first differing offset with the actual bytes as words. */
::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual, const std::vector<uint8_t> &expected);
std::string Rect(const emf::RECTL &r);

#endif
