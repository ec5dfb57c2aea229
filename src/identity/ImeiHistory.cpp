#include "identity/ImeiHistory.h"

#include <QByteArrayMatcher>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

// How the history is kept:
// - A regular record, the kind the tool writes (a "yyyy-MM-dd hh:mm:ss" date-time and one to four
//   15-digit IMEIs joined by commas), costs one 64-bit head (IMEI count and the date-time digits as a
//   number), a 32-bit reference and one 64-bit number per IMEI.
// - Any other record (hand edits, garbage, partial IMEIs) is kept as text and searched literally.
// - An index holds every IMEI of the regular records and every run of 15 digits inside the irregular
//   ones. A 15-digit candidate can only occur in a regular record as one of its IMEIs (any 15
//   characters across a comma hold the comma), so for such a candidate membership in the index is
//   exactly the substring test. Other candidates take the literal scan.
// - The index is a bucketed array: values mixed by a bijective function, grouped by their top bits,
//   with a directory of bucket starts; IMEIs appended later wait in a small sorted tail until the
//   index is rebuilt.

namespace {

// Storage of the big arrays, the one place that asks the system for memory itself. On Linux a big block
// is mapped on its own, aligned to huge pages and advised onto them: filling a long history in small pages
// costs tens of thousands of page faults, and the allocator's own choice (its heap or a mapping, by a
// threshold it moves as blocks are freed) would decide that differently from one load to the next.
// Elsewhere the blocks come from malloc.
constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t MappedBytes = HugePage / 2; // blocks from this size on are mapped

size_t blockBytes(size_t bytes)
{
    return bytes >= MappedBytes ? (bytes + HugePage - 1) & ~(HugePage - 1) : bytes;
}

void *allocateBlock(size_t bytes)
{
#ifdef Q_OS_LINUX
    if (bytes >= MappedBytes) {
        const size_t size = blockBytes(bytes);
        void *raw = ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            return nullptr;
        const uintptr_t begin = reinterpret_cast<uintptr_t>(raw);
        const uintptr_t aligned = (begin + HugePage - 1) & ~(HugePage - 1);
        if (aligned > begin)
            ::munmap(raw, aligned - begin);
        if (begin + HugePage > aligned)
            ::munmap(reinterpret_cast<void *>(aligned + size), begin + HugePage - aligned);
        ::madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE); // only a hint
        return reinterpret_cast<void *>(aligned);
    }
#endif
    return std::malloc(bytes);
}

void releaseBlock(void *block, size_t bytes)
{
    if (!block)
        return;
#ifdef Q_OS_LINUX
    if (bytes >= MappedBytes) {
        ::munmap(block, blockBytes(bytes));
        return;
    }
#else
    Q_UNUSED(bytes);
#endif
    std::free(block);
}

// A growable array of plain values whose new elements are left uninitialised: filling a big history
// writes each element once instead of zeroing it first.
template <typename T> class RawArray final
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    RawArray() = default;
    RawArray(RawArray &&other) noexcept { *this = std::move(other); }
    RawArray &operator=(RawArray &&other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        return *this;
    }
    ~RawArray() { releaseBlock(m_data, m_capacity * sizeof(T)); }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    size_t capacity() const { return m_capacity; }
    T *data() { return m_data; }
    const T *data() const { return m_data; }
    const T *begin() const { return m_data; }
    const T *end() const { return m_data + m_size; }
    T &operator[](size_t i) { return m_data[i]; }
    const T &operator[](size_t i) const { return m_data[i]; }

    void reserve(size_t count)
    {
        if (count <= m_capacity)
            return;
        moveTo(count);
    }
    // Room for `count` more elements, written through the pointer returned and then taken by grow().
    T *room(size_t count)
    {
        if (m_size + count > m_capacity)
            reserve(std::max({m_size + count, 2 * m_capacity, size_t(64)}));
        return m_data + m_size;
    }
    void grow(size_t count) { m_size += count; }
    void resizeUninitialised(size_t count)
    {
        reserve(count);
        m_size = count;
    }
    void shrinkToFit()
    {
        if (blockBytes(m_size * sizeof(T)) < blockBytes(m_capacity * sizeof(T)))
            moveTo(m_size);
    }

    void push_back(T value)
    {
        *room(1) = value;
        ++m_size;
    }

