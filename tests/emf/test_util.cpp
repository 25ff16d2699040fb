/* Shared pieces of the EMF tool suites (see test_util.h). */
#include "test_util.h"

#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

void Put32(Bytes &b, size_t off, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b.at(off + i) = (uint8_t)(v >> (8 * i));
}

Bytes Record(std::initializer_list<uint32_t> dwords)
{
    Bytes r(dwords.size() * 4);
    size_t i = 0;
    for (uint32_t d : dwords)
        Put32(r, 4 * i++, d);
    return r;
}

Bytes BuildEmf(const std::vector<Bytes> &records, uint16_t nHandles)
{
    Bytes out(kSampleD01, kSampleD01 + 108);
    for (const Bytes &r : records)
        out.insert(out.end(), r.begin(), r.end());
    out.insert(out.end(), kSampleD01 + 148, kSampleD01 + 168);
    Put32(out, 48, (uint32_t)out.size());
    Put32(out, 52, (uint32_t)records.size() + 2);
    out[56] = (uint8_t)nHandles;
    out[57] = (uint8_t)(nHandles >> 8);
    return out;
}

static char temp_path[] = "/tmp/emf_tests.XXXXXX";

static int temp_remove(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path);
}

static void temp_cleanup()
{
    nftw(temp_path, temp_remove, 8, FTW_DEPTH | FTW_PHYS);
}

/* One folder per test process, removed when the process ends. */
static std::string temp_dir()
{
    static bool made = false;
    if (!made) {
        if (mkdtemp(temp_path) == NULL)
            abort();
        atexit(temp_cleanup);
        made = true;
    }
    return temp_path;
}

std::string WriteTemp(const Bytes &b, const std::string &name)
{
    std::string path = temp_dir() + "/" + name;
    FILE *f = fopen(path.c_str(), "wb");
    if (f == NULL || (!b.empty() && fwrite(b.data(), 1, b.size(), f) != b.size()) || fclose(f) != 0)
        abort();
    return path;
}

RunResult RunTool(const std::string &command)
{
    RunResult r = {-1, ""};
    FILE *p = popen((command + " 2>&1").c_str(), "r");
    if (p == NULL)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    int status = pclose(p);
    if (status != -1 && WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    return r;
}

std::string SampleDir()
{
    struct stat st;
    if (stat(EMF_SAMPLE_DIR, &st) != 0 || !S_ISDIR(st.st_mode))
        return "";
    return EMF_SAMPLE_DIR;
}

std::vector<std::string> SampleFiles()
{
    std::vector<std::string> files;
    std::string dir = SampleDir();
    DIR *d = dir.empty() ? NULL : opendir(dir.c_str());
    if (d == NULL)
        return files;
    while (struct dirent *e = readdir(d)) {
        size_t n = strlen(e->d_name);
        if (n > 4 && strcmp(e->d_name + n - 4, ".emf") == 0)
            files.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}
