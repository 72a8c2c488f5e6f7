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
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
