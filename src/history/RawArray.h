#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

// Storage of the histories' big arrays, the one place that asks the system for memory itself. On Linux a
// big block is mapped on its own, aligned to huge pages and advised onto them: filling a long history in
// small pages costs tens of thousands of page faults, and the allocator's own choice (its heap or a
// mapping, by a threshold it moves as blocks are freed) would decide that differently from one load to the
// next. Room set aside and not written never becomes resident. On Windows a big block is reserved and
// committed on its own for the same reason (RawMemoryPosix.cpp, RawMemoryWin.cpp).
namespace RawMemory {
size_t blockBytes(size_t bytes);
void *allocateBlock(size_t bytes);
void releaseBlock(void *block, size_t bytes);
} // namespace RawMemory

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
    ~RawArray() { RawMemory::releaseBlock(m_data, m_capacity * sizeof(T)); }

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
    // The capacity that room for `count` more elements grows to.
    size_t grownCapacity(size_t count) const
    {
        return m_size + count <= m_capacity ? m_capacity : std::max({m_size + count, 2 * m_capacity, size_t(64)});
    }
    // Room for `count` more elements, written through the pointer returned and then taken by grow().
    T *room(size_t count)
    {
        reserve(grownCapacity(count));
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
        if (RawMemory::blockBytes(m_size * sizeof(T)) < RawMemory::blockBytes(m_capacity * sizeof(T)))
            moveTo(m_size);
    }
    // A copy with room for `capacity` elements: lets a writer grow an array that readers still use, aside,
    // and swap it in afterwards.
    RawArray copyWithCapacity(size_t capacity) const
    {
        RawArray copy;
        copy.reserve(std::max(capacity, m_size));
        if (m_size > 0)
            std::memcpy(static_cast<void *>(copy.m_data), m_data, m_size * sizeof(T));
        copy.m_size = m_size;
        return copy;
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
        const size_t bytes = RawMemory::blockBytes(count * sizeof(T));
        T *block = count == 0 ? nullptr : static_cast<T *>(RawMemory::allocateBlock(bytes));
        Q_CHECK_PTR(count == 0 || block);
        if (m_size > 0)
            std::memcpy(static_cast<void *>(block), m_data, m_size * sizeof(T));
        RawMemory::releaseBlock(m_data, m_capacity * sizeof(T));
        m_data = block;
        m_capacity = bytes / sizeof(T);
    }

    T *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};
