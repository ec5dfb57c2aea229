/* Checks the iconv shim where FreeXL depends on it: the code pages of .xls workbooks and UTF-16LE
 * to UTF-8, and iconv's stopping rules (E2BIG, EILSEQ, EINVAL with the pointers at the character that
 * stopped it). Runs on Windows or under wine; exits non-zero if a case fails. */
#include "iconv.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#define BYTES(s) s, sizeof(s) - 1

struct conversion {
    const char *what;
    const char *from, *to;
    const char *in;
    size_t in_len;
    size_t room;     /* the output buffer's size */
    int err;         /* 0: converts all of the input; else iconv returns (size_t)-1 with this errno */
    size_t consumed; /* input bytes taken */
    const char *out; /* what was written */
    size_t out_len;
};

static const struct conversion conversions[] = {
    {"CP1252 letters and the euro sign", "CP1252", "UTF-8", BYTES("caf\xE9 \x80"), 64, 0, 6,
     BYTES("caf\xC3\xA9 \xE2\x82\xAC")},
    {"CP936 double-byte characters among ASCII", "CP936", "UTF-8", BYTES("a\xD6\xD0\xCE\xC4z"), 64, 0, 6,
     BYTES("a\xE4\xB8\xAD\xE6\x96\x87z")},
    {"CP932 (Shift JIS)", "CP932", "UTF-8", BYTES("\x82\xA0"), 64, 0, 2, BYTES("\xE3\x81\x82")},
    {"CP949 (Korean)", "CP949", "UTF-8", BYTES("\xB0\xA1"), 64, 0, 2, BYTES("\xEA\xB0\x80")},
    {"CP950 (Big5)", "CP950", "UTF-8", BYTES("\xA4\xA4"), 64, 0, 2, BYTES("\xE4\xB8\xAD")},
    {"UTF-16LE with a surrogate pair", "UTF-16LE", "UTF-8", BYTES("A\0\x2D\x4E\x3D\xD8\x00\xDE"), 64, 0, 8,
     BYTES("A\xE4\xB8\xAD\xF0\x9F\x98\x80")},
    {"UTF-8 to UTF-16LE", "UTF-8", "UTF-16LE", BYTES("\xC3\xA9\xF0\x9F\x98\x80"), 64, 0, 6,
     BYTES("\xE9\0\x3D\xD8\x00\xDE")},
    {"UTF-8 to CP1252", "UTF-8", "CP1252", BYTES("\xE2\x82\xAC\xC3\xA9"), 64, 0, 5, BYTES("\x80\xE9")},
    {"UTF-8 to CP936", "UTF-8", "CP936", BYTES("\xE4\xB8\xAD"), 64, 0, 3, BYTES("\xD6\xD0")},
    {"ISO-8859-1", "ISO-8859-1", "UTF-8", BYTES("\xE9\xFF"), 64, 0, 2, BYTES("\xC3\xA9\xC3\xBF")},
    {"MacRoman", "MacRoman", "UTF-8", BYTES("\x8A"), 64, 0, 1, BYTES("\xC3\xA4")},
    {"names in lower case and aliases", "windows-1252", "utf8", BYTES("\xE9"), 64, 0, 1, BYTES("\xC3\xA9")},
    {"NUL bytes are characters", "CP1252", "UTF-8", BYTES("a\0b"), 64, 0, 3, BYTES("a\0b")},
    {"empty input", "CP1252", "UTF-8", BYTES(""), 64, 0, 0, BYTES("")},

    {"no room: stops before the character that does not fit", "CP1252", "UTF-8", BYTES("ab\xE9z"), 3, E2BIG,
     2, BYTES("ab")},
    {"no room in a double-byte string", "CP936", "UTF-8", BYTES("\xD6\xD0\xCE\xC4"), 5, E2BIG, 2,
     BYTES("\xE4\xB8\xAD")},
    {"no room for a surrogate pair", "UTF-8", "UTF-16LE", BYTES("\xF0\x9F\x98\x80"), 3, E2BIG, 0, BYTES("")},
    {"no output buffer space at all", "UTF-16LE", "UTF-8", BYTES("A\0"), 0, E2BIG, 0, BYTES("")},

    {"invalid UTF-8 byte", "UTF-8", "UTF-16LE", BYTES("a\xFF"), 64, EILSEQ, 1, BYTES("a\0")},
    {"overlong UTF-8", "UTF-8", "UTF-16LE", BYTES("\xC0\xAF"), 64, EILSEQ, 0, BYTES("")},
    {"UTF-8 encoded surrogate", "UTF-8", "UTF-16LE", BYTES("\xED\xA0\x80"), 64, EILSEQ, 0, BYTES("")},
    {"UTF-8 sequence cut by a new character", "UTF-8", "UTF-16LE", BYTES("\xE4\xB8z"), 64, EILSEQ, 0, BYTES("")},
    {"lone low surrogate", "UTF-16LE", "UTF-8", BYTES("A\0\x00\xDC"), 64, EILSEQ, 2, BYTES("A")},
    {"high surrogate without a low one", "UTF-16LE", "UTF-8", BYTES("\x3D\xD8" "A\0"), 64, EILSEQ, 0, BYTES("")},
    {"CP936 lead byte with an invalid trail byte", "CP936", "UTF-8", BYTES("a\x81\x7F"), 64, EILSEQ, 1,
     BYTES("a")},
    {"byte above 0x7F in ASCII", "ASCII", "UTF-8", BYTES("ok\x80"), 64, EILSEQ, 2, BYTES("ok")},
    {"character the target code page lacks", "UTF-8", "CP1252", BYTES("x\xE4\xB8\xAD"), 64, EILSEQ, 1,
     BYTES("x")},
    {"no best fit into a code page", "UTF-8", "CP1252", BYTES("\xC4\x81"), 64, EILSEQ, 0, BYTES("")},

    {"input ends after a lead byte", "CP936", "UTF-8", BYTES("a\xD6"), 64, EINVAL, 1, BYTES("a")},
    {"input ends inside a UTF-8 sequence", "UTF-8", "UTF-16LE", BYTES("\xE4\xB8"), 64, EINVAL, 0, BYTES("")},
    {"odd byte count in UTF-16LE", "UTF-16LE", "UTF-8", BYTES("A\0B"), 64, EINVAL, 2, BYTES("A")},
    {"input ends inside a surrogate pair", "UTF-16LE", "UTF-8", BYTES("\x3D\xD8\x00"), 64, EINVAL, 0, BYTES("")},
};

