// The block hash text of a file on disk ("hex,hex,..."), read in small
// pieces so that hashing 1 GiB adds nothing to the resident memory.
#pragma once

#include <cstdint>
#include <string>

namespace zanthbench {

// Empty on a read failure.
std::string blockHashes(const std::string& path, uint64_t size, uint64_t blockSize);

}  // namespace zanthbench
