/* iconv over the Windows code-page functions (MultiByteToWideChar / WideCharToMultiByte).
 *
 * A conversion takes one character at a time: it decodes the character from the source to a code
 * point, encodes that into a small buffer, and only then moves both sides on. So whatever stops it
 * (no room, an invalid or untranslatable character, input ending inside a character) leaves *inbuf at
 * the start of that character and the output holding everything before it, which is what callers of
 * POSIX iconv rely on to retry with a larger buffer or to report where the text is bad.
 *
 * UTF-8, UTF-16LE, ASCII and ISO-8859-1 are handled here; other encodings are Windows code pages. A
 * single-byte code page is decoded through a table filled when the converter is opened, a double-byte
 * one through MultiByteToWideChar on each character (its lead bytes say how long a character is). */
#include "iconv.h"
#include "localcharset.h"

#include <windows.h>

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum kind { UTF8, UTF16LE, ASCII, LATIN1, CODEPAGE_SBCS, CODEPAGE_DBCS };

struct side {
    enum kind kind;
    UINT codepage; /* CODEPAGE_* only */
};

#define NO_CHAR 0xFFFFFFFFu

struct converter {
    struct side from, to;
    unsigned long byte_char[256]; /* from a code page: the character of each single byte, or NO_CHAR */
    unsigned char lead[256];      /* from a double-byte code page: 1 for the lead bytes */
};

/* "utf-8" -> "UTF8": upper case, without '-' and '_'. Returns 0 if the name is too long or empty. */
static int normalise(const char *name, char *out, size_t size)
{
    size_t n = 0;
    for (; *name; ++name) {
        if (*name == '-' || *name == '_')
            continue;
        if (n + 1 >= size)
            return 0;
        out[n++] = (char)toupper((unsigned char)*name);
    }
    out[n] = '\0';
    return n > 0;
}

/* The digits after prefix, as a number; 0 if name is not prefix followed by 1 to 5 digits. */
static UINT number_after(const char *name, const char *prefix)
{
    size_t len = strlen(prefix);
    if (strncmp(name, prefix, len) != 0)
        return 0;
    const char *digits = name + len;
    size_t count = strspn(digits, "0123456789");
    if (count == 0 || count > 5 || digits[count] != '\0')
        return 0;
    return (UINT)strtoul(digits, NULL, 10);
}

static int parse_encoding(const char *name, struct side *side)
{
    char n[32];
    if (!name || !normalise(name, n, sizeof n))
        return 0;
    UINT cp = 0;
    if (!strcmp(n, "UTF8"))
        cp = 65001;
    else if (!strcmp(n, "UTF16LE"))
        cp = 1200;
    else if (!strcmp(n, "ASCII") || !strcmp(n, "USASCII") || !strcmp(n, "ANSIX3.41968"))
        cp = 20127;
    else if (!strcmp(n, "LATIN1"))
        cp = 28591;
    else if (!strcmp(n, "MACROMAN") || !strcmp(n, "MACINTOSH"))
        cp = 10000;
    else if ((cp = number_after(n, "ISO8859")) != 0)
        cp = cp <= 16 ? 28590 + cp : 0;
    else if ((cp = number_after(n, "CP")) == 0 && (cp = number_after(n, "WINDOWS")) == 0)
        cp = number_after(n, "IBM");
    if (cp == 0)
        return 0;

    switch (cp) {
    case 65001: side->kind = UTF8; return 1;
    case 1200: side->kind = UTF16LE; return 1;
    case 20127: side->kind = ASCII; return 1;
    case 28591: side->kind = LATIN1; return 1;
    }
    CPINFO info;
    if (!IsValidCodePage(cp) || !GetCPInfo(cp, &info))
        return 0;
    if (info.MaxCharSize == 1)
        side->kind = CODEPAGE_SBCS;
    else if (info.MaxCharSize == 2)
        side->kind = CODEPAGE_DBCS;
    else
        return 0; /* stateful or up to four bytes a character (UTF-7, ISO-2022, GB18030) */
    side->codepage = cp;
    return 1;
}

