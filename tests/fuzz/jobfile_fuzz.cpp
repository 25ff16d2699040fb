/* libFuzzer target over the print program's job-file parser: any bytes as a job file. A job it
 * accepts is exactly 528 bytes starting with 1, and its fields are the file's: the flags at 4,
 * and at 8 and 268 the two paths, each terminated inside its 260 bytes, the first not empty. A
 * refused one gets a terminated reason, whatever room the reason has. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_input.h"
#include "job.h"

namespace {

void Fail(const char *what)
{
    fprintf(stderr, "%s\n", what);
    abort();
}

/* Whether field (260 bytes of the file) holds a terminated string equal to text. */
bool FieldHolds(const uint8_t *field, const char *text)
{
    const uint8_t *nul = (const uint8_t *)memchr(field, 0, JOB_PATH_SIZE);
    return nul != NULL && strlen(text) == (size_t)(nul - field) && memcmp(field, text, strlen(text)) == 0;
}

} /* namespace */

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char error[256];
    size_t room = FuzzReasonRoom(data, size, error, sizeof error);
    JobFile job;
    if (JobParse(data, size, &job, error, room) == 0) {
        uint32_t first, flags;
        if (size != JOB_FILE_SIZE)
            Fail("a job file of the wrong size was accepted");
        memcpy(&first, data, 4);
        memcpy(&flags, data + 4, 4);
        if (first != 1 || flags != job.flags)
            Fail("an accepted job's numbers are not the file's");
        if (!FieldHolds(data + JOB_METAFILE_AT, job.metafilePath) || !FieldHolds(data + JOB_AUX_AT, job.auxPath) ||
            job.metafilePath[0] == '\0')
            Fail("an accepted job's paths are not the file's");
        return 0;
    }
    FuzzCheckReason(error, room, sizeof error);
    return 0;
}
