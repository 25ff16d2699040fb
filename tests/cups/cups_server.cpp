/* The tests' own CUPS server (cups_server.h). */
#include "cups_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char **environ;

namespace {

const int kStartSeconds = 30;

/* capture:/FILE copies each job's document to FILE, whole or not at all. Without arguments a
 * backend lists the devices it finds; this one finds none. Mode 0700 makes cupsd run it as the
 * user cupsd runs as, not as lp, so it may write into the server's folder. */
const char kCaptureBackend[] = "#!/bin/sh\n"
                               "[ $# -eq 0 ] && exit 0\n"
                               "out=${DEVICE_URI#capture:}\n"
                               "if [ $# -ge 6 ]; then cp \"$6\" \"$out.part\"; else cat > \"$out.part\"; fi &&\n"
                               "    mv \"$out.part\" \"$out\"\n";

bool WriteText(const std::string &path, const std::string &text, mode_t mode)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out.good() && chmod(path.c_str(), mode) == 0;
}

bool CopyFile(const std::string &from, const std::string &to, mode_t mode)
{
    std::ifstream in(from, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return in.good() && WriteText(to, bytes.str(), mode);
}

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path) == 0 ? 0 : -1;
}

double Now()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

bool Answers(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons((uint16_t)port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool answers = fd >= 0 && connect(fd, (struct sockaddr *)&at, sizeof at) == 0;
    if (fd >= 0)
        close(fd);
    return answers;
}

/* Runs argv with its output appended to log; true when it exits with status 0. */
bool RunLogged(const std::vector<std::string> &argv, const std::string &log, std::string *error)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(NULL);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid;
    int err = posix_spawn(&pid, args[0], &actions, NULL, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (err == 0)
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    if (err == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    *error = argv[0] + (err ? std::string(": ") + strerror(err) : std::string(" failed")) + "\n" + text.str();
    return false;
}

} /* namespace */

int CupsFreePort(void)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    int port = 0;
    if (fd >= 0 && bind(fd, (struct sockaddr *)&at, sizeof at) == 0 &&
        getsockname(fd, (struct sockaddr *)&at, &size) == 0)
        port = ntohs(at.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

CupsServer::~CupsServer()
{
    Stop();
    if (!folder_.empty())
        nftw(folder_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string CupsServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string CupsServer::Capture(const std::string &queue) const { return folder_ + "/" + queue + ".out"; }

std::string CupsServer::Log() const
{
    std::ifstream in(folder_ + "/log/error_log");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/* The folder's layout: the configuration, the folders cupsd writes, and ServerBin, which links
 * the system's helpers (cups-exec, which starts backends, and cups-driverd among them) and holds
 * capture as its only backend. */
bool CupsServer::Configure(std::string *error)
{
    const std::string &f = folder_;
    for (const char *sub : {"/bin", "/bin/backend", "/spool", "/state", "/cache", "/log", "/tmp"}) {
        if (mkdir((f + sub).c_str(), 0755) != 0) {
            *error = f + sub + ": " + strerror(errno);
            return false;
        }
    }
    for (const char *sub : {"daemon", "filter", "driver", "monitor", "notifier", "cgi-bin"}) {
        std::string target = std::string(TAVLINQX_CUPS_SERVERBIN) + "/" + sub;
        if (access(target.c_str(), F_OK) == 0 && symlink(target.c_str(), (f + "/bin/" + sub).c_str()) != 0) {
            *error = f + "/bin/" + sub + ": " + strerror(errno);
            return false;
        }
    }
    std::string files = "ServerRoot " + f + "\nServerBin " + f + "/bin\nRequestRoot " + f +
                        "/spool\nStateDir " + f + "/state\nCacheDir " + f + "/cache\nTempDir " + f +
                        "/tmp\nAccessLog " + f + "/log/access_log\nErrorLog " + f +
                        "/log/error_log\nPageLog " + f + "/log/page_log\n";
    /* Loopback only, no browsing, no printcap; anyone on loopback may administer it. */
    std::string conf = "Listen 127.0.0.1:" + std::to_string(port_) +
                       "\nBrowsing No\nWebInterface No\nPrintcap\nLogLevel info\nDefaultAuthType None\n"
                       "<Location />\n  Order allow,deny\n  Allow 127.0.0.1\n</Location>\n"
                       "<Policy default>\n"
                       "  JobPrivateAccess all\n  JobPrivateValues none\n"
                       "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
                       "  <Limit All>\n    Order allow,deny\n    Allow 127.0.0.1\n  </Limit>\n"
                       "</Policy>\n";
    if (!WriteText(f + "/cups-files.conf", files, 0644) || !WriteText(f + "/cupsd.conf", conf, 0644) ||
        !WriteText(f + "/bin/backend/capture", kCaptureBackend, 0700) ||
        !CopyFile(TAVLINQX_CUPSD, f + "/cupsd", 0755)) {
        *error = "cannot lay out " + f;
        return false;
    }
    return true;
}

bool CupsServer::Start(const std::string &parent, std::string *error)
{
    mkdir(parent.c_str(), 0755);
    std::string name = parent + "/cupsd-XXXXXX";
    if (mkdtemp(&name[0]) == NULL) {
        *error = name + ": " + strerror(errno);
        return false;
    }
    folder_ = name;
    port_ = CupsFreePort();
    if (port_ == 0 || !Configure(error))
        return false;
    std::string program = folder_ + "/cupsd", conf = folder_ + "/cupsd.conf", files = folder_ + "/cups-files.conf";
    char *argv[] = {&program[0], (char *)"-f", (char *)"-c", &conf[0], (char *)"-s", &files[0], NULL};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (folder_ + "/log/stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    int err = posix_spawn(&pid_, argv[0], &actions, NULL, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        pid_ = -1;
        *error = program + ": " + strerror(err);
        return false;
    }
    for (double end = Now() + kStartSeconds; Now() < end; usleep(20000)) {
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            *error = "cupsd exited at once:\n" + Log();
            return false;
        }
        if (Answers(port_))
            return true;
    }
    *error = "cupsd does not answer on " + Address() + ":\n" + Log();
    return false;
}

void CupsServer::Stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    while (waitpid(pid_, NULL, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

bool CupsServer::Lpadmin(const std::vector<std::string> &args, std::string *error)
{
    std::vector<std::string> argv = {TAVLINQX_LPADMIN, "-h", Address()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunLogged(argv, folder_ + "/log/lpadmin", error);
}

bool CupsServer::AddQueue(const std::string &name, const std::vector<std::string> &args, std::string *error)
{
    std::vector<std::string> all = {"-p", name, "-v", "capture:" + Capture(name)};
    all.insert(all.end(), args.begin(), args.end());
    return Lpadmin(all, error);
}
