#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace platform::detail
{

// A short text kept per thread (thread_local) in a fixed buffer, cut at
// its size. A thread_local object with a destructor is not safe on every
// system we build for: MinGW's runtime can free a thread's storage before
// it runs those destructors, and a worker thread's end then corrupts the
// heap.
struct ThreadText
{
    char text[1024];
    std::size_t size;

    void Set(std::string_view value)
    {
        size = std::min(value.size(), sizeof text);
        std::memcpy(text, value.data(), size);
    }
    std::string Get() const { return std::string(text, size); }
};

} // namespace platform::detail
