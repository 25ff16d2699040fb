/* The small filesystems of the full-disk tests. */
#include "small_disk.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

const size_t kTmpfsBytes = 4 << 20;
const char kFiller[] = "/.filler";

rlim_t g_savedLimit = RLIM_INFINITY;

} /* namespace */

SmallDisk::~SmallDisk()
{
    Release();
    if (mounted_)
        umount2(folder_.c_str(), MNT_DETACH);
}

bool SmallDisk::Make(const std::string &folder)
{
    folder_ = folder;
    mkdir(folder.c_str(), 0777);
    std::string options = "size=" + std::to_string(kTmpfsBytes) + ",mode=0777";
    const char *how = getenv(SMALL_DISK_ENV);
    bool limitOnly = how != NULL && strcmp(how, "limit") == 0;
    mounted_ = !limitOnly && mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    if (!mounted_) {
        struct rlimit limit;
        if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
            return false;
        g_savedLimit = limit.rlim_cur;
        signal(SIGXFSZ, SIG_IGN);
    }
    return true;
}

bool SmallDisk::Leave(size_t room)
{
    Release();
    if (!mounted_) {
        struct rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = room;
        limited_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
        return limited_;
    }
    /* Fill the tmpfs, then give back room bytes of the filler. */
    std::string filler = folder_ + kFiller;
    int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    std::vector<char> chunk(64 << 10, 'f');
    off_t written = 0;
    for (ssize_t n; (n = write(fd, chunk.data(), chunk.size())) > 0;)
        written += n;
    bool full = errno == ENOSPC;
    off_t page = (off_t)sysconf(_SC_PAGESIZE), pages = ((off_t)room + page - 1) / page * page;
    bool ok = full && ftruncate(fd, written > pages ? written - pages : 0) == 0;
    close(fd);
    return ok;
}

void SmallDisk::Release()
{
    if (mounted_) {
        unlink((folder_ + kFiller).c_str());
    } else if (limited_) {
        struct rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = g_savedLimit;
        setrlimit(RLIMIT_FSIZE, &limit);
        limited_ = false;
    }
}
