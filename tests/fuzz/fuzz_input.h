/* The fuzz input of the export targets, read front to back as little-endian values; past its end
 * every value is 0, so every input, however short, is a whole run of calls. */
#ifndef TAVLINQX_FUZZ_INPUT_H
#define TAVLINQX_FUZZ_INPUT_H

#include <stddef.h>
#include <stdint.h>

struct FuzzInput {
    const uint8_t *data;
    size_t size;
    size_t at;
};

/* The next bytes (1 to 4) as an unsigned value. */
uint32_t FuzzTake(FuzzInput *in, int bytes);

/* Whether input is left. */
bool FuzzMore(const FuzzInput *in);

/* One of count table entries, chosen by the next byte. */
int32_t FuzzPick(FuzzInput *in, const int32_t *table, size_t count);

/* A signed 32-bit value: half the time a small one (-64 to 191), a quarter of the time one of the
 * edges where arithmetic changes (0, +-1, the 16- and 32-bit limits and their neighbours), else
 * any value. */
int32_t FuzzEdge(FuzzInput *in);

#define FUZZ_COUNT(table) (sizeof(table) / sizeof((table)[0]))

/* The room a parser gets for its reason, taken from the input's last byte so that every size down
 * to none is tried; the whole buffer is filled with 'x' first. */
size_t FuzzReasonRoom(const uint8_t *data, size_t size, char *buffer, size_t bufferSize);

/* Aborts unless a refusal's reason is terminated and not empty inside its room and nothing was
 * written past it. */
void FuzzCheckReason(const char *buffer, size_t room, size_t bufferSize);

#endif
