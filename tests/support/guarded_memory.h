/* Memory that ends where an inaccessible page begins, so that a read one byte past a caller's
 * buffer faults at once, with or without a sanitizer. */
#ifndef TAVLINQX_TESTS_GUARDED_MEMORY_H
#define TAVLINQX_TESTS_GUARDED_MEMORY_H

#include <stddef.h>
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

class Guarded {
public:
    Guarded() = default;
    Guarded(const Guarded &) = delete;
    Guarded &operator=(const Guarded &) = delete;
    ~Guarded()
    {
        if (mapping_ != MAP_FAILED)
            munmap(mapping_, size_);
    }

    /* bytes of writable memory whose last byte lies just before the guard page; NULL when the
     * mapping cannot be had. Each Guarded hands out one buffer. */
    void *End(size_t bytes)
    {
        size_t page = (size_t)sysconf(_SC_PAGESIZE);
        size_t usable = (bytes + page - 1) / page * page;
        size_ = usable + page;
        mapping_ = mmap(NULL, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping_ == MAP_FAILED || mprotect((uint8_t *)mapping_ + usable, page, PROT_NONE) != 0)
            return NULL;
        return (uint8_t *)mapping_ + usable - bytes;
    }

private:
    void *mapping_ = MAP_FAILED;
    size_t size_ = 0;
};

#endif
