// Writes generated models for timing runs.
//
//   make_model OUTPUT.3ds [VERTICES [MESHES]]
//       MESHES ribbon meshes (default 1) of VERTICES vertices (default
//       65535) and as many triangles, with mapping coordinates and one
//       textured material.
//   make_model --chunks COUNT MODEL.3ds OUTPUT.3ds
//       MODEL.3ds with COUNT unknown chunks of 7 bytes added to its main
//       chunk: a valid file that is nearly all chunk headers.

#include "shapes.h"

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

} // namespace

int main(int argc, char** argv)
{
    using namespace build3ds;
    if (argc == 5 && std::string(argv[1]) == "--chunks")
        return AddChunks(std::stoll(argv[2]), argv[3], argv[4]);
    if (argc < 2 || argc > 4)
    {
        std::cerr << "usage: make_model OUTPUT.3ds [VERTICES [MESHES]]\n"
                     "       make_model --chunks COUNT MODEL.3ds OUTPUT.3ds\n";
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
