#include "history/HistoryList.h"

#include "history/RawArray.h"

#include <QMutex>
#include <QReadWriteLock>

#include <QVarLengthArray>

#include <atomic>
#include <cstring>
#include <type_traits>
#include <vector>

// How the values are kept, so that a history costs about its file's size, repeats included:
// - Values back to back in one byte arena, each after a header holding its length and whether its
//   characters are stored as Latin-1 bytes (the usual case) or as UTF-16 code units.
// - The arena offset of every 16th value, so that value i is found by skipping at most 15 headers.
// - A table of distinct values only (a repeat finds its first occurrence and adds nothing), open
//   addressing with linear probing; a slot holds the value's number and the upper half of its hash, so the
//   table grows without looking at the values again.
namespace {

constexpr size_t SampleEvery = 16;
constexpr quint64 NumberMask = 0xFFFFFFFFULL;         // slot: hash bits << 32 | value number + 1; 0 empty
constexpr size_t MaxIndexed = size_t(NumberMask) - 1; // values past this are found by a scan

// The same hash for a text held as Latin-1 bytes or as UTF-16.
template <typename Char> quint64 hashOf(const Char *p, qsizetype size)
{
    quint64 h = 0xcbf29ce484222325ULL ^ quint64(size);
    for (qsizetype i = 0; i < size; ++i)
        h = (h ^ quint64(std::make_unsigned_t<Char>(p[i]))) * 0x100000001b3ULL;
    h ^= h >> 33; // spread the low bits' mixing into the high bits that place a slot
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

bool fitsLatin1(QStringView value)
{
    for (QChar c : value) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

// A value's header: its length in characters, shifted left by one, the low bit set for UTF-16; seven bits a
// byte, low group first, the high bit marking that more follow.
size_t putHeader(uchar *out, quint64 header)
{
    size_t n = 0;
    while (header >= 0x80) {
        out[n++] = uchar(header | 0x80);
        header >>= 7;
    }
    out[n++] = uchar(header);
    return n;
}

} // namespace

struct HistoryList::Data
{
    struct Store
    {
        RawArray<uchar> arena;
        RawArray<quint64> samples; // arena offset of value 16 k
        RawArray<quint64> table;   // on huge pages where the system has them: probes land anywhere
        int tableBits = 0;
        size_t distinct = 0;
        qsizetype count = 0;
    };

    // A stored value: Latin-1 bytes or UTF-16 code units (possibly unaligned) at `chars`.
    struct Value
    {
        const uchar *chars;
        qsizetype size;
        bool wide;
        QString toString() const
        {
            if (!wide)
                return QString::fromLatin1(reinterpret_cast<const char *>(chars), size);
            QString text(size, Qt::Uninitialized);
            std::memcpy(text.data(), chars, size_t(size) * 2);
            return text;
        }
        char16_t charAt(qsizetype i) const
        {
            if (!wide)
                return chars[i];
            char16_t c;
            std::memcpy(&c, chars + 2 * i, 2);
            return c;
        }
        bool equals(const Value &other) const
        {
            if (other.size != size)
                return false;
            if (wide == other.wide)
                return std::memcmp(chars, other.chars, size_t(size) * (wide ? 2 : 1)) == 0;
            for (qsizetype i = 0; i < size; ++i) {
                if (charAt(i) != other.charAt(i))
                    return false;
            }
            return true;
        }
    };

    static Value valueOf(QStringView text)
    {
        return {reinterpret_cast<const uchar *>(text.utf16()), text.size(), true};
    }

    struct Pending
    {
        quint64 hash;
        size_t number;
    };
    static constexpr size_t BatchSize = 32;

    Store s;
    Pending batch[BatchSize]; // while loading: values stored and not yet in the table
    size_t batched = 0;
    mutable QReadWriteLock lock; // guards s against the readers; taken for writing only briefly
    QMutex writeMutex;           // one writer at a time; held while it grows arrays aside
    std::atomic<bool> bulk{false};

    static Value valueAt(const Store &s, size_t offset, size_t *next = nullptr)
    {
        const uchar *p = s.arena.data() + offset;
        quint64 header = 0;
        int shift = 0;
        size_t used = 0;
        for (;;) {
            const uchar b = p[used++];
            header |= quint64(b & 0x7F) << shift;
            if (!(b & 0x80))
                break;
            shift += 7;
        }
        const Value v{p + used, qsizetype(header >> 1), (header & 1) != 0};
        if (next)
            *next = offset + used + size_t(v.size) * (v.wide ? 2 : 1);
        return v;
    }

    static Value view(const Store &s, size_t index)
    {
        size_t offset = s.samples[index / SampleEvery];
        for (size_t i = index - index % SampleEvery; i < index; ++i)
            valueAt(s, offset, &offset);
        return valueAt(s, offset);
    }

    // The value's number, or -1.
    static qsizetype find(const Store &s, const Value &value, quint64 hash)
    {
        if (s.table.empty())
            return -1;
        const size_t mask = s.table.size() - 1;
        const quint64 tag = hash >> 32;
        for (size_t i = size_t(hash >> (64 - s.tableBits)); s.table[i] != 0; i = (i + 1) & mask) {
            const quint64 slot = s.table[i];
            if ((slot >> 32) == tag && view(s, size_t(slot & NumberMask) - 1).equals(value))
                return qsizetype(slot & NumberMask) - 1;
        }
        return -1;
    }

    // A table twice the size, from the slots alone (each slot keeps the bits that place it).
    static RawArray<quint64> grownTable(const Store &s, int bits)
    {
        RawArray<quint64> table;
        table.resizeUninitialised(size_t(1) << bits);
        std::memset(static_cast<void *>(table.data()), 0, table.size() * sizeof(quint64));
        const size_t mask = table.size() - 1;
        for (quint64 slot : s.table) {
            if (slot == 0)
                continue;
            size_t i = size_t((slot >> 32) >> (32 - bits));
            while (table[i] != 0)
                i = (i + 1) & mask;
            table[i] = slot;
        }
        return table;
    }

    // Room for a value of `bytes` bytes and its table slot, made aside while readers go on with the arrays
    // as they are, then swapped in under a short lock. Not needed while loading: no reader runs then.
    void makeRoom(size_t bytes)
    {
        RawArray<uchar> arena;
        RawArray<quint64> samples;
        RawArray<quint64> table;
        int bits = s.tableBits;
        if (s.arena.size() + bytes > s.arena.capacity())
            arena = s.arena.copyWithCapacity(s.arena.grownCapacity(bytes));
        if (size_t(s.count) % SampleEvery == 0 && s.samples.size() == s.samples.capacity())
            samples = s.samples.copyWithCapacity(s.samples.grownCapacity(1));
        if ((s.distinct + 1) * 10 > s.table.size() * 7 && bits < 32) {
            bits = std::max(bits + 1, 6);
            table = grownTable(s, bits);
        }
        if (arena.capacity() == 0 && samples.capacity() == 0 && table.empty())
            return;
        QWriteLocker locker(&lock);
        if (arena.capacity() > 0)
            std::swap(s.arena, arena);
        if (samples.capacity() > 0)
            std::swap(s.samples, samples);
        if (!table.empty()) {
            std::swap(s.table, table);
            s.tableBits = bits;
        }
    } // the old arrays are freed here, outside the lock

    // Stores one value; the caller holds the lock (or loads). A repeat is stored in order but not indexed.
    void store(const uchar *chars, qsizetype size, bool wide, quint64 hash)
    {
        const size_t bytes = size_t(size) * (wide ? 2 : 1);
        uchar *out = s.arena.room(bytes + 10);
        const size_t used = putHeader(out, quint64(size) << 1 | (wide ? 1 : 0));
        if (bytes > 0)
            std::memcpy(out + used, chars, bytes);
        if (size_t(s.count) % SampleEvery == 0)
            s.samples.push_back(s.arena.size());
        s.arena.grow(used + bytes);
        const qsizetype number = s.count++;
        if (size_t(number) >= MaxIndexed)
            return;
        if (!bulk) {
            index(hash, size_t(number));
            return;
        }
        // While loading, the table's slots are fetched a batch ahead: most probes of a big table miss the cache.
        batch[batched++] = {hash, size_t(number)};
        if (batched == BatchSize)
            flushBatch();
    }

    // Adds the value to the table unless an equal one is there.
    void index(quint64 hash, size_t number)
    {
        if (find(s, view(s, number), hash) >= 0)
            return;
        if ((s.distinct + 1) * 10 > s.table.size() * 7 && s.tableBits < 32) {
            s.tableBits = std::max(s.tableBits + 1, 6);
            s.table = grownTable(s, s.tableBits);
        }
        const size_t mask = s.table.size() - 1;
        size_t i = size_t(hash >> (64 - s.tableBits));
        while (s.table[i] != 0)
            i = (i + 1) & mask;
        s.table[i] = (hash & ~NumberMask) | quint64(number + 1);
        ++s.distinct;
    }

    void flushBatch()
    {
        if ((s.distinct + batched) * 10 > s.table.size() * 7 && s.tableBits < 32) {
            while ((s.distinct + batched) * 10 > (size_t(1) << s.tableBits) * 7 && s.tableBits < 32)
                s.tableBits = std::max(s.tableBits + 1, 6);
            s.table = grownTable(s, s.tableBits);
        }
#if defined(__GNUC__) || defined(__clang__)
        for (size_t b = 0; b < batched; ++b)
            __builtin_prefetch(s.table.data() + (batch[b].hash >> (64 - s.tableBits)));
#endif
        for (size_t b = 0; b < batched; ++b) // in order: a repeat finds its first occurrence
            index(batch[b].hash, batch[b].number);
        batched = 0;
    }

    void storeText(QStringView value)
    {
        const auto *chars = reinterpret_cast<const char16_t *>(value.utf16());
        const quint64 hash = hashOf(chars, value.size());
        if (!fitsLatin1(value)) {
            store(reinterpret_cast<const uchar *>(chars), value.size(), true, hash);
            return;
        }
        QVarLengthArray<uchar, 256> latin1(value.size());
        for (qsizetype i = 0; i < value.size(); ++i)
            latin1[i] = uchar(chars[i]);
        store(latin1.data(), value.size(), false, hash);
    }
};

HistoryList::HistoryList() : d(new Data) {}

HistoryList::~HistoryList()
{
    delete d;
}

void HistoryList::clear()
{
    QMutexLocker writer(&d->writeMutex);
    Data::Store fresh;
    {
        QWriteLocker locker(&d->lock);
        std::swap(d->s, fresh);
    } // the old values are freed here, outside the lock
}

void HistoryList::append(const QString &value)
{
    if (d->bulk) {
        d->storeText(value);
        return;
    }
    QMutexLocker writer(&d->writeMutex);
    d->makeRoom(size_t(value.size()) * 2 + 10);
    QWriteLocker locker(&d->lock);
    d->storeText(value);
}

void HistoryList::beginBulkLoad(qint64 sizeHint)
{
    d->writeMutex.lock();
    d->lock.lockForWrite();
    d->bulk = true;
    // A line's bytes and its line end cover its value and header, except for the rare long or wide value.
    d->s.arena.reserve(d->s.arena.size() + size_t(qBound<qint64>(0, sizeHint, qint64(1) << 32)) + 64);
}

void HistoryList::appendEncoded(QByteArrayView value)
{
    bool ascii = true;
    for (char c : value)
        ascii = ascii && uchar(c) < 0x80;
    if (!ascii) { // decoded as the file's encoding says, then stored as Latin-1 where it fits
        append(QString::fromLocal8Bit(value));
        return;
    }
    if (!d->bulk) {
        append(QString::fromLatin1(value));
        return;
    }
    // ASCII is the same in every 8-bit encoding: stored straight from the file's bytes.
    const auto *chars = reinterpret_cast<const uchar *>(value.data());
    d->store(chars, value.size(), false, hashOf(chars, value.size()));
}

void HistoryList::endBulkLoad()
{
    if (!d->bulk)
        return;
    d->flushBatch();
    d->bulk = false;
    d->lock.unlock();
    d->writeMutex.unlock();
}

qsizetype HistoryList::size() const
{
    QReadLocker locker(&d->lock);
    return d->s.count;
}

QString HistoryList::at(qsizetype index) const
{
    QReadLocker locker(&d->lock);
    if (index < 0 || index >= d->s.count)
        return QString();
    return Data::view(d->s, size_t(index)).toString();
}

bool HistoryList::contains(const QString &value) const
{
    const quint64 hash = hashOf(reinterpret_cast<const char16_t *>(value.utf16()), value.size());
    QReadLocker locker(&d->lock);
    const Data::Value candidate = Data::valueOf(value);
    if (Data::find(d->s, candidate, hash) >= 0)
        return true;
    for (qsizetype i = qsizetype(MaxIndexed); i < d->s.count; ++i) {
        if (Data::view(d->s, size_t(i)).equals(candidate))
            return true;
    }
    return false;
}
