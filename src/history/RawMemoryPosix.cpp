#include "history/RawArray.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace {
constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t MappedBytes = HugePage / 2; // blocks from this size on are mapped
} // namespace

size_t RawMemory::blockBytes(size_t bytes)
{
    return bytes >= MappedBytes ? (bytes + HugePage - 1) & ~(HugePage - 1) : bytes;
}

void *RawMemory::allocateBlock(size_t bytes)
{
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
    return std::malloc(bytes);
}

void RawMemory::releaseBlock(void *block, size_t bytes)
{
    if (!block)
        return;
    if (bytes >= MappedBytes) {
        ::munmap(block, blockBytes(bytes));
        return;
    }
    std::free(block);
}
