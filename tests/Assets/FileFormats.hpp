// Independent readers for the two file formats the generator writes, so the tests check the
// bytes on disk rather than trusting the writer.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace FileFormats {

inline std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

struct Bmp {
    int w = 0, h = 0;
    std::vector<std::array<std::uint8_t, 3>> px;  // R, G, B; top row first
    const std::array<std::uint8_t, 3>& At(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
    float Luma(int x, int y) const
    {
        const auto& p = At(x, y);
        return (0.2126f * p[0] + 0.7152f * p[1] + 0.0722f * p[2]) / 255.0f;
    }
};

// Reads an uncompressed 24-bit BMP; returns an empty string or what is wrong with the file.
inline std::string ReadBmp(const std::string& path, Bmp& out)
{
    std::vector<std::uint8_t> b = ReadAll(path);
    if (b.size() < 54) return "missing or shorter than a BMP header";
    if (b[0] != 'B' || b[1] != 'M') return "no BM signature";
    if (U32(b, 2) != b.size())
        return "size field " + std::to_string(U32(b, 2)) + " != file size " + std::to_string(b.size());
    std::uint32_t offset = U32(b, 10), header = U32(b, 14);
    if (header < 40) return "info header of " + std::to_string(header) + " bytes";
    auto w = static_cast<std::int32_t>(U32(b, 18)), h = static_cast<std::int32_t>(U32(b, 22));
    if (U16(b, 26) != 1) return "planes != 1";
    if (U16(b, 28) != 24) return "not 24 bits per pixel but " + std::to_string(U16(b, 28));
    if (U32(b, 30) != 0) return "compressed";
    if (w <= 0 || h == 0) return "bad dimensions";
    bool bottomUp = h > 0;
    int rows = bottomUp ? h : -h;
    std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    if (offset + stride * rows > b.size()) return "pixel data cut short";
    out.w = w;
    out.h = rows;
    out.px.resize(static_cast<std::size_t>(w) * rows);
    for (int y = 0; y < rows; ++y) {
        std::size_t row = offset + stride * static_cast<std::size_t>(bottomUp ? rows - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &b[row + static_cast<std::size_t>(x) * 3];
            out.px[static_cast<std::size_t>(y) * w + x] = {p[2], p[1], p[0]};
        }
    }
    return {};
}

struct Wav {
    int channels = 0, rate = 0, bits = 0;
    std::vector<std::int16_t> samples;  // interleaved
    double Seconds() const { return channels && rate ? static_cast<double>(samples.size()) / channels / rate : 0; }
};

// Reads a 16-bit PCM WAV, walking its chunks; returns an empty string or what is wrong.
inline std::string ReadWav(const std::string& path, Wav& out)
{
    std::vector<std::uint8_t> b = ReadAll(path);
    if (b.size() < 12) return "missing or shorter than a RIFF header";
    if (std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
        return "not RIFF/WAVE";
    if (U32(b, 4) + 8 != b.size()) return "RIFF size field does not match the file";
    bool haveFmt = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        std::string id(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at) + 4);
        std::uint32_t size = U32(b, at + 4);
        if (at + 8 + size > b.size()) return "chunk " + id + " runs past the end";
        if (id == "fmt ") {
            if (size < 16) return "short fmt chunk";
            if (U16(b, at + 8) != 1) return "not PCM";
            out.channels = U16(b, at + 10);
            out.rate = static_cast<int>(U32(b, at + 12));
            std::uint32_t byteRate = U32(b, at + 16);
            std::uint16_t align = U16(b, at + 20);
            out.bits = U16(b, at + 22);
            if (out.bits != 16) return "not 16-bit";
            if (out.channels < 1 || align != out.channels * 2 ||
                byteRate != static_cast<std::uint32_t>(out.rate) * align)
                return "inconsistent fmt fields";
            haveFmt = true;
        } else if (id == "data") {
            if (!haveFmt) return "data before fmt";
            if (size % (2u * out.channels) != 0) return "data size not a whole number of frames";
            out.samples.resize(size / 2);
            for (std::size_t i = 0; i < out.samples.size(); ++i)
                out.samples[i] = static_cast<std::int16_t>(U16(b, at + 8 + 2 * i));
            return {};
        }
        at += 8 + size + (size & 1);
    }
    return "no data chunk";
}

}  // namespace FileFormats
