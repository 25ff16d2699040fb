/* Hands an EMF a test made to the uemf_check pass that runs after all tests
 * (cmake/EmfChecks.cmake explains the mechanism). */
#ifndef TAVLINQX_EMF_KEEP_H
#define TAVLINQX_EMF_KEEP_H

#include <stdio.h>
#include <stdlib.h>

/* Writes size bytes as $TAVLINQX_EMF_OUT/name.emf. Returns 0, doing nothing, when the variable
 * is unset or empty (the test runs outside the checked suite), and -1 when the copy fails. */
inline int EmfKeepBytesForCheck(const void *data, size_t size, const char *name)
{
    const char *dir = getenv("TAVLINQX_EMF_OUT");
    if (dir == NULL || dir[0] == '\0')
        return 0;
    char path[4096];
    if (snprintf(path, sizeof path, "%s/%s.emf", dir, name) >= (int)sizeof path)
        return -1;
    FILE *f = fopen(path, "wb");
    if (f == NULL)
        return -1;
    size_t written = fwrite(data, 1, size, f);
    return fclose(f) == 0 && written == size ? 0 : -1;
}

/* As EmfKeepBytesForCheck for the file at path. */
inline int EmfKeepForCheck(const char *path, const char *name)
{
    FILE *f = fopen(path, "rb");
    if (f == NULL)
        return -1;
    char *data = NULL;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0 && (size = ftell(f)) >= 0 && fseek(f, 0, SEEK_SET) == 0)
        data = (char *)malloc(size > 0 ? (size_t)size : 1);
    int rc = -1;
    if (data != NULL && fread(data, 1, (size_t)size, f) == (size_t)size)
        rc = EmfKeepBytesForCheck(data, (size_t)size, name);
    free(data);
    fclose(f);
    return rc;
}

#endif
