#pragma once

#include <cstdint>

// Number text of the project file, the same bytes under every locale.

// The longest text FormatFixed4 writes: sign, 39 integer digits of the
// largest float, point and four decimals.
inline constexpr int kMaxFixed4Length = 48;

// Writes value as printf's "%.4f" would, with two differences that the file
// format fixes: exact ties round away from zero (0.03125 -> 0.0313), and an
// exact zero of either sign is "0.0000". A non-zero value that rounds to zero
// keeps its sign ("-0.0000"). Never an exponent. Returns the end of the text;
// out must have room for kMaxFixed4Length characters.
char* FormatFixed4(char* out, float value);

// The same text by way of std::to_chars on a double: the path FormatFixed4
// takes for values beyond its integer range, infinities and NaN.
char* FormatFixed4General(char* out, float value);

// Writes a decimal integer; out must have room for 11 characters.
char* FormatInt(char* out, std::int32_t value);
