/* uemf_check, the independent libuemf reading: it accepts what GDI wrote and rejects broken
 * files, naming the file and the record. */
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "test_util.h"

namespace {

std::string Check(const std::string &args)
{
    RunResult r = RunTool(std::string(UEMF_CHECK_PATH) + " " + args);
    return std::to_string(r.status) + " " + r.output;
}

TEST(UemfCheck, AcceptsEveryWineSample)
{
    std::vector<std::string> files = SampleFiles();
    if (files.empty())
        GTEST_SKIP() << "no sample folder at " << EMF_SAMPLE_DIR;
    EXPECT_EQ("0 uemf_check: " + std::to_string(files.size()) + " files checked, 0 bad\n",
              Check(SampleDir()));
}

TEST(UemfCheck, SearchesFoldersAndCountsFiles)
{
    std::string one = WriteTemp(ToBytes(kSampleD01), "uemf_one.emf");
    std::string dir = one.substr(0, one.rfind('/')) + "/uemf_folder";
    ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
    ASSERT_EQ(0, mkdir((dir + "/sub").c_str(), 0700));
    WriteTemp(ToBytes(kSampleT00), "uemf_folder/t00.emf");
    WriteTemp(ToBytes(kSampleB05), "uemf_folder/sub/b05.EMF");
    WriteTemp(ToBytes(kSampleB10), "uemf_folder/sub/b10.emf");
    WriteTemp(ToBytes(kSampleO08), "uemf_folder/o08.emf");
    WriteTemp(Bytes(8, 0), "uemf_folder/notes.txt"); /* not an .emf: not read */
    EXPECT_EQ("0 uemf_check: 5 files checked, 0 bad\n", Check(one + " " + dir));
    EXPECT_EQ("0 uemf_check: 4 files checked, 0 bad\n", Check("--min-files 4 " + dir));
    EXPECT_EQ("1 uemf_check: 4 files checked, 0 bad\nuemf_check: expected at least 5 files\n",
              Check("--min-files 5 " + dir));
    EXPECT_EQ(0u, Check("--bogus").find("2 usage: uemf_check"));
}

struct Broken {
    const char *name;
    const uint8_t *sample;
    size_t size;
    size_t at;
    uint32_t value;
    const char *expect;
};

#define SAMPLE(s) s, sizeof s

TEST(UemfCheck, RejectsBrokenFiles)
{
    const Broken rows[] = {
        {"points beyond the record", SAMPLE(kSampleD01), 132, 4,
         "record 1 at offset 108: U_emf_record_safe rejects the record"},
        {"record past the end", SAMPLE(kSampleD01), 112, 64,
         "record 1 at offset 108: U_emf_record_sizeok rejects the record"},
        {"record size 0", SAMPLE(kSampleD01), 112, 0,
         "record 1 at offset 108: record size below 8 or not a multiple of 4"},
        {"text longer than the record", SAMPLE(kSampleT00), 152, 20,
         "record 1 at offset 108: U_emf_record_safe rejects the record"},
        {"bitmap bits past the record", SAMPLE(kSampleB05), 168, 20,
         "record 1 at offset 108: U_emf_record_safe rejects the record"},
        {"nBytes", SAMPLE(kSampleD01), 48, 172, "record 0 at offset 0: nBytes 172, file size 168"},
        {"nRecords", SAMPLE(kSampleD01), 52, 4,
         "record 0 at offset 0: nRecords 4, records in the file 3"},
        {"no final EOF", SAMPLE(kSampleD01), 148, 70,
         "record 2 at offset 148: the file does not end with EMR_EOF"},
        {"signature", SAMPLE(kSampleD01), 40, 0,
         "record 0 at offset 0: the first record is not an EMF header"},
        {"a second header", SAMPLE(kSampleO08), 136, 1, "record 2 at offset 136: a second header"},
    };
    for (const Broken &row : rows) {
        SCOPED_TRACE(row.name);
        Bytes b(row.sample, row.sample + row.size);
        Put32(b, row.at, row.value);
        std::string path = WriteTemp(b, "uemf_broken.emf");
        std::string good = WriteTemp(ToBytes(kSampleD01), "uemf_good.emf");
        EXPECT_EQ("1 uemf_check: " + path + ": " + row.expect +
                      "\nuemf_check: 2 files checked, 1 bad\n",
                  Check(good + " " + path));
    }
}

} // namespace
