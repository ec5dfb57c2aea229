/* iconv for Windows builds, over the Windows code-page functions (mingw-w64 has no iconv).
 *
 * Encodings, by name (case is ignored, as are '-' and '_'):
 *   UTF-8 (UTF8, CP65001), UTF-16LE (UTF16LE, CP1200), ASCII (US-ASCII, ANSI_X3.4-1968, CP20127),
 *   ISO-8859-1 (LATIN1, CP28591), MacRoman (MACINTOSH, CP10000),
 *   CPnnn / WINDOWS-nnn / IBMnnn / ISO-8859-n: any single- or double-byte code page this Windows has.
 * Stateful encodings (UTF-7, ISO-2022), GB18030, UTF-16 with a byte-order mark and the //TRANSLIT or
 * //IGNORE suffixes are not supported: iconv_open fails with EINVAL.
 *
 * iconv behaves as POSIX says: it converts whole characters, advancing *inbuf and *outbuf and
 * decreasing the counts, and stops at the first character it cannot take with (size_t)-1 and errno
 * E2BIG (no room for the character's output), EILSEQ (an invalid sequence in the input, or a character
 * the target encoding lacks) or EINVAL (the input ends inside a character); *inbuf then points at that
 * character. It never substitutes a character, so it returns 0 on success. */
#ifndef ICONV_SHIM_ICONV_H
#define ICONV_SHIM_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *iconv_t;

iconv_t iconv_open(const char *tocode, const char *fromcode);
size_t iconv(iconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif

#endif