private:
    // Into a block of `count` elements (all of a mapped block's room used), keeping the elements.
    void moveTo(size_t count)
    {
        const size_t bytes = blockBytes(count * sizeof(T));
        T *block = count == 0 ? nullptr : static_cast<T *>(allocateBlock(bytes));
        Q_CHECK_PTR(count == 0 || block);
        if (m_size > 0)
            std::memcpy(static_cast<void *>(block), m_data, m_size * sizeof(T));
        releaseBlock(m_data, m_capacity * sizeof(T));
        m_data = block;
        m_capacity = bytes / sizeof(T);
    }

    T *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

constexpr qsizetype ImeiLength = 15;
constexpr qsizetype DateLength = 19; // yyyy-MM-dd hh:mm:ss
constexpr int MaxImeisPerRecord = 4;
constexpr qsizetype MaxRegularText = MaxImeisPerRecord * (ImeiLength + 1) - 1;
constexpr int CountShift = 60;
constexpr quint64 DateMask = (quint64(1) << 56) - 1; // 14 digits of four bits
constexpr int DatePositions[14] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
constexpr size_t TailLimit = 4096;             // values outside the index before it is rebuilt
constexpr size_t MaxWindows = size_t(1) << 21; // runs of irregular records worth indexing
constexpr quint64 Pow14 = 100000000000000ULL;
// The 32-bit references end past four thousand million IMEIs; later records are kept as text.
constexpr size_t RefLimit = size_t(std::numeric_limits<quint32>::max()) - MaxImeisPerRecord;
constexpr qsizetype ScanChunk = 64 * 1024;
constexpr quint32 LongBucket = 32;                 // a bucket this long holds repeats: they are dropped
constexpr size_t ParallelValues = size_t(1) << 18; // index builds this big use a second thread
constexpr int MaxPartitionBits = 10;

// Bijective, so the index can hold mixed values and still compare exactly; it spreads the consecutive
// IMEIs of a production run evenly over the buckets.
inline quint64 mix(quint64 x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

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

// "yyyy-MM-dd hh:mm:ss" with any digits, its 14 digits packed four bits each, so that the text comes back
// exactly.
bool parseDate(QByteArrayView text, quint64 &packed)
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

QString unpackDate(quint64 packed)
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
bool parseImeis(QByteArrayView text, quint64 (&values)[MaxImeisPerRecord], int &count)
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

} // namespace

struct ImeiHistory::Data
{
    struct Irregular
    {
        qsizetype dateOffset;
        qsizetype imeiOffset;
        qsizetype dateLength;
        qsizetype imeiLength;
    };

    // Records in file order, in one or more parts: a file loaded in slices keeps one part per slice, as it
    // was filled, without copying. Appends go to the last part.
    struct Part
    {
        RawArray<quint64> heads; // regular: IMEI count << CountShift | date digits; irregular: 0
        RawArray<quint32> refs;  // regular: first IMEI in imeis; irregular: number in irregular
        RawArray<quint64> imeis; // IMEIs of the regular records, in record order
        std::vector<Irregular> irregular;
        QString irregularDates;
        QString irregularImeis;       // every text followed by a line feed, which keeps matches apart
        std::vector<quint64> windows; // runs of 15 digits inside the irregular IMEI texts
        bool windowsComplete = true;  // false once some irregular record's runs were left out
        size_t windowBudget = 0;      // while loading: runs this slice may still index
        qsizetype firstRecord = 0;    // records in the parts before
    };

    std::vector<Part> parts = std::vector<Part>(1);
    qsizetype records = 0;
    size_t imeiCount = 0;   // IMEIs of all parts
    size_t windowCount = 0; // runs of all parts
    bool windowsComplete = true;

    // The index covers all IMEIs of the parts and the first indexedWindows runs of the parts, in order.
    // Mixed values are grouped by their top bits: the partition, then the bucket within it. Partition p
    // owns the directory entries [p * (inner + 1), (p + 1) * (inner + 1)]: its buckets' starts and its end.
    RawArray<quint64> index;     // mixed values, grouped by bucket, no duplicates within a long one
    RawArray<quint32> directory; // empty: nothing indexed
    int bucketShift = 64;
    int innerBits = 0;
    size_t indexedWindows = 0;
    std::vector<quint64> tail; // mixed values appended since, sorted, not in the index
    bool bulk = false;
    size_t bulkPart = 0; // the part of slice 0 while loading