/* iconv_open(to, name) with to = "UTF-8": whether it opens. The code pages are those of .xls workbooks. */
static const struct {
    const char *name;
    int opens;
} names[] = {
    {"ASCII", 1}, {"CP437", 1}, {"CP850", 1}, {"CP852", 1}, {"CP866", 1}, {"CP874", 1}, {"CP932", 1},
    {"CP936", 1}, {"CP949", 1}, {"CP950", 1}, {"CP1250", 1}, {"CP1251", 1}, {"CP1252", 1}, {"CP1253", 1},
    {"CP1254", 1}, {"CP1255", 1}, {"CP1256", 1}, {"CP1257", 1}, {"CP1258", 1}, {"CP1361", 1},
    {"UTF-16LE", 1}, {"MacRoman", 1}, {"ISO-8859-2", 1}, {"latin1", 1}, {"IBM850", 1},
    {"KLINGON", 0}, {"", 0}, {"CP", 0}, {"CP99999", 0}, {"CP123456", 0}, {"ISO-8859-99", 0},
    {"UTF-16", 0}, {"CP65000", 0}, {"CP1252//TRANSLIT", 0}, {"UTF-8 ", 0},
};

static int check_conversion(const struct conversion *t)
{
    iconv_t cd = iconv_open(t->to, t->from);
    if (cd == (iconv_t)-1) {
        printf("FAIL %s: iconv_open(\"%s\", \"%s\") failed\n", t->what, t->to, t->from);
        return 0;
    }
    char out[64];
    memset(out, '#', sizeof out);
    char *in = (char *)t->in, *o = out;
    size_t in_left = t->in_len, out_left = t->room;
    errno = 0;
    size_t r = iconv(cd, &in, &in_left, &o, &out_left);
    int err = r == (size_t)-1 ? errno : 0;
    size_t consumed = (size_t)(in - t->in), written = (size_t)(o - out);
    iconv_close(cd);
    int ok = (t->err ? r == (size_t)-1 : r == 0) && err == t->err && consumed == t->consumed &&
             in_left == t->in_len - consumed && written == t->out_len && out_left == t->room - written &&
             memcmp(out, t->out, written) == 0 && (written == sizeof out || out[written] == '#');
    if (!ok) {
        printf("FAIL %s: returned %d errno %d (want %d), consumed %u (want %u), wrote %u (want %u):",
               t->what, (int)r, err, t->err, (unsigned)consumed, (unsigned)t->consumed, (unsigned)written,
               (unsigned)t->out_len);
        for (size_t i = 0; i < written; ++i)
            printf(" %02X", (unsigned char)out[i]);
        printf("\n");
    }
    return ok;
}

int main(void)
{
    int failures = 0;
    for (size_t i = 0; i < sizeof conversions / sizeof conversions[0]; ++i)
        failures += !check_conversion(&conversions[i]);
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        errno = 0;
        iconv_t cd = iconv_open("UTF-8", names[i].name);
        int opened = cd != (iconv_t)-1;
        if (opened)
            iconv_close(cd);
        if (opened != names[i].opens || (!opened && errno != EINVAL)) {
            printf("FAIL iconv_open(\"UTF-8\", \"%s\"): %s (errno %d)\n", names[i].name,
                   opened ? "opened" : "failed", errno);
            ++failures;
        }
    }
    /* A call without input returns the converter to its initial state, and so does nothing here. */
    iconv_t cd = iconv_open("UTF-8", "CP1252");
    if (iconv(cd, NULL, NULL, NULL, NULL) != 0) {
        printf("FAIL the reset call did not return 0\n");
        ++failures;
    }
    iconv_close(cd);

    printf("%s: %d of %u cases failed\n", failures ? "FAIL" : "ok", failures,
           (unsigned)(sizeof conversions / sizeof conversions[0] + sizeof names / sizeof names[0] + 1));
    return failures != 0;
}
