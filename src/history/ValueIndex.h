#pragma once

#include "history/RawArray.h"

#include <algorithm>

// The membership index of a single-value history, built once from the values' hashes and the places the
// values are kept at. Entries are grouped by the hash's top bits into partitions and then buckets of about eight,
// with a directory of bucket starts; an entry holds 24 more bits of the hash and the value's place, so that a
// lookup reads one directory slot, one bucket and, for a likely match, the value itself. Built in three passes
// that each stay in the cache: partitions filled in file order, then each partition sorted into its buckets.
class ValueIndex final
{
public:
    static constexpr int PlaceBits = 40; // a place of the values' storage: up to a terabyte

    // Indexes `count` values from their hashes and places; a hash of 0 leaves its value out (a repeat found
    // already). Hashes of indexed values are odd, so that none is 0.
    void build(const quint64 *hashes, const quint64 *places, size_t count);
    bool empty() const { return m_directory.empty(); }

    // True when equal(place) holds for an indexed value whose hash agrees with `hash` in the bits kept.
    template <typename Equal> bool find(quint64 hash, Equal equal) const
    {
        if (m_directory.empty())
            return false;
        const quint64 key = keyOf(hash);
        const size_t partition = size_t(hash >> (64 - m_partitionBits));
        const size_t bucket = size_t(key >> (KeyBits - m_innerBits));
        const quint32 *dir = m_directory.data() + partition * ((size_t(1) << m_innerBits) + 1) + bucket;
        const quint64 *first = m_entries.data() + dir[0];
        const quint64 *const last = m_entries.data() + dir[1];
        const bool sorted = size_t(last - first) > LongBucket;
        if (sorted)
            first = std::lower_bound(first, last, key << PlaceBits);
        for (; first != last; ++first) {
            const quint64 entryKey = *first >> PlaceBits;
            if (entryKey == key) {
                if (equal(*first & PlaceMask))
                    return true;
            } else if (sorted) {
                break;
            }
        }
        return false;
    }

private:
    static constexpr int KeyBits = 64 - PlaceBits;
    static constexpr quint64 PlaceMask = (quint64(1) << PlaceBits) - 1;
    // A bucket longer than this holds repeats the load did not catch: it is sorted and searched.
    static constexpr size_t LongBucket = 32;

    quint64 keyOf(quint64 hash) const
    {
        return (hash >> (PlaceBits - m_partitionBits)) & ((quint64(1) << KeyBits) - 1);
    }

    RawArray<quint64> m_entries;   // key << PlaceBits | place, by partition and bucket
    RawArray<quint32> m_directory; // partition p: its buckets' starts and its end, from p * (buckets + 1)
    int m_partitionBits = 8;
    int m_innerBits = 0; // bucket bits within a partition
};
