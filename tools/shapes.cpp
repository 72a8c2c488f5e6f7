#include "shapes.h"

#include <cmath>
#include <stdexcept>

namespace build3ds
{

Mesh Grid(const std::string& name, int n)
{
    if (n < 2 || 2 * (n - 1) * (n - 1) > 65535)
        throw std::invalid_argument("grid size out of range");
    Mesh mesh;
    mesh.name = name;
    for (int y = 0; y < n; ++y)
    {
        for (int x = 0; x < n; ++x)
        {
            const float fx = static_cast<float>(x) / static_cast<float>(n - 1);
            const float fy = static_cast<float>(y) / static_cast<float>(n - 1);
            mesh.vertices.push_back({fx * 10.0f, fy * 10.0f, std::sin(fx * 6.0f) * std::cos(fy * 5.0f)});
            mesh.mapCoords.push_back({fx, fy});
        }
    }
    for (int y = 0; y + 1 < n; ++y)
    {
        for (int x = 0; x + 1 < n; ++x)
        {
            const auto v = static_cast<std::uint16_t>(y * n + x);
            const auto right = static_cast<std::uint16_t>(v + 1);
            const auto down = static_cast<std::uint16_t>(v + n);
            const auto diagonal = static_cast<std::uint16_t>(v + n + 1);
            mesh.faces.push_back({v, down, right});
            mesh.faces.push_back({right, down, diagonal});
        }
    }
    return mesh;
}

Mesh Ribbon(const std::string& name, int count)
{
    if (count < 3 || count > 65535)
        throw std::invalid_argument("ribbon size out of range");
    Mesh mesh;
    mesh.name = name;
    for (int i = 0; i < count; ++i)
    {
        const float t = static_cast<float>(i) * 0.001f;
        mesh.vertices.push_back(
            {std::cos(t * 7.0f) * (10.0f + t), std::sin(t * 7.0f) * (10.0f + t), (i % 2) ? 1.0f : 0.0f});
        mesh.mapCoords.push_back({t, (i % 2) ? 1.0f : 0.0f});
    }
    // Triangle i joins vertices i, i + 1 and i + 2, wrapping round at the
    // end, so there are as many faces as vertices.
    for (int i = 0; i < count; ++i)
    {
        const auto a = static_cast<std::uint16_t>(i);
        const auto b = static_cast<std::uint16_t>((i + 1) % count);
        const auto c = static_cast<std::uint16_t>((i + 2) % count);
        mesh.faces.push_back((i % 2) ? Triangle{a, c, b} : Triangle{a, b, c});
    }
    return mesh;
}

Mesh RandomFaces(const std::string& name, int count, std::uint32_t seed)
{
    if (count < 3 || count > 65535)
        throw std::invalid_argument("face count out of range");
    // A linear congruential generator of its own (Numerical Recipes'
    // constants): std::uniform_*_distribution differ between libraries.
    std::uint32_t state = seed;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const auto unit = [&] { return static_cast<float>(next()) / static_cast<float>(1u << 24); };
    Mesh mesh;
    mesh.name = name;
    for (int i = 0; i < count; ++i)
    {
        mesh.vertices.push_back({unit(), unit(), unit()});
        mesh.mapCoords.push_back({unit(), unit()});
    }
    for (int i = 0; i < count; ++i)
        mesh.faces.push_back({static_cast<std::uint16_t>(next() % count),
                              static_cast<std::uint16_t>(next() % count),
                              static_cast<std::uint16_t>(next() % count)});
    return mesh;
}

} // namespace build3ds
