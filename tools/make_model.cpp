// Writes generated models for timing runs.
//
//   make_model OUTPUT.3ds [VERTICES [MESHES]]
//       MESHES ribbon meshes (default 1) of VERTICES vertices (default
//       65535) and as many triangles, with mapping coordinates and one
//       textured material.
//   make_model --random FACES OUTPUT.3ds
//       one mesh of FACES random faces between as many random vertices,
//       with one textured material: the most overdraw a picture meets.
//   make_model --textures COUNT OUTPUT.3ds
//       a cube of COUNT materials, each naming its own texture file
//       (t0.bmp, t1.tga, t2.png, t3.bmp, ...), its faces spread over them.
//   make_model --chunks COUNT MODEL.3ds OUTPUT.3ds
//       MODEL.3ds with COUNT unknown chunks of 7 bytes added to its main
//       chunk: a valid file that is nearly all chunk headers.
//   make_model --empty-objects COUNT OUTPUT.3ds
//       One material and COUNT objects named E0000000, E0000001... each
//       with an empty triangle mesh (21 bytes an object): what the
//       model's records cost beyond the file's bytes.

#include "shapes.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace
{

int AddChunks(long long count, const char* modelPath, const char* outputPath)
{
    std::ifstream in(modelPath, std::ios::binary);
    build3ds::Bytes file((std::istreambuf_iterator<char>(in)), {});
    if (file.size() < 6)
    {
        std::cerr << "make_model: cannot read " << modelPath << '\n';
        return 1;
    }
    const std::uint32_t length =
        file[2] | file[3] << 8 | file[4] << 16 | static_cast<std::uint32_t>(file[5]) << 24;
    file.resize(length);
    const unsigned char chunk[7] = {0x34, 0x12, 7, 0, 0, 0, 0};
    for (long long i = 0; i < count; ++i)
        file.insert(file.end(), chunk, chunk + 7);
    const auto total = static_cast<std::uint32_t>(file.size());
    for (int i = 0; i < 4; ++i)
        file[2 + i] = static_cast<unsigned char>(total >> (8 * i));
    build3ds::WriteFile(outputPath, file);
    return 0;
}

int EmptyObjects(long long count, const char* outputPath)
{
    // One material first, so that the file converts.
    build3ds::Bytes file = build3ds::Cat(
        {{0x4D, 0x4D, 0, 0, 0, 0, 0x3D, 0x3D, 0, 0, 0, 0}, build3ds::Material("Skin", "skin.bmp")});
    file.reserve(static_cast<std::size_t>(count) * 21 + file.size());
    for (long long i = 0; i < count; ++i)
    {
        char name[16];
        std::snprintf(name, sizeof name, "E%07lld", i % 10000000);
        const unsigned char header[6] = {0x00, 0x40, 21, 0, 0, 0};
        file.insert(file.end(), header, header + 6);
        file.insert(file.end(), name, name + 9); // with its terminating zero
        const unsigned char mesh[6] = {0x00, 0x41, 6, 0, 0, 0};
        file.insert(file.end(), mesh, mesh + 6);
    }
    const auto put = [&file](std::size_t at, std::size_t value) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    put(2, file.size());
    put(8, file.size() - 6);
    build3ds::WriteFile(outputPath, file);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace build3ds;
    if (argc == 5 && std::string(argv[1]) == "--chunks")
        return AddChunks(std::stoll(argv[2]), argv[3], argv[4]);
    if (argc == 4 && std::string(argv[1]) == "--empty-objects")
        return EmptyObjects(std::stoll(argv[2]), argv[3]);
    if (argc == 4 && std::string(argv[1]) == "--random")
    {
        const Mesh mesh = RandomFaces("Random", std::stoi(argv[2]));
        WriteFile(argv[3], File({Material("Skin", "skin.bmp"), Object(mesh)}));
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--textures")
    {
        const int count = std::stoi(argv[2]);
        const char* const extensions[3] = {".bmp", ".tga", ".png"};
        std::vector<Bytes> parts;
        Mesh cube = Cube();
        for (int m = 0; m < count; ++m)
        {
            const std::string name = "M" + std::to_string(m);
            parts.push_back(Material(name, "t" + std::to_string(m) + extensions[m % 3]));
            std::vector<std::uint16_t> faces;
            for (std::size_t f = static_cast<std::size_t>(m); f < cube.faces.size();
                 f += static_cast<std::size_t>(count))
                faces.push_back(static_cast<std::uint16_t>(f));
            cube.groups.push_back({name, faces});
        }
        parts.push_back(Object(cube));
        WriteFile(argv[3], File(parts));
        return 0;
    }
    if (argc < 2 || argc > 4)
    {
        std::cerr << "usage: make_model OUTPUT.3ds [VERTICES [MESHES]]\n"
                     "       make_model --chunks COUNT MODEL.3ds OUTPUT.3ds\n"
                     "       make_model --empty-objects COUNT OUTPUT.3ds\n"
                     "       make_model --random FACES OUTPUT.3ds\n"
                     "       make_model --textures COUNT OUTPUT.3ds\n";
        return 2;
    }
    const int count = argc >= 3 ? std::stoi(argv[2]) : 65535;
    const int meshes = argc == 4 ? std::stoi(argv[3]) : 1;
    std::vector<Bytes> parts = {Material("Skin", "skin.bmp")};
    for (int m = 0; m < meshes; ++m)
        parts.push_back(Object(Ribbon("Ribbon" + std::to_string(m), count)));
    WriteFile(argv[1], File(parts));
    return 0;
}
