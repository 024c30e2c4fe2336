#include "imaging/LargeBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace quill {

LargeBuffer::LargeBuffer(std::size_t size) : m_size(size) {
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    void* memory = nullptr;
    if (size < 4 * kHugePage) {
        memory = std::malloc(std::max(size, std::size_t(1)));
        if (memory == nullptr)
            throw std::bad_alloc();
    } else {
        if (posix_memalign(&memory, kHugePage, size) != 0)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(memory, size, MADV_HUGEPAGE); // only a hint
#endif
    }
    m_bytes.reset(static_cast<std::uint8_t*>(memory));
}

void LargeBuffer::Free::operator()(std::uint8_t* bytes) const {
    std::free(bytes);
}

} // namespace quill