    bool inIndex(quint64 mixed) const
    {
        if (directory.empty())
            return false;
        const size_t bucket = size_t(mixed >> bucketShift);
        const quint32 *dir = directory.data() + bucket + (bucket >> innerBits);
        const quint64 *it = index.data() + dir[0];
        const quint64 *end = index.data() + dir[1];
        for (; it != end; ++it) {
            if (*it == mixed)
                return true;
        }
        return false;
    }

    bool hasValue(quint64 value) const
    {
        const quint64 mixed = mix(value);
        if (inIndex(mixed) || std::binary_search(tail.begin(), tail.end(), mixed))
            return true;
        if (!bulk)
            return false;
        // While loading, what is not indexed yet is scanned.
        for (const Part &part : parts) {
            if (std::find(part.imeis.begin(), part.imeis.end(), value) != part.imeis.end() ||
                std::find(part.windows.begin(), part.windows.end(), value) != part.windows.end())
                return true;
        }
        return false;
    }

    void addValue(quint64 value)
    {
        const quint64 mixed = mix(value);
        if (inIndex(mixed))
            return;
        const auto pos = std::lower_bound(tail.begin(), tail.end(), mixed);
        if (pos != tail.end() && *pos == mixed)
            return;
        tail.insert(pos, mixed);
        if (tail.size() > TailLimit)
            rebuild();
    }

    // Outside a load, into the tail; a load indexes everything at its end.
    void collect(quint64 value)
    {
        if (!bulk)
            addValue(value);
    }

    Part &target(int slice)
    {
        if (!bulk)
            return parts.back();
        return parts[std::min(bulkPart + size_t(qMax(slice, 0)), parts.size() - 1)];
    }

    void countRecord(size_t imeis)
    {
        if (bulk)
            return; // counted when the load ends
        ++records;
        imeiCount += imeis;
    }

    void appendRegular(Part &part, quint64 date, const quint64 (&values)[MaxImeisPerRecord], int count)
    {
        part.heads.push_back((quint64(count) << CountShift) | date);
        part.refs.push_back(quint32(part.imeis.size()));
        countRecord(size_t(count));
        for (int k = 0; k < count; ++k) {
            part.imeis.push_back(values[k]);
            collect(values[k]);
        }
    }

    // The regular record lines at the front of the text, each ending in a line feed with or without a
    // carriage return before it; returns the bytes they took. Parses in place, without looking for line ends
    // first: a line that is not regular, or is cut by the end of the text, stops it.
    qsizetype appendRegularLines(Part &part, const char *text, qsizetype size)
    {
        constexpr qsizetype ShortestLine = DateLength + 2 + ImeiLength + 1;
        const char *p = text;
        const char *const end = text + size;
        while (end - p >= ShortestLine && part.imeis.size() < RefLimit) {
            quint64 date = 0;
            if (p[DateLength] != '\t' || p[DateLength + 1] != '\t' || !parseDate(QByteArrayView(p, DateLength), date))
                break;
            quint64 *values = part.imeis.room(MaxImeisPerRecord);
            const char *group = p + DateLength + 2;
            const char *next = nullptr;
            int count = 0;
            while (end - group > ImeiLength && parseImei(group, values[count])) {
                ++count;
                const char c = group[ImeiLength];
                if (c == '\n') {
                    next = group + ImeiLength + 1;
                } else if (c == '\r') {
                    if (end - group > ImeiLength + 1 && group[ImeiLength + 1] == '\n')
                        next = group + ImeiLength + 2;
                } else if (c == ',' && count < MaxImeisPerRecord) {
                    group += ImeiLength + 1;
                    continue;
                }
                break;
            }
            if (!next)
                break;
            part.heads.push_back((quint64(count) << CountShift) | date);
            part.refs.push_back(quint32(part.imeis.size()));
            part.imeis.grow(size_t(count));
            countRecord(size_t(count));
            if (!bulk) {
                for (int k = 0; k < count; ++k)
                    addValue(values[k]);
            }
            p = next;
        }
        return p - text;
    }

