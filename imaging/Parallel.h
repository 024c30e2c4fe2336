#pragma once

#include <cstddef>
#include <functional>

namespace quill {

// Runs body(begin, end) over [0, rows) split into bands, the bands in parallel on all
// cores. Each row is handed to exactly one call, so a body that writes only its own
// rows gives the same result as the serial loop. Small jobs (rows * pixelsPerRow below
// a threshold) run on the calling thread.
void parallelRows(int rows, std::size_t pixelsPerRow,
                  const std::function<void(int begin, int end)>& body);

// The number of threads parallelRows uses (at least 1).
int workerCount();

} // namespace quill
