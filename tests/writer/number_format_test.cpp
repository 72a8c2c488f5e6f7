#include "writer/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{

std::string Fixed4(float value)
{
    char text[kMaxFixed4Length];
    return std::string(text, FormatFixed4(text, value));
}

std::string General4(float value)
{
    char text[kMaxFixed4Length];
    return std::string(text, FormatFixed4General(text, value));
}

float FromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

TEST(NumberFormat, TiesRoundAwayFromZeroAndZeroKeepsNoSign)
{
    // Every odd multiple of 1/32 up to 4096 is a tie; the expectation is
    // worked out in integers: |m| * 312.5 rounded up.
    for (int m = -131071; m <= 131071; m += 2)
    {
        const long long tenThousandths = (std::llabs(m) * 625LL + 1) / 2;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%s%lld.%04lld", m < 0 ? "-" : "", tenThousandths / 10000,
                      tenThousandths % 10000);
        ASSERT_EQ(Fixed4(static_cast<float>(m) / 32.0f), expected) << m;
    }
    EXPECT_EQ(Fixed4(0.0f) + Fixed4(-0.0f), "0.00000.0000");
    EXPECT_EQ(Fixed4(-0.00001f), "-0.0000"); // a value that rounds to zero keeps its sign
    EXPECT_EQ(Fixed4(1e-30f), "0.0000");
    EXPECT_EQ(Fixed4(-3.4028235e38f), "-340282346638528859811704183484516925440.0000");
}

// Away from ties and zero the text is printf's, which rounds exactly.
TEST(NumberFormat, AgreesWithPrintfOffTies)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int compared = 0; compared < 200000;)
    {
        const float value = FromBits(bits(random));
        const double scaled = static_cast<double>(value) * 32.0;
        if (!std::isfinite(value) || value == 0.0f || std::fabs(value) > 1e12f ||
            (scaled == std::trunc(scaled) && std::fmod(scaled, 2.0) != 0.0))
            continue;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.4f", static_cast<double>(value));
        ASSERT_EQ(Fixed4(value), expected) << value;
        ++compared;
    }
}

// The integer path gives the general path's text for every kind of float:
// powers of two, subnormals, the edges of its range, the largest floats,
// and random bit patterns (ties: above). (tools/check_all_floats compares all
// 2^32 of them.)
TEST(NumberFormat, IntegerPathAgreesWithTheGeneralPath)
{
    std::vector<std::uint32_t> patterns;
    for (std::uint32_t biased = 0; biased < 255; ++biased) // powers of two, and their neighbours
        for (const std::uint32_t mantissa : {0u, 1u, 0x400000u, 0x7FFFFEu, 0x7FFFFFu})
            patterns.push_back(biased << 23 | mantissa);
    for (std::uint32_t bits = 0x7F7FF000u; bits <= 0x7F800000u; ++bits) // the largest floats, infinity
        patterns.push_back(bits);
    patterns.push_back(0x7FC00000u); // NaN
    std::mt19937 random(11);
    std::uniform_int_distribution<std::uint32_t> any;
    for (int i = 0; i < 1000000; ++i)
        patterns.push_back(any(random));
    for (const std::uint32_t bits : patterns)
        for (const std::uint32_t sign : {0u, 0x80000000u})
            ASSERT_EQ(Fixed4(FromBits(bits | sign)), General4(FromBits(bits | sign)))
                << std::hex << (bits | sign);
}