    template <typename DateText, typename ImeiText> void appendIrregular(Part &part, DateText date, ImeiText imeiText)
    {
        Irregular r{part.irregularDates.size(), part.irregularImeis.size(), date.size(), imeiText.size()};
        part.irregularDates.append(date);
        part.irregularImeis.append(imeiText);
        part.irregularImeis.append(QLatin1Char('\n'));
        part.heads.push_back(0);
        part.refs.push_back(quint32(part.irregular.size()));
        part.irregular.push_back(r);
        countRecord(0);
        indexWindows(part, part.irregularImeis.constData() + r.imeiOffset, r.imeiLength);
    }

    void indexWindows(Part &part, const QChar *text, qsizetype size)
    {
        const auto *p = reinterpret_cast<const char16_t *>(text);
        const size_t count = countWindows(p, size);
        if (count == 0)
            return;
        const size_t room = bulk ? part.windowBudget : MaxWindows - std::min(windowCount, MaxWindows);
        if (count > room) {
            part.windowsComplete = false; // this record's runs are found by the literal scan instead
            if (!bulk)
                windowsComplete = false;
            return;
        }
        if (bulk)
            part.windowBudget -= count;
        else
            windowCount += count;
        forEachWindow(p, size, [this, &part](quint64 v) {
            part.windows.push_back(v);
            collect(v);
        });
    }

    const Part &partOf(qsizetype record) const
    {
        size_t p = parts.size() - 1;
        while (p > 0 && parts[p].firstRecord > record)
            --p;
        return parts[p];
    }

    // Calls fn(value) for values [from, to) of the index's sequence: the IMEIs of all parts, then their runs.
    template <typename Fn> void forEachValue(size_t from, size_t to, Fn fn) const
    {
        size_t offset = 0;
        auto span = [&](const quint64 *values, size_t count) {
            const size_t begin = std::max(from, offset);
            const size_t end = std::min(to, offset + count);
            for (size_t i = begin; i < end; ++i)
                fn(values[i - offset]);
            offset += count;
        };
        for (const Part &part : parts)
            span(part.imeis.data(), part.imeis.size());
        size_t runs = indexedWindows;
        for (const Part &part : parts) {
            const size_t count = std::min(runs, part.windows.size());
            span(part.windows.data(), count);
            runs -= count;
        }
    }

    void beginBulkLoad(std::initializer_list<qint64> sliceBytes);
    void endBulkLoad();
    void rebuild();
    void sortPartitions(const std::vector<size_t> &partitionStart, bool parallel);
    bool scanRegular(const QString &candidate) const;
    bool scanIrregular(const QString &candidate) const;
};

// Runs work(0) here and work(1) on a second thread when the job is big enough to repay the thread.
template <typename Work> void inTwoParts(bool parallel, Work work)
{
    if (!parallel) {
        work(0);
        work(1);
        return;
    }
    std::unique_ptr<QThread> helper(QThread::create([&work] { work(1); }));
    helper->setObjectName(QStringLiteral("IMEI history index"));
    helper->start();
    work(0);
    helper->wait();
}

// Bucket bits for n values: about four values a bucket.
int bucketBitsFor(size_t n)
{
    int bits = 1;
    while (bits < 31 && (size_t(1) << bits) < (n + 3) / 4)
        ++bits;
    return bits;
}

void ImeiHistory::Data::beginBulkLoad(std::initializer_list<qint64> sliceBytes)
{
    bulk = true;
    const size_t slices = std::max<size_t>(sliceBytes.size(), 1);
    bulkPart = parts.back().heads.empty() ? parts.size() - 1 : parts.size();
    parts.resize(bulkPart + slices);
    // Only what is touched becomes resident; the cap keeps a huge damaged file from reserving much.
    constexpr size_t Cap = size_t(1) << 24;
    constexpr size_t ShortestRecordLine = DateLength + 2 + ImeiLength + 1;
    size_t s = 0;
    for (qint64 sizeHint : sliceBytes) {
        const size_t bytes = size_t(qMax<qint64>(sizeHint, 0));
        Part &part = parts[bulkPart + s++];
        part.windowBudget = (MaxWindows - std::min(windowCount, MaxWindows)) / slices;
        part.heads.reserve(part.heads.size() + std::min(bytes / ShortestRecordLine, Cap));
        part.refs.reserve(part.refs.size() + std::min(bytes / ShortestRecordLine, Cap));
        part.imeis.reserve(part.imeis.size() + std::min(bytes / size_t(ImeiLength + 1), Cap));
    }
}

