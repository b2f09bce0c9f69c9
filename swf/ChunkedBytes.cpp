#include "swf/ChunkedBytes.h"

#include <algorithm>

namespace brevanto::swf {

ChunkedBytes::ChunkedBytes(std::size_t blockSize) : m_blockSize(std::max<std::size_t>(blockSize, 1)) {}

void ChunkedBytes::append(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        if (m_blocks.empty() || m_blocks.back().size() == m_blocks.back().capacity()) {
            m_blocks.emplace_back();
            m_blocks.back().reserve(m_blockSize);
        }
        std::vector<std::uint8_t>& block = m_blocks.back();
        // Never beyond the capacity: a block is filled in place, never reallocated.
        const std::size_t take = std::min(bytes.size(), block.capacity() - block.size());
        block.insert(block.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        m_size += take;
    }
}

std::vector<std::uint8_t> ChunkedBytes::joined() const
{
    std::vector<std::uint8_t> out;
    out.reserve(m_size);
    for (const auto& block : m_blocks)
        out.insert(out.end(), block.begin(), block.end());
    return out;
}

const std::vector<std::uint8_t>& ChunkedBytes::join()
{
    static const std::vector<std::uint8_t> kNothing;
    if (m_blocks.empty())
        return kNothing;
    if (m_blocks.size() > 1) {
        std::vector<std::uint8_t> whole = joined();
        m_blocks.clear();
        m_blocks.push_back(std::move(whole));
    }
    return m_blocks.front();
}

} // namespace brevanto::swf
