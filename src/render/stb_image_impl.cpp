// The one translation unit that holds the code of Debian's header-only
// picture libraries. Files are read and written by the program itself (for
// UTF-8 paths on Windows and the all-or-nothing output file), and only the
// formats that texture maps come in are decoded.
#define STBI_NO_STDIO
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#define STBI_WRITE_NO_STDIO
#include <cstdlib>
#include <zlib.h>
// Deflate by zlib at its fastest level: a 256 x 256 thumbnail in well under
// a millisecond, where stb's own compressor takes several, which would make
// a batch's pictures cost more than its conversions.
static unsigned char* CompressFast(unsigned char* data, int size, int* outSize, int)
{
    uLongf capacity = compressBound(static_cast<uLong>(size));
    auto* out = static_cast<unsigned char*>(std::malloc(capacity));
    if (out && compress2(out, &capacity, data, static_cast<uLong>(size), Z_BEST_SPEED) == Z_OK)
    {
        *outSize = static_cast<int>(capacity);
        return out;
    }
    std::free(out);
    return nullptr;
}
#define STBIW_ZLIB_COMPRESS CompressFast
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

// Every row unfiltered, set once before any thread starts: trying all five
// filters per row costs more than zlib's whole compression, and a picture
// of flat shading and a clear background repeats whole runs of pixels,
// which zlib finds faster, and packs smaller, than the "sub" filter's
// differences (a 256 x 256 thumbnail of 16,384 faces: 8 KB instead of 10).
static const bool s_bFilterChosen = (stbi_write_force_png_filter = 0, true);
