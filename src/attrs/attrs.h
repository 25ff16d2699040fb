/* Pen, brush and drawing-mode realization, the clip rectangle, and the object slots that carry
 * what a drawing call created and displaced. */
#ifndef TAVLINQX_ATTRS_H
#define TAVLINQX_ATTRS_H

#include "frame/win32.h"

/* Realizes the attributes for one output-style call, choosing the road by style code (second code 1
 * forces the begin-path road). Empties the five slots first; afterwards they hold exactly what was
 * created and displaced. Returns 0, or -1 on the roads that report a failed pen or brush. */
INT RealizeDrawObjects(HDC dc, WORD style, WORD secondCode, LOGPEN *pen, DWORD penStyleBits,
                       LOGBRUSH *brush, const DrawMode32 *drawMode, HGDIOBJ *newPen,
                       HGDIOBJ *oldPen, HGDIOBJ *newBrush, HGDIOBJ *oldBrush,
                       HGDIOBJ *patternBitmap);

/* Creates and selects a geometric solid-brush pen of the given colour, style bits and width.
 * Returns 0, or -1 (slots untouched) when the pen cannot be created. */
INT CreateGeometricPen(HDC dc, COLORREF color, DWORD penStyleBits, INT width, HGDIOBJ *newPen,
                       HGDIOBJ *oldPen);

/* Selects the pen a LOGPEN describes: the null pen for none, a stock pen for the black and white
 * one-unit solid pens, else a created pen. Rewrites PS_INSIDEFRAME to PS_SOLID in the caller's
 * record. Returns 0, or -1 when the pen cannot be created. */
INT SelectLogicalPen(HDC dc, LOGPEN *pen, HGDIOBJ *newPen, HGDIOBJ *oldPen);

/* Selects the brush a LOGBRUSH describes and applies the drawing mode for every style but hollow.
 * For BS_PATTERN, lbHatch points to a BITMAP and is rewritten with the pattern bitmap's handle.
 * Returns 0, or -1 on any failure; the slots then hold only what still needs releasing. */
INT SelectLogicalBrush(HDC dc, LOGBRUSH *brush, const DrawMode32 *drawMode, HGDIOBJ *newBrush,
                       HGDIOBJ *oldBrush, HGDIOBJ *patternBitmap);

/* Reselects the displaced pen and brush and deletes what was created. Always 0. */
INT ReleaseDrawObjects(HDC dc, HGDIOBJ newPen, HGDIOBJ oldPen, HGDIOBJ newBrush,
                       HGDIOBJ oldBrush, HGDIOBJ patternBitmap);

/* Replaces the clip region by one rectangle. Always 0. */
INT ApplyClipRect(HDC dc, const RECT *clip);

#endif
