#pragma once

// Vectors of three single-precision floats. Every helper computes in double
// precision and rounds its result to single precision once per component;
// the steps are spelled out so that no compiler may fuse or reorder them
// (the logic is built with -ffp-contract=off). The output may alias an input.

struct Vector3
{
    float x = 0, y = 0, z = 0;
};

void CrossProduct(const Vector3& a, const Vector3& b, Vector3& out);
void AddVector(const Vector3& a, const Vector3& b, Vector3& out);
void SubtractVector(const Vector3& a, const Vector3& b, Vector3& out);
// out = (1.0 / s) * a: a multiplication by the reciprocal, not a division.
void DivideVector(const Vector3& a, float s, Vector3& out);
void ScaleVector(const Vector3& a, float s, Vector3& out);
// Scales v to unit length; a zero vector stays as it is.
void NormalizeVector(Vector3& v);
