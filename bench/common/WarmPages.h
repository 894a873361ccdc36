// Equal memory conditions for the two sides of a benchmark.
#pragma once

#include <cstdint>
#include <string>

namespace zanthbench {

// Writes `bytes` to a scratch file in `dir` and removes it at once. A virtual
// machine that returns freed memory to its host makes the first writer after
// a pause pay for the host to back the page cache again (several times the
// cost of the copy); calling this right before each timed run gives both
// sides the same, freshly backed pages.
void warmPages(const std::string& dir, uint64_t bytes);

}  // namespace zanthbench
