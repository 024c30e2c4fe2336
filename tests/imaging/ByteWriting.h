#pragma once

#include <cstdint>
#include <vector>

// Little-endian byte writers for the tests that build picture files by hand.
namespace quill::test_bytes {

using Bytes = std::vector<std::uint8_t>;

inline void add16(Bytes& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

inline void add32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

} // namespace quill::test_bytes
