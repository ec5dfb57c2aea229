#include "history/ValueIndex.h"

#include <thread>
#include <vector>

namespace {

constexpr int MinPartitionBits = 8;                // a pass writes one stream per partition: they stay cached
constexpr int MaxInnerBits = 12;                   // a partition's directory stays cached while it is sorted
constexpr size_t ParallelValues = size_t(1) << 18; // from this many on, two threads sort the partitions

// Bucket bits for n values: about eight values a bucket, the entries of one cache line.
int bucketBitsFor(size_t n)
{
    int bits = 1;
    while (bits < 32 && (size_t(1) << bits) < (n + 7) / 8)
        ++bits;
    return bits;
}

} // namespace

void ValueIndex::build(const quint64 *hashes, const quint64 *places, size_t count)
{
    const int bits = bucketBitsFor(count);
    m_partitionBits = std::max(MinPartitionBits, bits - MaxInnerBits);
    m_innerBits = std::max(0, bits - m_partitionBits);
    const size_t partitions = size_t(1) << m_partitionBits;
    const size_t buckets = size_t(1) << m_innerBits;
    const int partitionShift = 64 - m_partitionBits;

    std::vector<size_t> start(partitions + 1, 0);
    for (size_t i = 0; i < count; ++i) {
        if (hashes[i] != 0)
            ++start[size_t(hashes[i] >> partitionShift) + 1];
    }
    for (size_t p = 0; p < partitions; ++p)
        start[p + 1] += start[p];
    const size_t total = start[partitions];

    // Entries by partition, in file order within each; then each partition, copied aside, into its buckets in
    // place, each bucket filled from its end down.
    m_entries = RawArray<quint64>();
    m_entries.resizeUninitialised(total);
    std::vector<size_t> cursor(start.begin(), start.end() - 1);
    for (size_t i = 0; i < count; ++i) {
        const quint64 hash = hashes[i];
        if (hash != 0)
            m_entries[cursor[size_t(hash >> partitionShift)]++] = keyOf(hash) << PlaceBits | (places[i] & PlaceMask);
    }
    m_directory = RawArray<quint32>();
    m_directory.resizeUninitialised(partitions * (buckets + 1));
    const int bucketShift = PlaceBits + KeyBits - m_innerBits;
    quint64 *const entries = m_entries.data();
    auto sortPartitions = [&](size_t firstPartition, size_t lastPartition) {
        std::vector<quint64> staged;
        for (size_t p = firstPartition; p < lastPartition; ++p) {
            quint32 *dir = m_directory.data() + p * (buckets + 1);
            std::fill(dir, dir + buckets + 1, 0);
            staged.assign(entries + start[p], entries + start[p + 1]);
            const quint64 *const first = staged.data();
            const quint64 *const last = first + staged.size();
            if (m_innerBits == 0) {
                dir[1] = quint32(last - first);
            } else {
                for (const quint64 *e = first; e != last; ++e)
                    ++dir[size_t(*e >> bucketShift) + 1];
            }
            dir[0] = quint32(start[p]);
            size_t longest = 0;
            for (size_t b = 1; b <= buckets; ++b) {
                longest = std::max<size_t>(longest, dir[b]);
                dir[b] += dir[b - 1];
            }
            // dir[b + 1] is the end of bucket b: filled downwards it becomes its start.
            for (const quint64 *e = first; e != last; ++e)
                entries[--dir[(m_innerBits == 0 ? 0 : size_t(*e >> bucketShift)) + 1]] = *e;
            std::copy(dir + 1, dir + buckets + 1, dir);
            dir[buckets] = quint32(start[p + 1]);
            if (longest <= LongBucket)
                continue;
            for (size_t b = 0; b < buckets; ++b) {
                if (dir[b + 1] - dir[b] > LongBucket)
                    std::sort(entries + dir[b], entries + dir[b + 1]);
            }
        }
    };
    if (total < ParallelValues) {
        sortPartitions(0, partitions);
        return;
    }
    // Each thread writes only its own partitions' entries and directory slots.
    std::thread helper(sortPartitions, partitions / 2, partitions);
    sortPartitions(0, partitions / 2);
    helper.join();
}
