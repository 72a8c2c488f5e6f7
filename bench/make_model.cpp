// Writes a generated model for timing runs: one ribbon mesh with as many
// triangles as vertices, mapping coordinates and one textured material.
//
//   make_model OUTPUT.3ds [VERTICES]   (default 65535)

#include "chunk_builder.h"

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
    {
        std::cerr << "usage: make_model OUTPUT.3ds [VERTICES]\n";
        return 2;
    }
    const int count = argc == 3 ? std::stoi(argv[2]) : 65535;
    using namespace build3ds;
    WriteFile(argv[1], File({Material("Skin", "skin.bmp"), Object(Ribbon("Ribbon", count))}));
    return 0;
}
