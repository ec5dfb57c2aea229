// A single-value history in memory: its arena of values, the loader that takes a file's plain lines in one pass a
// line, and the locking. The values' forms and the loader's byte-level steps are ListValue.h, the index ValueIndex.
#include "history/HistoryList.h"

#include "history/ListValue.h"
#include "history/RawArray.h"
#include "history/ValueIndex.h"

#include <QMutex>
#include <QReadWriteLock>
#include <QVarLengthArray>
#include <QtAlgorithms>
#include <QtEndian>

#include <atomic>
#include <cstring>
#include <type_traits>
#include <vector>

// How the values are kept, so that a history costs less than twice its file, repeats included:
// - Values back to back in one byte arena, each after a header holding its length and its form: Latin-1 bytes
//   (the usual case), UTF-16 code units, or for 12 lower-case hexadecimal digits (a Bluetooth address, or a
//   serial number of 12 digits) the 48-bit number they spell, in six bytes.
// - The arena offset of every 16th value, so that value i is found by skipping at most 15 headers.
// - A ValueIndex over the whole history, built once at the end of a load from the hashes taken as the
//   values were stored; values appended later wait in a short sorted tail until the index is built anew
//   aside. A value equal to the one just before it is not indexed again (a pressure test's repeats), and a
//   load notes only the values it indexes.
// - A load takes a line whose bytes repeat the line before as a repeat: a header alone that points back to the
//   value in full (copied again once that lies too far back). A history of one value written a million times
//   costs a comparison and a byte or two a line, not a parse, a hash and a copy.
using namespace ListValue;

namespace {
constexpr size_t SampleEvery = 16;
constexpr size_t TailLimit = 4096; // values outside the index before it is built anew

// Whether n bytes (8 or more) at a and b are equal, eight at a time. The last word first: serial numbers in a row
// differ in their last digits.
inline bool sameLongBytes(const char *a, const char *b, size_t n)
{
    const auto *x = reinterpret_cast<const uchar *>(a);
    const auto *y = reinterpret_cast<const uchar *>(b);
    if (load(x + n - 8, 8) != load(y + n - 8, 8))
        return false;
    for (size_t i = 0; i + 8 < n; i += 8) {
        if (load(x + i, 8) != load(y + i, 8))
            return false;
    }
    return true;
}
} // namespace

struct HistoryList::Data
{
    struct Appended
    {
        quint64 hash;
        quint64 offset;
        bool operator<(const Appended &other) const { return hash < other.hash; }
    };

    struct Store
    {
        RawArray<uchar> arena;
        RawArray<quint64> samples; // arena offset of value 16 k
        qsizetype count = 0;
        ValueIndex index;
        std::vector<Appended> tail; // values stored since the index was built, by hash
    };

    // While loading: the hash and offset of every value to index (not a repeat of the value before).
    struct Load
    {
        RawArray<quint64> hashes;
        RawArray<quint64> offsets;
        quint64 lastHash = 0;
        quint64 lastOffset = 0;
        const uchar *lastValue = nullptr; // in appendLines(), where the arena does not move
        int lastForm = -1;
        qsizetype lastSize = 0;
        bool lowerCase = false;
    };

    Store s;
    Load loading;
    mutable QReadWriteLock lock; // guards s against the readers; taken for writing only briefly
    QMutex writeMutex;           // one writer at a time; held while it grows arrays or builds the index aside
    std::atomic<bool> bulk{false};

    static Value valueAt(const RawArray<uchar> &arena, size_t offset, size_t *next = nullptr)
    {
        const uchar *p = arena.data() + offset;
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
        if (int(header & 3) == Repeat) {
            if (next)
                *next = offset + used;
            return valueAt(arena, offset - size_t(header >> 2)); // a value in full, never a repeat
        }
        const Value v{p + used, qsizetype(header >> 2), int(header & 3)};
        if (next)
            *next = offset + used + v.bytes();
        return v;
    }

    static Value view(const Store &s, size_t index)
    {
        size_t offset = s.samples[index / SampleEvery];
        for (size_t i = index - index % SampleEvery; i < index; ++i)
            valueAt(s.arena, offset, &offset);
        return valueAt(s.arena, offset);
    }

