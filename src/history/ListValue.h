#pragma once

// The forms a single-value history keeps its values in (Latin-1, UTF-16, or a 48-bit number for 12 lower-case
// hexadecimal digits), their hash, and the byte-level steps its loader takes eight bytes at a time: finding line
// feeds, checking for '#' and non-ASCII bytes, lower case, hexadecimal digits. Inline: the loader spends its time
// here.

#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <QtAlgorithms>
#include <QtEndian>
#include <QtGlobal>

#include <cstring>
#include <type_traits>

namespace ListValue {

inline quint64 load(const uchar *p, size_t bytes)
{
    quint64 v = 0;
    std::memcpy(&v, p, bytes);
    return v;
}

// How a value is kept; a text has one form only, so that equal texts are equal bytes.
enum Form : int
{
    Latin1 = 0,
    Utf16 = 1,
    Hex48 = 2,
    // Only in a history's arena: a repeat of an earlier value, whose distance back in bytes the header holds in
    // place of a length. Never a value's own form.
    Repeat = 3,
};
constexpr size_t MaxRepeatBack = 4095; // a repeat's header fits in two bytes
constexpr int HexLength = 12;
constexpr size_t HexBytes = 6;
constexpr quint64 Seeds[3] = {0xC2B2AE3D27D4EB4FULL, 0x9E3779B97F4A7C15ULL, 0x165667B19E3779F9ULL};

// Eight bytes a step, each form with a seed of its own.
class Hasher final
{
public:
    Hasher(size_t bytes, int form) : m_h(Seeds[form] ^ (quint64(bytes) * 0xff51afd7ed558ccdULL)) {}
    void word(quint64 w)
    {
        m_h = (m_h ^ w) * 0xbf58476d1ce4e5b9ULL;
        m_h ^= m_h >> 31;
    }
    void last(quint64 partial) { m_h = (m_h ^ partial) * 0x94d049bb133111ebULL; } // the last 1 to 7 bytes
    quint64 finish() const
    {
        quint64 h = m_h ^ (m_h >> 33);
        h *= 0xff51afd7ed558ccdULL;
        h ^= h >> 33;
        h *= 0xc4ceb9fe1a85ec53ULL;
        return (h ^ (h >> 33)) | 1; // odd: 0 marks a value left out of the index
    }

private:
    quint64 m_h;
};

// A Hex48 value's number, kept in six bytes, low byte first.
inline quint64 hexNumber(const uchar *p)
{
    return qFromLittleEndian(load(p, HexBytes));
}

inline void putHexNumber(uchar *out, quint64 number)
{
    const quint64 bytes = qToLittleEndian(number);
    std::memcpy(out, &bytes, HexBytes);
}

inline quint64 hashOfHex(quint64 number)
{
    Hasher hasher(HexBytes, Hex48);
    hasher.last(number);
    return hasher.finish();
}

inline quint64 hashOf(const uchar *p, size_t bytes, int form)
{
    if (form == Hex48)
        return hashOfHex(hexNumber(p));
    Hasher hasher(bytes, form);
    for (; bytes >= 8; bytes -= 8, p += 8)
        hasher.word(load(p, 8));
    if (bytes > 0)
        hasher.last(load(p, bytes));
    return hasher.finish();
}

constexpr quint64 Ones = 0x0101010101010101ULL;
constexpr quint64 HighBits = 0x8080808080808080ULL;

// Set high bits where a byte of the word is zero (none: 0).
inline quint64 zeroBytes(quint64 w)
{
    return (w - Ones) & ~w & HighBits;
}

// The first `count` bytes of the word (1 to 7) as a shorter read would give them, the others zero.
inline quint64 firstBytes(quint64 w, size_t count)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    return w & (~quint64(0) >> (8 * (8 - count)));
#else
    return w & (~quint64(0) << (8 * (8 - count)));
#endif
}

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
// Eight hexadecimal digits in lower case, the first in the lowest byte, as their number; false for any other bytes.
inline bool hexWord(quint64 w, quint64 &number)
{
    if (w & HighBits)
        return false;
    const quint64 x = w | HighBits; // each lane compared on its own: no borrow crosses it
    const quint64 digit = (x - Ones * '0') & ((Ones * '9' | HighBits) - w) & HighBits;
    const quint64 letter = (x - Ones * 'a') & ((Ones * 'f' | HighBits) - w) & HighBits;
    if ((digit | letter) != HighBits)
        return false;
    const quint64 nibbles = (w & (Ones * 0x0F)) + (letter >> 7) * 9;
    const quint64 pairs = ((nibbles & 0x000F000F000F000FULL) << 4) | ((nibbles & 0x0F000F000F000F00ULL) >> 8);
    const quint64 quads = ((pairs & 0x000000FF000000FFULL) << 8) | ((pairs & 0x00FF000000FF0000ULL) >> 16);
    number = ((quads & 0xFFFF) << 16) | ((quads >> 32) & 0xFFFF);
    return true;
}
#endif

// The first line feed from p on, before `end`; null when there is none. Eight bytes at a time: most lines are
// shorter than a library call's setting up.
inline const char *findLineFeed(const char *p, const char *end)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    for (; end - p >= 8; p += 8) {
        const quint64 found = zeroBytes(load(reinterpret_cast<const uchar *>(p), 8) ^ (Ones * '\n'));
        if (found)
            return p + (qCountTrailingZeroBits(found) >> 3); // the lowest flag is exact: the first line feed
    }
