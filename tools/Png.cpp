#include "Png.hpp"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Png {

namespace {

png_image Header(const Image& image)
{
    png_image header;
    std::memset(&header, 0, sizeof header);
    header.version = PNG_IMAGE_VERSION;
    header.width = static_cast<png_uint_32>(image.width);
    header.height = static_cast<png_uint_32>(image.height);
    header.format = image.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    return header;
}

bool Finish(png_image& header, int channels, Image& image, std::string& error)
{
    header.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    // A bound on the size keeps a hostile file from asking for gigabytes.
    if (header.width == 0 || header.height == 0 || header.width > 65536 || header.height > 65536 ||
        static_cast<std::uint64_t>(header.width) * header.height > (1u << 28)) {
        png_image_free(&header);
        error = "picture of an unusable size";
        return false;
    }
    Image out;
    out.width = static_cast<int>(header.width);
    out.height = static_cast<int>(header.height);
    out.channels = channels;
    out.pixels.resize(PNG_IMAGE_SIZE(header));
    if (!png_image_finish_read(&header, nullptr, out.pixels.data(), 0, nullptr)) {
        error = header.message;
        png_image_free(&header);
        return false;
    }
    image = std::move(out);
    return true;
}

}  // namespace

std::vector<std::uint8_t> Encode(const Image& image)
{
    if (!image.Valid()) {
        return {};
    }
    png_image header = Header(image);
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&header, nullptr, &size, 0, image.pixels.data(), 0, nullptr)) {
        return {};
    }
    std::vector<std::uint8_t> bytes(size);
    if (!png_image_write_to_memory(&header, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr)) {
        return {};
    }
    bytes.resize(size);
    return bytes;
}

bool Write(const std::string& path, const Image& image, std::string& error)
{
    const std::vector<std::uint8_t> bytes = Encode(image);
    if (bytes.empty()) {
        error = "no picture to write to " + path;
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr && std::fclose(f) != 0) {
        ok = false;
    }
    if (!ok) {
        error = "cannot write " + path + ": " + std::strerror(errno);
    }
    return ok;
}

bool Read(const std::string& path, int channels, Image& image, std::string& error)
{
    png_image header;
    std::memset(&header, 0, sizeof header);
    header.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&header, path.c_str())) {
        error = path + ": " + header.message;
        return false;
    }
    return Finish(header, channels, image, error);
}

bool Decode(const std::vector<std::uint8_t>& bytes, int channels, Image& image, std::string& error)
{
    png_image header;
    std::memset(&header, 0, sizeof header);
    header.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&header, bytes.data(), bytes.size())) {
        error = header.message;
        return false;
    }
    return Finish(header, channels, image, error);
}

}  // namespace Png
