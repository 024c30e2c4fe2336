#pragma once
// The yardstick of the effect benchmarks: a plain copy of a picture's pixels into new
// memory from the C++ allocator, as any program would make one. It stays the same
// whatever the program does to make its own pictures cheaper to allocate, so the ratios
// measure the program against the machine.
#include "imaging/Bitmap32.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace quill::bench {

inline void plainCopy(const TBitmap32& picture) {
    std::unique_ptr<std::uint32_t[]> copy(new std::uint32_t[picture.pixelCount()]);
    std::memcpy(copy.get(), picture.bits(), picture.pixelCount() * 4);
    benchmark::DoNotOptimize(copy.get());
    benchmark::ClobberMemory();
}

} // namespace quill::bench
