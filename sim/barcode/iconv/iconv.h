/* The iconv calls ZBar's QR text decoding makes. MinGW has no iconv and Debian ships none for
 * it, so ZBar is compiled against this header (scripts/windows-codecs) and the DLL supplies
 * the calls over the system's code pages (sim/barcode/win32_iconv.cpp): conversions to UTF-8
 * only. C, as ZBar is. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* iconv_t;

/* (iconv_t)-1 with errno EINVAL for a conversion not offered. */
iconv_t iconv_open(const char* tocode, const char* fromcode);
/* Converts the whole input or nothing: (size_t)-1 with errno EILSEQ for input that is not
 * text of the code page, E2BIG when the output does not fit. */
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif
