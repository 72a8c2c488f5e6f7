#include "writer/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{

// "00" to "99", for writing two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* WritePair(char* out, unsigned pair)
{
    std::memcpy(out, &kDigitPairs[2 * pair], 2);
    return out + 2;
}

// Decimal digits of value, two at a time from the right.
char* WriteUnsigned(char* out, std::uint64_t value)
{
    char digits[20];
    char* p = digits + sizeof digits;
    for (; value >= 100; value /= 100)
        std::memcpy(p -= 2, &kDigitPairs[2 * (value % 100)], 2);
    if (value >= 10)
        std::memcpy(p -= 2, &kDigitPairs[2 * value], 2);
    else
        *--p = static_cast<char>('0' + value);
    const auto count = static_cast<std::size_t>(digits + sizeof digits - p);
    std::memcpy(out, p, count);
    return out + count;
}

} // namespace

char* FormatFixed4(char* out, float value)
{
    // A float is m * 2^e with an integer m below 2^24. Its four decimals
    // follow from m * 10^4 shifted by e, rounded half away from zero, in
    // 64-bit integers for every value below 2^25 * 2^24 (about 5.6e14);
    // larger values, infinities and NaN take the general path.
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint32_t biased = (bits >> 23) & 0xFF;
    std::uint64_t mantissa = bits & 0x7FFFFF;
    if (biased == 0 && mantissa == 0)
    {
        std::memcpy(out, "0.0000", 6); // either zero
        return out + 6;
    }
    int exponent = -149; // subnormal
    if (biased != 0)
    {
        mantissa |= 0x800000;
        exponent = static_cast<int>(biased) - 150;
    }
    if (exponent > 25) // also infinities and NaN (biased 255)
        return FormatFixed4General(out, value);

    std::uint64_t scaled; // round(|value| * 10^4)
    if (exponent >= 0)
    {
        scaled = (mantissa << exponent) * 10000;
    }
    else
    {
        const int shift = -exponent;
        const std::uint64_t product = mantissa * 10000; // below 2^38
        if (shift > 38)
        {
            scaled = 0; // below half of 10^-4
        }
        else
        {
            scaled = product >> shift;
            const std::uint64_t rest = product & ((std::uint64_t{1} << shift) - 1);
            if (rest >= (std::uint64_t{1} << (shift - 1)))
                ++scaled; // half or more: away from zero
        }
    }

    // A non-zero value keeps its sign, also when it rounds to zero.
    if (bits >> 31)
        *out++ = '-';
    out = WriteUnsigned(out, scaled / 10000);
    *out++ = '.';
    const auto decimals = static_cast<unsigned>(scaled % 10000);
    out = WritePair(out, decimals / 100);
    return WritePair(out, decimals % 100);
}

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

char* FormatInt(char* out, std::int32_t value)
{
    return std::to_chars(out, out + 11, value).ptr;
}