static void fill_tables(struct converter *c)
{
    UINT cp = c->from.codepage;
    if (c->from.kind == CODEPAGE_DBCS) {
        CPINFO info;
        GetCPInfo(cp, &info);
        for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
            for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b)
                c->lead[b] = 1;
    }
    for (unsigned b = 0; b < 256; ++b) {
        char byte = (char)b;
        WCHAR w[2];
        c->byte_char[b] = !c->lead[b] && MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, &byte, 1, w, 2) == 1
                              ? w[0] : NO_CHAR;
    }
}

iconv_t iconv_open(const char *tocode, const char *fromcode)
{
    struct side to, from;
    if (!parse_encoding(tocode, &to) || !parse_encoding(fromcode, &from)) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    struct converter *c = calloc(1, sizeof *c);
    if (!c) {
        errno = ENOMEM;
        return (iconv_t)-1;
    }
    c->from = from;
    c->to = to;
    if (from.kind == CODEPAGE_SBCS || from.kind == CODEPAGE_DBCS)
        fill_tables(c);
    return c;
}

int iconv_close(iconv_t cd)
{
    if (cd == (iconv_t)-1 || !cd) {
        errno = EBADF;
        return -1;
    }
    free(cd);
    return 0;
}

static int is_high_surrogate(unsigned long u) { return u >= 0xD800 && u <= 0xDBFF; }
static int is_low_surrogate(unsigned long u) { return u >= 0xDC00 && u <= 0xDFFF; }

/* Decodes the character at in (len > 0 bytes left): its length in bytes, or -EILSEQ / -EINVAL. */
static int decode(const struct converter *c, const unsigned char *in, size_t len, unsigned long *ch)
{
    unsigned b = in[0];
    switch (c->from.kind) {
    case ASCII:
        *ch = b;
        return b < 0x80 ? 1 : -EILSEQ;
    case LATIN1:
        *ch = b;
        return 1;
    case UTF8: {
        if (b < 0x80) {
            *ch = b;
            return 1;
        }
        size_t need;
        unsigned lo = 0x80, hi = 0xBF; /* the second byte's range: no overlongs, surrogates or > 10FFFF */
        if (b < 0xC2)
            return -EILSEQ;
        else if (b < 0xE0)
            need = 2, *ch = b & 0x1F;
        else if (b < 0xF0)
            need = 3, *ch = b & 0x0F, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        else if (b < 0xF5)
            need = 4, *ch = b & 0x07, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        else
            return -EILSEQ;
        for (size_t i = 1; i < need; ++i) {
            if (i >= len)
                return -EINVAL;
            unsigned t = in[i];
            if (i == 1 ? t < lo || t > hi : (t & 0xC0) != 0x80)
                return -EILSEQ;
            *ch = (*ch << 6) | (t & 0x3F);
        }
        return (int)need;
    }
    case UTF16LE: {
        if (len < 2)
            return -EINVAL;
        unsigned long u = in[0] | (unsigned long)in[1] << 8;
        if (is_low_surrogate(u))
            return -EILSEQ;
        if (!is_high_surrogate(u)) {
            *ch = u;
            return 2;
        }
        if (len < 4)
            return -EINVAL;
        unsigned long u2 = in[2] | (unsigned long)in[3] << 8;
        if (!is_low_surrogate(u2))
            return -EILSEQ;
        *ch = 0x10000 + ((u - 0xD800) << 10) + (u2 - 0xDC00);
        return 4;
    }
    case CODEPAGE_SBCS:
    case CODEPAGE_DBCS: {
        if (!c->lead[b]) {
            *ch = c->byte_char[b];
            return *ch == NO_CHAR ? -EILSEQ : 1;
        }
        if (len < 2)
            return -EINVAL;
        WCHAR w[2];
        int n = MultiByteToWideChar(c->from.codepage, MB_ERR_INVALID_CHARS, (const char *)in, 2, w, 2);
        if (n == 1 && !is_high_surrogate(w[0]) && !is_low_surrogate(w[0]))
            *ch = w[0];
        else if (n == 2 && is_high_surrogate(w[0]) && is_low_surrogate(w[1]))
            *ch = 0x10000 + ((w[0] - 0xD800ul) << 10) + (w[1] - 0xDC00ul);
        else
            return -EILSEQ;
        return 2;
    }
    }
    return -EILSEQ;
}

