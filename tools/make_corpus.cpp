// Writes the fuzz seed corpus from the builder in tests/support; CTest
// replays it in every build.
//
//   make_corpus FUZZ_CORPUS_DIR
//
// FUZZ_CORPUS_DIR/load and /convert get small valid models of every
// feature, odd but readable files, and the damaged shapes.

#include "shapes.h"

#include <cmath>
#include <iostream>
#include <limits>
#include <set>

using namespace build3ds;
namespace fs = std::filesystem;

namespace
{

std::uint32_t Le32(const Bytes& b, std::size_t p)
{
    return b[p] | (b[p + 1] << 8) | (b[p + 2] << 16) | (static_cast<std::uint32_t>(b[p + 3]) << 24);
}

// Offsets where a chunk header or a chunk's data begins, or a face list's
// faces end: the places where a truncated file is most telling.
void Boundaries(const Bytes& b, std::size_t start, std::size_t end, std::set<std::size_t>& out)
{
    std::size_t p = start;
    while (p + kChunkHeaderSize <= end)
    {
        const std::uint16_t id = static_cast<std::uint16_t>(b[p] | (b[p + 1] << 8));
        const std::size_t chunkEnd = std::min<std::size_t>(p + Le32(b, p + 2), end);
        std::size_t data = p + kChunkHeaderSize;
        out.insert(p);
        out.insert(data);
        if (id == kChunkObject)
        {
            while (data < chunkEnd && b[data] != 0)
                ++data;
            Boundaries(b, data + 1, chunkEnd, out);
        }
        else if (id == kChunkPrimary || id == kChunkEditor || id == kChunkTriMesh || id == kChunkMaterial ||
                 id == kChunkTextureMap)
        {
            Boundaries(b, data, chunkEnd, out);
        }
        else if (id == kChunkFaceList)
        {
            const std::size_t faces = data + 2 + 8 * (b[data] | (b[data + 1] << 8));
            out.insert(faces);
            Boundaries(b, faces, chunkEnd, out);
        }
        p = chunkEnd;
    }
}

void Write(const fs::path& dir, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(dir);
    WriteFile(dir / name, bytes);
}

Bytes Editor(std::initializer_list<Bytes> children)
{
    return Chunk(kChunkPrimary, {Chunk(kChunkEditor, children)});
}

Bytes Be32(std::uint32_t value)
{
    return {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

// Picture files as texture maps come: a BMP of 24-bit rows (bottom up,
// each padded to four bytes), an uncompressed TGA, and a PNG whose header
// claims a size (the checksum is not checked by the decoder); pixels
// beyond the bytes given are left out, as in a header-only file.
Bytes Bmp(std::uint32_t width, std::uint32_t height, const Bytes& pixels = {})
{
    return Cat({Bytes{'B', 'M'}, U32(54 + static_cast<std::uint32_t>(pixels.size())), U32(0), U32(54),
                U32(40), U32(width), U32(height), U16(1), U16(24), U32(0), U32(0), U32(2835), U32(2835),
                U32(0), U32(0), pixels});
}
Bytes Tga(std::uint16_t width, std::uint16_t height, const Bytes& pixels = {})
{
    return Cat({Bytes{0, 0, 2}, Zeros(9), U16(width), U16(height), Bytes{24, 0x20}, pixels});
}
Bytes PngHeader(std::uint32_t width, std::uint32_t height)
{
    return Cat({Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, Be32(13), Bytes{'I', 'H', 'D', 'R'},
                Be32(width), Be32(height), Bytes{8, 6, 0, 0, 0}, Be32(0)});
}

// A seed of the drawing target: picture size and view, the model's
// length, the model, and the texture every material is given.
Bytes DrawSeed(unsigned char side, unsigned char view, const Bytes& model, const Bytes& texture)
{
    return Cat({Bytes{side, view, static_cast<unsigned char>(model.size()),
                      static_cast<unsigned char>(model.size() >> 8)},
                model, texture});
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: make_corpus FUZZ_CORPUS_DIR\n";
        return 2;
    }
    const fs::path seeds = argv[1];

    Mesh grouped = Cube("Box");
    grouped.groups = {{"Red", {0, 1, 2}}, {"Blue", {3, 11}}};
    Mesh plain = Triangle1("Plain");
    plain.mapCoords.clear();
    const Bytes materials = Cat({Material("Red", "red.bmp"), Material("Blue"), Material("Red", "dup.bmp")});
    const Bytes full = Cat(
        {File({materials, Object(grouped), Object(plain), Object("Lamp", {Chunk(kChunkLight, {Zeros(12)})}),
               Chunk(kChunkKeyframer, {Chunk(0xB002, {Zeros(8)})})})});

    const std::vector<std::pair<std::string, Bytes>> valid = {
        {"full.3ds", full},
        {"triangle.3ds", File({Material("A", "a.bmp"), Object(Triangle1())})},
        {"no-materials.3ds", File({Object(Triangle1())})},
        {"version4.3ds",
         Chunk(kChunkPrimary, {Version(4), Chunk(kChunkEditor, {Material("A"), Object(Cube())})})},
        {"top-level.3ds", Chunk(kChunkPrimary, {Material("A", "a.bmp"), Object(Triangle1())})},
        {"empty-primary.3ds", Chunk(kChunkPrimary)},
        {"grid.3ds", File({Material("G", "g.bmp"), Object(Grid("Grid", 6))})},
    };

    // Files that must be refused with one clear error.
    std::vector<std::pair<std::string, Bytes>> bad = {
        {"empty.3ds", {}},
        {"text.3ds", Str("This is a text file, not a model.\n")},
        {"length-0.3ds", Editor({ChunkWithLength(0x1234, 0), Zeros(12)})},
        {"length-5.3ds", Editor({ChunkWithLength(0x1234, 5), Zeros(12)})},
        {"past-parent.3ds",
         Editor({ChunkWithLength(kChunkMaterial, 4000, {Chunk(kChunkMaterialName, {Str("A")})})})},
        {"past-file.3ds", ChunkWithLength(kChunkPrimary, 1u << 30, {Material("A"), Object(Triangle1())})},
        {"vertex-count.3ds",
         File({Material("A"),
               Object("V", {Chunk(kChunkTriMesh, {Chunk(kChunkVertexList, {U16(65535), Zeros(24)})})})})},
        {"face-count.3ds",
         File({Material("A"),
               Object("F", {Chunk(kChunkTriMesh, {Chunk(kChunkFaceList, {U16(65535), Zeros(16)})})})})},
        {"map-count.3ds",
         File({Material("A"), Object("M", {Chunk(kChunkMapCoords, {U16(60000), Zeros(8)})})})},
        {"group-count.3ds",
         File({Material("A"), Object("G", {Chunk(kChunkFaceMaterial, {Str("A"), U16(40000), U16(0)})})})},
    };
    bad.push_back(
        {"nesting-10000.3ds", Chunk(kChunkPrimary, {Nested(kChunkEditor, 10000, Material("Deep"))})});
    {
        Mesh m = Triangle1("Wing");
        m.faces.push_back({0, 2, 3});
        bad.push_back({"vertex-number.3ds", File({Material("A"), Object(m)})});
        Mesh few = Cube("Few");
        few.mapCoords.resize(5);
        bad.push_back({"map-fewer-than-vertices.3ds", File({Material("A"), Object(few)})});
        for (const auto& [name, value] : {std::pair{"nan", std::numeric_limits<float>::quiet_NaN()},
                                          std::pair{"inf", std::numeric_limits<float>::infinity()}})
        {
            Mesh position = Triangle1("P");
            position.vertices[2].z = value;
            bad.push_back(
                {std::string("position-") + name + ".3ds", File({Material("A"), Object(position)})});
            Mesh coord = Triangle1("C");
            coord.mapCoords[0].v = value;
            bad.push_back({std::string("mapping-") + name + ".3ds", File({Material("A"), Object(coord)})});
        }
    }
    std::set<std::size_t> cuts;
    Boundaries(full, 0, full.size(), cuts);
    for (const std::size_t cut : cuts)
    {
        if (cut < full.size())
            bad.push_back({"truncated-at-" + std::to_string(cut) + ".3ds",
                           Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut))});
    }

