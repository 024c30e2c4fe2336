#pragma once

#include <cstdint>
#include <span>

namespace quill {

// The album player program's own file, carried inside the programs that make albums.
// Empty when this build has no player (built without the Qt programs).
std::span<const std::uint8_t> albumPlayerBytes();

} // namespace quill
