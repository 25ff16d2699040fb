/* The code page of a font's character set, from the stand-in's TranslateCharsetInfo: the one
 * table the recorder converts text with. Kept apart because it speaks the Win32 headers. */
#include "winapi.h"

#include <stdint.h>

uint32_t charset_code_page(uint8_t charset)
{
    CHARSETINFO info;
    if (TranslateCharsetInfo((DWORD *)(uintptr_t)charset, &info, TCI_SRCCHARSET))
        return info.ciACP;
    return GetACP(); /* DEFAULT_CHARSET and the sets without a code page */
}
