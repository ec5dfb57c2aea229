// The IMEI history's records in memory: their parts, the load in slices that fills them, the staging of the
// load's IMEIs for the index, the literal scans behind the index, and the locking. The record parser
// (ImeiRecordText.h), the irregular records' format (IrregularRecords.h), the index (ImeiIndex) and the memory
// policy (RawArray) are rooms of their own. Past 600 lines because what is left shares one layout of the records
// (regular heads without their IMEIs, runs of irregular records, places counted across the parts) that the
// loader writes, the staging counts on and the scans and lookups read under one lock.
#include "history/ImeiHistory.h"

#include "history/ImeiIndex.h"
#include "history/ImeiRecordText.h"
#include "history/IrregularRecords.h"
#include "history/RawArray.h"

#include <QByteArrayMatcher>
#include <QMutex>
#include <QReadWriteLock>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// How the history is kept:
// - Records in file order: one 64-bit head each. A regular record, the kind the tool writes (a
//   "yyyy-MM-dd hh:mm:ss" date-time and one to four 15-digit IMEIs joined by commas), holds its IMEI count
//   and the date-time digits; any other record (hand edits, garbage, partial IMEIs) is kept as text and
//   searched literally.
// - The IMEIs of the regular records live only in the index, each entry carrying the IMEI's place in
//   record order, so a load writes every IMEI once. The texts of the records are rebuilt from the index
//   the first time they are asked for (rare: only for candidates other than a plain 15-digit IMEI).
// - A 15-digit candidate can only occur in a regular record as one of its IMEIs (any 15 characters across
//   a comma hold the comma), so for such a candidate membership in the index is exactly the substring
//   test. Runs of 15 digits inside the irregular records are kept in a sorted list beside it.
// - The index: IMEIs (below 2^50) mixed by a bijective function, grouped by their top bits into
//   partitions, then buckets, with a directory of bucket starts. The bits a bucket stands for are not
//   stored again: an entry holds the rest of the value and the place. A load writes the entries straight
//   into room set aside per partition and sorts each partition in place; IMEIs appended later wait in a
//   small sorted tail until the index is rebuilt.
using namespace ImeiIndexBits;
using namespace ImeiRecordText;
using namespace IrregularRecords;

namespace {

constexpr int CountShift = 60;
constexpr quint64 DateMask = (quint64(1) << 56) - 1; // 14 digits of four bits; an irregular head's number
constexpr size_t TailLimit = 4096;                   // IMEIs outside the index before it is rebuilt
constexpr size_t MaxWindows = size_t(1) << 21;       // runs of irregular records worth indexing
constexpr qsizetype ScanChunk = 64 * 1024;
// Bytes a regular record line takes per IMEI at the least: four IMEIs with their commas, date-time, tabs
// and line feed. Room is set aside for a file's IMEIs by this, an upper bound for the records the tool
// writes.
constexpr size_t BytesPerImei = 21;
constexpr size_t MaxStagedImeis = size_t(1) << 24; // more than this of a huge or damaged file: no room set aside

} // namespace

struct ImeiHistory::Data
{
    using Index = ImeiIndex;
    using Entry = ImeiIndex::Entry;
    using Source = ImeiIndex::Source;

    // A run of irregular records: where it starts among its part's records, and its first irregular record.
    struct Run
    {
        quint64 start;
        quint64 firstIrregular;
        quint64 length;
    };

    // Records in file order, in one or more parts: a file loaded in slices keeps one part per slice, as it
    // was filled, without copying. Appends go to the last part. Parts of two slices are filled at once by
    // two threads: each on cache lines of its own.
    struct alignas(64) Part
    {
        RawArray<quint64> heads; // regular records: IMEI count << CountShift | date digits
        // Irregular records back to back, each a header (payload bytes << 2 | form) and its payload: runs of
        // them cost a few bytes a record beside their text, blank lines one byte.
        RawArray<uchar> irregular;
        RawArray<quint64> irregularSamples; // offset of irregular record 16 k
        size_t irregularCount = 0;
        std::vector<Run> runs;
        std::vector<quint64> windows; // while loading: runs of 15 digits inside the irregular IMEI texts
        bool windowsComplete = true;  // false once some irregular record's runs were left out
        size_t windowBudget = 0;      // while loading: runs this slice may still index
        size_t imeis = 0;             // IMEIs of its regular records
        qsizetype firstRecord = 0;    // records in the parts before
        size_t firstRegular = 0;      // regular records in the parts before
        size_t recordCount() const { return heads.size() + irregularCount; }
    };

