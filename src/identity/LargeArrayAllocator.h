#pragma once

#include <QtGlobal>

#include <cstdlib>
#include <new>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

// Allocator for the history's big arrays (tens of megabytes): on Linux they are placed on huge pages,
// which spares the tens of thousands of page faults that loading a long history would otherwise take.
// Elsewhere, and for small arrays, it is the plain allocator.
template <typename T> class LargeArrayAllocator
{
public:
    using value_type = T;

    LargeArrayAllocator() = default;
    template <typename U> LargeArrayAllocator(const LargeArrayAllocator<U> &) noexcept {}

    T *allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < HugePage)
            return static_cast<T *>(::operator new(bytes));
#ifdef Q_OS_LINUX
        const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        void *p = std::aligned_alloc(HugePage, rounded);
        if (p)
            ::madvise(p, rounded, MADV_HUGEPAGE); // a hint: without it the memory is just ordinary pages
#else
        void *p = std::malloc(bytes);
#endif
        if (!p)
            throw std::bad_alloc();
        return static_cast<T *>(p);
    }

    void deallocate(T *p, std::size_t n) noexcept
    {
        if (n * sizeof(T) < HugePage)
            ::operator delete(p);
        else
            std::free(p);
    }

    template <typename U> bool operator==(const LargeArrayAllocator<U> &) const noexcept
    {
        return true;
    }
    template <typename U> bool operator!=(const LargeArrayAllocator<U> &) const noexcept
    {
        return false;
    }

private:
    static constexpr std::size_t HugePage = std::size_t(2) << 20;
};
