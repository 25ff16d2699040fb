/* libFuzzer target over ZVLPrintEMF32: every string at and one past its limit, with and without
 * its NUL, job numbers and flags at their edges, record sizes off by one. Within the callers'
 * contract: both records are exactly their size, in blocks of their own, so a read past either
 * is caught. The print program is a link to true(1) in C:\APP and in a folder whose path is
 * 244 characters long, so that hand-offs near the limits start a program too.
 *
 * After each hand-off: a result of 0 needs every string terminated and within its limit, and
 * leaves the job file whole (528 bytes, as the records give them); -1 leaves no job file. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fresh_drive.h"
#include "fuzz_input.h"
#include "standin.h"
#include "tavlinqx.h"
#include "winapi.h"

namespace {

const int32_t kNumbers[] = {0, 1, 42, 99999, 100000, -1, -99999, INT32_MAX, INT32_MIN, 1234567890};
const int32_t kFlags[] = {0, PRINTJOB_ALLOW_ZERO, (int32_t)0x80000001, ~PRINTJOB_ALLOW_ZERO, -1};
const int32_t kSizes[] = {sizeof(PrintProgram32), sizeof(PrintProgram32), sizeof(PrintProgram32),
                          sizeof(PrintProgram32) - 1, sizeof(PrintProgram32) + 1, 0};
/* A folder of the drive whose DOS path is 244 characters long, holding the program too. */
const std::string &LongFolder()
{
    static const std::string folder = "C:\\" + std::string(240, 'D') + "\\";
    return folder;
}

/* A string field of size bytes: a length from the input or at an edge (0, 1, the field less
 * one, the whole field without a NUL), the text repeated to that length, and bytes after the NUL
 * that must never be read as part of it. */
void FuzzField(FuzzInput *in, CHAR *field, size_t size, const char *text)
{
    const size_t edges[] = {0, 1, size - 2, size - 1, size, strlen(text)};
    uint32_t how = FuzzTake(in, 1);
    size_t length = how % 2 ? edges[how / 2 % (sizeof edges / sizeof edges[0])] : FuzzTake(in, 2) % (size + 1);
    size_t textLength = strlen(text);
    for (size_t i = 0; i < size; i++)
        field[i] = i < length ? text[textLength ? i % textLength : 0] : (CHAR)('a' + FuzzTake(in, 1) % 26);
    if (length < size)
        field[length] = '\0';
}

/* ProgramDir: empty, one of the folders holding the program, or a length near a limit. */
void FuzzFolder(FuzzInput *in, PrintProgram32 *program)
{
    CHAR *dir = program->ProgramDir;
    switch (FuzzTake(in, 1) % 5) {
    case 0: dir[0] = '\0'; break;
    case 1: strcpy(dir, "C:\\APP\\"); break;
    case 2: strcpy(dir, LongFolder().c_str()); break;
    case 3: FuzzField(in, dir, sizeof program->ProgramDir, "C:\\APP\\"); break;
    default: {
        /* Around the sum limits: the folder with the auxiliary file, with the quoted program. */
        size_t aux = strnlen(program->AuxFile, sizeof program->AuxFile);
        size_t file = strnlen(program->ProgramFile, sizeof program->ProgramFile);
        const size_t targets[] = {MAX_PATH - 1 - aux, MAX_PATH - aux, MAX_PATH - 3 - file, MAX_PATH - 2 - file,
                                  MAX_PATH - 6 - file, MAX_PATH - 1};
        size_t length = targets[FuzzTake(in, 1) % (sizeof targets / sizeof targets[0])] + FuzzTake(in, 1) % 3 - 1;
        length = length < MAX_PATH ? length : MAX_PATH;
        memset(dir, 'D', MAX_PATH);
        memcpy(dir, "C:\\", 3);
        if (length > 3)
            dir[length - 1] = '\\';
        if (length < MAX_PATH)
            dir[length] = '\0';
    }
    }
}

/* The bytes the job file must hold for an accepted hand-off. */
std::string ExpectedJobFile(const PrintJob32 *job, const PrintProgram32 *program)
{
    std::string bytes(528, '\0');
    uint32_t one = 1;
    memcpy(&bytes[0], &one, 4);
    memcpy(&bytes[4], &job->Flags, 4);
    memcpy(&bytes[8], job->MetafilePath, strlen(job->MetafilePath));
    std::string second = std::string(program->ProgramDir) + program->AuxFile;
    memcpy(&bytes[268], second.data(), second.size());
    return bytes;
}

/* Whether the hand-off may accept the records: the checks a job must pass, every string it copies
 * terminated inside its field, and every joined one within its 260-byte buffer. The two required
 * names are only tested for being empty, never copied, so they need no NUL. */
