#pragma once
// Bytes of a size known in advance, left unset, for data of tens of megabytes (a scene
// file's pictures while they are read): placed on 2 MiB boundaries and offered for huge
// pages as the pictures themselves are (imaging/Bitmap32.cpp), such a buffer costs two
// dozen page faults instead of thousands.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quill {

class LargeBuffer {
  public:
    LargeBuffer() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit LargeBuffer(std::size_t size);

    std::uint8_t* data() { return m_bytes.get(); }
    const std::uint8_t* data() const { return m_bytes.get(); }
    std::size_t size() const { return m_size; }

  private:
    struct Free {
        void operator()(std::uint8_t* bytes) const;
    };
    std::unique_ptr<std::uint8_t[], Free> m_bytes;
    std::size_t m_size = 0;
};

} // namespace quill
