/* The summary of emfrecords --summary: records counted by type, and the object table followed
 * through creations and deletions to the objects a job left alive. */
#include <gtest/gtest.h>

#include "emftools.h"
#include "test_util.h"

using namespace emf;

namespace {

/* Pen in slot 1 and brush in slot 2; slot 1 deleted, then slot 3 (never filled) deleted; a pen
 * into slot 1 again; two rectangles. */
Bytes ObjectJob()
{
    return BuildEmf({Record({EMR_CREATEPEN, 28, 1, 0, 3, 0, 0xff}),
                     Record({EMR_CREATEBRUSHINDIRECT, 24, 2, 0, 0x00ff00, 0}),
                     Record({EMR_RECTANGLE, 24, 1, 2, 30, 40}),
                     Record({EMR_DELETEOBJECT, 12, 1}),
                     Record({EMR_DELETEOBJECT, 12, 3}),
                     Record({EMR_CREATEPEN, 28, 1, 0, 1, 0, 0}),
                     Record({EMR_RECTANGLE, 24, 5, 6, 70, 80})},
                    4);
}

TEST(EmfSummary, CountsTypesAndFollowsTheObjectTable)
{
    Bytes bytes = ObjectJob();
    EmfFile file;
    char error[256] = "";
    ASSERT_EQ(EmfLoadMemory(bytes.data(), bytes.size(), &file, error, sizeof error), 0) << error;
    EmfSummary s;
    ASSERT_EQ(EmfSummarize(&file, &s), 0);
    EXPECT_EQ(s.countByType[EMR_HEADER], 1u);
    EXPECT_EQ(s.countByType[EMR_CREATEPEN], 2u);
    EXPECT_EQ(s.bytesByType[EMR_CREATEPEN], 56u);
    EXPECT_EQ(s.countByType[EMR_RECTANGLE], 2u);
    EXPECT_EQ(s.countByType[EMR_DELETEOBJECT], 2u);
    EXPECT_EQ(s.countByType[EMR_EOF], 1u);
    EXPECT_EQ(s.slotCount, 4u);
    EXPECT_EQ(s.aliveObjects, 2u);
    EXPECT_EQ(s.creatorBySlot[1], 6u) << "the second pen, after the first was deleted";
    EXPECT_EQ(s.creatorBySlot[2], 2u);
    EXPECT_EQ(s.creatorBySlot[3], 0u);
    EXPECT_EQ(s.emptyDeletes, 1u);
    EmfFreeSummary(&s);
    EmfFree(&file);
}

TEST(EmfSummary, ProgramPrintsTheSummary)
{
    std::string path = WriteTemp(ObjectJob(), "summary.emf");
    RunResult r = RunTool(std::string(EMFRECORDS_PATH) + " --summary " + path);
    EXPECT_EQ(r.status, 0);
    for (const char *line : {"9 records, ", "frame: (", "device: ",
                             "         2         48 bytes  RECTANGLE\n",
                             "objects alive at the end: 2 of 3 slots\n",
                             "  slot 1: CREATEPEN (record #6)\n", "  slot 2: CREATEBRUSHINDIRECT (record #2)\n",
                             "deletes of an empty slot: 1\n"})
        EXPECT_NE(r.output.find(line), std::string::npos) << line << " in\n" << r.output;
    EXPECT_LT(r.output.find("CREATEPEN\n"), r.output.find("HEADER\n")) << "most frequent first";
    EXPECT_EQ(RunTool(std::string(EMFRECORDS_PATH) + " --summary").status, 2);
    EXPECT_EQ(RunTool(std::string(EMFRECORDS_PATH) + " --summary a.emf b.emf").status, 2);
}

} // namespace
