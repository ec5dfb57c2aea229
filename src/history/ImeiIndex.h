#pragma once

// The index of the IMEI history: every IMEI of the records the tool writes, with its place in record order. IMEIs
// (below 2^50) are mixed by a bijective function, grouped by their top bits into partitions, then buckets, with a
// directory of bucket starts. The bits a bucket stands for are not stored again: an entry holds the rest of the
// value and the place. Built by sorting each partition on its own, in the cache and on two threads when big.

#include "history/RawArray.h"

#include <QString>
#include <QThread>

#include <algorithm>
#include <memory>
#include <vector>

namespace ImeiIndexBits {

constexpr size_t LongBucket = 32;                  // a bucket longer than this holds repeats: it is sorted and searched
constexpr size_t ParallelValues = size_t(1) << 18; // index builds this big use a second thread
constexpr int ValueBits = 50;                      // 10^15 < 2^50
constexpr quint64 ValueMask = (quint64(1) << ValueBits) - 1;
constexpr int MinPartitionBits = 8; // a loading thread writes one line per partition at a time: they stay cached
constexpr int PlaceBitsOverPartition = 64 - ValueBits; // staged entry: rest of the value, then the place

inline quint64 lowBits(int bits)
{
    return bits >= 64 ? ~quint64(0) : (quint64(1) << bits) - 1;
}

// Bits needed to hold the numbers 0 to n.
inline int bitsFor(quint64 n)
{
    int bits = 0;
    while (bits < 64 && (n >> bits) != 0)
        ++bits;
    return bits;
}

// Bucket bits for n values: about four values a bucket.
inline int bucketBitsFor(size_t n)
{
    int bits = 1;
    while (bits < 31 && (size_t(1) << bits) < (n + 3) / 4)
        ++bits;
    return bits;
}

// Partition bits for up to n places: enough that a staged entry holds its place.
inline int partitionBitsFor(quint64 n)
{
    return std::max(MinPartitionBits, bitsFor(n) - PlaceBitsOverPartition);
}

constexpr quint64 MixA = 0x3b58476d1ce4e5b9ULL & ValueMask; // odd
constexpr quint64 MixB = 0x14d049bb133111ebULL & ValueMask; // odd

constexpr quint64 inverseOdd(quint64 a)
{
    quint64 x = a; // Newton's iteration doubles the correct low bits each step
    for (int i = 0; i < 6; ++i)
        x *= 2 - a * x;
    return x;
}

constexpr quint64 MixAInverse = inverseOdd(MixA) & ValueMask;
constexpr quint64 MixBInverse = inverseOdd(MixB) & ValueMask;
static_assert(((MixA * MixAInverse) & ValueMask) == 1 && ((MixB * MixBInverse) & ValueMask) == 1);

inline quint64 unshift(quint64 y, int shift)
{
    quint64 x = y;
    for (int s = shift; s < ValueBits; s += shift)
        x ^= y >> s;
    return x;
}

// Bijective on the values below 2^50, so entries can drop the bits their bucket stands for and still
// compare exactly; it spreads the consecutive IMEIs of a production run evenly over the buckets.
inline quint64 mix(quint64 x)
{
    x ^= x >> 26;
    x = (x * MixA) & ValueMask;
    x ^= x >> 24;
    x = (x * MixB) & ValueMask;
    x ^= x >> 25;
    return x;
}

inline quint64 unmix(quint64 x)
{
    x = unshift(x, 25);
    x = (x * MixBInverse) & ValueMask;
    x = unshift(x, 24);
    x = (x * MixAInverse) & ValueMask;
    return unshift(x, 26);
}

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

} // namespace ImeiIndexBits

// Entries grouped by partition, then bucket: the bits of the mixed value below the bucket's, then the
// place. Partition p owns the directory entries [p * (inner + 1), (p + 1) * (inner + 1)]: its buckets'
// starts and its end; partitions may have gaps between them.
struct ImeiIndex final
{
    RawArray<quint64> entries;
    RawArray<quint32> directory; // empty: nothing indexed
    int partitionBits = ImeiIndexBits::MinPartitionBits;
    int innerBits = 0;
    int restBits() const { return ImeiIndexBits::ValueBits - partitionBits - innerBits; }
    bool empty() const { return directory.empty(); }
    // An IMEI outside the index: its mixed value and its place in record order.
    struct Entry
    {
        quint64 mixed;
        quint64 place;
    };
    // A run of staged entries of one partition, and what to add to their places.
    struct Source
    {
        size_t begin;
        size_t count;
        quint64 placeOffset;
    };

    // True when the mixed value is indexed.
    bool contains(quint64 mixed) const
    {
        if (empty())
            return false;
        const int rest = restBits();
        const int placeBits = 64 - rest;
        const size_t bucket = size_t(mixed >> rest);
        const quint32 *dir = directory.data() + bucket + (bucket >> innerBits);
        const quint64 *first = entries.data() + dir[0];
        const quint64 *last = entries.data() + dir[1];
        const quint64 key = mixed & ImeiIndexBits::lowBits(rest);
        if (size_t(last - first) > ImeiIndexBits::LongBucket) {
            const quint64 *it = std::lower_bound(first, last, key << placeBits);
            return it != last && (*it >> placeBits) == key;
        }
        for (; first != last; ++first) {
            if ((*first >> placeBits) == key)
                return true;
        }
        return false;
    }

    static void sortPartition(ImeiIndex &built, size_t partition, size_t base, const Source *sources,
                              size_t sourceCount, int stagedPlaceBits, const Entry *extras, size_t extraCount,
                              std::vector<quint64> &scratch);
};
