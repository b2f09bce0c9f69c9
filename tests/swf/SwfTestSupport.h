#pragma once

// Helpers for byte-exact tests: hex literals and a walk over a finished movie's tags.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace brevanto::swf::test {

using Bytes = std::vector<std::uint8_t>;

// "3F 08 31" -> {0x3F, 0x08, 0x31}
inline Bytes hex(const std::string& text)
{
    Bytes out;
    std::istringstream in(text);
    std::string token;
    while (in >> token)
        out.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    return out;
}

inline std::uint16_t u16At(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::uint32_t u32At(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct Tag {
    int code = 0;
    bool longHeader = false;
    Bytes body;
};

struct ParsedMovie {
    bool valid = false;
    std::uint32_t fileLength = 0;
    std::uint16_t frameRate = 0;
    std::uint16_t frameCount = 0;
    std::vector<Tag> tags;
};

// Walks header and tags of an uncompressed movie; valid only when the walk ends exactly at the
// End tag at the end of the file.
inline ParsedMovie parseMovie(const Bytes& file)
{
    ParsedMovie movie;
    if (file.size() < 9 || file[0] != 'F' || file[1] != 'W' || file[2] != 'S')
        return movie;
    movie.fileLength = u32At(file, 4);
    const int rectBits = file[8] >> 3;
    std::size_t at = 8 + (5 + 4 * static_cast<std::size_t>(rectBits) + 7) / 8;
    if (at + 4 > file.size())
        return movie;
    movie.frameRate = u16At(file, at);
    movie.frameCount = u16At(file, at + 2);
    at += 4;
    while (at + 2 <= file.size()) {
        const std::uint16_t header = u16At(file, at);
        at += 2;
        Tag tag;
        tag.code = header >> 6;
        std::size_t length = header & 0x3F;
        if (length == 0x3F) {
            if (at + 4 > file.size())
                return movie;
            tag.longHeader = true;
            length = u32At(file, at);
            at += 4;
        }
        if (at + length > file.size())
            return movie;
        tag.body.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                        file.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        movie.tags.push_back(std::move(tag));
        if (movie.tags.back().code == 0) {
            movie.valid = at == file.size() && movie.fileLength == file.size();
            return movie;
        }
    }
    return movie;
}

} // namespace brevanto::swf::test
