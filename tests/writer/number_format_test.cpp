#include "writer/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace
{

std::string Fixed4(float value)
{
    char text[kMaxFixed4Length];
    return std::string(text, FormatFixed4(text, value));
}

std::string Printf4(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(value));
    return text;
}

} // namespace

TEST(NumberFormat, ExactTiesRoundAwayFromZero)
{
    EXPECT_EQ(Fixed4(0.03125f), "0.0313");
    EXPECT_EQ(Fixed4(-0.03125f), "-0.0313");
    EXPECT_EQ(Fixed4(0.09375f), "0.0938");
    EXPECT_EQ(Fixed4(2.65625f), "2.6563");
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
}

TEST(NumberFormat, ZeroSignAndRange)
{
    EXPECT_EQ(Fixed4(0.0f), "0.0000");
    EXPECT_EQ(Fixed4(-0.0f), "0.0000");
    EXPECT_EQ(Fixed4(-0.00001f), "-0.0000");
    EXPECT_EQ(Fixed4(0.00004f), "0.0000");
    EXPECT_EQ(Fixed4(-1.0f), "-1.0000");
    EXPECT_EQ(Fixed4(12.3456f), "12.3456");
    EXPECT_EQ(Fixed4(1e30f), "1000000015047466219876688855040.0000");
    EXPECT_EQ(Fixed4(-3.4028235e38f), "-340282346638528859811704183484516925440.0000");
    EXPECT_EQ(Fixed4(1e-30f), "0.0000");
}

// Away from ties and zero the text is printf's, which rounds exactly.
TEST(NumberFormat, AgreesWithPrintfOffTies)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> bits;
    int compared = 0;
    while (compared < 200000)
    {
        float value;
        const std::uint32_t raw = bits(random);
        std::memcpy(&value, &raw, 4);
        if (!std::isfinite(value) || value == 0.0f || std::fabs(value) > 1e12f)
            continue;
        const double scaled = static_cast<double>(value) * 32.0;
        if (scaled == std::trunc(scaled) && std::fmod(scaled, 2.0) != 0.0)
            continue;
        ASSERT_EQ(Fixed4(value), Printf4(value)) << value;
        ++compared;
    }
    for (int i = -100000; i <= 100000; ++i)
    {
        const float value = static_cast<float>(i) * 0.001f;
        if (value != 0.0f && std::fmod(static_cast<double>(value) * 32.0, 2.0) != 1.0)
        {
            ASSERT_EQ(Fixed4(value), Printf4(value)) << value;
        }
    }
}

TEST(NumberFormat, Integers)
{
    char text[12];
    EXPECT_EQ(std::string(text, FormatInt(text, 0)), "0");
    EXPECT_EQ(std::string(text, FormatInt(text, -2147483647 - 1)), "-2147483648");
    EXPECT_EQ(std::string(text, FormatInt(text, 65535)), "65535");
}
