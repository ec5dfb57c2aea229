#pragma once

// The record parser of the IMEI history: the texts of the records the tool writes ("yyyy-MM-dd hh:mm:ss", two tabs,
// one to four 15-digit IMEIs joined by commas) read into numbers and written back exactly, and the runs of 15 digits
// inside any other text. Inline: the loading loop spends its time here.

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace ImeiRecordText {

constexpr qsizetype ImeiLength = 15;
constexpr qsizetype DateLength = 19; // yyyy-MM-dd hh:mm:ss
constexpr int MaxImeisPerRecord = 4;
constexpr qsizetype MaxRegularText = MaxImeisPerRecord * (ImeiLength + 1) - 1;
constexpr int DatePositions[14] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
constexpr quint64 Pow14 = 100000000000000ULL;

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
inline quint64 load8(const char *p)
{
    quint64 v;
    std::memcpy(&v, p, 8);
    return v;
}

inline bool eightDigits(quint64 v)
{
    return ((v & 0xF0F0F0F0F0F0F0F0ULL) | (((v + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ==
           0x3333333333333333ULL;
}

// Eight ASCII digits, the first in the lowest byte, as a number.
inline quint64 parseEight(quint64 v)
{
    v -= 0x3030303030303030ULL;
    v = (v * 10) + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
        32;
    return quint32(v);
}
#endif

// 15 ASCII digits at p as a number.
inline bool parseImei(const char *p, quint64 &value)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const quint64 a = load8(p);
    const quint64 b = load8(p + 7);
    if (!eightDigits(a) || !eightDigits(b))
        return false;
    // b starts with the last digit of a: counted as 0 there.
    value = parseEight(a) * 10000000ULL + parseEight((b & ~quint64(0xFF)) | 0x30);
    return true;
#else
    quint64 v = 0;
    for (int i = 0; i < ImeiLength; ++i) {
        if (!isDigit(p[i]))
            return false;
        v = v * 10 + quint64(p[i] - '0');
    }
    value = v;
    return true;
#endif
}

// The same for 15 digits at p that follow a separator at p - 1, which makes 16 bytes to take at once: the
// loading loop's case. Vector instructions, where the processor has them, do it in half the time.
inline bool parseImeiAfterSeparator(const char *p, quint64 &value)
{
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i digits = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p - 1)), _mm_set1_epi8('0'));
    // Digits are the bytes 0 to 9 now; the separator's lane does not count.
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(digits, _mm_set1_epi8(9)), digits);
    if ((_mm_movemask_epi8(isDigit) | 1) != 0xFFFF)
        return false;
    const __m128i d =
        _mm_and_si128(digits, _mm_set_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0));
    // Pairs of digits (the first byte the tens), then fours, then eights: a leading zero in place of the separator.
    const __m128i pairs = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, _mm_set1_epi16(0xFF)), _mm_set1_epi16(10)),
                                        _mm_srli_epi16(d, 8));
    const __m128i fours = _mm_madd_epi16(pairs, _mm_set_epi16(1, 100, 1, 100, 1, 100, 1, 100));
    const __m128i eights =
        _mm_add_epi64(_mm_mul_epu32(fours, _mm_set_epi32(0, 10000, 0, 10000)), _mm_srli_epi64(fours, 32));
    value = quint64(_mm_cvtsi128_si64(eights)) * 100000000ULL +
            quint64(_mm_cvtsi128_si64(_mm_unpackhi_epi64(eights, eights)));
    return true;
#else
    return parseImei(p, value);
#endif
}

