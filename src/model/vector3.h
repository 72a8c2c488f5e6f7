#pragma once

#include <cmath>

// Vectors of three single-precision floats. Every helper gives the bits of
// computing in double precision and rounding the result to single precision
// once per component;
// the steps are spelled out so that no compiler may fuse or reorder them
// (the logic is built with -ffp-contract=off). The output may alias an input.
// They are inline: the normals of a large mesh call them a million times.

struct Vector3
{
    float x = 0, y = 0, z = 0;
};

// Rounds to single precision, and makes the compiler keep that rounding.
//
// Every result of the helpers below is rounded before the next step uses it;
// that rounding is what makes the bits of the normals the same everywhere.
// GCC 12 at -O2 and above (the MinGW-w64 build too) breaks it: where a face
// normal is normalized right after its cross product, the straight-line
// vectorizer packs x and y into one register, stores their rounded floats,
// and then normalizes the unrounded doubles it still holds. Last bits of
// half the face normals of a real model changed, and now and then a fourth
// decimal in the file. Clang keeps the rounding.
//
// The empty asm statement takes the float in a register and hands it back
// as a value the optimizer knows nothing of, so no later step can stand in
// the unrounded double for it. It emits no instruction: leave it in, or the
// output again depends on the compiler and its flags. Other compilers go
// through a volatile, which is slower but just as binding.
inline float RoundToSingle(double value)
{
    float rounded = static_cast<float>(value);
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    asm("" : "+x"(rounded));
#elif defined(__GNUC__) && defined(__aarch64__)
    asm("" : "+w"(rounded));
#else
    volatile float kept = rounded;
    rounded = kept;
#endif
    return rounded;
}

inline void CrossProduct(const Vector3& a, const Vector3& b, Vector3& out)
{
    const double ax = a.x, ay = a.y, az = a.z;
    const double bx = b.x, by = b.y, bz = b.z;
    const double x = ay * bz - az * by;
    const double y = az * bx - ax * bz;
    const double z = ax * by - ay * bx;
    out = {RoundToSingle(x), RoundToSingle(y), RoundToSingle(z)};
}

// The sum and the difference of two floats, computed in double and rounded
// to single precision, are the float sum and difference themselves: a
// result rounded first to double and then to float never differs from one
// rounded once, for addition and subtraction, since 53 >= 2 * 24 + 2 bits
// (S. A. Figueroa, "When is double rounding innocuous?", 1995). So these
// two work in float (SSE arithmetic, with no wider intermediate, in every
// build we make): the same bits, without the conversions that the running
// sums of the vertex normals would otherwise wait on.
inline void AddVector(const Vector3& a, const Vector3& b, Vector3& out)
{
    out = {a.x + b.x, a.y + b.y, a.z + b.z};
}

inline void SubtractVector(const Vector3& a, const Vector3& b, Vector3& out)
{
    out = {a.x - b.x, a.y - b.y, a.z - b.z};
}

// out = r * a, for a factor already in double precision.
inline void MultiplyVector(const Vector3& a, double r, Vector3& out)
{
    out = {RoundToSingle(r * a.x), RoundToSingle(r * a.y), RoundToSingle(r * a.z)};
}

// out = (1.0 / s) * a: a multiplication by the reciprocal, not a division.
inline void DivideVector(const Vector3& a, float s, Vector3& out)
{
    MultiplyVector(a, 1.0 / static_cast<double>(s), out);
}

inline void ScaleVector(const Vector3& a, float s, Vector3& out)
{
    const double f = s;
    out = {RoundToSingle(f * a.x), RoundToSingle(f * a.y), RoundToSingle(f * a.z)};
}

// Scales v to unit length; a zero vector stays as it is.
inline void NormalizeVector(Vector3& v)
{
    const double x = v.x, y = v.y, z = v.z;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0.0)
        return;
    const double r = 1.0 / len;
    v = {RoundToSingle(x * r), RoundToSingle(y * r), RoundToSingle(z * r)};
}