/* Encodes ch into out (8 bytes): the bytes written, or -EILSEQ if the target lacks the character. */
static int encode(const struct converter *c, unsigned long ch, unsigned char *out)
{
    switch (c->to.kind) {
    case ASCII:
    case LATIN1:
        if (ch >= (c->to.kind == ASCII ? 0x80u : 0x100u))
            return -EILSEQ;
        out[0] = (unsigned char)ch;
        return 1;
    case UTF8:
        if (ch < 0x80) {
            out[0] = (unsigned char)ch;
            return 1;
        }
        if (ch < 0x800) {
            out[0] = (unsigned char)(0xC0 | ch >> 6);
            out[1] = (unsigned char)(0x80 | (ch & 0x3F));
            return 2;
        }
        if (ch < 0x10000) {
            out[0] = (unsigned char)(0xE0 | ch >> 12);
            out[1] = (unsigned char)(0x80 | ((ch >> 6) & 0x3F));
            out[2] = (unsigned char)(0x80 | (ch & 0x3F));
            return 3;
        }
        out[0] = (unsigned char)(0xF0 | ch >> 18);
        out[1] = (unsigned char)(0x80 | ((ch >> 12) & 0x3F));
        out[2] = (unsigned char)(0x80 | ((ch >> 6) & 0x3F));
        out[3] = (unsigned char)(0x80 | (ch & 0x3F));
        return 4;
    case UTF16LE:
        if (ch < 0x10000) {
            out[0] = (unsigned char)(ch & 0xFF);
            out[1] = (unsigned char)(ch >> 8);
            return 2;
        } else {
            unsigned long hi = 0xD800 + ((ch - 0x10000) >> 10), lo = 0xDC00 + (ch & 0x3FF);
            out[0] = (unsigned char)(hi & 0xFF);
            out[1] = (unsigned char)(hi >> 8);
            out[2] = (unsigned char)(lo & 0xFF);
            out[3] = (unsigned char)(lo >> 8);
            return 4;
        }
    case CODEPAGE_SBCS:
    case CODEPAGE_DBCS: {
        WCHAR w[2];
        int units = 1;
        if (ch < 0x10000) {
            w[0] = (WCHAR)ch;
        } else {
            w[0] = (WCHAR)(0xD800 + ((ch - 0x10000) >> 10));
            w[1] = (WCHAR)(0xDC00 + (ch & 0x3FF));
            units = 2;
        }
        /* No best fit ("é" as "e"), and a character the code page lacks is an error, not a '?'. */
        BOOL defaulted = FALSE;
        int n = WideCharToMultiByte(c->to.codepage, WC_NO_BEST_FIT_CHARS, w, units, (char *)out, 8, NULL,
                                    &defaulted);
        if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS)
            n = WideCharToMultiByte(c->to.codepage, 0, w, units, (char *)out, 8, NULL, &defaulted);
        return n <= 0 || defaulted ? -EILSEQ : n;
    }
    }
    return -EILSEQ;
}

size_t iconv(iconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft)
{
    if (cd == (iconv_t)-1 || !cd) {
        errno = EBADF;
        return (size_t)-1;
    }
    /* Back to the initial state: every encoding here is stateless, so there is nothing to write. */
    if (!inbuf || !*inbuf)
        return 0;
    const struct converter *c = cd;
    const unsigned char *in = (const unsigned char *)*inbuf;
    size_t left = *inbytesleft;
    int err = 0;
    while (left > 0) {
        unsigned long ch;
        unsigned char bytes[8];
        int taken = decode(c, in, left, &ch);
        if (taken < 0) {
            err = -taken;
            break;
        }
        int made = encode(c, ch, bytes);
        if (made < 0) {
            err = -made;
            break;
        }
        if (!outbuf || !*outbuf || !outbytesleft || (size_t)made > *outbytesleft) {
            err = E2BIG;
            break;
        }
        memcpy(*outbuf, bytes, (size_t)made);
        *outbuf += made;
        *outbytesleft -= (size_t)made;
        in += taken;
        left -= (size_t)taken;
    }
    *inbuf = (char *)in;
    *inbytesleft = left;
    if (err) {
        errno = err;
        return (size_t)-1;
    }
    return 0;
}

const char *locale_charset(void)
{
    static char name[16];
    UINT acp = GetACP();
    if (acp == 65001)
        return "UTF-8";
    snprintf(name, sizeof name, "CP%u", acp);
    return name;
}
