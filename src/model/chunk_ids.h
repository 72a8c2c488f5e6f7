#pragma once

#include <cstdint>

// Chunk identifiers of the 3D Studio file format that the reader acts on.
inline constexpr std::uint16_t kChunkVersion = 0x0002;
inline constexpr std::uint16_t kChunkEditor = 0x3D3D;
inline constexpr std::uint16_t kChunkObject = 0x4000;
inline constexpr std::uint16_t kChunkTriMesh = 0x4100;
inline constexpr std::uint16_t kChunkVertexList = 0x4110;
inline constexpr std::uint16_t kChunkFaceList = 0x4120;
inline constexpr std::uint16_t kChunkFaceMaterial = 0x4130;
inline constexpr std::uint16_t kChunkMapCoords = 0x4140;
inline constexpr std::uint16_t kChunkSmoothGroup = 0x4150;
inline constexpr std::uint16_t kChunkLocalAxes = 0x4160;
inline constexpr std::uint16_t kChunkPrimary = 0x4D4D;
inline constexpr std::uint16_t kChunkMaterialName = 0xA000;
inline constexpr std::uint16_t kChunkTextureMap = 0xA200;
inline constexpr std::uint16_t kChunkMapFileName = 0xA300;
inline constexpr std::uint16_t kChunkMaterial = 0xAFFF;

// The header: a 16-bit id and a 32-bit length that counts the header too.
inline constexpr std::uint32_t kChunkHeaderSize = 6;
