#include <cstdint>

#include "Console/Console.hpp"

namespace Console {

namespace {

// Invisible marks that reorder or break the text around them on a terminal: a file name
// could make a line read as something else.
bool FormatControl(std::uint32_t code)
{
    return code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0x2028 || code == 0x2029 || code == 0xFEFF;
}

// Length of the well-formed UTF-8 character at text[i] that a terminal shows as it is:
// 0 for a byte that must be escaped.
std::size_t PrintableLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t b = byte(i);
    if (b >= 0x20 && b < 0x7F) return 1;
    if (b < 0xC2 || b > 0xF4) return 0;  // controls, DEL, stray continuations, overlong leads
    const std::size_t length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (i + length > text.size()) return 0;
    std::uint32_t code = b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool bad =
        overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code < 0xA0 || FormatControl(code);
    return bad ? 0 : length;  // code < 0xA0: the C1 controls, which some terminals obey
}

}  // namespace

std::string Printable(std::string_view text, std::size_t limit)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    constexpr std::string_view Cut = "...";
    const std::size_t room = limit > Cut.size() ? limit - Cut.size() : 0;  // for a cut text
    std::string out;
    std::size_t fits = 0;  // how much of out stays when the text must be cut
    for (std::size_t i = 0; i < text.size() && out.size() <= limit;) {
        const std::size_t length = PrintableLength(text, i);
        if (length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            const auto b = static_cast<std::uint8_t>(text[i]);
            out += "\\x";
            out += Hex[b >> 4];
            out += Hex[b & 0xF];
            ++i;
        }
        if (out.size() <= room) fits = out.size();
    }
    if (out.size() > limit) {
        out.resize(fits);
        out += Cut;
    }
    return out;
}

}  // namespace Console
