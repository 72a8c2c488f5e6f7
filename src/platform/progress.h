#pragma once

#include <cstdint>

// Watches work that runs on another thread than its user's window (a read,
// a write): told how far it is, and asked whether to go on.
class IProgress
{
public:
    virtual ~IProgress() = default;
    // done of total units of the current step are finished. False stops
    // the work: it then fails as a failed step does (nothing at any output
    // path changes), without a word.
    [[nodiscard]] virtual bool Continue(std::uint64_t done, std::uint64_t total) = 0;
};
