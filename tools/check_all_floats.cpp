// Compares FormatFixed4 with FormatFixed4General on all 2^32 bit patterns
// of a float, on every core; prints the first difference, if any. Takes a
// few minutes, so it is no unit test:
//
//   build/tools/check_all_floats

#include "writer/number_format.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

int main()
{
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::atomic<std::uint64_t> differences{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
    {
        workers.emplace_back([&, t] {
            char fast[kMaxFixed4Length], general[kMaxFixed4Length];
            for (std::uint64_t bits = t; bits <= 0xFFFFFFFFu; bits += threads)
            {
                float value;
                const auto pattern = static_cast<std::uint32_t>(bits);
                std::memcpy(&value, &pattern, sizeof value);
                const char* fastEnd = FormatFixed4(fast, value);
                const char* generalEnd = FormatFixed4General(general, value);
                if (fastEnd - fast != generalEnd - general ||
                    std::memcmp(fast, general, static_cast<std::size_t>(fastEnd - fast)) != 0)
                {
                    if (differences++ == 0)
                        std::printf("first difference: bits %08x: '%.*s' against '%.*s'\n", pattern,
                                    static_cast<int>(fastEnd - fast), fast,
                                    static_cast<int>(generalEnd - general), general);
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    std::printf("%llu bit patterns compared, %llu differences\n", 1ULL << 32,
                static_cast<unsigned long long>(differences.load()));
    return differences == 0 ? 0 : 1;
}
