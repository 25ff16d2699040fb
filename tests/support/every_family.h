/* One page of every drawing family through the exports, as the 16-bit driver sends them: shapes of
 * every output style with a path bracket and its releases, clip changes, text whole, a character
 * at a time along an escapement, in Shift-JIS and as glyph indices, monochrome and colour bands,
 * a brush-only raster operation and a DIB. About 120 KB of records. Its data is constant, so any
 * number of threads may draw it at once. */
#ifndef TAVLINQX_TESTS_EVERY_FAMILY_H
#define TAVLINQX_TESTS_EVERY_FAMILY_H

#include <vector>

#include "tavlinqx.h"

/* Draws the page on the job's metafile DC; what each export call returned, in order. */
std::vector<INT> DrawEveryFamily(HDC *dc);

#endif
