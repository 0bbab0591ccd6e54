// PNG files through libpng: 8-bit RGB or RGBA pixels, row by row, no padding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Png {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;  // 3: RGB, 4: RGBA
    std::vector<std::uint8_t> pixels;

    bool Valid() const
    {
        return width > 0 && height > 0 && (channels == 3 || channels == 4) &&
               pixels.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * channels;
    }
};

// The file's bytes; empty when the image is not valid or libpng fails.
std::vector<std::uint8_t> Encode(const Image& image);
// Writes the file; on failure `error` says why in one line.
bool Write(const std::string& path, const Image& image, std::string& error);
// Reads any PNG into 8-bit pixels of the given channel count (3 or 4).
bool Read(const std::string& path, int channels, Image& image, std::string& error);
bool Decode(const std::vector<std::uint8_t>& bytes, int channels, Image& image, std::string& error);

}  // namespace Png
