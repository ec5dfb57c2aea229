#include "history/ImeiIndex.h"

#include <cstring>

using namespace ImeiIndexBits;

// Sorts a partition's entries, gathered from its sources and extras, into its buckets from `base` on, and
// fills its directory entries. A bucket far longer than the average of four holds repeats (a pressure test
// records the same IMEIs over and over): it is sorted, so lookups search it instead of walking it.
void ImeiIndex::sortPartition(ImeiIndex &built, size_t partition, size_t base, const Source *sources,
                              size_t sourceCount, int stagedPlaceBits, const Entry *extras, size_t extraCount,
                              std::vector<quint64> &scratch)
{
    const int valueRest = ValueBits - built.partitionBits;
    const int rest = built.restBits();
    const int placeBits = 64 - rest;
    const int bucketShift = stagedPlaceBits + rest - 1; // then one more: all 64 bits when a partition has one bucket
    const quint64 restMask = lowBits(rest);
    const quint64 placeMask = lowBits(stagedPlaceBits);
    const size_t inner = size_t(1) << built.innerBits;
    quint64 *const entries = built.entries.data();
    size_t staged = 0;
    for (size_t s = 0; s < sourceCount; ++s)
        staged += sources[s].count;
    if (scratch.size() < staged)
        scratch.resize(staged);
    quint64 *const copy = scratch.data();
    size_t copied = 0;
    for (size_t s = 0; s < sourceCount; ++s) {
        if (sources[s].count > 0)
            std::memcpy(copy + copied, entries + sources[s].begin, sources[s].count * sizeof(quint64));
        copied += sources[s].count;
    }

    quint32 *dir = built.directory.data() + partition * (inner + 1);
    std::fill(dir, dir + inner + 1, 0);
    for (size_t i = 0; i < staged; ++i)
        ++dir[size_t((copy[i] >> bucketShift) >> 1) + 1];
    for (size_t i = 0; i < extraCount; ++i)
        ++dir[size_t((extras[i].mixed & lowBits(valueRest)) >> rest) + 1];
    size_t largest = 0;
    dir[0] = quint32(base);
    for (size_t b = 1; b <= inner; ++b) {
        largest = std::max<size_t>(largest, dir[b]);
        dir[b] += dir[b - 1];
    }
    // dir[b + 1] is now the end of bucket b: each bucket is filled from its end down.
    size_t next = 0;
    for (size_t s = 0; s < sourceCount; ++s) {
        const quint64 offset = sources[s].placeOffset;
        for (const size_t end = next + sources[s].count; next < end; ++next) {
            const quint64 e = copy[next];
            entries[--dir[size_t((e >> bucketShift) >> 1) + 1]] =
                ((e >> stagedPlaceBits) & restMask) << placeBits | ((e & placeMask) + offset);
        }
    }
    for (size_t i = 0; i < extraCount; ++i) {
        const quint64 rest50 = extras[i].mixed & lowBits(valueRest);
        entries[--dir[size_t(rest50 >> rest) + 1]] = (rest50 & restMask) << placeBits | extras[i].place;
    }
    const size_t total = staged + extraCount;
    // Each bucket was filled from its end down: dir[b + 1] is now the start of bucket b.
    std::memmove(dir, dir + 1, inner * sizeof(quint32));
    dir[inner] = quint32(base + total);
    if (largest <= LongBucket)
        return;
    for (size_t b = 0; b < inner; ++b) {
        if (dir[b + 1] - dir[b] > LongBucket)
            std::sort(entries + dir[b], entries + dir[b + 1]);
    }
}