bool Acceptable(const PrintJob32 *job, const PrintProgram32 *program)
{
    if ((job->JobNumber == 0 && !(job->Flags & PRINTJOB_ALLOW_ZERO)) || program->Size != sizeof *program ||
        !program->RequiredName1[0] || !program->AuxFile[0] || !program->RequiredName2[0] || !program->ProgramFile[0])
        return false;
    size_t metafile = strnlen(job->MetafilePath, MAX_PATH), dir = strnlen(program->ProgramDir, MAX_PATH);
    size_t aux = strnlen(program->AuxFile, 32), file = strnlen(program->ProgramFile, 32);
    char number[16];
    size_t digits = (size_t)snprintf(number, sizeof number, "%d", job->JobNumber);
    return metafile < MAX_PATH && dir < MAX_PATH && aux < 32 && file < 32 && dir + aux < MAX_PATH &&
           dir + file + 2 + 1 + digits < MAX_PATH;
}

std::string ReadHost(const char *path)
{
    std::string bytes;
    FILE *f = fopen(path, "rb");
    if (f == NULL)
        return "(none)";
    char chunk[1024];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
        bytes.append(chunk, n);
    fclose(f);
    return bytes;
}

/* The job file's host path for a job number, found as the hand-off finds it. */
void JobFileHostPath(INT number, char *host, size_t size)
{
    char dos[2 * MAX_PATH], name[32];
    DWORD folder = GetTempPathA(MAX_PATH, dos);
    wsprintfA(name, "QOR%05ld.JBX", number);
    if (folder == 0 || folder >= MAX_PATH || strlen(dos) + strlen(name) >= sizeof dos)
        abort();
    strcat(dos, name);
    if (StandinMapPath(dos, host, size) != 0)
        abort();
}

} /* namespace */

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static char root[] = "/tmp/tavlinqx-fuzz-XXXXXX";
    if (!UseFreshDrive(root))
        return -1;
    std::string app = std::string(StandinRootFolder()) + "/APP";
    std::string deep = std::string(StandinRootFolder()) + "/" + LongFolder().substr(3, LongFolder().size() - 4);
    for (const std::string &folder : {app, deep})
        if (mkdir(folder.c_str(), 0777) != 0 || symlink("/bin/true", (folder + "/P.EXE").c_str()) != 0)
            return -1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in = {data, size, 0};
    std::vector<PrintJob32> job(1);
    std::vector<PrintProgram32> program(1);
    PrintJob32 *j = job.data();
    PrintProgram32 *p = program.data();
    j->JobNumber = FuzzTake(&in, 1) % 2 ? FuzzPick(&in, kNumbers, FUZZ_COUNT(kNumbers)) : FuzzEdge(&in);
    j->Flags = (DWORD)(FuzzTake(&in, 1) % 2 ? FuzzPick(&in, kFlags, FUZZ_COUNT(kFlags)) : (int32_t)FuzzTake(&in, 4));
    FuzzField(&in, j->MetafilePath, sizeof j->MetafilePath, "C:\\WINDOWS\\temp\\EMF");
    p->Size = (DWORD)(FuzzTake(&in, 1) % 8 ? FuzzPick(&in, kSizes, FUZZ_COUNT(kSizes)) : (int32_t)FuzzTake(&in, 4));
    p->Reserved = FuzzTake(&in, 4);
    FuzzField(&in, p->RequiredName1, sizeof p->RequiredName1, "NAME1");
    FuzzField(&in, p->AuxFile, sizeof p->AuxFile, "AUX.INI");
    FuzzField(&in, p->RequiredName2, sizeof p->RequiredName2, "NAME2");
    if (FuzzTake(&in, 1) % 2)
        strcpy(p->ProgramFile, "P.EXE");
    else
        FuzzField(&in, p->ProgramFile, sizeof p->ProgramFile, "P.EXE");
    FuzzFolder(&in, p);

    char host[4096];
    JobFileHostPath(j->JobNumber, host, sizeof host);
    unlink(host);
    const PrintJob32 *given = FuzzTake(&in, 1) % 64 ? j : NULL;
    const PrintProgram32 *described = FuzzTake(&in, 1) % 64 ? p : NULL;
    INT result = ZVLPrintEMF32(given, described);
    std::string written = ReadHost(host);
    if (result == 0 && (!given || !described || !Acceptable(j, p))) {
        fprintf(stderr, "a hand-off of records it must refuse was accepted\n");
        abort();
    }
    if (result == 0 && written != ExpectedJobFile(j, p)) {
        std::string expected = ExpectedJobFile(j, p);
        size_t at = 0;
        while (at < written.size() && at < expected.size() && written[at] == expected[at])
            at++;
        fprintf(stderr, "an accepted hand-off left a job file of %zu bytes, differing from byte %zu\n",
                written.size(), at);
        abort();
    }
    if (result != 0 && written != "(none)") {
        fprintf(stderr, "a refused hand-off (%d) left its job file\n", (int)result);
        abort();
    }
    unlink(host);
    return 0;
}