void ImeiHistory::Data::endBulkLoad()
{
    if (bulk) {
        bulk = false;
        // Empty slices go; the counts are taken from the parts.
        std::vector<Part> kept;
        kept.reserve(parts.size());
        for (Part &part : parts) {
            if (!part.heads.empty() || (kept.empty() && &part == &parts.back()))
                kept.push_back(std::move(part));
        }
        parts = std::move(kept);
        records = 0;
        imeiCount = 0;
        windowCount = 0;
        windowsComplete = true;
        for (Part &part : parts) {
            part.firstRecord = records;
            records += qsizetype(part.heads.size());
            imeiCount += part.imeis.size();
            windowCount += part.windows.size();
            windowsComplete = windowsComplete && part.windowsComplete;
        }
    }
    rebuild();
}

// Radix sort of the mixed values by their top bits in two cache-friendly passes, each split over two
// threads: first into at most 1024 partitions, then each partition, small enough for the cache, into
// its buckets.
void ImeiHistory::Data::rebuild()
{
    tail.clear();
    tail.shrink_to_fit();
    index = RawArray<quint64>();
    directory = RawArray<quint32>();
    indexedWindows = windowCount;
    const size_t n = imeiCount + indexedWindows;
    if (n == 0) {
        bucketShift = 64;
        innerBits = 0;
        return;
    }
    const int bits = bucketBitsFor(n);
    const int partitionBits = std::min(bits, MaxPartitionBits);
    const size_t partitions = size_t(1) << partitionBits;
    const int shift = 64 - partitionBits;
    const bool parallel = n >= ParallelValues;

    const size_t half = n / 2;
    auto rangeOf = [&](int part) { return part == 0 ? std::make_pair(size_t(0), half) : std::make_pair(half, n); };

    // Pass 1: by partition, straight into the index; each thread owns a slice of every partition.
    std::vector<size_t> counts[2] = {std::vector<size_t>(partitions, 0), std::vector<size_t>(partitions, 0)};
    inTwoParts(parallel, [&](int part) {
        const auto [from, to] = rangeOf(part);
        std::vector<size_t> &count = counts[part];
        forEachValue(from, to, [&](quint64 v) { ++count[size_t(mix(v) >> shift)]; });
    });
    std::vector<size_t> cursors[2] = {std::vector<size_t>(partitions), std::vector<size_t>(partitions)};
    std::vector<size_t> partitionStart(partitions + 1, 0);
    for (size_t p = 0; p < partitions; ++p) {
        cursors[0][p] = partitionStart[p];
        cursors[1][p] = partitionStart[p] + counts[0][p];
        partitionStart[p + 1] = cursors[1][p] + counts[1][p];
    }
    index.resizeUninitialised(n);
    quint64 *out = index.data();
    inTwoParts(parallel, [&](int part) {
        const auto [from, to] = rangeOf(part);
        std::vector<size_t> &cursor = cursors[part];
        forEachValue(from, to, [&](quint64 v) {
            const quint64 m = mix(v);
            out[cursor[size_t(m >> shift)]++] = m;
        });
    });
    bucketShift = 64 - bits;
    innerBits = bits - partitionBits;
    sortPartitions(partitionStart, parallel);
}

