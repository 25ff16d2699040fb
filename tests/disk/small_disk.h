/* A folder whose writes run out of room where a test says: a tmpfs of its own where this process
 * may mount one (as root), else an ordinary folder whose writes stop at a file-size limit
 * (RLIMIT_FSIZE, with SIGXFSZ ignored so that a write past it fails with EFBIG). A tmpfs fails
 * writes with ENOSPC once the folder as a whole is full; the limit fails them once any one file
 * reaches it, in this process and the programs it starts. $TAVLINQX_SMALL_DISK=limit takes the
 * limit even where a tmpfs could be mounted. */
#ifndef TAVLINQX_TESTS_SMALL_DISK_H
#define TAVLINQX_TESTS_SMALL_DISK_H

#include <stddef.h>

#include <string>

#define SMALL_DISK_ENV "TAVLINQX_SMALL_DISK"

class SmallDisk {
public:
    SmallDisk() = default;
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    ~SmallDisk();

    /* Makes folder (created if missing) small. Returns false when it can do neither. */
    bool Make(const std::string &folder);
    /* From now on, room more bytes may be written (on a tmpfs, rounded up to whole pages). */
    bool Leave(size_t room);
    /* Writes may fill the folder again (the filler goes, the limit is lifted). */
    void Release();
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
    bool limited_ = false;
};

#endif
