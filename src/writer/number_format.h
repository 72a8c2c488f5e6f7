#pragma once

#include <cstdint>
#include <cstring>

// Number text of the project file, the same bytes under every locale.

// The longest text FormatFixed4 writes: sign, 39 integer digits of the
// largest float, point and four decimals.
inline constexpr int kMaxFixed4Length = 48;

// Writes value as printf's "%.4f" would, with two differences that the file
// format fixes: exact ties round away from zero (0.03125 -> 0.0313), and an
// exact zero of either sign is "0.0000". A non-zero value that rounds to zero
// keeps its sign ("-0.0000"). Never an exponent. Returns the end of the text;
// out must have room for kMaxFixed4Length characters. Inline: a large model
// has millions of numbers.
inline char* FormatFixed4(char* out, float value);

// The same text by way of std::to_chars on a double: the path FormatFixed4
// takes for values beyond its integer range, infinities and NaN.
char* FormatFixed4General(char* out, float value);

// Writes a decimal integer; out must have room for 11 characters.
inline char* FormatInt(char* out, std::int32_t value);

namespace number_format_detail
{

// "00" to "99", for writing two digits at a time.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline char* WritePair(char* out, unsigned pair)
{
    std::memcpy(out, &kDigitPairs[2 * pair], 2);
    return out + 2;
}

// Decimal digits of value, two at a time from the right.
inline char* WriteUnsigned(char* out, std::uint64_t value)
{
    // The digit count first, then the digits from the right, in place.
    int count = 1;
    for (std::uint64_t limit = 10; count < 20 && value >= limit; limit *= 10)
        ++count;
    char* p = out + count;
    for (; value >= 100; value /= 100)
        std::memcpy(p -= 2, &kDigitPairs[2 * (value % 100)], 2);
    if (value >= 10)
        std::memcpy(p - 2, &kDigitPairs[2 * value], 2);
    else
        p[-1] = static_cast<char>('0' + value);
    return out + count;
}

} // namespace number_format_detail

inline char* FormatFixed4(char* out, float value)
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
    out = number_format_detail::WriteUnsigned(out, scaled / 10000);
    *out++ = '.';
    const auto decimals = static_cast<unsigned>(scaled % 10000);
    out = number_format_detail::WritePair(out, decimals / 100);
    return number_format_detail::WritePair(out, decimals % 100);
}

inline char* FormatInt(char* out, std::int32_t value)
{
    std::int64_t wide = value;
    if (wide < 0)
    {
        *out++ = '-';
        wide = -wide;
    }
    return number_format_detail::WriteUnsigned(out, static_cast<std::uint64_t>(wide));
}
