#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// Text handed across the backend boundary into a caller's buffer: always NUL-terminated, cut to fit, with the
// full length reported so that the caller can retry with a larger buffer.
namespace TextOut {

inline void copy(const std::string &text, char *buffer, std::size_t size, std::size_t *length)
{
    if (length)
        *length = text.size();
    if (!buffer || size == 0)
        return;
    const std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

} // namespace TextOut