    // While loading, each slice writes its IMEIs into room of its own in every partition: the mixed
    // value's bits below the partition's, then the place counted within the slice.
    struct Staging
    {
        int partitionBits = MinPartitionBits;
        size_t slices = 0;
        size_t room = 0;                          // entries per partition and slice
        RawArray<quint64> entries;                // partition p, slice s: from (p * slices + s) * room
        std::vector<std::vector<quint32>> counts; // per slice, per partition
        std::vector<std::vector<Entry>> overflow; // per slice: what found no room
        std::vector<quint64> placeOffsets;        // per slice: the places before it, once the load ends
        int placeBits() const { return PlaceBitsOverPartition + partitionBits; }
    };

    std::vector<Part> parts = std::vector<Part>(1);
    qsizetype records = 0;
    size_t regulars = 0; // regular records of all parts
    size_t places = 0;   // IMEIs of the regular records of all parts
    Index index;
    std::vector<quint64> tail;    // mixed values appended since the index was built, sorted
    std::vector<Entry> pending;   // the same with their places
    std::vector<quint64> windows; // runs of 15 digits inside the irregular texts, sorted
    size_t windowCount = 0;       // runs indexed, repeats included
    bool windowsComplete = true;
    bool bulk = false;
    size_t bulkPart = 0; // the part of slice 0 while loading
    Staging staging;

    // The IMEIs in record order, rebuilt from the index when first needed and then kept up by appends.
    mutable QMutex orderMutex;
    mutable bool ordered = false;
    mutable RawArray<quint64> orderedValues;
    mutable std::vector<size_t> checkpoints; // places before regular record 64 k

    // A regular record's IMEI, or an indexed run of an irregular one.
    bool hasValue(quint64 value) const
    {
        const quint64 mixed = mix(value);
        return index.contains(mixed) || std::binary_search(tail.begin(), tail.end(), mixed) ||
               std::binary_search(windows.begin(), windows.end(), value);
    }

    // The slice's number while loading, 0 otherwise.
    size_t sliceOf(int slice) const { return bulk ? std::min(size_t(qMax(slice, 0)), parts.size() - 1 - bulkPart) : 0; }

    Part &partOfSlice(size_t slice) { return bulk ? parts[bulkPart + slice] : parts.back(); }

    // Stages IMEIs of one slice that take the places from `firstPlace` on, in a tight loop of its own.
    void stageBatch(size_t slice, const quint64 *values, size_t count, quint64 firstPlace)
    {
        Staging &st = staging;
        const int valueRest = ValueBits - st.partitionBits;
        const int placeBits = st.placeBits();
        const quint64 restMask = lowBits(valueRest);
        const quint64 placeLimit = lowBits(placeBits);
        const size_t room = st.room;
        const size_t stride = st.slices * room;
        quint32 *const counts = st.counts[slice].data();
        quint64 *const entries = st.entries.data() + slice * room;
        for (size_t i = 0; i < count; ++i) {
            const quint64 mixed = mix(values[i]);
            const quint64 place = firstPlace + i;
            const size_t p = size_t(mixed >> valueRest);
            const quint32 c = counts[p];
            if (c < room && place <= placeLimit) {
                entries[p * stride + c] = (mixed & restMask) << placeBits | place;
                counts[p] = c + 1;
            } else {
                st.overflow[slice].push_back({mixed, place}); // no room left, or a place too far for an entry
            }
        }
    }

    // Outside a load: counted at once, the IMEIs into the tail. True when the tail is due to join the index.
    bool countRecord(const quint64 *values, int count)
    {
        {
            QMutexLocker lock(&orderMutex);
            if (ordered) {
                if (regulars % 64 == 0)
                    checkpoints.push_back(places);
                for (int k = 0; k < count; ++k)
                    orderedValues.push_back(values[k]);
            }
        }
        ++records;
        ++regulars;
        for (int k = 0; k < count; ++k) {
            const quint64 mixed = mix(values[k]);
            pending.push_back({mixed, places++});
            const auto pos = std::lower_bound(tail.begin(), tail.end(), mixed);
            if (pos == tail.end() || *pos != mixed)
                tail.insert(pos, mixed);
        }
        return tail.size() > TailLimit;
    }

    static void addRegularHead(Part &part, quint64 date, int count)
    {
        part.heads.push_back((quint64(count) << CountShift) | date);
        part.imeis += size_t(count);
    }

    // While loading.
    void appendRegular(size_t slice, Part &part, quint64 date, const quint64 *values, int count)
    {
        addRegularHead(part, date, count);
        stageBatch(slice, values, size_t(count), part.imeis - size_t(count));
    }