#endif
    return static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
}

// The word's ASCII capitals in lower case; every byte below 0x80.
inline quint64 lowerAsciiWord(quint64 w)
{
    const quint64 upper = ((w + Ones * (0x80 - 'A')) ^ (w + Ones * (0x80 - 'Z' - 1))) & HighBits;
    return w | upper >> 2;
}

// A value's header: its length in characters, shifted left by two, its form in the low bits; seven bits a byte,
// low group first, the high bit marking that more follow.
inline size_t putHeader(uchar *out, quint64 header)
{
    size_t n = 0;
    while (header >= 0x80) {
        out[n++] = uchar(header | 0x80);
        header >>= 7;
    }
    out[n++] = uchar(header);
    return n;
}

// The values of hexadecimal digits, 0xFF for any other character: lower case only, or either case.
struct HexDigits
{
    uchar value[256];
    constexpr explicit HexDigits(bool upperToo) : value()
    {
        for (int c = 0; c < 256; ++c) {
            value[c] = c >= '0' && c <= '9'               ? uchar(c - '0')
                       : c >= 'a' && c <= 'f'             ? uchar(c - 'a' + 10)
                       : upperToo && c >= 'A' && c <= 'F' ? uchar(c - 'A' + 10)
                                                          : 0xFF;
        }
    }
};
constexpr HexDigits LowerHex(false);
constexpr HexDigits AnyCaseHex(true);

// 12 hexadecimal digits as their number; false for any other text.
template <typename Char> bool parseHex(const Char *chars, const HexDigits &digits, quint64 &number)
{
    quint64 v = 0;
    uchar bad = 0;
    for (int i = 0; i < HexLength; ++i) {
        const auto c = std::make_unsigned_t<Char>(chars[i]);
        uchar digit = 0xFF;
        if constexpr (sizeof(Char) == 1)
            digit = digits.value[c];
        else if (c < 256)
            digit = digits.value[c];
        bad |= digit;
        v = v << 4 | (digit & 15);
    }
    number = v;
    return bad < 16;
}

// A stored value, or a candidate in the same form.
struct Value
{
    const uchar *payload;
    qsizetype size; // in characters
    int form;
    size_t bytes() const { return form == Hex48 ? HexBytes : size_t(size) * (form == Utf16 ? 2 : 1); }
    bool operator==(const Value &other) const
    {
        return size == other.size && form == other.form && std::memcmp(payload, other.payload, bytes()) == 0;
    }
    QString toString() const
    {
        if (form == Latin1)
            return QString::fromLatin1(reinterpret_cast<const char *>(payload), size);
        QString text(size, Qt::Uninitialized);
        if (form == Utf16) {
            std::memcpy(text.data(), payload, bytes());
            return text;
        }
        static constexpr char16_t Digits[] = u"0123456789abcdef";
        quint64 number = hexNumber(payload);
        for (int i = HexLength - 1; i >= 0; --i, number >>= 4)
            text[i] = QChar(Digits[number & 15]);
        return text;
    }
};

// A text in the form it is kept in.
class Candidate final
{
public:
    explicit Candidate(QStringView text)
    {
        const char16_t *chars = reinterpret_cast<const char16_t *>(text.utf16());
        bool wide = false;
        for (qsizetype i = 0; i < text.size() && !wide; ++i)
            wide = chars[i] > 0xFF;
        quint64 number = 0;
        if (text.size() == HexLength && parseHex(chars, LowerHex, number)) {
            putHexNumber(m_hex, number);
            m_value = {m_hex, text.size(), Hex48};
        } else if (wide) {
            m_value = {reinterpret_cast<const uchar *>(chars), text.size(), Utf16};
        } else {
            m_latin1.resize(text.size());
            for (qsizetype i = 0; i < text.size(); ++i)
                m_latin1[i] = uchar(chars[i]);
            m_value = {m_latin1.constData(), text.size(), Latin1};
        }
        m_hash = hashOf(m_value.payload, m_value.bytes(), m_value.form);
    }
    const Value &value() const { return m_value; }
    quint64 hash() const { return m_hash; }

private:
    QVarLengthArray<uchar, 256> m_latin1;
    uchar m_hex[HexBytes] = {};
    Value m_value{nullptr, 0, Latin1};
    quint64 m_hash = 0;
};

// 12 hexadecimal digits of a line as their number (capitals too with `lowerCase`); false for any other text.
inline bool parseLineHex(const uchar *chars, bool lowerCase, quint64 &number)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    quint64 first = load(chars, 8);
    quint64 last = load(chars + 8, 4) | (Ones * '0') << 32; // four more digits, then four zeros
    if (lowerCase) {
        if ((first | last) & HighBits)
            return false;
        first = lowerAsciiWord(first);
        last = lowerAsciiWord(last);
    }
    quint64 high = 0;
    quint64 low = 0;
    if (!hexWord(first, high) || !hexWord(last, low))
        return false;
    number = high << 16 | low >> 16;
    return true;
#else
    return parseHex(chars, lowerCase ? AnyCaseHex : LowerHex, number);
#endif
}

} // namespace ListValue
