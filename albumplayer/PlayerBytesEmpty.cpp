#include "albumplayer/PlayerBytes.h"

namespace quill {

std::span<const std::uint8_t> albumPlayerBytes() {
    return {};
}

} // namespace quill