// Pass 2: each partition, small enough for the cache, sorted into its buckets in place. A bucket far longer
// than the average of four holds repeats (a pressure test records the same IMEIs over and over): it is made
// unique so that lookups stay short, and the partitions are then moved together.
void ImeiHistory::Data::sortPartitions(const std::vector<size_t> &partitionStart, bool parallel)
{
    const size_t partitions = partitionStart.size() - 1;
    const size_t inner = size_t(1) << innerBits;
    const quint64 innerMask = inner - 1;
    const size_t stride = inner + 1;
    directory.resizeUninitialised(partitions * stride);
    quint64 *out = index.data();
    inTwoParts(parallel, [&](int part) {
        std::vector<quint64> scratch;
        std::vector<quint32> bucketStart(inner + 1);
        std::vector<quint32> fill(inner);
        const size_t firstPartition = part == 0 ? 0 : partitions / 2;
        const size_t endPartition = part == 0 ? partitions / 2 : partitions;
        for (size_t p = firstPartition; p < endPartition; ++p) {
            const size_t begin = partitionStart[p];
            quint64 *slice = out + begin;
            scratch.assign(slice, out + partitionStart[p + 1]);
            quint32 *dir = directory.data() + p * stride;
            std::fill(bucketStart.begin(), bucketStart.end(), 0);
            for (quint64 m : scratch)
                ++bucketStart[size_t((m >> bucketShift) & innerMask) + 1];
            quint32 largest = 0;
            for (size_t b = 1; b <= inner; ++b) {
                largest = std::max(largest, bucketStart[b]);
                bucketStart[b] += bucketStart[b - 1];
            }
            std::copy(bucketStart.begin(), bucketStart.end() - 1, fill.begin());
            for (quint64 m : scratch)
                slice[fill[size_t((m >> bucketShift) & innerMask)]++] = m;
            if (largest <= LongBucket) {
                for (size_t b = 0; b <= inner; ++b)
                    dir[b] = quint32(begin + bucketStart[b]);
                continue;
            }
            size_t write = 0;
            for (size_t b = 0; b < inner; ++b) {
                dir[b] = quint32(begin + write);
                quint64 *first = slice + bucketStart[b];
                quint64 *last = slice + bucketStart[b + 1];
                if (last - first > LongBucket) {
                    std::sort(first, last);
                    last = std::unique(first, last);
                }
                for (quint64 *it = first; it < last; ++it)
                    slice[write++] = *it;
            }
            dir[inner] = quint32(begin + write);
        }
    });

    // Close the gaps that unique buckets left, if any.
    size_t write = 0;
    for (size_t p = 0; p < partitions; ++p) {
        quint32 *dir = directory.data() + p * stride;
        const size_t begin = dir[0];
        const size_t count = dir[inner] - begin;
        if (write != begin) {
            std::memmove(out + write, out + begin, count * sizeof(quint64));
            for (size_t b = 0; b <= inner; ++b)
                dir[b] = quint32(dir[b] - (begin - write));
        }
        write += count;
    }
    index.resizeUninitialised(write);
    if (write < index.capacity() - index.capacity() / 4)
        index.shrinkToFit();
}

bool ImeiHistory::Data::scanRegular(const QString &candidate) const
{
    // Regular texts hold digits and commas only, 15 digits between commas.
    const qsizetype size = candidate.size();
    if (size > MaxRegularText)
        return false;
    bool hasComma = false;
    for (QChar c : candidate) {
        if (c == QLatin1Char(','))
            hasComma = true;
        else if (!isDigit(char16_t(c.unicode())))
            return false;
    }
    if (!hasComma && size > ImeiLength)
        return false;
    const QByteArray needle = candidate.toLatin1();
    const QByteArrayMatcher matcher(needle);
    QByteArray buffer(ScanChunk + MaxRegularText + 1, Qt::Uninitialized);
    char *out = buffer.data();
    qsizetype used = 0;
    auto flushed = [&]() {
        const bool found = matcher.indexIn(out, used) >= 0;
        used = 0;
        return found;
    };
    for (const Part &part : parts) {
        if (!hasComma) {
            // Without a comma the candidate lies inside one IMEI: every IMEI on a line of its own.
            for (quint64 v : part.imeis) {
                writeImei(out + used, v);
                out[used + ImeiLength] = '\n';
                used += ImeiLength + 1;
                if (used >= ScanChunk && flushed())
                    return true;
            }
            continue;
        }
        for (size_t i = 0; i < part.heads.size(); ++i) {
            const int count = int(part.heads[i] >> CountShift);
            if (count == 0)
                continue;
            const quint64 *v = part.imeis.data() + part.refs[i];
            for (int k = 0; k < count; ++k) {
                if (k > 0)
                    out[used++] = ',';
                writeImei(out + used, v[k]);
                used += ImeiLength;
            }
            out[used++] = '\n';
            if (used >= ScanChunk && flushed())
                return true;
        }
    }
    return used > 0 && flushed();
}

