#pragma once

#include <cmath>

// Vectors of three single-precision floats. Every helper computes in double
// precision and rounds its result to single precision once per component;
// the steps are spelled out so that no compiler may fuse or reorder them
// (the logic is built with -ffp-contract=off). The output may alias an input.
// They are inline: the normals of a large mesh call them a million times.

struct Vector3
{
    float x = 0, y = 0, z = 0;
};

inline void CrossProduct(const Vector3& a, const Vector3& b, Vector3& out)
{
    const double ax = a.x, ay = a.y, az = a.z;
    const double bx = b.x, by = b.y, bz = b.z;
    const double x = ay * bz - az * by;
    const double y = az * bx - ax * bz;
    const double z = ax * by - ay * bx;
    out = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

inline void AddVector(const Vector3& a, const Vector3& b, Vector3& out)
{
    const double x = static_cast<double>(a.x) + static_cast<double>(b.x);
    const double y = static_cast<double>(a.y) + static_cast<double>(b.y);
    const double z = static_cast<double>(a.z) + static_cast<double>(b.z);
    out = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

inline void SubtractVector(const Vector3& a, const Vector3& b, Vector3& out)
{
    const double x = static_cast<double>(a.x) - static_cast<double>(b.x);
    const double y = static_cast<double>(a.y) - static_cast<double>(b.y);
    const double z = static_cast<double>(a.z) - static_cast<double>(b.z);
    out = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// out = (1.0 / s) * a: a multiplication by the reciprocal, not a division.
inline void DivideVector(const Vector3& a, float s, Vector3& out)
{
    const double r = 1.0 / static_cast<double>(s);
    out = {static_cast<float>(r * a.x), static_cast<float>(r * a.y), static_cast<float>(r * a.z)};
}

inline void ScaleVector(const Vector3& a, float s, Vector3& out)
{
    const double f = s;
    out = {static_cast<float>(f * a.x), static_cast<float>(f * a.y), static_cast<float>(f * a.z)};
}

// Scales v to unit length; a zero vector stays as it is.
inline void NormalizeVector(Vector3& v)
{
    const double x = v.x, y = v.y, z = v.z;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0.0)
        return;
    const double r = 1.0 / len;
    v = {static_cast<float>(x * r), static_cast<float>(y * r), static_cast<float>(z * r)};
}