    static bool contains(const Store &s, const Candidate &candidate)
    {
        const Value &value = candidate.value();
        if (s.index.find(candidate.hash(), [&](quint64 offset) { return valueAt(s.arena, offset) == value; }))
            return true;
        const Appended key{candidate.hash(), 0};
        for (auto it = std::lower_bound(s.tail.begin(), s.tail.end(), key); it != s.tail.end() && it->hash == key.hash;
             ++it) {
            if (valueAt(s.arena, it->offset) == value)
                return true;
        }
        return false;
    }

    // Stores one value and returns its offset; the caller holds the lock (or loads).
    quint64 store(const Value &value)
    {
        const quint64 offset = s.arena.size();
        uchar *out = s.arena.room(value.bytes() + 10);
        const size_t used = putHeader(out, quint64(value.size) << 2 | quint64(value.form));
        if (value.bytes() > 0)
            std::memcpy(out + used, value.payload, value.bytes());
        if (size_t(s.count) % SampleEvery == 0)
            s.samples.push_back(offset);
        s.arena.grow(used + value.bytes());
        ++s.count;
        return offset;
    }

    // While loading: the value's hash and offset kept for the index.
    void noteLoaded(quint64 offset)
    {
        const Value v = valueAt(s.arena, offset);
        quint64 hash = hashOf(v.payload, v.bytes(), v.form);
        if (hash == loading.lastHash && valueAt(s.arena, loading.lastOffset) == v)
            return;
        loading.lastHash = hash;
        loading.lastOffset = offset;
        loading.hashes.push_back(hash);
        loading.offsets.push_back(offset);
    }

    void storeText(QStringView text)
    {
        const Candidate c(text);
        const quint64 offset = store(c.value());
        if (bulk) {
            noteLoaded(offset);
            return;
        }
        const Appended appended{c.hash(), offset};
        s.tail.insert(std::upper_bound(s.tail.begin(), s.tail.end(), appended), appended);
    }

    // Every stored value's hash and offset, as a load notes them.
    void noteAll()
    {
        loading.hashes = RawArray<quint64>();
        loading.offsets = RawArray<quint64>();
        loading.hashes.reserve(size_t(s.count));
        loading.offsets.reserve(size_t(s.count));
        loading.lastHash = 0;
        size_t offset = 0;
        for (qsizetype i = 0; i < s.count; ++i) {
            const size_t current = offset;
            valueAt(s.arena, current, &offset);
            noteLoaded(current);
        }
    }

    ValueIndex indexFromNotes()
    {
        ValueIndex index;
        index.build(loading.hashes.data(), loading.offsets.data(), loading.hashes.size());
        loading = Load();
        return index;
    }

    // Room for a value of `bytes` bytes, made aside while readers go on with the arrays as they are, then
    // swapped in under a short lock.
    void makeRoom(size_t bytes)
    {
        RawArray<uchar> arena;
        RawArray<quint64> samples;
        if (s.arena.size() + bytes > s.arena.capacity())
            arena = s.arena.copyWithCapacity(s.arena.grownCapacity(bytes));
        if (size_t(s.count) % SampleEvery == 0 && s.samples.size() == s.samples.capacity())
            samples = s.samples.copyWithCapacity(s.samples.grownCapacity(1));
        if (arena.capacity() == 0 && samples.capacity() == 0)
            return;
        QWriteLocker locker(&lock);
        if (arena.capacity() > 0)
            std::swap(s.arena, arena);
        if (samples.capacity() > 0)
            std::swap(s.samples, samples);
    } // the old arrays are freed here, outside the lock

    // The index built anew aside, by the one writer, from values no one else changes; swapped in under a short lock.
    void rebuildAside()
    {
        noteAll();
        ValueIndex index = indexFromNotes();
        QWriteLocker locker(&lock);
        std::swap(s.index, index);
        s.tail = std::vector<Appended>();
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
        if (!d->loading.lowerCase) {
            d->storeText(value);
            return;
        }
        QString lower = value;
        for (QChar &c : lower) {
            if (unsigned(c.unicode() - u'A') < 26u)
                c = QChar(c.unicode() | 0x20);
        }
        d->storeText(lower);
        return;
    }
    QMutexLocker writer(&d->writeMutex);
    d->makeRoom(size_t(value.size()) * 2 + 10);
    {
        QWriteLocker locker(&d->lock);
        d->storeText(value);
    }
    if (d->s.tail.size() > TailLimit)
        d->rebuildAside();
}