bool ImeiHistory::Data::scanIrregular(const QString &candidate) const
{
    const bool lineFeed = candidate.contains(QLatin1Char('\n'));
    for (const Part &part : parts) {
        if (part.irregular.empty())
            continue;
        if (!lineFeed) {
            if (QStringView(part.irregularImeis).indexOf(candidate) >= 0)
                return true;
            continue;
        }
        // A line feed in the candidate could match across the separators: search record by record.
        for (const Irregular &r : part.irregular) {
            if (QStringView(part.irregularImeis).mid(r.imeiOffset, r.imeiLength).contains(candidate))
                return true;
        }
    }
    return false;
}

ImeiHistory::ImeiHistory() : d(new Data) {}

ImeiHistory::~ImeiHistory()
{
    delete d;
}

void ImeiHistory::clear()
{
    delete d;
    d = new Data;
}

bool ImeiHistory::appendIfRegular(QByteArrayView dateTime, QByteArrayView imeis, int slice)
{
    Data::Part &part = d->target(slice);
    quint64 date = 0;
    quint64 values[MaxImeisPerRecord];
    int count = 0;
    if (part.imeis.size() >= RefLimit || !parseDate(dateTime, date) || !parseImeis(imeis, values, count))
        return false;
    d->appendRegular(part, date, values, count);
    return true;
}

void ImeiHistory::append(const QString &dateTime, const QString &imeis)
{
    auto isAscii = [](const QString &s) {
        return std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x80; });
    };
    if (dateTime.size() == DateLength && imeis.size() <= MaxRegularText && isAscii(dateTime) && isAscii(imeis) &&
        appendIfRegular(dateTime.toLatin1(), imeis.toLatin1()))
        return;
    d->appendIrregular(d->target(0), QStringView(dateTime), QStringView(imeis));
}

void ImeiHistory::appendEncoded(QByteArrayView dateTime, QByteArrayView imeis, int slice)
{
    // Regular records are ASCII, the same in every 8-bit encoding.
    if (!appendIfRegular(dateTime, imeis, slice))
        d->appendIrregular(d->target(slice), QString::fromLocal8Bit(dateTime), QString::fromLocal8Bit(imeis));
}

qsizetype ImeiHistory::appendRegularLines(QByteArrayView text, int slice)
{
    return d->appendRegularLines(d->target(slice), text.data(), text.size());
}

void ImeiHistory::beginBulkLoad(qint64 sizeHint)
{
    d->beginBulkLoad({sizeHint});
}

void ImeiHistory::beginBulkLoad(qint64 firstSliceBytes, qint64 secondSliceBytes)
{
    d->beginBulkLoad({firstSliceBytes, secondSliceBytes});
}

void ImeiHistory::endBulkLoad()
{
    d->endBulkLoad();
}

qsizetype ImeiHistory::size() const
{
    return d->records;
}

ImeiHistoryRecord ImeiHistory::at(qsizetype index) const
{
    if (index < 0 || index >= size())
        return {};
    const Data::Part &part = d->partOf(index);
    const size_t local = size_t(index - part.firstRecord);
    const quint64 head = part.heads[local];
    const quint32 ref = part.refs[local];
    const int count = int(head >> CountShift);
    if (count == 0) {
        const Data::Irregular &r = part.irregular[ref];
        return {part.irregularDates.mid(r.dateOffset, r.dateLength),
                part.irregularImeis.mid(r.imeiOffset, r.imeiLength)};
    }
    char text[MaxRegularText];
    qsizetype used = 0;
    for (int k = 0; k < count; ++k) {
        if (k > 0)
            text[used++] = ',';
        writeImei(text + used, part.imeis[ref + size_t(k)]);
        used += ImeiLength;
    }
    return {unpackDate(head & DateMask), QString::fromLatin1(text, used)};
}

bool ImeiHistory::contains(const QString &candidate) const
{
    if (candidate.isEmpty())
        return d->records > 0; // the empty text is part of every text
    if (candidate.size() == ImeiLength) {
        const auto *p = reinterpret_cast<const char16_t *>(candidate.utf16());
        quint64 value = 0;
        bool digits = true;
        for (qsizetype i = 0; i < ImeiLength && digits; ++i) {
            digits = isDigit(p[i]);
            value = value * 10 + quint64(p[i] - u'0');
        }
        if (digits) {
            if (d->hasValue(value))
                return true;
            return !d->windowsComplete && d->scanIrregular(candidate);
        }
    }
    return d->scanRegular(candidate) || d->scanIrregular(candidate);
}
