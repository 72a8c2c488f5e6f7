#include "writer/number_format.h"

#include <charconv>
#include <cmath>
#include <limits>

char* FormatFixed4General(char* out, float value)
{
    double d = value;
    if (d == 0.0)
    {
        std::memcpy(out, "0.0000", 6);
        return out + 6;
    }
    // d * 10^4 ends in exactly .5 only when d is an odd multiple of 1/32
    // (10^4 / 32 = 312.5). std::to_chars rounds such ties to even; moving d
    // one double away from zero makes it round away instead, and cannot
    // change any other value's four decimals.
    const double scaled = d * 32.0; // exact: a power of two
    if (scaled == std::trunc(scaled) && std::fmod(scaled, 2.0) != 0.0)
        d = std::nextafter(d, d > 0 ? std::numeric_limits<double>::infinity()
                                    : -std::numeric_limits<double>::infinity());
    return std::to_chars(out, out + kMaxFixed4Length, d, std::chars_format::fixed, 4).ptr;
}
