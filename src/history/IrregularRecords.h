#pragma once

// How the IMEI history keeps its irregular records (hand edits, garbage, partial IMEIs: any line that is not a
// record the tool writes): back to back in a byte array, each a short header (its payload's size and form) and its
// texts, so that a run of them costs a few bytes a record beside their text.

#include <QString>
#include <QtGlobal>

#include <cstring>

namespace IrregularRecords {

// The forms an irregular record is kept in.
enum IrregularForm : int
{
    LineForm = 0,     // the file's line as read: date-time before its first tab, IMEIs after its last
    PairForm = 1,     // date-time and IMEI texts in the file's encoding, the date-time's length first
    WidePairForm = 2, // the same in UTF-16 (possibly unaligned), as appended in this run
};
constexpr size_t IrregularSampleEvery = 16;

// Seven bits a byte, low group first, the high bit marking that more follow.
inline size_t putVarint(uchar *out, quint64 v)
{
    size_t n = 0;
    while (v >= 0x80) {
        out[n++] = uchar(v | 0x80);
        v >>= 7;
    }
    out[n++] = uchar(v);
    return n;
}

inline quint64 getVarint(const uchar *p, size_t &used)
{
    quint64 v = 0;
    int shift = 0;
    used = 0;
    for (;;) {
        const uchar b = p[used++];
        v |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80))
            return v;
        shift += 7;
    }
}

// One irregular record's texts where they are stored.
struct IrregularText
{
    int form;
    const uchar *date;
    size_t dateBytes;
    const uchar *imeis;
    size_t imeiBytes;
    bool wide() const { return form == WidePairForm; }
};

// The record at `offset` of a part's irregular bytes; `next` receives the offset of the one after it.
inline IrregularText irregularAt(const uchar *base, size_t offset, size_t *next = nullptr)
{
    size_t used = 0;
    const quint64 header = getVarint(base + offset, used);
    const uchar *payload = base + offset + used;
    const size_t size = size_t(header >> 2);
    if (next)
        *next = offset + used + size;
    IrregularText t{int(header & 3), payload, size, payload, size};
    if (t.form == LineForm) {
        // Date-time before the first tab, IMEI text after the last; without a tab the whole line is both.
        const void *first = size > 0 ? std::memchr(payload, '\t', size) : nullptr;
        if (first) {
            size_t last = size - 1;
            while (payload[last] != '\t')
                --last;
            t.dateBytes = size_t(static_cast<const uchar *>(first) - payload);
            t.imeis = payload + last + 1;
            t.imeiBytes = size - last - 1;
        }
        return t;
    }
    size_t dateUsed = 0;
    t.dateBytes = size_t(getVarint(payload, dateUsed));
    t.date = payload + dateUsed;
    t.imeis = t.date + t.dateBytes;
    t.imeiBytes = size - dateUsed - t.dateBytes;
    return t;
}

inline QString textOf(const uchar *p, size_t bytes, bool wide)
{
    if (!wide)
        return QString::fromLocal8Bit(reinterpret_cast<const char *>(p), qsizetype(bytes));
    QString text(qsizetype(bytes / 2), Qt::Uninitialized);
    if (bytes > 0)
        std::memcpy(text.data(), p, bytes);
    return text;
}

inline bool isAscii(const uchar *p, size_t bytes)
{
    uchar any = 0;
    for (size_t i = 0; i < bytes; ++i)
        any |= p[i];
    return any < 0x80;
}

} // namespace IrregularRecords