void HistoryList::beginBulkLoad(qint64 sizeHint, bool lowerCase)
{
    d->writeMutex.lock();
    d->lock.lockForWrite();
    d->noteAll(); // the values stored before, if any, join the load's index
    d->bulk = true;
    d->loading.lowerCase = lowerCase;
    // A line's bytes and its line end cover its value and header, except for the rare long or wide value.
    const size_t bytes = size_t(qBound<qint64>(0, sizeHint, qint64(1) << 40));
    d->s.arena.reserve(d->s.arena.size() + bytes + 64);
    d->loading.hashes.reserve(d->loading.hashes.size() + bytes / 8 + 64);
    d->loading.offsets.reserve(d->loading.offsets.size() + bytes / 8 + 64);
}

void HistoryList::appendEncoded(QByteArrayView value)
{
    bool ascii = true;
    for (char c : value)
        ascii = ascii && uchar(c) < 0x80;
    // ASCII is the same in every 8-bit encoding; other text is decoded as the file's encoding says.
    append(ascii ? QString::fromLatin1(value) : QString::fromLocal8Bit(value));
}

qsizetype HistoryList::appendLines(QByteArrayView text, qsizetype maxLineLength)
{
    if (!d->bulk)
        return 0;
    Data::Store &s = d->s;
    Data::Load &loading = d->loading;
    const char *p = text.data();
    const char *const end = p + text.size();
    // Room for every line as a value: its header takes the place of its line end, and one byte more for a value
    // of 32 characters or more (two header bytes), two for one of 4096 or more: at most a byte in 32 more than
    // the text. The last word of a value is written whole: 16 bytes to spare.
    const size_t most = size_t(text.size()) / 2 + 1;
    s.arena.room(size_t(text.size()) + size_t(text.size()) / 32 + 16);
    s.samples.room(most / SampleEvery + 2);
    quint64 *hashes = loading.hashes.room(most);
    quint64 *offsets = loading.offsets.room(most);
    if (loading.lastHash != 0) {
        const Value last = Data::valueAt(s.arena, loading.lastOffset);
        loading.lastValue = last.payload;
        loading.lastForm = last.form;
        loading.lastSize = last.size;
    }
    size_t added = 0;
    // The line before, when it was stored as a value in this call: its bytes in `text`, and its value in full in
    // the arena.
    const char *lastLine = nullptr;
    size_t lastLineLength = 0;
    size_t lastStored = 0;
    size_t lastStoredBytes = 0;
    bool repeating = false; // the last value stored repeated the one before: the next may too
    while (p < end) {
        // In a run of repeats, the same bytes up to a line feed as the line before (which holds none) are the
        // same value: kept as a repeat of it, or copied in full once that lies too far back; not indexed again.
        // The room set aside for the line's bytes (two at least) holds either. Distinct values pay one test a line.
        if (repeating) {
            if (size_t(end - p) > lastLineLength && p[lastLineLength] == '\n' &&
                (lastLineLength >= 8 ? sameLongBytes(p, lastLine, lastLineLength)
                                     : std::memcmp(p, lastLine, lastLineLength) == 0)) {
                const size_t offset = s.arena.size();
                uchar *out = s.arena.data() + offset;
                size_t used = 0;
                if (offset - lastStored <= MaxRepeatBack) {
                    used = putHeader(out, quint64(offset - lastStored) << 2 | Repeat);
                } else {
                    std::memcpy(out, s.arena.data() + lastStored, lastStoredBytes);
                    used = lastStoredBytes;
                    lastStored = offset;
                }
                if (size_t(s.count) % SampleEvery == 0)
                    s.samples.push_back(offset);
                s.arena.grow(used);
                ++s.count;
                p += lastLineLength + 1;
                continue;
            }
            repeating = false;
        }
        const char *newline = findLineFeed(p, end);
        if (!newline)
            break;
        size_t length = size_t(newline - p);
        if (length > 0 && p[length - 1] == '\r')
            --length;
        if (qsizetype(length) > maxLineLength)
            break;
        const quint64 offset = s.arena.size();
        uchar *out = s.arena.data() + offset;
        const auto *from = reinterpret_cast<const uchar *>(p);
        quint64 number = 0;
        size_t used = 0;
        uchar *value = nullptr;
        quint64 hash = 0;
        int form = Latin1;
        if (length == HexLength && parseLineHex(from, loading.lowerCase, number)) {
            // A Bluetooth address (or 12 digits): its number.
            used = putHeader(out, quint64(HexLength) << 2 | Hex48);
            value = out + used;
            putHexNumber(value, number);
            hash = hashOfHex(number);
            form = Hex48;
        } else {
            // Copied into the arena, checked, put in lower case and hashed eight bytes at a time.
            used = putHeader(out, quint64(length) << 2 | Latin1);
            value = out + used;
            Hasher hasher(length, Latin1);
            quint64 any = 0;
            quint64 sharp = 0;
            size_t i = 0;
            for (; i + 8 <= length; i += 8) {
                quint64 w = load(from + i, 8);
                any |= w;
                sharp |= zeroBytes(w ^ (Ones * '#'));
                if (loading.lowerCase)
                    w = lowerAsciiWord(w);
                std::memcpy(value + i, &w, 8);
                hasher.word(w);
            }
            if (i < length) {
                // The last bytes: a word read whole where the text goes on (it does up to the line end at
                // least), and written whole, the arena's room ending 16 bytes past the values.
                const size_t rest = length - i;
                quint64 w = end - (p + i) >= 8 ? firstBytes(load(from + i, 8), rest) : load(from + i, rest);
                any |= w;
                sharp |= zeroBytes(w ^ (Ones * '#')) & firstBytes(HighBits, rest);
                if (loading.lowerCase)
                    w = lowerAsciiWord(w);
                std::memcpy(value + i, &w, 8);
                hasher.last(w);
            }
            if (any & HighBits)
                break;
            if (length == 0 || sharp) {
                p = newline + 1;
                continue;
            }
            hash = hasher.finish();
        }
        const size_t bytes = form == Hex48 ? HexBytes : length;
        // A repeat of the value before is stored, not indexed again.
        repeating = hash == loading.lastHash && loading.lastForm == form && loading.lastSize == qsizetype(length) &&
                    std::memcmp(value, loading.lastValue, bytes) == 0;
        if (!repeating) {
            loading.lastHash = hash;
            loading.lastOffset = offset;
            loading.lastValue = value;
            loading.lastForm = form;
            loading.lastSize = qsizetype(length);
            hashes[added] = hash;
            offsets[added] = offset;
            ++added;
        }
        if (size_t(s.count) % SampleEvery == 0)
            s.samples.push_back(offset);
        s.arena.grow(used + bytes);
        ++s.count;
        lastLine = p;
        lastLineLength = size_t(newline - p);
        lastStored = offset;
        lastStoredBytes = used + bytes;
        p = newline + 1;
    }
    loading.hashes.grow(added);
    loading.offsets.grow(added);
    return p - text.data();
}