// "yyyy-MM-dd hh:mm:ss" with any digits, its 14 digits packed four bits each, so that the text comes back
// exactly.
inline bool parseDate(QByteArrayView text, quint64 &packed)
{
    if (text.size() != DateLength)
        return false;
    const char *p = text.data();
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    // XOR with the pattern leaves 0 to 9 in digit places and 0 in separator places.
    auto lanes = [](quint64 bytes, const char(&pattern)[9], quint64 separators, bool &ok) {
        const quint64 t = bytes ^ load8(pattern);
        ok = ok && ((t | (t + 0x7676767676767676ULL)) & 0x8080808080808080ULL) == 0 && (t & separators) == 0;
        return t;
    };
    bool ok = true;
    const quint64 a = lanes(load8(p), "0000-00-", 0xFF0000FF00000000ULL, ok);
    const quint64 b = lanes(load8(p + 8), "00 00:00", 0x0000FF0000FF0000ULL, ok);
    const quint64 c = lanes(load8(p + 11), "00:00:00", 0x0000FF0000FF0000ULL, ok);
    if (!ok)
        return false;
    auto digit = [](quint64 lanes, int byte) { return (lanes >> (8 * byte)) & 0xF; };
    packed = digit(a, 0) << 52 | digit(a, 1) << 48 | digit(a, 2) << 44 | digit(a, 3) << 40 | digit(a, 5) << 36 |
             digit(a, 6) << 32 | digit(b, 0) << 28 | digit(b, 1) << 24 | digit(b, 3) << 20 | digit(b, 4) << 16 |
             digit(b, 6) << 12 | digit(b, 7) << 8 | digit(c, 6) << 4 | digit(c, 7);
    return true;
#else
    if (p[4] != '-' || p[7] != '-' || p[10] != ' ' || p[13] != ':' || p[16] != ':')
        return false;
    quint64 v = 0;
    for (int pos : DatePositions) {
        if (!isDigit(p[pos]))
            return false;
        v = v << 4 | quint64(p[pos] - '0');
    }
    packed = v;
    return true;
#endif
}

inline QString unpackDate(quint64 packed)
{
    char text[DateLength + 1] = "0000-00-00 00:00:00";
    for (int i = 13; i >= 0; --i) {
        text[DatePositions[i]] = char('0' + (packed & 0xF));
        packed >>= 4;
    }
    return QString::fromLatin1(text, DateLength);
}

// The 15 digits of an IMEI number, leading zeros included.
inline void writeImei(char *out, quint64 v)
{
    static constexpr char pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                    "8081828384858687888990919293949596979899";
    for (int i = 13; i > 0; i -= 2) {
        const unsigned r = unsigned(v % 100);
        v /= 100;
        out[i] = pairs[2 * r];
        out[i + 1] = pairs[2 * r + 1];
    }
    out[0] = char('0' + v % 10);
}

// One to four IMEIs joined by commas, as the tool writes them.
inline bool parseImeis(QByteArrayView text, quint64 (&values)[MaxImeisPerRecord], int &count)
{
    const qsizetype size = text.size();
    if (size < ImeiLength || size > MaxRegularText || (size + 1) % (ImeiLength + 1) != 0)
        return false;
    count = int((size + 1) / (ImeiLength + 1));
    const char *p = text.data();
    for (int k = 0; k < count; ++k) {
        const char *group = p + k * (ImeiLength + 1);
        if (k > 0 && group[-1] != ',')
            return false;
        if (!parseImei(group, values[k]))
            return false;
    }
    return true;
}

template <typename Char> size_t countWindows(const Char *p, qsizetype size)
{
    size_t windows = 0;
    qsizetype run = 0;
    for (qsizetype i = 0; i < size; ++i) {
        run = isDigit(p[i]) ? run + 1 : 0;
        if (run >= ImeiLength)
            ++windows;
    }
    return windows;
}

// Calls onWindow(value) for every run of 15 digits, overlapping runs included.
template <typename Char, typename Emit> void forEachWindow(const Char *p, qsizetype size, Emit onWindow)
{
    quint64 value = 0;
    qsizetype run = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (!isDigit(p[i])) {
            run = 0;
            value = 0;
            continue;
        }
        value = (value % Pow14) * 10 + quint64(p[i] - '0');
        if (++run >= ImeiLength)
            onWindow(value);
    }
}

} // namespace ImeiRecordText
