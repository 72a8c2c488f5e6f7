// Writes generated models for timing runs.
//
//   make_model OUTPUT.3ds [VERTICES [MESHES]]
//       MESHES ribbon meshes (default 1) of VERTICES vertices (default
//       65535) and as many triangles, with mapping coordinates and one
//       textured material.
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
    if (argc < 2 || argc > 4)
    {
        std::cerr << "usage: make_model OUTPUT.3ds [VERTICES [MESHES]]\n"
                     "       make_model --chunks COUNT MODEL.3ds OUTPUT.3ds\n"
                     "       make_model --empty-objects COUNT OUTPUT.3ds\n";
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