void HistoryList::takeLoadedSlice(HistoryList &slice)
{
    Data::Store &s = d->s;
    Data::Store &other = slice.d->s;
    Data::Load &theirs = slice.d->loading;
    if (!d->bulk || !slice.d->bulk || other.count == 0)
        return;
    const quint64 base = s.arena.size();
    std::memcpy(s.arena.room(other.arena.size()), other.arena.data(), other.arena.size());
    s.arena.grow(other.arena.size());
    const size_t noted = theirs.offsets.size();
    quint64 *offsets = d->loading.offsets.room(noted);
    quint64 *hashes = d->loading.hashes.room(noted);
    for (size_t i = 0; i < noted; ++i) {
        offsets[i] = theirs.offsets[i] + base;
        hashes[i] = theirs.hashes[i];
    }
    d->loading.offsets.grow(noted);
    d->loading.hashes.grow(noted);
    // The slice's value j is this history's value count + j: a sample here falls `skip` values after one of the
    // slice's own, found by skipping that many headers.
    const size_t skip = (SampleEvery - size_t(s.count) % SampleEvery) % SampleEvery;
    s.samples.room(other.samples.size() + 1);
    for (size_t k = 0; k < other.samples.size() && k * SampleEvery + skip < size_t(other.count); ++k) {
        size_t offset = other.samples[k];
        for (size_t i = 0; i < skip; ++i)
            Data::valueAt(other.arena, offset, &offset);
        s.samples.push_back(offset + base);
    }
    s.count += other.count;
    d->loading.lastHash = 0; // the value before the next one is the slice's
    other = Data::Store();
    theirs = Data::Load();
}

void HistoryList::endBulkLoad()
{
    if (!d->bulk)
        return;
    d->s.index = d->indexFromNotes();
    d->s.tail = std::vector<Data::Appended>();
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
    const Candidate candidate(value);
    QReadLocker locker(&d->lock);
    return Data::contains(d->s, candidate);
}