    // Odd but readable: cut to their fields and converted.
    const std::vector<std::pair<std::string, Bytes>> odd = {
        {"name-300.3ds", File({Material(std::string(300, 'm'), std::string(300, 't')),
                               Object(Triangle1(std::string(300, 'n')))})},
        {"version-40.3ds", Chunk(kChunkPrimary, {Chunk(kChunkVersion, {U32(3), Zeros(36)}),
                                                 Chunk(kChunkEditor, {Material("A"), Object(Triangle1())})})},
    };

    for (const auto& set : {valid, odd, bad})
    {
        for (const auto& [name, bytes] : set)
        {
            Write(seeds / "load", name, bytes);
            // Options: LOD 2 off, scale mode from the name's length, factor 3.
            Write(seeds / "convert", name,
                  Cat({Bytes{static_cast<unsigned char>((name.size() % 3) << 1), 3, 0, 0}, bytes}));
        }
    }
    // The drawing target: readable models, each with a sound texture and
    // with textures whose headers lie.
    const Bytes checker = {0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 0, 255}; // 2 x 2, BGR
    const std::vector<std::pair<std::string, Bytes>> textures = {
        {"tga-2x2", Tga(2, 2, checker)},
        {"bmp-2x2", Bmp(2, 2,
                        Cat({Bytes(checker.begin(), checker.begin() + 6), Zeros(2),
                             Bytes(checker.begin() + 6, checker.end()), Zeros(2)}))},
        {"bmp-claims-8192", Bmp(8192, 8192)},
        {"bmp-claims-100000", Bmp(100000, 3)},
        {"tga-claims-65535", Tga(65535, 65535)},
        {"png-claims-8192", PngHeader(8192, 8192)},
        {"png-claims-2^31", PngHeader(0x7FFFFFFF, 0x7FFFFFFF)},
        {"none", {}},
    };
    unsigned char side = 16;
    for (const auto& set : {valid, odd})
        for (const auto& [name, bytes] : set)
            for (const auto& [textureName, texture] : textures)
            {
                side = static_cast<unsigned char>(side * 7 + 3);
                Write(seeds / "draw", name.substr(0, name.size() - 4) + "-" + textureName,
                      DrawSeed(side, static_cast<unsigned char>(side >> 1), bytes, texture));
            }

    // A LOD 1 and LOD 2 pair for the conversion target.
    const Bytes lod1 = File({Material("A", "a.bmp"), Object(Cube()), Object(Triangle1())});
    const Bytes lod2 = File({Material("B"), Object(Triangle1())});
    Write(seeds / "convert", "with-lod2.3ds",
          Cat({Bytes{1 | (1 << 1), 2, static_cast<unsigned char>(lod1.size()),
                     static_cast<unsigned char>(lod1.size() >> 8)},
               lod1, lod2}));
    return 0;
}
