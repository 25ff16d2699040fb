/* Reading the fuzz input of the export targets. */
#include "fuzz_input.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

uint32_t FuzzTake(FuzzInput *in, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++)
        value |= (uint32_t)(in->at < in->size ? in->data[in->at++] : 0) << (8 * i);
    return value;
}

bool FuzzMore(const FuzzInput *in) { return in->at < in->size; }

int32_t FuzzPick(FuzzInput *in, const int32_t *table, size_t count)
{
    return table[FuzzTake(in, 1) % count];
}

int32_t FuzzEdge(FuzzInput *in)
{
    static const int32_t kEdges[] = {0,      1,      -1,     2,       -2,     0x7FFF,  0x8000,
                                     -0x8000, -0x8001, 0xFFFF, 0x10000, INT_MAX, INT_MIN, INT_MAX - 1,
                                     INT_MIN + 1, 0x3FFFFFFF, 0x40000000, 0x55555556};
    uint32_t how = FuzzTake(in, 1);
    switch (how % 4) {
    case 0:
        return (int32_t)FuzzTake(in, 4);
    case 1:
        return kEdges[(how >> 2) % FUZZ_COUNT(kEdges)];
    default:
        return (int32_t)FuzzTake(in, 1) - 64;
    }
}

size_t FuzzReasonRoom(const uint8_t *data, size_t size, char *buffer, size_t bufferSize)
{
    memset(buffer, 'x', bufferSize);
    return size > 0 ? data[size - 1] % bufferSize : bufferSize;
}

void FuzzCheckReason(const char *buffer, size_t room, size_t bufferSize)
{
    const char *fault = NULL;
    if (room > 0 && memchr(buffer, '\0', room) == NULL)
        fault = "the reason is not terminated inside its room";
    else if (room > 1 && buffer[0] == '\0')
        fault = "a refusal gave no reason";
    else if (room < bufferSize && buffer[room] != 'x')
        fault = "the reason was written past its room";
    if (fault) {
        fprintf(stderr, "%s\n", fault);
        abort();
    }
}
