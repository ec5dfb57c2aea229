/* The character set of the Windows ANSI code page, as an iconv name ("CP1252", "UTF-8", ...). */
#ifndef ICONV_SHIM_LOCALCHARSET_H
#define ICONV_SHIM_LOCALCHARSET_H

#ifdef __cplusplus
extern "C" {
#endif

const char *locale_charset(void);

#ifdef __cplusplus
}
#endif

#endif
