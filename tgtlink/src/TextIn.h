#pragma once

#include <cstddef>
#include <string>

// Text taken from a backend through a caller's buffer, retried once with the size it asked for.
namespace TextIn {

template <typename Fn> int read(std::string &out, Fn call)
{
    std::string buffer(256, '\0');
    std::size_t length = 0;
    int rc = call(&buffer[0], buffer.size(), &length);
    if (rc == 0 && length >= buffer.size()) {
        buffer.assign(length + 1, '\0');
        rc = call(&buffer[0], buffer.size(), &length);
    }
    if (rc != 0)
        return rc;
    buffer.resize(length < buffer.size() ? length : buffer.size() - 1);
    out = buffer;
    return 0;
}

} // namespace TextIn
