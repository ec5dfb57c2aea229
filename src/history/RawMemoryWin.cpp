#include "history/RawArray.h"

#include <cstdlib>

#include <windows.h>

namespace {
constexpr size_t Granule = size_t(64) << 10;    // the system's allocation granularity
constexpr size_t MappedBytes = size_t(1) << 20; // blocks from this size on come from the system on their own
} // namespace

size_t RawMemory::blockBytes(size_t bytes)
{
    return bytes >= MappedBytes ? (bytes + Granule - 1) & ~(Granule - 1) : bytes;
}

// Reserved and committed at once: pages never written are never made resident, as with a mapping elsewhere.
void *RawMemory::allocateBlock(size_t bytes)
{
    if (bytes >= MappedBytes)
        return VirtualAlloc(nullptr, blockBytes(bytes), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return std::malloc(bytes);
}

void RawMemory::releaseBlock(void *block, size_t bytes)
{
    if (!block)
        return;
    if (bytes >= MappedBytes) {
        VirtualFree(block, 0, MEM_RELEASE);
        return;
    }
    std::free(block);
}
