#include "Png.h"

#include <cstdio>
#include <png.h>
#include <vector>

namespace fw {

bool WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels) {
    if (width <= 0 || height <= 0 || pixels == nullptr) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                     8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* src = pixels + static_cast<size_t>(y) * width;
            for (int x = 0; x < width; ++x) {
                row[x * 3 + 0] = static_cast<png_byte>(src[x] >> 16);
                row[x * 3 + 1] = static_cast<png_byte>(src[x] >> 8);
                row[x * 3 + 2] = static_cast<png_byte>(src[x]);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok;
}

} // namespace fw
