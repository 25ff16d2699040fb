/* Racing jobs: several processes, each with several threads, run whole jobs at once on one drive
 * C: (spool path, metafile DC, every drawing family, close, hand-off to a program that does
 * nothing), with job numbers of their own or shared among them. Then, from the reports the
 * processes leave:
 *   - no spool name was handed out twice;
 *   - every spool metafile is read whole by the reader, the same records as a job run alone;
 *   - every export returned what it returns for a job run alone;
 *   - a job file is whole and names a metafile of its own number, handed over by a call that
 *     succeeded; it is absent where the only hand-offs of its number failed.
 * With --print the program is tavlinqx-print instead: that many jobs handed over at once must
 * give that many pages, each the page the program prints for the same job alone.
 *
 * race_test [--processes P] [--threads T] [--jobs J] [--collide N] [--print PROGRAM]
 * Exits 0 when every check holds, 1 with the failures listed otherwise. */
#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "emf_reader.h"
#include "every_family.h"
#include "fresh_drive.h"
#include "print_program.h"
#include "standin.h"
#include "tavlinqx.h"

extern char **environ;

namespace {

struct Options {
    int processes = 4, threads = 4, jobs = 20;
    int collide = 0;             /* 0: a number per job; else numbers 1 to collide, shared */
    std::string print;           /* the print program's host path; empty: a program doing nothing */
    int child = -1;              /* the process's index when it is one of the racers */
    std::string report;
};

/* What one job did: its number, spool metafile (DOS path), hand-off result, and whether every
 * other export returned what a job run alone got. */
struct Outcome {
    int number;
    std::string spool;
    int handOff;
    bool sameResults;
};

/* The number of the jobs run alone, outside every race's numbers. */
const int kAloneNumber = 999999;

int g_failures;

void Fail(const std::string &what)
{
    if (g_failures++ < 20)
        fprintf(stderr, "race_test: %s\n", what.c_str());
}

/* The print program's description: C:\APP\P.EXE (a link to true(1)), or the given program. */
PrintProgram32 Program(const Options &o)
{
    if (o.print.empty())
        return TestPrintProgram("C:\\APP\\", "P.EXE");
    size_t slash = o.print.rfind('/');
    return TestPrintProgram(o.print.substr(0, slash + 1).c_str(), o.print.substr(slash + 1).c_str());
}

/* One whole job; expected is what the exports return for a job run alone (empty: not compared). */
Outcome RunJob(int number, const PrintProgram32 &program, const std::vector<INT> &expected,
               std::vector<INT> *results = NULL)
{
    Outcome out = {number, "", -1, false};
    PrintJob32 job;
    memset(&job, 0, sizeof job);
    job.JobNumber = number;
    std::vector<INT> got;
    got.push_back(GetEmfFilePath32(job.MetafilePath));
    HDC dc = NULL;
    got.push_back(GetEmfFileDC32(NULL, "DISPLAY", job.MetafilePath, NULL, NULL, NULL, &dc));
    if (got.back() == 0) {
        std::vector<INT> drawn = DrawEveryFamily(&dc);
        got.insert(got.end(), drawn.begin(), drawn.end());
        got.push_back(CloseEmfFile32(&dc));
    }
    out.spool = job.MetafilePath;
    out.handOff = ZVLPrintEMF32(&job, &program);
    out.sameResults = got == expected;
    if (results)
        *results = got;
    return out;
}

/* The racer: threads, each running its share of jobs; one line per job in the report. */
int RunChild(const Options &o)
{
    PrintProgram32 program = Program(o);
    std::vector<INT> expected;
    RunJob(kAloneNumber, program, {}, &expected); /* alone, before the race */
    std::vector<std::vector<Outcome>> outcomes((size_t)o.threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < o.threads; t++) {
        threads.emplace_back([&, t] {
            for (int j = 0; j < o.jobs; j++) {
                int serial = (o.child * o.threads + t) * o.jobs + j;
                int number = o.collide ? serial % o.collide + 1 : serial + 1;
                outcomes[(size_t)t].push_back(RunJob(number, program, expected));
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    std::ofstream report(o.report);
    for (const std::vector<Outcome> &list : outcomes)
        for (const Outcome &out : list)
            report << out.number << ' ' << out.handOff << ' ' << out.sameResults << ' ' << out.spool << '\n';
    return report.good() ? 0 : 1;
}

std::string HostPath(const std::string &dos)
{
    char host[4096];
    return StandinMapPath(dos.c_str(), host, sizeof host) == 0 ? host : "";
}

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return in ? bytes.str() : "(none)";
}

/* Starts the racers and waits for them all; their outcomes, or none when one failed. */
std::vector<Outcome> Race(const Options &o, const char *self)
{
    std::vector<pid_t> children;
    std::vector<std::string> reports;
    for (int k = 0; k < o.processes; k++) {
        reports.push_back(std::string(StandinRootFolder()) + "/race-" + std::to_string(k) + ".txt");
        std::vector<std::string> args = {self, "--child", std::to_string(k), "--report", reports.back(),
                                         "--threads", std::to_string(o.threads), "--jobs", std::to_string(o.jobs),
                                         "--collide", std::to_string(o.collide), "--print", o.print};
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(&a[0]);
        argv.push_back(NULL);
        pid_t pid;
        if (posix_spawn(&pid, self, NULL, NULL, argv.data(), environ) != 0) {
            Fail("a racer cannot be started");
            continue;
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            Fail("a racer ended with status " + std::to_string(status));
    }
    std::vector<Outcome> all;
    for (const std::string &path : reports) {
        std::ifstream in(path);
        Outcome out;
        while (in >> out.number >> out.handOff >> out.sameResults >> out.spool)
            all.push_back(out);
    }
    return all;
}

/* Every spool name once, and every spool metafile whole: the records of the job run alone. */
void CheckSpools(const std::vector<Outcome> &all, uint32_t records, uint32_t bytes)
{
    std::set<std::string> names;
    for (const Outcome &out : all) {
        if (!names.insert(out.spool).second)
            Fail("the spool name " + out.spool + " was handed out twice");
        if (!out.sameResults)
            Fail("job " + std::to_string(out.number) + "'s exports returned otherwise than alone");
        EmfFile file;
        char error[256] = "";
        if (EmfLoadFile(HostPath(out.spool).c_str(), &file, error, sizeof error) != 0) {
            Fail(out.spool + " is refused: " + error);
            continue;
        }
        if (file.count != records || file.size != bytes)
            Fail(out.spool + " holds " + std::to_string(file.count) + " records, not " + std::to_string(records));
        EmfFree(&file);
    }
    printf("%zu jobs raced, %zu spool names, %zu collisions\n", all.size(), names.size(), all.size() - names.size());
}

/* Each number's job file: whole, naming the metafile of a job of that number whose hand-off
 * succeeded; absent when none did. */
void CheckJobFiles(const std::vector<Outcome> &all, const PrintProgram32 &program)
{
    std::string aux = std::string(program.ProgramDir) + program.AuxFile;
    std::map<int, std::set<std::string>> handedOver, tried;
    for (const Outcome &out : all) {
        tried[out.number].insert(out.spool);
        if (out.handOff == 0)
            handedOver[out.number].insert(out.spool);
    }
    int failed = 0;
    for (const auto &number : tried) {
        char name[32];
        snprintf(name, sizeof name, "QOR%05d.JBX", number.first);
        std::string bytes = ReadAll(std::string(StandinRootFolder()) + "/TEMP/" + name);
        const std::set<std::string> &ok = handedOver[number.first];
        failed += (int)(number.second.size() - ok.size());
        if (bytes == "(none)") {
            if (!ok.empty() && number.second.size() == ok.size() && number.second.size() == 1)
                Fail(std::string(name) + " is missing though its hand-off succeeded");
            continue;
        }
        std::string metafile = bytes.size() == 528 ? std::string(bytes.c_str() + 8) : "";
        if (bytes.size() != 528 || bytes.compare(0, 4, std::string("\x01\0\0\0", 4)) != 0 ||
            std::string(bytes.c_str() + 268) != aux || ok.count(metafile) == 0)
            Fail(std::string(name) + " is not the whole job file of a hand-off of its number");
    }
    printf("%zu job numbers, %d hand-offs refused\n", tried.size(), failed);
}

/* The print program's pages: each job's PNG is the one it prints for the first job alone. */
void CheckPages(const std::vector<Outcome> &all, const std::string &program)
{
    std::string first = HostPath(all.at(0).spool), reference = std::string(StandinRootFolder()) + "/alone.png";
    std::string command = program + " " + first + " -o " + reference + " > /dev/null";
    if (system(command.c_str()) != 0) {
        Fail("the print program cannot print " + first + " alone");
        return;
    }
    std::string want = ReadAll(reference);
    int pages = 0;
    for (const Outcome &out : all) {
        std::string folder = HostPath(out.spool);
        folder.resize(folder.rfind('/'));
        char name[32];
        snprintf(name, sizeof name, "/job%05d.", out.number);
        /* The PDF is put in place last: once it is there, the program is done. */
        for (int wait = 0; wait < 1200 && ReadAll(folder + name + "pdf") == "(none)"; wait++)
            usleep(100 * 1000);
        if (ReadAll(folder + name + "png") == want)
            pages++;
        else
            Fail("job " + std::to_string(out.number) + "'s page is not the page printed alone");
    }
    printf("%zu hand-offs to the print program, %d correct pages\n", all.size(), pages);
}

bool Parse(int argc, char **argv, Options *o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i], value = argv[i + 1];
        if (name == "--processes") o->processes = atoi(value.c_str());
        else if (name == "--threads") o->threads = atoi(value.c_str());
        else if (name == "--jobs") o->jobs = atoi(value.c_str());
        else if (name == "--collide") o->collide = atoi(value.c_str());
        else if (name == "--print") o->print = value;
        else if (name == "--child") o->child = atoi(value.c_str());
        else if (name == "--report") o->report = value;
        else return false;
    }
    return argc % 2 == 1 && o->processes > 0 && o->threads > 0 && o->jobs > 0 && o->collide >= 0;
}

/* Drive C: in a fresh folder, with the program that does nothing in C:\APP. */
bool MakeDrive()
{
    static char root[] = "/tmp/tavlinqx-race-XXXXXX";
    if (!UseFreshDrive(root))
        return false;
    std::string app = std::string(StandinRootFolder()) + "/APP";
    return mkdir(app.c_str(), 0777) == 0 && symlink("/bin/true", (app + "/P.EXE").c_str()) == 0;
}

} /* namespace */

int main(int argc, char **argv)
{
    Options o;
    if (!Parse(argc, argv, &o)) {
        fprintf(stderr, "usage: race_test [--processes P] [--threads T] [--jobs J] [--collide N] [--print PROGRAM]\n");
        return 2;
    }
    if (o.child >= 0)
        return RunChild(o);
    if (!MakeDrive()) {
        perror("race_test: drive C:");
        return 1;
    }
    std::vector<INT> results;
    Outcome alone = RunJob(kAloneNumber, Program(o), {}, &results);
    EmfFile file;
    if (EmfLoadFile(HostPath(alone.spool).c_str(), &file, NULL, 0) != 0) {
        fprintf(stderr, "race_test: a job run alone is refused\n");
        return 1;
    }
    uint32_t records = file.count, bytes = file.size;
    EmfFree(&file);
    std::vector<Outcome> all = Race(o, "/proc/self/exe");
    if (all.size() != (size_t)(o.processes * o.threads * o.jobs))
        Fail(std::to_string(all.size()) + " jobs reported, not " + std::to_string(o.processes * o.threads * o.jobs));
    CheckSpools(all, records, bytes);
    CheckJobFiles(all, Program(o));
    if (!o.print.empty())
        CheckPages(all, o.print);
    return g_failures ? 1 : 0;
}