    // While loading: the regular record lines at the front of the text, each ending in a line feed with or
    // without a carriage return before it; returns the bytes they took. Parses in place, without looking for line ends
    // first: a line that is not regular, or is cut by the end of the text, stops it.
    qsizetype appendRegularLines(size_t slice, const char *text, qsizetype size)
    {
        constexpr qsizetype ShortestLine = DateLength + 2 + ImeiLength + 1;
        Part &part = partOfSlice(slice);
        const char *p = text;
        const char *const end = text + size;
        // The IMEIs are gathered first and staged a batch at a time.
        constexpr size_t Batch = 2048;
        quint64 batch[Batch + MaxImeisPerRecord];
        size_t batched = 0;
        auto flush = [&]() {
            stageBatch(slice, batch, batched, part.imeis - batched);
            batched = 0;
        };
        while (end - p >= ShortestLine) {
            quint64 date = 0;
            if (p[DateLength] != '\t' || p[DateLength + 1] != '\t' || !parseDate(QByteArrayView(p, DateLength), date))
                break;
            quint64 values[MaxImeisPerRecord];
            const char *group = p + DateLength + 2;
            const char *next = nullptr;
            int count = 0;
            while (end - group > ImeiLength && parseImeiAfterSeparator(group, values[count])) {
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
            addRegularHead(part, date, count);
            std::memcpy(batch + batched, values, sizeof(quint64) * size_t(count));
            batched += size_t(count);
            if (batched >= Batch)
                flush();
            p = next;
        }
        if (batched > 0)
            flush();
        return p - text;
    }

    // Stores an irregular record: the line as read (LineForm, `first` alone), or its date-time (`first`) and
    // IMEI text (`second`). Its runs of 15 digits are indexed by the caller, from text it can read aligned.
    void addIrregular(Part &part, int form, const void *first, size_t firstBytes, const void *second,
                      size_t secondBytes)
    {
        uchar prefix[10];
        const size_t prefixBytes = form == LineForm ? 0 : putVarint(prefix, firstBytes);
        const size_t payload = prefixBytes + firstBytes + secondBytes;
        uchar *out = part.irregular.room(payload + 10);
        size_t used = putVarint(out, quint64(payload) << 2 | quint64(form));
        for (auto [bytes, size] : {std::pair(static_cast<const void *>(prefix), prefixBytes),
                                   std::pair(first, firstBytes), std::pair(second, secondBytes)}) {
            if (size > 0)
                std::memcpy(out + used, bytes, size);
            used += size;
        }
        if (part.irregularCount % IrregularSampleEvery == 0)
            part.irregularSamples.push_back(part.irregular.size());
        part.irregular.grow(used);
        const quint64 position = part.recordCount();
        if (!part.runs.empty() && part.runs.back().start + part.runs.back().length == position)
            ++part.runs.back().length;
        else
            part.runs.push_back({position, part.irregularCount, 1});
        ++part.irregularCount;
        if (!bulk)
            ++records;
    }

    void appendIrregularLine(Part &part, QByteArrayView line)
    {
        const qsizetype lastTab = line.lastIndexOf('\t');
        indexWindows(part, line.data() + lastTab + 1, line.size() - lastTab - 1);
        addIrregular(part, LineForm, line.data(), size_t(line.size()), nullptr, 0);
    }

    void appendIrregularPair(Part &part, QByteArrayView date, QByteArrayView imeis)
    {
        indexWindows(part, imeis.data(), imeis.size());
        addIrregular(part, PairForm, date.data(), size_t(date.size()), imeis.data(), size_t(imeis.size()));
    }

    void appendIrregularWide(Part &part, QStringView date, QStringView imeis)
    {
        indexWindows(part, reinterpret_cast<const char16_t *>(imeis.utf16()), imeis.size());
        addIrregular(part, WidePairForm, date.utf16(), size_t(date.size()) * 2, imeis.utf16(),
                     size_t(imeis.size()) * 2);
    }

    // Where record `local` of a part is: true and the number of an irregular record, or false and the number
    // of a regular one.
    static bool locate(const Part &part, quint64 local, size_t &number)
    {
        const auto after = std::upper_bound(part.runs.begin(), part.runs.end(), local,
                                            [](quint64 v, const Run &r) { return v < r.start; });
        if (after == part.runs.begin()) {
            number = size_t(local);
            return false;
        }
        const Run &r = *(after - 1);
        if (local < r.start + r.length) {
            number = size_t(r.firstIrregular + (local - r.start));
            return true;
        }
        number = size_t(local - (r.firstIrregular + r.length));
        return false;
    }

    static size_t irregularOffset(const Part &part, size_t number)
    {
        size_t offset = part.irregularSamples[number / IrregularSampleEvery];
        for (size_t i = number - number % IrregularSampleEvery; i < number; ++i)
            irregularAt(part.irregular.data(), offset, &offset);
        return offset;
    }

    template <typename Char> void indexWindows(Part &part, const Char *p, qsizetype size)
    {
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
        if (bulk) {
            part.windowBudget -= count;
            forEachWindow(p, size, [&part](quint64 v) { part.windows.push_back(v); });
            return;
        }
        windowCount += count;
        forEachWindow(p, size, [this](quint64 v) {
            const auto pos = std::lower_bound(windows.begin(), windows.end(), v);
            if (pos == windows.end() || *pos != v)
                windows.insert(pos, v);
        });
    }

    const Part &partOf(qsizetype record) const
    {
        size_t p = parts.size() - 1;
        while (p > 0 && parts[p].firstRecord > record)
            --p;
        return parts[p];
    }

    quint64 regularHead(size_t regular) const
    {
        size_t p = parts.size() - 1;
        while (p > 0 && parts[p].firstRegular > regular)
            --p;
        return parts[p].heads[regular - parts[p].firstRegular];
    }

    // Calls fn(mixed, place) for every IMEI of the regular records: those indexed, those waiting in the
    // tail and those staged by a load that has ended.
    template <typename Fn> void forEachEntry(Fn fn) const
    {
        if (!index.empty()) {
            const int rest = index.restBits();
            const int placeBits = 64 - rest;
            const size_t inner = size_t(1) << index.innerBits;
            const size_t partitions = size_t(1) << index.partitionBits;
            const quint32 *dir = index.directory.data();
            for (size_t p = 0; p < partitions; ++p, ++dir) {
                for (size_t b = 0; b < inner; ++b, ++dir) {
                    const quint64 high = quint64((p << index.innerBits) | b) << rest;
                    for (quint32 i = dir[0]; i < dir[1]; ++i) {
                        const quint64 e = index.entries[i];
                        fn(high | (e >> placeBits), e & lowBits(placeBits));
                    }
                }
            }
        }
        for (const Entry &e : pending)
            fn(e.mixed, e.place);
        const Staging &st = staging;
        if (st.slices == 0 || st.placeOffsets.size() != st.slices)
            return;
        const int valueRest = ValueBits - st.partitionBits;
        const size_t partitions = size_t(1) << st.partitionBits;
        for (size_t s = 0; s < st.slices; ++s) {
            const quint64 offset = st.placeOffsets[s];
            for (size_t p = 0; p < partitions; ++p) {
                const quint64 *region = st.entries.data() + (p * st.slices + s) * st.room;
                for (quint32 i = 0; i < st.counts[s][p]; ++i)
                    fn(quint64(p) << valueRest | (region[i] >> st.placeBits()),
                       (region[i] & lowBits(st.placeBits())) + offset);
            }
            for (const Entry &e : st.overflow[s])
                fn(e.mixed, e.place + offset);
        }
    }

    void beginBulkLoad(std::initializer_list<qint64> sliceBytes);
    void endBulkLoad();
    bool finishStaging();
    Index buildIndex() const;
    void installIndex(Index &&built);
    void rebuild() { installIndex(buildIndex()); }
    void makeRoom(int count, QReadWriteLock &lock);
    void rebuildAside(QReadWriteLock &lock);
    void ensureOrdered() const;
    size_t placeOf(size_t regular) const;
    bool scanRegular(const QString &candidate) const;
    bool scanIrregular(const QString &candidate) const;
};

void ImeiHistory::Data::beginBulkLoad(std::initializer_list<qint64> sliceBytes)
{
    {
        QMutexLocker lock(&orderMutex);
        ordered = false;
        orderedValues = RawArray<quint64>();
        checkpoints.clear();
    }
    bulk = true;
    const size_t slices = std::max<size_t>(sliceBytes.size(), 1);
    bulkPart = parts.back().recordCount() == 0 ? parts.size() - 1 : parts.size();
    parts.resize(bulkPart + slices);
    // Room is only set aside: what is not written never becomes resident. The caps keep a huge damaged
    // file from reserving much; what does not fit goes to the overflow lists.
    constexpr size_t HeadCap = size_t(1) << 24;
    constexpr size_t ShortestRecordLine = DateLength + 2 + ImeiLength + 1;
    size_t largest = 0;
    size_t s = 0;
    for (qint64 sizeHint : sliceBytes) {
        const size_t bytes = size_t(qMax<qint64>(sizeHint, 0));
        Part &part = parts[bulkPart + s++];
        // Runs of digits in irregular text are indexed up to half the slice's size in bytes, so that a file of
        // digits costs no more than its size again; the rest are found by the literal scan.
        part.windowBudget = std::min((MaxWindows - std::min(windowCount, MaxWindows)) / slices, bytes / 16 + 512);
        part.heads.reserve(part.heads.size() + std::min(bytes / ShortestRecordLine, HeadCap));
        largest = std::max(largest, std::min(bytes / BytesPerImei + 1, MaxStagedImeis));
    }
    Staging &st = staging;
    st = Staging();
    st.partitionBits = partitionBitsFor(largest);
    st.slices = slices;
    const size_t partitions = size_t(1) << st.partitionBits;
    // Mixed values spread evenly: a partition's share varies by about its square root.
    const double share = double(largest) / double(partitions);
    st.room = size_t(share + 4.0 * std::sqrt(share)) + 8;
    st.entries.resizeUninitialised(partitions * slices * st.room);
    st.counts.assign(slices, std::vector<quint32>(partitions, 0));
    st.overflow.assign(slices, {});
}

void ImeiHistory::Data::endBulkLoad()
{
    if (!bulk) {
        rebuild();
        return;
    }
    bulk = false;
    // Each slice's places follow those of the parts before it.
    size_t place = 0;
    for (size_t i = 0; i < bulkPart; ++i)
        place += parts[i].imeis;
    staging.placeOffsets.clear();
    for (size_t s = 0; s < staging.slices; ++s) {
        staging.placeOffsets.push_back(place);
        place += parts[bulkPart + s].imeis;
    }
    // Empty slices go; the counts are taken from the parts.
    std::vector<Part> kept;
    kept.reserve(parts.size());
    for (Part &part : parts) {
        if (part.recordCount() > 0 || (kept.empty() && &part == &parts.back()))
            kept.push_back(std::move(part));
    }
    parts = std::move(kept);
    records = 0;
    regulars = 0;
    places = 0;
    bool newWindows = false;
    for (Part &part : parts) {
        part.firstRecord = records;
        part.firstRegular = regulars;
        records += qsizetype(part.recordCount());
        regulars += part.heads.size();
        places += part.imeis;
        windowsComplete = windowsComplete && part.windowsComplete;
        if (!part.windows.empty()) {
            windowCount += part.windows.size();
            windows.insert(windows.end(), part.windows.begin(), part.windows.end());
            part.windows = std::vector<quint64>();
            newWindows = true;
        }
    }
    if (newWindows) {
        std::sort(windows.begin(), windows.end());
        windows.erase(std::unique(windows.begin(), windows.end()), windows.end());
    }
    if (!index.empty() || !pending.empty() || !finishStaging())
        rebuild();
    staging = Staging();
}

// The load's entries sorted where they were staged, each partition in its own room. False when some
// partition's entries do not fit there (more IMEIs than the file's size let expect).
bool ImeiHistory::Data::finishStaging()
{
    Staging &st = staging;
    const size_t partitions = size_t(1) << st.partitionBits;
    const int valueRest = ValueBits - st.partitionBits;
    std::vector<Entry> extras;
    for (size_t s = 0; s < st.slices; ++s) {
        for (const Entry &e : st.overflow[s])
            extras.push_back({e.mixed, e.place + st.placeOffsets[s]});
    }
    std::sort(extras.begin(), extras.end(), [](const Entry &a, const Entry &b) { return a.mixed < b.mixed; });
    std::vector<size_t> extraStart(partitions + 1, 0);
    for (const Entry &e : extras)
        ++extraStart[size_t(e.mixed >> valueRest) + 1];
    for (size_t p = 0; p < partitions; ++p) {
        extraStart[p + 1] += extraStart[p];
        size_t total = extraStart[p + 1] - extraStart[p];
        for (size_t s = 0; s < st.slices; ++s)
            total += st.counts[s][p];
        if (total > st.slices * st.room)
            return false;
    }
    if (st.entries.size() > std::numeric_limits<quint32>::max())
        return false;

    Index built;
    built.partitionBits = st.partitionBits;
    const int bits = std::max(bucketBitsFor(places), st.partitionBits);
    built.innerBits = bits - st.partitionBits;
    built.directory.resizeUninitialised(partitions * ((size_t(1) << built.innerBits) + 1));
    built.entries = std::move(st.entries);
    inTwoParts(places >= ParallelValues, [&](int half) {
        std::vector<quint64> scratch;
        std::vector<Source> sources(st.slices);
        const size_t first = half == 0 ? 0 : partitions / 2;
        const size_t last = half == 0 ? partitions / 2 : partitions;
        for (size_t p = first; p < last; ++p) {
            for (size_t s = 0; s < st.slices; ++s)
                sources[s] = {(p * st.slices + s) * st.room, st.counts[s][p], st.placeOffsets[s]};
            ImeiIndex::sortPartition(built, p, p * st.slices * st.room, sources.data(), sources.size(), st.placeBits(),
                                     extras.data() + extraStart[p], extraStart[p + 1] - extraStart[p], scratch);
        }
    });
    index = std::move(built);
    return true;
}

// The index built anew from everything: its entries, the tail's and a finished load's, counted by partition
// and written in place, then each partition sorted.
ImeiHistory::Data::Index ImeiHistory::Data::buildIndex() const
{
    Index built;
    const size_t n = places;
    if (n > 0) {
        built.partitionBits = partitionBitsFor(n);
        const int bits = std::max(bucketBitsFor(n), built.partitionBits);
        built.innerBits = bits - built.partitionBits;
        const size_t partitions = size_t(1) << built.partitionBits;
        const int valueRest = ValueBits - built.partitionBits;
        const int stagedPlaceBits = 64 - valueRest; // holds every place below n
        std::vector<size_t> start(partitions + 1, 0);
        forEachEntry([&](quint64 mixed, quint64) { ++start[size_t(mixed >> valueRest) + 1]; });
        for (size_t p = 0; p < partitions; ++p)
            start[p + 1] += start[p];
        built.entries.resizeUninitialised(start[partitions]);
        built.directory.resizeUninitialised(partitions * ((size_t(1) << built.innerBits) + 1));
        std::vector<size_t> cursor(start.begin(), start.end() - 1);
        quint64 *out = built.entries.data();
        forEachEntry([&](quint64 mixed, quint64 place) {
            out[cursor[size_t(mixed >> valueRest)]++] = (mixed & lowBits(valueRest)) << stagedPlaceBits | place;
        });
        inTwoParts(n >= ParallelValues, [&](int half) {
            std::vector<quint64> scratch;
            const size_t first = half == 0 ? 0 : partitions / 2;
            const size_t last = half == 0 ? partitions / 2 : partitions;
            for (size_t p = first; p < last; ++p) {
                const Source source{start[p], start[p + 1] - start[p], 0};
                ImeiIndex::sortPartition(built, p, start[p], &source, 1, stagedPlaceBits, nullptr, 0, scratch);
            }
        });
    }
    return built;
}

void ImeiHistory::Data::installIndex(Index &&built)
{
    index = std::move(built);
    tail = std::vector<quint64>();
    pending = std::vector<Entry>();
    staging = Staging();
}

void ImeiHistory::Data::ensureOrdered() const
{
    QMutexLocker lock(&orderMutex);
    if (ordered)
        return;
    orderedValues = RawArray<quint64>();
    orderedValues.resizeUninitialised(places);
    forEachEntry([this](quint64 mixed, quint64 place) {
        if (place < orderedValues.size())
            orderedValues[place] = unmix(mixed);
    });
    checkpoints.clear();
    size_t place = 0;
    size_t regular = 0;
    for (const Part &part : parts) {
        for (quint64 head : part.heads) {
            if (regular++ % 64 == 0)
                checkpoints.push_back(place);
            place += size_t(head >> CountShift);
        }
    }
    ordered = true;
}

size_t ImeiHistory::Data::placeOf(size_t regular) const
{
    size_t place = checkpoints[regular / 64];
    for (size_t r = regular & ~size_t(63); r < regular; ++r)
        place += size_t(regularHead(r) >> CountShift);
    return place;
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
    if (places == 0)
        return false;
    ensureOrdered();
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
    const quint64 *values = orderedValues.data();
    if (!hasComma) {
        // Without a comma the candidate lies inside one IMEI: every IMEI on a line of its own.
        for (size_t i = 0; i < places; ++i) {
            writeImei(out + used, values[i]);
            out[used + ImeiLength] = '\n';
            used += ImeiLength + 1;
            if (used >= ScanChunk && flushed())
                return true;
        }
        return used > 0 && flushed();
    }
    size_t place = 0;
    for (const Part &part : parts) {
        for (quint64 head : part.heads) {
            const int count = int(head >> CountShift);
            if (count == 0)
                continue;
            for (int k = 0; k < count; ++k) {
                if (k > 0)
                    out[used++] = ',';
                writeImei(out + used, values[place++]);
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
    // ASCII texts decode to themselves in every 8-bit encoding: they are searched as bytes, many at a time,
    // joined by line feeds that keep matches apart (a candidate with a line feed is searched text by text).
    const bool lineFeed = candidate.contains(QLatin1Char('\n'));
    const bool asciiCandidate =
        std::all_of(candidate.cbegin(), candidate.cend(), [](QChar c) { return c.unicode() < 0x80; });
    const QByteArray needle = asciiCandidate ? candidate.toLatin1() : QByteArray();
    const QByteArrayMatcher matcher(needle);
    QByteArray chunk;
    auto chunkMatches = [&]() {
        const bool found = matcher.indexIn(chunk.constData(), chunk.size()) >= 0;
        chunk.clear();
        return found;
    };
    for (const Part &part : parts) {
        size_t offset = 0;
        for (size_t n = 0; n < part.irregularCount; ++n) {
            const IrregularText t = irregularAt(part.irregular.data(), offset, &offset);
            if (!t.wide() && isAscii(t.imeis, t.imeiBytes)) {
                if (!asciiCandidate || t.imeiBytes < size_t(needle.size()))
                    continue;
                if (lineFeed) {
                    if (matcher.indexIn(reinterpret_cast<const char *>(t.imeis), qsizetype(t.imeiBytes)) >= 0)
                        return true;
                    continue;
                }
                chunk.append(reinterpret_cast<const char *>(t.imeis), qsizetype(t.imeiBytes));
                chunk.append('\n');
                if (chunk.size() >= ScanChunk && chunkMatches())
                    return true;
                continue;
            }
            if (textOf(t.imeis, t.imeiBytes, t.wide()).contains(candidate))
                return true;
        }
    }
    return !chunk.isEmpty() && chunkMatches();
}

// Readers take the lock for reading; a writer takes it for writing only to store a record or to swap in
// what it built aside, so that a lookup never waits for a rebuild of the index. A load holds it throughout.
struct ImeiHistory::Sync
{
    mutable QReadWriteLock lock; // guards d against the readers
    QMutex writeMutex;           // one writer at a time; held while it builds aside
    std::atomic<bool> loading{false};
};

ImeiHistory::ImeiHistory() : d(new Data), m_sync(new Sync) {}

ImeiHistory::~ImeiHistory()
{
    delete d;
    delete m_sync;
}

void ImeiHistory::clear()
{
    QMutexLocker writer(&m_sync->writeMutex);
    Data *fresh = new Data;
    {
        QWriteLocker locker(&m_sync->lock);
        std::swap(d, fresh);
    }
    delete fresh; // the old history, freed outside the lock
}

// The arrays a regular record of `count` IMEIs grows, made larger aside while readers go on with them.
void ImeiHistory::Data::makeRoom(int count, QReadWriteLock &lock)
{
    Part &part = parts.back();
    RawArray<quint64> heads;
    RawArray<quint64> values;
    if (part.heads.size() == part.heads.capacity())
        heads = part.heads.copyWithCapacity(part.heads.grownCapacity(1));
    {
        QMutexLocker order(&orderMutex);
        if (ordered && orderedValues.size() + size_t(count) > orderedValues.capacity())
            values = orderedValues.copyWithCapacity(orderedValues.grownCapacity(size_t(count)));
    }
    if (heads.capacity() == 0 && values.capacity() == 0)
        return;
    QWriteLocker locker(&lock);
    if (heads.capacity() > 0)
        std::swap(part.heads, heads);
    // Once ordered, the values change only under the write lock: the copy is still whole.
    if (values.capacity() > 0 && ordered && values.size() == orderedValues.size())
        std::swap(orderedValues, values);
}

// The index built anew aside from everything appended, then swapped in under a short lock.
void ImeiHistory::Data::rebuildAside(QReadWriteLock &lock)
{
    Index built = buildIndex();
    QWriteLocker locker(&lock);
    installIndex(std::move(built));
}

bool ImeiHistory::appendIfRegular(QByteArrayView dateTime, QByteArrayView imeis, int slice)
{
    quint64 date = 0;
    quint64 values[MaxImeisPerRecord];
    int count = 0;
    if (!parseDate(dateTime, date) || !parseImeis(imeis, values, count))
        return false;
    if (m_sync->loading) {
        const size_t s = d->sliceOf(slice);
        d->appendRegular(s, d->partOfSlice(s), date, values, count);
        return true;
    }
    QMutexLocker writer(&m_sync->writeMutex);
    d->makeRoom(count, m_sync->lock);
    bool rebuildDue = false;
    {
        QWriteLocker locker(&m_sync->lock);
        d->addRegularHead(d->parts.back(), date, count);
        rebuildDue = d->countRecord(values, count);
    }
    if (rebuildDue)
        d->rebuildAside(m_sync->lock);
    return true;
}

void ImeiHistory::append(const QString &dateTime, const QString &imeis)
{
    auto isAsciiText = [](const QString &s) {
        return std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x80; });
    };
    if (dateTime.size() == DateLength && imeis.size() <= MaxRegularText && isAsciiText(dateTime) &&
        isAsciiText(imeis) && appendIfRegular(dateTime.toLatin1(), imeis.toLatin1()))
        return;
    appendIrregular([&](Data::Part &part) { d->appendIrregularWide(part, dateTime, imeis); }, 0);
}

template <typename Add> void ImeiHistory::appendIrregular(Add add, int slice)
{
    if (m_sync->loading) {
        add(d->partOfSlice(d->sliceOf(slice)));
        return;
    }
    QMutexLocker writer(&m_sync->writeMutex);
    QWriteLocker locker(&m_sync->lock);
    add(d->parts.back());
}

void ImeiHistory::appendEncoded(QByteArrayView dateTime, QByteArrayView imeis, int slice)
{
    // Regular records are ASCII, the same in every 8-bit encoding.
    if (!appendIfRegular(dateTime, imeis, slice))
        appendIrregular([&](Data::Part &part) { d->appendIrregularPair(part, dateTime, imeis); }, slice);
}

void ImeiHistory::appendEncodedLine(QByteArrayView line, int slice)
{
    const qsizetype firstTab = line.indexOf('\t');
    if (firstTab >= 0 && appendIfRegular(line.first(firstTab), line.sliced(line.lastIndexOf('\t') + 1), slice))
        return;
    appendIrregular([&](Data::Part &part) { d->appendIrregularLine(part, line); }, slice);
}

qsizetype ImeiHistory::appendRegularLines(QByteArrayView text, int slice)
{
    if (m_sync->loading)
        return d->appendRegularLines(d->sliceOf(slice), text.data(), text.size());
    // Outside a load, record by record, each through the locks.
    qsizetype taken = 0;
    for (;;) {
        const qsizetype newline = text.sliced(taken).indexOf('\n');
        if (newline < 0)
            return taken;
        QByteArrayView line = text.sliced(taken, newline);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() <= DateLength + 2 || line.at(DateLength) != '\t' || line.at(DateLength + 1) != '\t' ||
            !appendIfRegular(line.first(DateLength), line.sliced(DateLength + 2)))
            return taken;
        taken += newline + 1;
    }
}

void ImeiHistory::beginBulkLoad(qint64 sizeHint)
{
    beginBulkLoad({sizeHint});
}

void ImeiHistory::beginBulkLoad(qint64 firstSliceBytes, qint64 secondSliceBytes)
{
    beginBulkLoad({firstSliceBytes, secondSliceBytes});
}

void ImeiHistory::beginBulkLoad(std::initializer_list<qint64> sliceBytes)
{
    m_sync->writeMutex.lock();
    m_sync->lock.lockForWrite();
    m_sync->loading = true;
    d->beginBulkLoad(sliceBytes);
}

void ImeiHistory::endBulkLoad()
{
    if (!m_sync->loading) { // the index built anew
        QMutexLocker writer(&m_sync->writeMutex);
        d->rebuildAside(m_sync->lock);
        return;
    }
    d->endBulkLoad();
    m_sync->loading = false;
    m_sync->lock.unlock();
    m_sync->writeMutex.unlock();
}

qsizetype ImeiHistory::size() const
{
    QReadLocker locker(&m_sync->lock);
    return d->records;
}

ImeiHistoryRecord ImeiHistory::at(qsizetype index) const
{
    QReadLocker locker(&m_sync->lock);
    if (index < 0 || index >= d->records)
        return {};
    const Data::Part &part = d->partOf(index);
    size_t number = 0;
    if (Data::locate(part, quint64(index - part.firstRecord), number)) {
        const IrregularText t = irregularAt(part.irregular.data(), Data::irregularOffset(part, number));
        return {textOf(t.date, t.dateBytes, t.wide()), textOf(t.imeis, t.imeiBytes, t.wide())};
    }
    const quint64 head = part.heads[number];
    const int count = int(head >> CountShift);
    d->ensureOrdered();
    const size_t place = d->placeOf(part.firstRegular + number);
    char text[MaxRegularText];
    qsizetype used = 0;
    for (int k = 0; k < count; ++k) {
        if (k > 0)
            text[used++] = ',';
        writeImei(text + used, d->orderedValues[place + size_t(k)]);
        used += ImeiLength;
    }
    return {unpackDate(head & DateMask), QString::fromLatin1(text, used)};
}

bool ImeiHistory::contains(const QString &candidate) const
{
    QReadLocker locker(&m_sync->lock);
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
